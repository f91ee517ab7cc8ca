#include "ProgramState.h"

namespace kaldo {

const std::array<DeviceInfo, kDeviceCount> DeviceTable = {{
    {" Atmel  89C51", "89C51", 0x1000, {0x1E, 0x51, 0xFF}, true, true, false, 0},
    {" Atmel  89C52", "89C52", 0x2000, {0x1E, 0x52, 0xFF}, true, true, false, 1},
    {" Atmel  89C55", "89C55", 0x5000, {0x1E, 0x55, 0xFF}, true, true, false, 2},
    {" Atmel  89S51", "89S51", 0x1000, {0x1E, 0x51, 0x06}, true, true, false, 3},
    {" Atmel  89S52", "89S52", 0x2000, {0x1E, 0x52, 0x06}, true, true, false, 4},
    {" Atmel  89S53", "89S53", 0x3000, {0x1E, 0x53, 0x00}, false, true, true, 5},
    {" Atmel  89S8252", "89S8252", 0x2800, {0x1E, 0x72, 0x00}, false, true, true, 6},
    {" Atmel  89C55WD", "89C55WD", 0x5000, {0x1E, 0x55, 0x06}, true, true, false, 7},
    {" Atmel  89C51RC", "89C51RC", 0x8000, {0x1E, 0x51, 0x07}, true, true, false, 8},
    {" Atmel  89C1051", "89C1051", 0x0400, {0x1E, 0x11, 0x00}, false, false, false, 9},
    {" Atmel  89C1051U", "89C1051U", 0x0400, {0x1E, 0x12, 0x00}, false, false, false, 9},
    {" Atmel  89C2051", "89C2051", 0x0800, {0x1E, 0x21, 0x00}, false, false, false, 11},
    {" Atmel  89C4051", "89C4051", 0x1000, {0x1E, 0x41, 0x00}, false, false, false, 12},
}};

const DeviceInfo* FindDevice(int deviceType) {
  if (deviceType < 0 || deviceType >= kDeviceCount) return nullptr;
  return &DeviceTable[static_cast<std::size_t>(deviceType)];
}

int FindDeviceType(std::string_view name) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  auto equal = [&](std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (upper(a[i]) != upper(b[i])) return false;
    return true;
  };
  if (name.size() > 2 && equal(name.substr(0, 2), "AT")) name.remove_prefix(2);
  for (int t = 0; t < kDeviceCount; ++t)
    if (equal(name, DeviceTable[static_cast<std::size_t>(t)].PartName)) return t;
  return -1;
}

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

void GetFilePath(ProgramState& s) {
  if (s.HexFileName.empty()) return;
  const std::size_t slash = s.HexFileName.rfind('/');
  s.FilePath = slash == std::string::npos ? std::string() : s.HexFileName.substr(0, slash + 1);
}

}  // namespace kaldo
