// Three lists name the devices, each written on its own: the program's device table, the
// simulator's chips and the simulator tests' parts. A device missing from one of them, or standing
// at another index, would go untested without a word; here they are held against each other.
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "core/model/DeviceTable.h"
#include "device/DeviceProfiles.h"
#include "sim/Chip.h"
#include "tests/sim/SimRig.h"

namespace kaldo {
namespace {

TEST(DeviceLists, TheProgramTheSimulatorAndItsTestsListTheSameDevices) {
  const std::vector<test::Part>& parts = test::Parts();
  ASSERT_EQ(static_cast<int>(DeviceTable.size()), kDeviceCount);
  ASSERT_EQ(sim::kChipTypeCount, kDeviceCount);
  ASSERT_EQ(static_cast<int>(parts.size()), kDeviceCount);
  for (int type = 0; type < kDeviceCount; ++type) {
    const DeviceInfo& device = DeviceTable[static_cast<std::size_t>(type)];
    const sim::ChipSpec& chip = sim::SpecOf(type);
    const test::Part& part = parts[static_cast<std::size_t>(type)];
    SCOPED_TRACE(FullName(device));
    EXPECT_EQ(FullName(device), chip.name);
    EXPECT_EQ(FullName(device), part.name);
    EXPECT_EQ(part.type, type);
    EXPECT_EQ(device.Size, chip.size);
    EXPECT_EQ(device.Size, part.size);
    const std::vector<std::uint8_t> signature(device.Signature.begin(),
                                              device.Signature.begin() + device.SignatureCount);
    EXPECT_EQ(device.SignatureCount, chip.signatureCount);
    ASSERT_GE(part.signature.size(), signature.size());
    EXPECT_EQ(signature,
              std::vector<std::uint8_t>(chip.signature, chip.signature + chip.signatureCount));
    EXPECT_EQ(signature, std::vector<std::uint8_t>(part.signature.begin(),
                                                   part.signature.begin() + device.SignatureCount));
    // Every device is served by a family's routines.
    const RoutineSet* routines = FindRoutineSet(type);
    ASSERT_NE(routines, nullptr);
    EXPECT_NE(routines->Family, nullptr);
  }
}

}  // namespace
}  // namespace kaldo
