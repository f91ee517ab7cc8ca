// Intel HEX files: the reader fills DataBuffer from the file named by HexFileName, the writer saves
// DataBuffer[0 .. DeviceSize-1]. The reader returns its outcome; a file that cannot be opened,
// read or written, or a field that is not hexadecimal, raises an error instead.
#pragma once

#include <string>

#include "core/Errors.h"
#include "core/formats/LoadOutcome.h"
#include "core/model/ProgramState.h"
#include "core/system/TextFile.h"

namespace kaldo {

// Record types the reader acts on. The end-of-file record (01) and the start address records (03,
// 05) are passed over unread; the end-of-file record does not stop the reader, so data records
// after it are loaded too. A type above 05 is none of Intel HEX's and may hold data the reader
// cannot place: it is a format error.
inline constexpr int kDataRecord = 0x00;
inline constexpr int kEndOfFileRecord = 0x01;
inline constexpr int kExtendedSegmentAddress = 0x02;  // base := value * 16
inline constexpr int kExtendedLinearAddress = 0x04;   // base := value * 65536
inline constexpr int kLastRecordType = 0x05;

// The longest a record can be: the mark, count, address and type (9), 255 data bytes (510) and the
// checksum (2). The reader keeps one character more of a line, enough to tell that a data record
// goes on after its checksum, which is a format error.
inline constexpr std::size_t kLongestRecord = 521;

// A data or address record that goes on after its checksum: the detail of its "Invalid Hex File
// Format . . .". A second record on the line would otherwise be lost without a word.
inline constexpr char kTextAfterChecksum[] = "the line goes on after the record's checksum";

// A field that is not hexadecimal, or that the end of its line cut to nothing: the conversion
// error the window shows ("'$G0' is not a valid integer value"), with the number of its line.
class HexFieldError : public ConvertError {
 public:
  HexFieldError(const std::string& text, std::size_t line) : ConvertError(text), line_(line) {}
  std::size_t Line() const { return line_; }

 private:
  std::size_t line_;
};

// Does not blank the buffer first: the caller does. Bytes before the first failing line stay.
// Raises HexFieldError for a field that does not convert.
LoadOutcome LoadHexFile(ProgramState& s);
// The reader working on any source of lines (LoadHexFile opens HexFileName for it).
LoadOutcome LoadHexLines(ProgramState& s, LineReader& in);

// 16-byte data records over 0 .. DeviceSize-1, then the end-of-file record; CR LF line ends.
std::string HexFileText(const ProgramState& s);
// Writes HexFileText to HexFileName, replacing it only once the whole file is written.
void SaveHexFile(const ProgramState& s, const FileCalls& files = SystemFiles());

}  // namespace kaldo
