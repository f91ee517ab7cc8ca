// Raw binary images: byte i of the file is the code byte at address i, and nothing else is in the
// file. The reader and writer work on the device's code memory, DataBuffer[0 .. DeviceSize-1], and
// on the file named by HexFileName, as the Intel HEX ones do.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/formats/LoadOutcome.h"
#include "core/model/ProgramState.h"
#include "core/system/FileCalls.h"

namespace kaldo {

// Does not blank the buffer first: the caller does, so a file shorter than the device leaves the
// rest blank. A file longer than DeviceSize stores its first DeviceSize bytes and is "Address out
// of range . . ."; otherwise "OK". A file that cannot be opened or read raises InOutError.
LoadOutcome LoadBinFile(ProgramState& s);
// The same on bytes already read: at most DeviceSize + 1 of them need be given.
LoadOutcome LoadBinBytes(ProgramState& s, std::span<const std::uint8_t> bytes);

// DataBuffer[0 .. DeviceSize-1]: exactly DeviceSize bytes.
std::string BinFileBytes(const ProgramState& s);
// Writes BinFileBytes to HexFileName, replacing it only once the whole file is written.
void SaveBinFile(const ProgramState& s, const FileCalls& files = SystemFiles());

}  // namespace kaldo
