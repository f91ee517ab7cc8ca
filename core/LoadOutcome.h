// What a file reader says of the file it read: one of four fixed texts ("OK" when the whole file
// was read) and, for a file it stopped on, the line that stopped it and why, where the text alone
// does not tell. The readers return it and write nothing into the program state but the buffer;
// the window keeps the text where it shows it.
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
  // Why that line was refused when the text does not say it ("a data record goes on after its
  // checksum"); empty otherwise. The command line reports it.
  std::string Detail = {};

  bool Loaded() const { return Text == kResultOK; }
};

}  // namespace kaldo
