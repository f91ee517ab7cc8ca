// Intel HEX files: the reader fills DataBuffer from the file named by HexFileName, the writer saves
// DataBuffer[0 .. DeviceSize-1]. The reader returns its outcome; a file that cannot be opened,
// read or written, or a field that is not hexadecimal, raises an error instead.
#pragma once

#include <string>

#include "core/LoadOutcome.h"
#include "core/ProgramState.h"
#include "core/TextFile.h"

namespace kaldo {

// Record types the reader acts on; every other type is passed over unread. The end-of-file record
// does not stop the reader.
inline constexpr int kDataRecord = 0x00;
inline constexpr int kExtendedSegmentAddress = 0x02;  // base := value * 16
inline constexpr int kExtendedLinearAddress = 0x04;   // base := value * 65536

// The longest a record can be: the mark, count, address and type (9), 255 data bytes (510) and the
// checksum (2). The reader keeps one character more of a line, enough to tell that a data record
// goes on after its checksum, which is a format error.
inline constexpr std::size_t kLongestRecord = 521;

// A data record that goes on after its checksum: the detail of its "Invalid Hex File Format . . .".
inline constexpr char kTextAfterChecksum[] = "a data record goes on after its checksum";

// Does not blank the buffer first: the caller does. Bytes before the first failing line stay.
LoadOutcome LoadHexFile(ProgramState& s);
// The reader working on any source of lines (LoadHexFile opens HexFileName for it).
LoadOutcome LoadHexLines(ProgramState& s, LineReader& in);

// 16-byte data records over 0 .. DeviceSize-1, then the end-of-file record; CR LF line ends.
std::string HexFileText(const ProgramState& s);
// Writes HexFileText to HexFileName, replacing it only once the whole file is written.
void SaveHexFile(const ProgramState& s, const FileCalls& files = SystemFiles());

}  // namespace kaldo
