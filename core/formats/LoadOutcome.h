// What a file reader says of the file it read: one of four fixed texts ("OK" when the whole file
// was read) and, for a file it stopped on, the line that stopped it and why. The readers return it
// and write nothing into the program state but the buffer; the window shows the text alone, the
// command line the line and the reason too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kaldo {

inline constexpr char kResultOK[] = "OK";
inline constexpr char kInvalidHexFormat[] = "Invalid Hex File Format . . .";
inline constexpr char kDataChecksumError[] = "Data Checksum Error . . .";
inline constexpr char kAddressOutOfRange[] = "Address out of range . . .";

struct LoadOutcome {
  std::string_view Text = kResultOK;  // one of the four texts above
  // The 1-based number of the line that ended the load; 0 when the whole file was read, and for a
  // raw binary image, which has no lines.
  std::size_t Line = 0;
  // Why the file was refused ("the record's checksum is 3F, its bytes call for 40"); empty when
  // the whole file was read.
  std::string Detail = {};
  // An Intel HEX file's first data record after an end-of-file record: its line, loaded as any
  // other; 0 when there is none.
  std::size_t DataAfterEnd = 0;

  bool Loaded() const { return Text == kResultOK; }
};

}  // namespace kaldo
