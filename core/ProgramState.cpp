#include "ProgramState.h"

namespace kaldo {

void SetDeviceSize(ProgramState& s) {
  if (const DeviceInfo* d = FindDevice(s.DeviceType)) s.DeviceSize = d->Size;
}

void BlankBuffer(ProgramState& s) {
  s.DataBuffer.fill(kBlank);
}

std::uint16_t BufferChecksum(const ProgramState& s) {
  std::uint16_t sum = 0;
  for (std::uint32_t a = 0; a != s.DeviceSize; ++a)
    sum = static_cast<std::uint16_t>(sum + s.DataBuffer[a]);
  return sum;
}

void KeepFolderOfHexFile(ProgramState& s) {
  if (s.HexFileName.empty()) return;
  const std::size_t slash = s.HexFileName.rfind('/');
  s.FilePath = slash == std::string::npos ? std::string() : s.HexFileName.substr(0, slash + 1);
}

}  // namespace kaldo
