// The supported microcontrollers: one row of facts per device, keyed by Device. The
// windows, the command line, the file code and the device routines all read their facts here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kaldo {

// The values are the DeviceType indexes the device list and the settings file use.
enum class Device : int {
  AT89C51,
  AT89C52,
  AT89C55,
  AT89S51,
  AT89S52,
  AT89S53,
  AT89S8252,
  AT89C55WD,
  AT89C51RC,
  AT89C1051,
  AT89C1051U,
  AT89C2051,
  AT89C4051,
};

inline constexpr int kDeviceCount = static_cast<int>(Device::AT89C4051) + 1;

struct DeviceInfo {
  Device Id;
  const char* ListText;                   // entry of the device list, exactly as shown
  const char* PartName;                   // "89C51", the part number without "AT"
  std::uint16_t Size;                     // bytes of code memory
  int SignatureCount;                     // 2 or 3 signature bytes
  std::array<std::uint8_t, 3> Signature;  // the bytes the signature table lists; unused ones 0
  bool HasLockBit3;                       // Lock Bit-1 and Lock Bit-2 exist on every device
  bool HasIspFuse;
  // The device whose routines serve this one (the AT89C1051U runs the AT89C1051's).
  Device RoutineSet;
  // The group of the signature table window that lists it; groups stand in their numbers' order.
  int SignatureGroup;
};

// clang-format off
inline constexpr std::array<DeviceInfo, kDeviceCount> DeviceTable{{
//  Id                   list text            part name   size    sig  bytes               LB3    ISP    routines            group
    {Device::AT89C51,    " Atmel  89C51",     "89C51",    0x1000, 3, {0x1E, 0x51, 0xFF}, true,  false, Device::AT89C51,     0},
    {Device::AT89C52,    " Atmel  89C52",     "89C52",    0x2000, 3, {0x1E, 0x52, 0xFF}, true,  false, Device::AT89C52,     0},
    {Device::AT89C55,    " Atmel  89C55",     "89C55",    0x5000, 3, {0x1E, 0x55, 0xFF}, true,  false, Device::AT89C55,     0},
    {Device::AT89S51,    " Atmel  89S51",     "89S51",    0x1000, 3, {0x1E, 0x51, 0x06}, true,  false, Device::AT89S51,     1},
    {Device::AT89S52,    " Atmel  89S52",     "89S52",    0x2000, 3, {0x1E, 0x52, 0x06}, true,  false, Device::AT89S52,     1},
    {Device::AT89S53,    " Atmel  89S53",     "89S53",    0x3000, 2, {0x1E, 0x53},       true,  true,  Device::AT89S53,     1},
    {Device::AT89S8252,  " Atmel  89S8252",   "89S8252",  0x2800, 2, {0x1E, 0x72},       true,  true,  Device::AT89S8252,   1},
    {Device::AT89C55WD,  " Atmel  89C55WD",   "89C55WD",  0x5000, 3, {0x1E, 0x55, 0x06}, true,  false, Device::AT89C55WD,   2},
    {Device::AT89C51RC,  " Atmel  89C51RC",   "89C51RC",  0x8000, 3, {0x1E, 0x51, 0x07}, true,  false, Device::AT89C51RC,   2},
    {Device::AT89C1051,  " Atmel  89C1051",   "89C1051",  0x0400, 2, {0x1E, 0x11},       false, false, Device::AT89C1051,   3},
    {Device::AT89C1051U, " Atmel  89C1051U",  "89C1051U", 0x0400, 2, {0x1E, 0x12},       false, false, Device::AT89C1051,   3},
    {Device::AT89C2051,  " Atmel  89C2051",   "89C2051",  0x0800, 2, {0x1E, 0x21},       false, false, Device::AT89C2051,   3},
    {Device::AT89C4051,  " Atmel  89C4051",   "89C4051",  0x1000, 2, {0x1E, 0x41},       false, false, Device::AT89C4051,   3},
}};
// clang-format on

constexpr const DeviceInfo& InfoOf(Device device) {
  return DeviceTable[static_cast<std::size_t>(device)];
}

// Null for a DeviceType outside the table.
constexpr const DeviceInfo* FindDevice(int deviceType) {
  if (deviceType < 0 || deviceType >= kDeviceCount) return nullptr;
  return &DeviceTable[static_cast<std::size_t>(deviceType)];
}

// "AT89C51": the part number with the maker's prefix, as the signature table names the device.
std::string FullName(const DeviceInfo& device);

// The DeviceType whose part number is `name` ("89C51", "at89s8252", ...): case-insensitive, with or
// without a leading "AT"; -1 when no device has that name.
int FindDeviceType(std::string_view name);

}  // namespace kaldo
