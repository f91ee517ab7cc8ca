// The device routines' details on the simulated PC: progress calls, address forms, failure paths,
// unknown device types, the waits' seam, shared routines, signature texts and absent hardware.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "tests/device/DeviceRig.h"

namespace kaldo::test {
namespace {

using Calls = std::vector<std::string>;
using Events = std::vector<std::string>;

// ---- progress calls --------------------------------------------------------------------------

TEST(Progress, TwentyPinPassesUpdateTheReadoutEvery256Addresses) {
  DeviceRig rig(Device::AT89C1051);  // 1024 bytes
  rig.events.recording = false;
  rig.Run(DeviceCommand::BlankCheck);
  EXPECT_EQ(rig.display.calls, (Calls{"A 0000", "A 0100", "A 0200", "A 0300"}));

  rig.display.calls.clear();
  rig.Run(DeviceCommand::Write);
  EXPECT_EQ(rig.display.calls, (Calls{"A 0000", "A 0100", "A 0200", "A 0300", "T Verifying",
                                      "A 0000", "A 0100", "A 0200", "A 0300"}));
}

TEST(Progress, LargestDeviceReadsTo7FFF) {
  DeviceRig rig(Device::AT89C51RC);
  rig.events.recording = false;
  rig.chip().memory[0x7FFF] = 0x5A;
  rig.Run(DeviceCommand::Read);
  ASSERT_EQ(rig.display.calls.size(), 128u);
  EXPECT_EQ(rig.display.calls.back(), "A 7F00");
  EXPECT_EQ(rig.state.DataBuffer[0x7FFF], 0x5A);
}

TEST(Progress, FailureAtAddressZeroLeavesOneReadoutUpdate) {
  for (Device type : {Device::AT89C51, Device::AT89C1051}) {
    DeviceRig rig(type);
    rig.events.recording = false;
    rig.chip().memory[0] = 0x00;
    rig.Run(DeviceCommand::BlankCheck);
    EXPECT_EQ(OutcomeText(rig.last), "Blank Check Error @ Address  0000\rData Read  =  00");
    EXPECT_EQ(rig.display.calls, (Calls{"A 0000"}));
  }
}

// ---- address forms ---------------------------------------------------------------------------

// The latch event of each address of a read pass: the latches followed by a read-back load.
Events AddressLatches(const Events& events) {
  Events out;
  for (std::size_t i = 1; i < events.size(); ++i)
    if (events[i] == "S" && events[i - 1][0] == 'L') out.push_back(events[i - 1]);
  return out;
}

struct AddressCase {
  Device type;
  int address;
  const char* latches;  // address-high and address-low as latched
};

class AddressForms : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressForms, ReadSendsTheDevicesAddressHighByte) {
  const AddressCase& c = GetParam();
  DeviceRig rig(c.type);
  rig.chip().memory[0] = 0x00;  // not all FF: no lock bits are asked for after the pass
  rig.Run(DeviceCommand::Read);
  const Events latches = AddressLatches(rig.events.Events());
  ASSERT_EQ(latches.size(), rig.state.DeviceSize);
  EXPECT_NE(latches[static_cast<std::size_t>(c.address)].find(c.latches), std::string::npos)
      << latches[static_cast<std::size_t>(c.address)];
}

INSTANTIATE_TEST_SUITE_P(Devices, AddressForms,
                         ::testing::Values(AddressCase{Device::AT89C51, 0x0000, "h=10 l=00"},
                                           AddressCase{Device::AT89C51, 0x0ABC, "h=1A l=BC"},
                                           AddressCase{Device::AT89C52, 0x1ABC, "h=1A l=BC"},
                                           AddressCase{Device::AT89C55, 0x4ABC, "h=4A l=BC"},
                                           AddressCase{Device::AT89C55WD, 0x4ABC, "h=8A l=BC"},
                                           AddressCase{Device::AT89C51RC, 0x3FFF, "h=3F l=FF"},
                                           AddressCase{Device::AT89C51RC, 0x4123, "h=81 l=23"},
                                           AddressCase{Device::AT89C51RC, 0x7FFF, "h=BF l=FF"}),
                         [](const auto& instance) {
                           return std::string(InfoOf(instance.param.type).PartName) + "_at_" +
                                  IntToHex(static_cast<std::uint32_t>(instance.param.address), 4);
                         });

TEST(AddressForms, TwentyPinReadStepsTheCounterAfterEveryByte) {
  DeviceRig rig(Device::AT89C2051);
  rig.Run(DeviceCommand::Read);
  const Events e = rig.events.Events();
  EXPECT_EQ(std::count(e.begin(), e.end(), "S"), 2048);
  EXPECT_EQ(std::count_if(e.begin(), e.end(),
                          [](const std::string& s) { return s.find("h=FF") != s.npos; }),
            2048);
}

// ---- failure paths ---------------------------------------------------------------------------

// After a failing byte only ResetBoard follows: on the AT89S53 and S8252 no SetAutoFeed with its
// 110 ms, on the 20-pin devices no further address step.
TEST(FailurePath, OnlyTheResetFollowsTheFailingByte) {
  const Events reset = {"L m=01 h=00 l=00 d=00", "C 07",     "C 07", "W 55ms x2",
                        "L m=81 h=00 l=00 d=00", "W 55ms x2"};
  struct Case {
    Device type;
    DeviceCommand command;
  };
  using enum DeviceCommand;
  for (const Case& c : {Case{Device::AT89S53, BlankCheck}, Case{Device::AT89S8252, Verify},
                        Case{Device::AT89S53, Write}, Case{Device::AT89C1051, BlankCheck},
                        Case{Device::AT89C2051, Verify}, Case{Device::AT89C4051, Write}}) {
    DeviceRig rig(c.type);
    rig.chip().wontProgram.insert(0x0005);
    rig.chip().memory[0x0005] = 0x00;  // not blank, and not what the buffer holds
    rig.state.DataBuffer[0x0005] = 0x11;
    rig.Run(c.command);
    EXPECT_EQ(rig.last.Failure.Address, 0x0005);
    Events e = rig.events.Events();
    const auto lastRead = std::find(e.rbegin(), e.rend(), "S").base();
    EXPECT_EQ(Events(lastRead, e.end()), reset) << InfoOf(c.type).PartName;
  }
}

// ---- unknown device types --------------------------------------------------------------------

TEST(UnknownDevice, DispatchersTouchNeitherBoardNorBuffer) {
  for (int type : {-1, kDeviceCount, 1000}) {
    DeviceRig rig(type);
    rig.state.DeviceSize = 0x1000;
    rig.state.DataBuffer[0] = 0x42;
    for (const DeviceCommandInfo& command : DeviceCommandTable()) {
      rig.Run(command.Command);
      EXPECT_EQ(OutcomeText(rig.last), "No Device Selected");
    }
    EXPECT_TRUE(rig.events.Events().empty());
    EXPECT_TRUE(rig.display.calls.empty());
    EXPECT_EQ(rig.state.DataBuffer[0], 0x42);
    EXPECT_EQ(rig.state.DataBuffer[1], 0xFF);
  }
}

// ---- the waits' seam: the simulator refuses a pulse cut short -------------------------------

struct WaitCase {
  const char* name;
  Device device;
  RoutineWaits::Wait RoutineWaits::*wait;
  RoutineWaits::Wait shorter;
};

class ShortenedWait : public ::testing::TestWithParam<WaitCase> {};

TEST_P(ShortenedWait, WriteFailsUntilTheWaitIsRestored) {
  const WaitCase& c = GetParam();
  DeviceRig rig(c.device, DeviceRig::kPcBusNs);
  rig.events.recording = false;
  rig.chip().memory[0] = 0x00;  // old contents that only a good erase clears
  for (int a = 0; a < 0x100; ++a) rig.state.DataBuffer[a] = static_cast<std::uint8_t>(a | 0x80);
  rig.state.DataBuffer[0] = 0x5A;

  rig.ops.Waits.*c.wait = c.shorter;
  rig.Run(DeviceCommand::Write);
  EXPECT_EQ(OutcomeText(rig.last).rfind("Program Verify Error @ Address  0000\r", 0), 0u)
      << OutcomeText(rig.last);

  rig.ops.Waits = RoutineWaits{};
  rig.Run(DeviceCommand::Write);
  EXPECT_TRUE(rig.last.Succeeded());
}

INSTANTIATE_TEST_SUITE_P(
    Waits, ShortenedWait,
    ::testing::Values(
        WaitCase{"AT89C51_byte", Device::AT89C51, &RoutineWaits::ByteC51, &Port::Delay100us},
        WaitCase{"AT89S53_byte", Device::AT89S53, &RoutineWaits::ByteC51, &Port::Delay50us},
        WaitCase{"AT89C55WD_byte", Device::AT89C55WD, &RoutineWaits::ByteC55WD, &Port::Delay50us},
        WaitCase{"AT89C2051_byte", Device::AT89C2051, &RoutineWaits::ByteC1051, &Port::Delay100us},
        WaitCase{"AT89C52_erase", Device::AT89C52, &RoutineWaits::EraseStrobe, &Port::Delay2ms},
        WaitCase{"AT89C4051_erase", Device::AT89C4051, &RoutineWaits::EraseStrobe, &Port::Delay2ms},
        WaitCase{"AT89S51_erase", Device::AT89S51, &RoutineWaits::EraseSelectInStep,
                 &Port::Delay50us}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST(ShortenedWait, LockBitPulseCutShortLeavesTheChipUnlocked) {
  DeviceRig rig(Device::AT89C51, DeviceRig::kPcBusNs);
  rig.state.ProgBits = kLockBit1;
  rig.ops.Waits.LockStrobe = &Port::Delay50us;
  rig.ops.ProgramLockBits(rig.job());
  EXPECT_EQ(rig.chip().lockBits, 0);
  rig.ops.Waits = RoutineWaits{};
  rig.ops.ProgramLockBits(rig.job());
  EXPECT_EQ(rig.chip().lockBits, sim::kChipLock1);
}

// ---- the AT89C1051 and C1051U share every routine ---------------------------------------------

TEST(SharedRoutines, C1051AndC1051USendTheSame) {
  DeviceRig a(Device::AT89C1051), b(Device::AT89C1051U);
  for (DeviceRig* r : {&a, &b}) {
    for (int i = 0; i < 1024; i += 3) r->state.DataBuffer[i] = static_cast<std::uint8_t>(i);
    r->state.ProgBits = 3;
    r->Run(DeviceCommand::Write);
    r->Run(DeviceCommand::BlankCheck);
    r->Run(DeviceCommand::Verify);
    r->Run(DeviceCommand::Read);
  }
  EXPECT_EQ(a.events.Events(), b.events.Events());
  EXPECT_EQ(a.display.calls, b.display.calls);
  EXPECT_EQ(a.chip().memory, b.chip().memory);
  EXPECT_EQ(a.chip().lockBits, 3);
  EXPECT_EQ(b.chip().lockBits, 3);
  a.Run(DeviceCommand::Signature);
  b.Run(DeviceCommand::Signature);
  EXPECT_EQ(OutcomeText(a.last), "Signature Bytes Info For 89C1051\rByte-1  = 1E\rByte-2  = 11");
  EXPECT_EQ(OutcomeText(b.last), "Signature Bytes Info For 89C1051\rByte-1  = 1E\rByte-2  = 12");
}

// ---- signature reports of erased chips, byte for byte ---------------------------------------

const char* const kErasedReports[kDeviceCount] = {
    "Signature Bytes Info For 89C51\rByte-1  = 1E\rByte-2  = 51\rByte-3  = FF",
    "Signature Bytes Info For 89C52\rByte-1  = 1E\rByte-2  = 52\rByte-3  = FF",
    "Signature Bytes Info For 89C55\rByte-1  = 1E\rByte-2  = 55\rByte-3  = FF",
    "Signature & Program Bits Info For 89S51\rByte-1         1E\rByte-2         51\rByte-3         "
    "06\rLock Bit-1    OFF\rLock Bit-2    OFF\rLock Bit-3    OFF",
    "Signature & Program Bits Info For 89S52\rByte-1         1E\rByte-2         52\rByte-3         "
    "06\rLock Bit-1    OFF\rLock Bit-2    OFF\rLock Bit-3    OFF",
    "Signature & Program Bits Info For 89S53\rByte-1          1E\rByte-2          53\rLock Bit-1   "
    " "
    "OFF\rLock Bit-2    OFF\rLock Bit-3    OFF\rISP Bit         ON",
    "Signature & Program Bits Info For 89S8252\rByte-1          1E\rByte-2          72\rLock Bit-1 "
    " "
    "  OFF\rLock Bit-2    OFF\rLock Bit-3    OFF\rISP Bit         ON",
    "Signature & Program Bits Info For 89C55WD\rByte-1         1E\rByte-2         55\rByte-3       "
    "  06\rLock Bit-1    OFF\rLock Bit-2    OFF\rLock Bit-3    OFF",
    "Signature & Program Bits Info For 89C51RC\rByte-1         1E\rByte-2         51\rByte-3       "
    "  07\rLock Bit-1    OFF\rLock Bit-2    OFF\rLock Bit-3    OFF",
    "Signature Bytes Info For 89C1051\rByte-1  = 1E\rByte-2  = 11",
    "Signature Bytes Info For 89C1051\rByte-1  = 1E\rByte-2  = 12",
    "Signature Bytes Info For 89C2051\rByte-1  = 1E\rByte-2  = 21",
    "Signature Bytes Info For 89C4051\rByte-1  = 1E\rByte-2  = 41",
};

TEST(SignatureReport, ErasedChipOfEveryType) {
  for (int type = 0; type < kDeviceCount; ++type) {
    DeviceRig rig(type);
    rig.Run(DeviceCommand::Signature);
    ASSERT_NE(kErasedReports[type], nullptr) << DeviceTable[type].PartName << " has no report here";
    EXPECT_EQ(OutcomeText(rig.last), kErasedReports[type]) << DeviceTable[type].PartName;
    EXPECT_EQ(rig.pc.ControlRegister(), 7);
  }
}

// ---- no board, empty socket: every operation runs to its end on what the lines give ----------

struct AbsentCase {
  const char* name;
  Device type;
  std::function<void(DeviceRig&)> fault;
  DeviceCommand command;
  const char* text;
};

class AbsentHardware : public ::testing::TestWithParam<AbsentCase> {};

TEST_P(AbsentHardware, ReportsWhatItRead) {
  const AbsentCase& c = GetParam();
  DeviceRig rig(c.type);
  rig.events.recording = false;
  c.fault(rig);
  rig.state.DataBuffer[0x10] = 0x12;
  rig.Run(c.command);
  EXPECT_EQ(OutcomeText(rig.last), c.text);
  EXPECT_EQ(rig.pc.ControlRegister(), 7);  // ended with the board idle
  EXPECT_EQ(rig.state.DataBuffer[0x10], 0x12);
}

const auto kNoBoard = [](DeviceRig& r) { r.pc.SetBoardPresent(false); };
const auto kEmptySocket = [](DeviceRig& r) { r.pc.RemoveChip(); };
constexpr DeviceCommand kBlank = DeviceCommand::BlankCheck;
constexpr DeviceCommand kWrite = DeviceCommand::Write;
constexpr DeviceCommand kSignature = DeviceCommand::Signature;
// An erased chip's pass where the lock bits could not be read.
constexpr const char* kBlankMayBeLocked =
    "Blank Check O.K\rA locked chip reads as blank too, and this one's lock bits could not be "
    "read.";

INSTANTIATE_TEST_SUITE_P(
    Faults, AbsentHardware,
    ::testing::Values(
        AbsentCase{"no_board_blank", Device::AT89C51, kNoBoard, kBlank, kBlankMayBeLocked},
        // The lock byte of no chip reads as every lock bit programmed: it does not count.
        AbsentCase{"no_board_blank_S51", Device::AT89S51, kNoBoard, kBlank, kBlankMayBeLocked},
        AbsentCase{"no_board_write", Device::AT89S52, kNoBoard, kWrite,
                   "Program Verify Error @ Address  0010\rData Read  =  FF\rProg Data   =  12"},
        AbsentCase{"no_board_signature_S51", Device::AT89S51, kNoBoard, kSignature,
                   "Signature & Program Bits Info For 89S51\rByte-1         FF\rByte-2         "
                   "FF\rByte-3         FF\rLock Bit-1    ON\rLock Bit-2    ON\rLock Bit-3    ON"},
        AbsentCase{"no_board_signature_S53", Device::AT89S53, kNoBoard, kSignature,
                   "Signature & Program Bits Info For 89S53\rByte-1          FF\rByte-2          "
                   "FF\rLock Bit-1    OFF\rLock Bit-2    OFF\rLock Bit-3    OFF\rISP Bit         "
                   "OFF"},
        AbsentCase{"empty_socket_blank", Device::AT89C1051, kEmptySocket, kBlank,
                   kBlankMayBeLocked},
        AbsentCase{"empty_socket_write", Device::AT89C4051, kEmptySocket, kWrite,
                   "Program Verify Error @ Address  0010\rData Read  =  FF\rProg Data   =  12"},
        AbsentCase{"empty_socket_signature", Device::AT89C51, kEmptySocket, kSignature,
                   "Signature Bytes Info For 89C51\rByte-1  = FF\rByte-2  = FF\rByte-3  = FF"}),
    [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace kaldo::test
