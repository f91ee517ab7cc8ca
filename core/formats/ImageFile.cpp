#include "core/formats/ImageFile.h"

#include <algorithm>
#include <cctype>

#include "core/formats/BinFile.h"
#include "core/formats/HexFile.h"
#include "core/formats/SRecordFile.h"

namespace kaldo {

namespace {

bool EndsWithInAnyCase(std::string_view name, std::string_view end) {
  if (name.size() < end.size()) return false;
  return std::equal(
      end.begin(), end.end(), name.end() - static_cast<std::ptrdiff_t>(end.size()),
      [](char e, char n) { return std::tolower(static_cast<unsigned char>(n)) == e; });
}

}  // namespace

FileFormat FormatOfFileName(std::string_view fileName) {
  if (EndsWithInAnyCase(fileName, ".bin")) return FileFormat::Binary;
  for (std::string_view end : {".s19", ".s28", ".s37", ".srec", ".mot"})
    if (EndsWithInAnyCase(fileName, end)) return FileFormat::SRecord;
  return FileFormat::IntelHex;
}

LoadOutcome LoadFileInFormat(ProgramState& s, FileFormat format) {
  switch (format) {
    case FileFormat::Binary:
      return LoadBinFile(s);
    case FileFormat::SRecord:
      return LoadSRecordFile(s);
    case FileFormat::IntelHex:
      break;
  }
  return LoadHexFile(s);
}

void SaveFileInFormat(const ProgramState& s, FileFormat format, const FileCalls& files) {
  switch (format) {
    case FileFormat::Binary:
      return SaveBinFile(s, files);
    case FileFormat::SRecord:
      return SaveSRecordFile(s, files);
    case FileFormat::IntelHex:
      break;
  }
  SaveHexFile(s, files);
}

}  // namespace kaldo
