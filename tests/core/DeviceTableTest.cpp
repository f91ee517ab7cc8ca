#include <gtest/gtest.h>

#include "core/ProgramState.h"

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
  s.DeviceType = 8;
  SetDeviceSize(s);
  s.DataBuffer[0x7FFF] = 0x00;
  const std::uint16_t before = BufferChecksum(s);
  s.DeviceType = 0;
  SetDeviceSize(s);
  EXPECT_EQ(BufferChecksum(s), 0xF000);
  s.DeviceType = 8;
  SetDeviceSize(s);
  EXPECT_EQ(BufferChecksum(s), before);
}

TEST(SetDeviceSize, OutOfRangeTypeKeepsTheSize) {
  ProgramState s;
  EXPECT_EQ(s.DeviceSize, 0);
  for (int t : {-1, 13, 99}) {
    s.DeviceType = t;
    SetDeviceSize(s);
    EXPECT_EQ(s.DeviceSize, 0);
    EXPECT_EQ(BufferChecksum(s), 0);
  }
}

}  // namespace
}  // namespace kaldo
