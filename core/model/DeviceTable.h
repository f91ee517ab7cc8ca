// The supported microcontrollers: one row of facts per device, keyed by Device. The
// windows, the command line, the file code and the device routines all read their facts here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
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

// One row of the table as written. A device of its own gives every fact; a variant, the same
// chip under another name and signature, names its parent and gives only those, taking the rest
// (size, program bits, signature group and the parent's routine set) from the parent's row.
struct DeviceRow {
  Device Id;
  std::optional<Device> Parent = std::nullopt;
  const char* ListText;                   // entry of the device list, exactly as shown
  const char* PartName;                   // "89C51", the part number without "AT"
  std::array<std::uint8_t, 3> Signature;  // the bytes the signature table lists; unused ones 0
  int SignatureCount = 0;                 // 2 or 3 signature bytes; a variant's parent's if 0
  std::uint16_t Size = 0;                 // bytes of code memory
  bool HasLockBit3 = false;               // Lock Bit-1 and Lock Bit-2 exist on every device
  bool HasIspFuse = false;
  // Bytes of data EEPROM, 0 for none. The board sees it after the code memory, and Size counts
  // both; a cable reaches the two memories apart.
  std::uint16_t EepromSize = 0;
  // The group of the signature table window that lists it; groups stand in their numbers' order.
  int SignatureGroup = 0;
};

// A new device goes at the end: the settings and the simulator's chips file keep devices by index.
inline constexpr DeviceRow kDeviceRows[] = {
    {.Id = Device::AT89C51,
     .ListText = " Atmel  89C51",
     .PartName = "89C51",
     .Signature = {0x1E, 0x51, 0xFF},
     .SignatureCount = 3,
     .Size = 0x1000,
     .HasLockBit3 = true,
     .SignatureGroup = 0},
    {.Id = Device::AT89C52,
     .ListText = " Atmel  89C52",
     .PartName = "89C52",
     .Signature = {0x1E, 0x52, 0xFF},
     .SignatureCount = 3,
     .Size = 0x2000,
     .HasLockBit3 = true,
     .SignatureGroup = 0},
    {.Id = Device::AT89C55,
     .ListText = " Atmel  89C55",
     .PartName = "89C55",
     .Signature = {0x1E, 0x55, 0xFF},
     .SignatureCount = 3,
     .Size = 0x5000,
     .HasLockBit3 = true,
     .SignatureGroup = 0},
    {.Id = Device::AT89S51,
     .ListText = " Atmel  89S51",
     .PartName = "89S51",
     .Signature = {0x1E, 0x51, 0x06},
     .SignatureCount = 3,
     .Size = 0x1000,
     .HasLockBit3 = true,
     .SignatureGroup = 1},
    {.Id = Device::AT89S52,
     .ListText = " Atmel  89S52",
     .PartName = "89S52",
     .Signature = {0x1E, 0x52, 0x06},
     .SignatureCount = 3,
     .Size = 0x2000,
     .HasLockBit3 = true,
     .SignatureGroup = 1},
    {.Id = Device::AT89S53,
     .ListText = " Atmel  89S53",
     .PartName = "89S53",
     .Signature = {0x1E, 0x53},
     .SignatureCount = 2,
     .Size = 0x3000,
     .HasLockBit3 = true,
     .HasIspFuse = true,
     .SignatureGroup = 1},
    {.Id = Device::AT89S8252,
     .ListText = " Atmel  89S8252",
     .PartName = "89S8252",
     .Signature = {0x1E, 0x72},
     .SignatureCount = 2,
     .Size = 0x2800,
     .HasLockBit3 = true,
     .HasIspFuse = true,
     .EepromSize = 0x800,
     .SignatureGroup = 1},
    {.Id = Device::AT89C55WD,
     .ListText = " Atmel  89C55WD",
     .PartName = "89C55WD",
     .Signature = {0x1E, 0x55, 0x06},
     .SignatureCount = 3,
     .Size = 0x5000,
     .HasLockBit3 = true,
     .SignatureGroup = 2},
    {.Id = Device::AT89C51RC,
     .ListText = " Atmel  89C51RC",
     .PartName = "89C51RC",
     .Signature = {0x1E, 0x51, 0x07},
     .SignatureCount = 3,
     .Size = 0x8000,
     .HasLockBit3 = true,
     .SignatureGroup = 2},
    {.Id = Device::AT89C1051,
     .ListText = " Atmel  89C1051",
     .PartName = "89C1051",
     .Signature = {0x1E, 0x11},
     .SignatureCount = 2,
     .Size = 0x0400,
     .SignatureGroup = 3},
    {.Id = Device::AT89C1051U,
     .Parent = Device::AT89C1051,
     .ListText = " Atmel  89C1051U",
     .PartName = "89C1051U",
     .Signature = {0x1E, 0x12}},
    {.Id = Device::AT89C2051,
     .ListText = " Atmel  89C2051",
     .PartName = "89C2051",
     .Signature = {0x1E, 0x21},
     .SignatureCount = 2,
     .Size = 0x0800,
     .SignatureGroup = 3},
    {.Id = Device::AT89C4051,
     .ListText = " Atmel  89C4051",
     .PartName = "89C4051",
     .Signature = {0x1E, 0x41},
     .SignatureCount = 2,
     .Size = 0x1000,
     .SignatureGroup = 3},
};

inline constexpr int kDeviceCount = static_cast<int>(std::size(kDeviceRows));

// A device's facts as the program reads them: its row with a variant's parent filled in.
struct DeviceInfo {
  Device Id;
  const char* ListText;
  const char* PartName;
  std::uint16_t Size;
  int SignatureCount;
  std::array<std::uint8_t, 3> Signature;
  bool HasLockBit3;
  bool HasIspFuse;
  std::uint16_t EepromSize;
  // The device whose routines serve this one: its own, or its parent's (the AT89C1051U runs the
  // AT89C1051's).
  Device RoutineSet;
  int SignatureGroup;
};

namespace device_rows {

constexpr DeviceInfo Resolve(const DeviceRow& row) {
  if (row.Parent) {
    for (const DeviceRow& parent : kDeviceRows) {
      if (parent.Id != *row.Parent) continue;
      DeviceInfo info = Resolve(parent);
      info.Id = row.Id;
      info.ListText = row.ListText;
      info.PartName = row.PartName;
      info.Signature = row.Signature;
      if (row.SignatureCount != 0) info.SignatureCount = row.SignatureCount;
      return info;
    }
  }
  return {.Id = row.Id,
          .ListText = row.ListText,
          .PartName = row.PartName,
          .Size = row.Size,
          .SignatureCount = row.SignatureCount,
          .Signature = row.Signature,
          .HasLockBit3 = row.HasLockBit3,
          .HasIspFuse = row.HasIspFuse,
          .EepromSize = row.EepromSize,
          .RoutineSet = row.Id,
          .SignatureGroup = row.SignatureGroup};
}

constexpr std::array<DeviceInfo, kDeviceCount> ResolveAll() {
  std::array<DeviceInfo, kDeviceCount> table{};
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = Resolve(kDeviceRows[i]);
  return table;
}

}  // namespace device_rows

inline constexpr std::array<DeviceInfo, kDeviceCount> DeviceTable = device_rows::ResolveAll();

// The DeviceType, the index the settings and the chips file keep, of `device`.
constexpr int DeviceTypeOf(Device device) {
  return static_cast<int>(device);
}

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
