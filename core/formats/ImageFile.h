// The files the buffer is exchanged in, and the one reader and writer for each: Intel HEX, raw
// binary images and Motorola S-records. The window, the settings' remembered file and the command
// line pick the format by the file's name.
#pragma once

#include <string_view>

#include "core/formats/LoadOutcome.h"
#include "core/model/ProgramState.h"
#include "core/system/FileCalls.h"

namespace kaldo {

enum class FileFormat { IntelHex, Binary, SRecord };

// By the name's extension, in any case: ".bin" a raw binary image; ".s19", ".s28", ".s37",
// ".srec" and ".mot" S-records; any other name (".hex", ".ihx", none) Intel HEX.
FileFormat FormatOfFileName(std::string_view fileName);

// The reader of the format on HexFileName; the buffer is not blanked first. Raises the reader's
// errors.
LoadOutcome LoadFileInFormat(ProgramState& s, FileFormat format);
// The writer of the format: DataBuffer[0 .. DeviceSize-1] to HexFileName, replacing it only once
// the whole file is written; through `files`.
void SaveFileInFormat(const ProgramState& s, FileFormat format,
                      const FileCalls& files = SystemFiles());

}  // namespace kaldo
