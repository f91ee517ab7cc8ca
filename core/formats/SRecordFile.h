// Motorola S-record files. The reader fills DataBuffer from the file named by HexFileName: S1, S2
// and S3 data records (16-, 24- and 32-bit addresses) are stored, the S0 header and the S7, S8 and
// S9 start records are checked and passed over, and an S5 or S6 count record must match the
// number of data records before it. The writer saves DataBuffer[0 .. DeviceSize-1] as an S0
// header, 16-byte S1 records, an S5 count and an S9 start at 0, with CR LF line ends.
//
// A line is checked whole (record mark, type, hexadecimal digits, its byte count against its
// length, the checksum) before any of its bytes is stored; the first line that fails ends the
// load, and everything stored before it stays. Empty lines carry nothing and are passed over.
#pragma once

#include <string>

#include "core/formats/LoadOutcome.h"
#include "core/model/ProgramState.h"
#include "core/system/TextFile.h"

namespace kaldo {

// The longest record: the mark, the type, the count and 255 bytes (4 + 510). The reader keeps one
// character more of a line, enough to tell that it goes on past its count.
inline constexpr std::size_t kLongestSRecord = 514;

// Does not blank the buffer first: the caller does.
LoadOutcome LoadSRecordFile(ProgramState& s);
// The reader working on any source of lines (LoadSRecordFile opens HexFileName for it).
LoadOutcome LoadSRecordLines(ProgramState& s, LineReader& in);

std::string SRecordFileText(const ProgramState& s);
// Writes SRecordFileText to HexFileName, replacing it only once the whole file is written.
void SaveSRecordFile(const ProgramState& s, const FileCalls& files = SystemFiles());

}  // namespace kaldo
