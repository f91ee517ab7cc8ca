#include <gtest/gtest.h>

#include <vector>

#include "core/model/ProgramState.h"

namespace kaldo {
namespace {

TEST(Checksum, BlankBufferPerDevice) {
  // 255 x DeviceSize modulo 65536 for each entry of the device list.
  const std::uint16_t expected[kDeviceCount] = {0xF000, 0xE000, 0xB000, 0xF000, 0xE000,
                                                0xD000, 0xD800, 0xB000, 0x8000, 0xFC00,
                                                0xFC00, 0xF800, 0xF000};
  ProgramState s;
  for (int t = 0; t < kDeviceCount; ++t) {
    s.DeviceType = t;
    SetDeviceSize(s);
    EXPECT_EQ(BufferChecksum(s), expected[t]) << "type " << t;
  }
}

TEST(Checksum, BytesAboveDeviceSizeDoNotCountAndSurviveASwitch) {
  ProgramState s;
  s.DeviceType = DeviceTypeOf(Device::AT89C51RC);
  SetDeviceSize(s);
  s.DataBuffer[0x7FFF] = 0x00;
  const std::uint16_t before = BufferChecksum(s);
  s.DeviceType = DeviceTypeOf(Device::AT89C51);
  SetDeviceSize(s);
  EXPECT_EQ(BufferChecksum(s), 0xF000);
  s.DeviceType = DeviceTypeOf(Device::AT89C51RC);
  SetDeviceSize(s);
  EXPECT_EQ(BufferChecksum(s), before);
}

TEST(DataPastDevice, FoundOnlyPastTheDevicesEnd) {
  const struct {
    int type;
    std::vector<std::uint32_t> written;  // addresses given 0x00
    bool found;
    std::uint32_t first, last;
    std::size_t bytes;
  } cases[] = {
      {11, {0x07FF}, false, 0, 0, 0},           // the AT89C2051's last byte
      {11, {0x0800}, true, 0x0800, 0x0800, 1},  // one past it
      {11, {0x0000, 0x2000, 0x3376, 0x2100}, true, 0x2000, 0x3376, 3},
      {8, {0x7FFF}, false, 0, 0, 0},  // the largest device has no room past its end
      {9, {0x0400, 0x7FFF}, true, 0x0400, 0x7FFF, 2},
      {-1, {0x0000}, false, 0, 0, 0},  // no device: nothing to leave out
  };
  for (const auto& c : cases) {
    ProgramState s;
    s.DeviceType = c.type;
    SetDeviceSize(s);
    for (std::uint32_t a : c.written) s.DataBuffer[a] = 0x00;
    const std::optional<DataPastDevice> past = FindDataPastDevice(s);
    ASSERT_EQ(past.has_value(), c.found) << c.type << " " << c.written.back();
    if (!past) continue;
    EXPECT_EQ(past->First, c.first);
    EXPECT_EQ(past->Last, c.last);
    EXPECT_EQ(past->Bytes, c.bytes);
  }
  ProgramState s;
  s.DeviceType = DeviceTypeOf(Device::AT89C2051);
  SetDeviceSize(s);
  EXPECT_EQ(DataPastDeviceText(s, {0x2000, 0x3376, 5}),
            "The image holds data at 2000-3376, past the AT89C2051's last address 07FF.");
}

TEST(SetDeviceSize, OutOfRangeTypeKeepsTheSize) {
  ProgramState s;
  EXPECT_EQ(s.DeviceSize, 0);
  for (int t : {-1, kDeviceCount, 99}) {
    s.DeviceType = t;
    SetDeviceSize(s);
    EXPECT_EQ(s.DeviceSize, 0);
    EXPECT_EQ(BufferChecksum(s), 0);
  }
}

TEST(FindDeviceType, PartNames) {
  const struct {
    const char* name;
    int type;
  } cases[] = {
      {"89C51", 0},      {"at89c51", 0},    {"AT89S8252", 6},     {"89c1051", 9}, {"89C1051U", 10},
      {"89c51rc", 8},    {"AT89C4051", 12}, {"89C5", -1},         {"AT", -1},     {"", -1},
      {"ATAT89C51", -1}, {" 89C51", -1},    {"Atmel  89C51", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(FindDeviceType(c.name), c.type) << c.name;
  for (int t = 0; t < kDeviceCount; ++t) {
    EXPECT_EQ(std::string(" Atmel  ") + DeviceTable[t].PartName, DeviceTable[t].ListText);
    EXPECT_EQ(FindDeviceType(DeviceTable[t].PartName), t);
  }
}

TEST(KeepFolderOfHexFile, FolderOfTheFile) {
  ProgramState s;
  s.FilePath = "/old/";
  s.HexFileName = "";
  KeepFolderOfHexFile(s);
  EXPECT_EQ(s.FilePath, "/old/");
  s.HexFileName = "/home/me/work/a.hex";
  KeepFolderOfHexFile(s);
  EXPECT_EQ(s.FilePath, "/home/me/work/");
  s.HexFileName = "a.hex";
  KeepFolderOfHexFile(s);
  EXPECT_EQ(s.FilePath, "");
}

}  // namespace
}  // namespace kaldo
