// Every device on the simulated PC, whole chip: blank check, write, verify, read back, the
// failure texts, lock bits and the signature report they leave.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/device/DeviceRig.h"

namespace kaldo::test {
namespace {

std::string Hex(int v, int digits) {
  return IntToHex(static_cast<std::uint32_t>(v), digits);
}

// A random image over the device's size with a quarter of its bytes left blank (0xFF holes).
std::vector<std::uint8_t> RandomImage(int type, int size) {
  std::mt19937 rng(static_cast<unsigned>(type) * 7919u + 1u);
  std::vector<std::uint8_t> image(static_cast<std::size_t>(size));
  for (auto& b : image) b = (rng() % 4 == 0) ? 0xFF : static_cast<std::uint8_t>(rng() % 255);
  return image;
}

class EveryDevice : public ::testing::TestWithParam<int> {};

TEST_P(EveryDevice, WritesVerifiesAndReadsBackTheWholeChip) {
  const int type = GetParam();
  DeviceRig rig(type);
  rig.events.recording = false;
  const int size = rig.state.DeviceSize;

  rig.Run(DeviceCommand::BlankCheck);
  EXPECT_TRUE(rig.last.Succeeded());

  const std::vector<std::uint8_t> image = RandomImage(type, size);
  std::copy(image.begin(), image.end(), rig.state.DataBuffer.begin());
  const bool roomBeyond = size < kBufferSize;
  if (roomBeyond) rig.state.DataBuffer[size] = 0x00;  // beyond the device: plays no part
  rig.Run(DeviceCommand::Write);
  ASSERT_TRUE(rig.last.Succeeded());
  EXPECT_EQ(rig.chip().memory, image);
  EXPECT_EQ(rig.chip().lockBits, 0);

  rig.Run(DeviceCommand::Verify);
  EXPECT_TRUE(rig.last.Succeeded());

  BlankBuffer(rig.state);
  rig.Run(DeviceCommand::Read);
  EXPECT_TRUE(rig.last.Succeeded());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), rig.state.DataBuffer.begin()));
  if (roomBeyond) {
    EXPECT_EQ(rig.state.DataBuffer[size], 0xFF);  // read stops at the device's size
  }

  const auto first = std::find_if(image.begin(), image.end(), [](auto b) { return b != 0xFF; });
  const int at = static_cast<int>(first - image.begin());
  rig.Run(DeviceCommand::BlankCheck);
  EXPECT_EQ(OutcomeText(rig.last),
            "Blank Check Error @ Address  " + Hex(at, 4) + "\rData Read  =  " + Hex(*first, 2));
}

TEST_P(EveryDevice, CellThatWillNotProgramStopsTheWriteBeforeTheLockBits) {
  const int type = GetParam();
  DeviceRig rig(type);
  rig.events.recording = false;
  // A small image keeps the run short; the buffer is otherwise blank, as on the erased chip.
  const std::uint16_t stuck = 0x0123;
  for (int a = 0x0100; a < 0x0140; ++a) rig.state.DataBuffer[a] = static_cast<std::uint8_t>(a);
  rig.chip().wontProgram.insert(stuck);
  rig.state.ProgBits = 0x0F;
  rig.Run(DeviceCommand::Write);
  EXPECT_EQ(OutcomeText(rig.last),
            "Program Verify Error @ Address  0123\rData Read  =  FF\rProg Data   =  23");
  EXPECT_EQ(rig.last.Failure.Address, stuck);
  EXPECT_EQ(rig.last.Failure.DataRead, 0xFF);
  EXPECT_EQ(rig.last.Failure.DataExpected, 0x23);
  EXPECT_EQ(rig.chip().lockBits, 0);
  EXPECT_EQ(rig.chip().memory[0x0122], 0x22);
}

TEST_P(EveryDevice, VerifyNamesTheFirstDifference) {
  const int type = GetParam();
  DeviceRig rig(type);
  rig.events.recording = false;
  const int last = rig.state.DeviceSize - 1;
  rig.chip().memory[static_cast<std::size_t>(last)] = 0x00;
  rig.state.DataBuffer[static_cast<std::size_t>(last)] = 0x3C;
  rig.Run(DeviceCommand::Verify);
  EXPECT_EQ(OutcomeText(rig.last), "Buffer Verify Error @ Address  " + Hex(last, 4) +
                                       "\rData Read  =  00\rProg Data   =  3C");
  // The readout moved last at the block that holds the failing address.
  EXPECT_EQ(rig.display.calls.back(), "A " + Hex(last & 0xFF00, 4));
}

INSTANTIATE_TEST_SUITE_P(AllDevices, EveryDevice, ::testing::Range(0, kDeviceCount),
                         [](const auto& instance) {
                           return std::string(DeviceTable[instance.param].PartName);
                         });

// Lock bits written after a verified write, as the chip keeps them (1 = programmed), and the
// signature report of the locked chip.
struct LockCase {
  int type;
  int progBits;
  int lockBits;
  bool ispFuse;
  const char* report;
};

class LockedReport : public ::testing::TestWithParam<LockCase> {};

TEST_P(LockedReport, WriteLocksAndSignatureShowsIt) {
  const LockCase& c = GetParam();
  DeviceRig rig(c.type);
  rig.events.recording = false;
  rig.state.ProgBits = c.progBits;
  rig.Run(DeviceCommand::Write);  // blank buffer: nothing to program, the verify expects FF
  ASSERT_TRUE(rig.last.Succeeded());
  EXPECT_EQ(rig.chip().lockBits, c.lockBits);
  EXPECT_EQ(rig.chip().ispFuse, c.ispFuse);
  rig.Run(DeviceCommand::Signature);
  EXPECT_EQ(OutcomeText(rig.last), c.report);
  // The same bits for a front end that reads them as values, where the report shows them.
  const bool shown = std::string(c.report).find("Lock Bit-1") != std::string::npos;
  EXPECT_EQ(rig.last.Signature.ProgrammedBits,
            shown ? std::optional<int>(c.progBits) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, LockedReport,
    ::testing::Values(
        LockCase{0, 7, 7, true,
                 "Signature Bytes Info For 89C51\rByte-1  = 1E\rByte-2  = 51\rByte-3  = FF"},
        LockCase{3, 1, 1, true,
                 "Signature & Program Bits Info For 89S51\rByte-1         1E\rByte-2         "
                 "51\rByte-3         06\rLock Bit-1    ON\rLock Bit-2    OFF\rLock Bit-3    OFF"},
        LockCase{3, 4, 4, true,
                 "Signature & Program Bits Info For 89S51\rByte-1         1E\rByte-2         "
                 "51\rByte-3         06\rLock Bit-1    OFF\rLock Bit-2    OFF\rLock Bit-3    ON"},
        LockCase{4, 6, 6, true,
                 "Signature & Program Bits Info For 89S52\rByte-1         1E\rByte-2         "
                 "52\rByte-3         06\rLock Bit-1    OFF\rLock Bit-2    ON\rLock Bit-3    ON"},
        LockCase{5, 8 | 4, 4, true,
                 "Signature & Program Bits Info For 89S53\rByte-1          1E\rByte-2          "
                 "53\rLock Bit-1    OFF\rLock Bit-2    OFF\rLock Bit-3    ON\rISP Bit         ON"},
        LockCase{6, 3, 3, false,
                 "Signature & Program Bits Info For 89S8252\rByte-1          1E\rByte-2          "
                 "72\rLock Bit-1    ON\rLock Bit-2    ON\rLock Bit-3    OFF\rISP Bit         OFF"},
        LockCase{7, 7, 7, true,
                 "Signature & Program Bits Info For 89C55WD\rByte-1         1E\rByte-2         "
                 "55\rByte-3         06\rLock Bit-1    ON\rLock Bit-2    ON\rLock Bit-3    ON"},
        LockCase{8, 1, 1, true,
                 "Signature & Program Bits Info For 89C51RC\rByte-1         1E\rByte-2         "
                 "51\rByte-3         07\rLock Bit-1    ON\rLock Bit-2    OFF\rLock Bit-3    OFF"},
        LockCase{8, 2, 2, true,
                 "Signature & Program Bits Info For 89C51RC\rByte-1         1E\rByte-2         "
                 "51\rByte-3         07\rLock Bit-1    OFF\rLock Bit-2    ON\rLock Bit-3    OFF"},
        LockCase{11, 15, 3, true, "Signature Bytes Info For 89C2051\rByte-1  = 1E\rByte-2  = 21"}),
    [](const auto& instance) {
      return std::string(DeviceTable[instance.param.type].PartName) + "_ProgBits_" +
             std::to_string(instance.param.progBits);
    });

}  // namespace
}  // namespace kaldo::test
