// The board events of whole routines, compared with lists written from the routines' steps.
// Each run starts from the idle board that start-up leaves (all latches 0, control register 7).
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/device/DeviceRig.h"

namespace kaldo::test {
namespace {

using Events = std::vector<std::string>;

struct Expect {
  Events e;
  Expect& operator()(std::initializer_list<std::string> more) {
    e.insert(e.end(), more);
    return *this;
  }
  // BeginOperation from the idle state: latches shifted with mode bit 7 low, Strobe low, 500 ms.
  Expect& Begin(const std::string& latch, const std::string& control = "C 06") {
    return (*this)({latch, control, "W 10ms x50"});
  }
  // ResetBoard at the end of an operation: latches cleared, control 7 twice, mode bit 7 high.
  Expect& Reset() {
    return (*this)({"L m=01 h=00 l=00 d=00", "C 07", "C 07", "W 55ms x2", "L m=81 h=00 l=00 d=00",
                    "W 55ms x2"});
  }
};

const std::string kIdleLatch = "L m=01 h=00 l=00 d=00";
const std::uint8_t kImage[4] = {0x12, 0xFF, 0x34, 0xFF};

// Programs a four-byte image (with two blank holes) so that the whole routine fits on a page.
Events ProgramFourBytes(DeviceRig& rig) {
  rig.state.DeviceSize = 4;
  for (int a = 0; a < 4; ++a) rig.state.DataBuffer[a] = kImage[a];
  rig.events.Clear();
  rig.Run(DeviceCommand::Write);
  EXPECT_TRUE(rig.last.Succeeded());
  return rig.events.Events();
}

TEST(GoldenTrace, FamilyC51OnAt89C51) {
  DeviceRig rig(Device::AT89C51);
  Events want =
      Expect{}
          .Begin(kIdleLatch)({kIdleLatch,
                              "W 55ms x2",              // SetModeBit0
                              "L m=17 h=00 l=00 d=00",  // chip erase
                              "C 04",
                              "W 10ms x50",  // ClearAutoFeed
                              "C 05",
                              "W 10ms",
                              "C 04",                   // 10 ms erase pulse
                              "L m=6F h=00 l=00 d=00",  // write code byte
                              "L m=6F h=10 l=00 d=12 drive",
                              "C 05",
                              "C 04",
                              "W 2ms",
                              "L m=6F h=10 l=02 d=34 drive",
                              "C 05",
                              "C 04",
                              "W 2ms",
                              "C 06",
                              "W 55ms x2",              // SetAutoFeed
                              "L m=67 h=10 l=02 d=FF",  // read code byte
                              "L m=67 h=10 l=00 d=FF",
                              "S",
                              "L m=67 h=10 l=01 d=12",
                              "S",
                              "L m=67 h=10 l=02 d=FF",
                              "S",
                              "L m=67 h=10 l=03 d=34",
                              "S"})
          .Reset()
          // lock bits, none selected
          .Begin(kIdleLatch)({kIdleLatch, "W 55ms x2", "C 04", "W 10ms x50", "C 06", "W 55ms x2"})
          .Reset()
          .e;
  EXPECT_EQ(ProgramFourBytes(rig), want);
}

TEST(GoldenTrace, FamilyC55WDOnAt89C55WD) {
  DeviceRig rig(Device::AT89C55WD);
  Expect x;
  for (int cycle = 0; cycle < 2; ++cycle) {
    x.Begin(kIdleLatch)({kIdleLatch, "W 55ms x2",  // SetModeBit0
                         "C 02", "W 55ms x2",      // ClearInit
                         "L m=17 h=00 l=00 d=00",  // chip erase
                         "C 00", "W 10ms x50",     // ClearAutoFeed
                         "C 08", "C 00",           // erase pulse on SelectIn
                         "W 10ms x15", "C 02", "W 55ms x2"})
        .Reset()({"W 10ms x50"});
  }
  x.Begin(kIdleLatch)({kIdleLatch,
                       "W 55ms x2",
                       "L m=6F h=00 l=00 d=00",
                       "C 04",
                       "W 10ms x50",
                       "L m=6F h=00 l=00 d=12 drive",
                       "C 0C",
                       "C 04",
                       "W 100us",
                       "L m=6F h=00 l=02 d=34 drive",
                       "C 0C",
                       "C 04",
                       "W 100us",
                       "C 06",
                       "W 55ms x2",
                       "W 10ms x50",             // SetAutoFeed, settle
                       "L m=63 h=00 l=02 d=FF",  // read code byte
                       "L m=63 h=00 l=00 d=FF",
                       "S",
                       "L m=63 h=00 l=01 d=12",
                       "S",
                       "L m=63 h=00 l=02 d=FF",
                       "S",
                       "L m=63 h=00 l=03 d=34",
                       "S"})
      .Reset();
  // lock bits, none selected
  x.Begin(kIdleLatch)({"C 02", "W 55ms x2", kIdleLatch, "W 55ms x2", "C 00", "W 10ms x50", "C 04",
                       "W 55ms x2", "C 06", "W 55ms x2"})
      .Reset();
  EXPECT_EQ(ProgramFourBytes(rig), x.e);
}

// The S51 and C55WD families, whose pulses come on SelectIn, differ in the erase cycles (Init
// cleared or not, a 500 ms settle after each or not) and in the wait after each byte: the events up
// to the first byte written.
struct SelectInCase {
  const char* name;
  Device device;
  bool clearsInit;
  bool settles;
  const char* byteWait;
};

class SelectInFamilies : public ::testing::TestWithParam<SelectInCase> {};

TEST_P(SelectInFamilies, EraseCyclesAndByteWait) {
  const SelectInCase& c = GetParam();
  DeviceRig rig(c.device);
  // Control register with AutoFeed (02) and Init (04) as the cycle leaves them; Strobe is low.
  const auto control = [&](int bits) {
    return "C " + IntToHex(static_cast<std::uint32_t>(c.clearsInit ? bits & ~0x04 : bits), 2);
  };
  Expect x;
  for (int cycle = 0; cycle < 2; ++cycle) {
    x.Begin(kIdleLatch)({kIdleLatch, "W 55ms x2"});
    if (c.clearsInit) x({"C 02", "W 55ms x2"});
    x({"L m=17 h=00 l=00 d=00", control(0x04), "W 10ms x50", control(0x0C), control(0x04),
       "W 10ms x15", control(0x06), "W 55ms x2"})
        .Reset();
    if (c.settles) x({"W 10ms x50"});
  }
  x.Begin(kIdleLatch)({kIdleLatch, "W 55ms x2", "L m=6F h=00 l=00 d=00", "C 04", "W 10ms x50",
                       "L m=6F h=00 l=00 d=12 drive", "C 0C", "C 04", c.byteWait});
  Events got = ProgramFourBytes(rig);
  ASSERT_GE(got.size(), x.e.size());
  got.resize(x.e.size());
  EXPECT_EQ(got, x.e);
}

INSTANTIATE_TEST_SUITE_P(
    All, SelectInFamilies,
    ::testing::Values(SelectInCase{"AT89S51", Device::AT89S51, false, true, "W 50us"},
                      SelectInCase{"AT89S52", Device::AT89S52, false, true, "W 50us"},
                      SelectInCase{"AT89C55WD", Device::AT89C55WD, true, true, "W 100us"},
                      SelectInCase{"AT89C51RC", Device::AT89C51RC, true, false, "W 100us"}),
    [](const auto& instance) { return std::string(instance.param.name); });

// The 20-pin devices count addresses themselves and the count wraps at the end of the chip, so the
// routine walks the whole chip: 1024 addresses of an AT89C1051 holding the same two bytes.
TEST(GoldenTrace, FamilyC1051OnAt89C1051) {
  DeviceRig rig(Device::AT89C1051);
  rig.state.DataBuffer[0] = kImage[0];
  rig.state.DataBuffer[2] = kImage[2];
  // Bytes travel bit-reversed: 0x12 goes out as 0x48, 0x34 as 0x2C.
  const auto reversed = [](int a) { return a == 0 ? "48" : a == 2 ? "2C" : "FF"; };
  const auto stored = [](int a) { return a == 0 ? "12" : a == 2 ? "34" : "FF"; };
  Expect x;
  x({"L m=81 h=00 l=00 d=00", "W 55ms x2"})                        // SetModeBit0 while idle
      .Begin("L m=01 h=FE l=00 d=00")({"L m=03 h=FE l=00 d=00",    // chip erase
                                       "C 04", "W 10ms x50",       // ClearAutoFeed
                                       "C 05", "W 10ms", "C 04",   // erase pulse
                                       "L m=1D h=FE l=00 d=00"});  // write code byte
  for (int a = 0; a < 1024; ++a) {
    const std::string d = std::string(" d=") + reversed(a) + " drive";
    if (a == 0 || a == 2) x({"L m=1D h=FE l=00" + d, "C 05", "C 04", "W 2ms"});
    x({"L m=1D h=FF l=00" + d, "L m=1D h=FE l=00" + d});  // the address counter steps
  }
  x({"C 06", "W 55ms x2", "W 10ms x50",  // SetAutoFeed, settle
     "C 06",                             // ClearStrobe
     "L m=15 h=FE l=00 d=FF"});          // read code byte
  for (int a = 0; a < 1024; ++a) {
    const std::string d = std::string(" d=") + stored(a);
    x({"S", "L m=15 h=FF l=00" + d, "L m=15 h=FE l=00" + d});
  }
  x.Reset()({"L m=81 h=00 l=00 d=00", "W 55ms x2"})  // lock bits, none selected
      .Begin("L m=01 h=FE l=00 d=00")({"C 04", "W 10ms x50", "C 06", "W 55ms x2"})
      .Reset();

  rig.Run(DeviceCommand::Write);
  EXPECT_TRUE(rig.last.Succeeded());
  EXPECT_EQ(rig.events.Events(), x.e);
}

// The reading frame shared by blank check, read and verify, on two bytes of an erased chip.
TEST(GoldenTrace, ReadFrameOfTheAt89S53AndThe20PinDevices) {
  DeviceRig s53(Device::AT89S53);
  s53.state.DeviceSize = 2;
  s53.Run(DeviceCommand::BlankCheck);
  EXPECT_TRUE(s53.last.Succeeded());
  const Events frame =
      Expect{}
          .Begin(kIdleLatch)({kIdleLatch, "W 55ms x2",  // SetModeBit0
                              "C 04", "W 10ms x50",     // ClearAutoFeed
                              "L m=67 h=00 l=00 d=00",  // read code byte
                              "L m=67 h=00 l=00 d=00", "S", "L m=67 h=00 l=01 d=FF", "S", "C 06",
                              "W 55ms x2"})  // SetAutoFeed after the pass
          .Reset()
          .e;
  const Events all = s53.events.Events();
  ASSERT_GE(all.size(), frame.size());
  EXPECT_EQ(Events(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(frame.size())), frame);
  // Every byte read FF: then the device's signature read, for its lock bits.
  DeviceRig signature(Device::AT89S53);
  signature.Run(DeviceCommand::Signature);
  EXPECT_EQ(Events(all.begin() + static_cast<std::ptrdiff_t>(frame.size()), all.end()),
            signature.events.Events());
  EXPECT_EQ(s53.display.calls, (std::vector<std::string>{"A 0000"}));

  DeviceRig c2051(Device::AT89C2051);
  c2051.state.DeviceSize = 2;
  c2051.Run(DeviceCommand::Read);
  EXPECT_EQ(c2051.events.Events(), Expect{}
                                       .Begin("L m=01 h=FE l=00 d=00")(
                                           {"L m=15 h=FE l=00 d=00",  // read code byte
                                            "S", "L m=15 h=FF l=00 d=FF",
                                            "L m=15 h=FE l=00 d=FF",  // counter step
                                            "S", "L m=15 h=FF l=00 d=FF", "L m=15 h=FE l=00 d=FF"})
                                       .Reset()
                                       .e);
}

// The signature procedures, with the device's answers given byte by byte on the read-back line:
// the board events and the report they make.
struct SignatureCase {
  const char* name;
  Device device;
  std::vector<std::uint8_t> answers;  // as shifted in; the 20-pin devices' arrive bit-reversed
  Events want;                        // empty: only the report is compared
  const char* report;
};

class SignatureProcedures : public ::testing::TestWithParam<SignatureCase> {};

TEST_P(SignatureProcedures, BoardSeesTheStepsAndTheReportShowsTheAnswers) {
  const SignatureCase& c = GetParam();
  DeviceRig rig(c.device);
  rig.events.answers.assign(c.answers.begin(), c.answers.end());
  rig.Run(DeviceCommand::Signature);
  if (!c.want.empty()) {
    EXPECT_EQ(rig.events.Events(), c.want);
  }
  EXPECT_EQ(OutcomeText(rig.last), c.report);
  EXPECT_TRUE(rig.events.answers.empty());
  EXPECT_TRUE(rig.display.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    All, SignatureProcedures,
    ::testing::Values(
        SignatureCase{
            "AT89C51",
            Device::AT89C51,
            {0x1E, 0x51, 0xFF},
            Expect{}
                .Begin(kIdleLatch)({"L m=07 h=00 l=00 d=00", "L m=07 h=10 l=30 d=00", "S",
                                    "L m=07 h=10 l=31 d=1E", "S", "L m=07 h=10 l=32 d=51", "S"})
                .Reset()
                .e,
            "Signature Bytes Info For 89C51\rByte-1  = 1E\rByte-2  = 51\rByte-3  = FF"},
        SignatureCase{
            "AT89C52",
            Device::AT89C52,
            {0x1E, 0x52, 0xFF},
            Expect{}
                .Begin(kIdleLatch)({"L m=07 h=00 l=00 d=00", "L m=07 h=00 l=30 d=00", "S",
                                    "L m=07 h=00 l=31 d=1E", "S", "L m=07 h=00 l=32 d=52", "S"})
                .Reset()
                .e,
            "Signature Bytes Info For 89C52\rByte-1  = 1E\rByte-2  = 52\rByte-3  = FF"},
        SignatureCase{
            "AT89S51",
            Device::AT89S51,
            {0x1E, 0x51, 0x06, 0x04},
            Expect{}
                .Begin(kIdleLatch)({"L m=03 h=00 l=00 d=00", "L m=03 h=00 l=00 d=00", "S",
                                    "L m=03 h=01 l=00 d=1E", "S", "L m=03 h=02 l=00 d=51", "S",
                                    "L m=3B h=02 l=00 d=06",  // lock-bit read
                                    "S"})
                .Reset()
                .e,
            "Signature & Program Bits Info For 89S51\rByte-1         1E\rByte-2         "
            "51\rByte-3         06\rLock Bit-1    ON\rLock Bit-2    OFF\rLock Bit-3    OFF"},
        SignatureCase{
            "AT89S53",
            Device::AT89S53,
            {0x1E, 0x53, 0x06, 0x00},
            Expect{}
                .Begin(kIdleLatch)({kIdleLatch, "W 55ms x2",  // SetModeBit0
                                    "C 04", "W 10ms x50",     // ClearAutoFeed
                                    "L m=07 h=00 l=00 d=00", "L m=07 h=00 l=30 d=00", "S",
                                    "L m=07 h=00 l=31 d=1E", "S",
                                    "L m=1F h=00 l=31 d=53",  // lock-bit read
                                    "S",
                                    "L m=5F h=00 l=31 d=06",  // ISP-fuse read
                                    "S", "C 06", "W 55ms x2"})
                .Reset()
                .e,
            "Signature & Program Bits Info For 89S53\rByte-1          1E\rByte-2          "
            "53\rLock Bit-1    OFF\rLock Bit-2    OFF\rLock Bit-3    ON\rISP Bit         ON"},
        SignatureCase{
            "AT89C1051U",
            Device::AT89C1051U,
            {0x78, 0x48},  // 1E and 12, bit-reversed
            Expect{}
                .Begin("L m=01 h=FE l=00 d=00")(
                    {"L m=01 h=FE l=00 d=00", "S", "L m=01 h=FF l=00 d=1E", "L m=01 h=FE l=00 d=1E",
                     "S", "L m=01 h=FF l=00 d=12", "L m=01 h=FE l=00 d=12"})
                .Reset()
                .e,
            "Signature Bytes Info For 89C1051\rByte-1  = 1E\rByte-2  = 12"},
        // Only lock-byte bits 2 to 4 (AT89S51 group), bits 0 to 2 and fuse bit 0 (AT89S53 group)
        // count.
        SignatureCase{
            "AT89S52_other_bits_set",
            Device::AT89S52,
            {0x1E, 0x52, 0x06, 0xE3},
            {},
            "Signature & Program Bits Info For 89S52\rByte-1         1E\rByte-2         "
            "52\rByte-3         06\rLock Bit-1    OFF\rLock Bit-2    OFF\rLock Bit-3    OFF"},
        SignatureCase{
            "AT89C51RC_all_locked",
            Device::AT89C51RC,
            {0x1E, 0x51, 0x07, 0x1C},
            {},
            "Signature & Program Bits Info For 89C51RC\rByte-1         1E\rByte-2         "
            "51\rByte-3         07\rLock Bit-1    ON\rLock Bit-2    ON\rLock Bit-3    ON"},
        SignatureCase{
            "AT89S8252_all_programmed",
            Device::AT89S8252,
            {0x1E, 0x72, 0xF8, 0xFE},
            {},
            "Signature & Program Bits Info For 89S8252\rByte-1          1E\rByte-2          "
            "72\rLock Bit-1    ON\rLock Bit-2    ON\rLock Bit-3    ON\rISP Bit         ON"},
        SignatureCase{
            "AT89S8252_lock_bit_2_only",
            Device::AT89S8252,
            {0x1E, 0x72, 0x05, 0x01},
            {},
            "Signature & Program Bits Info For 89S8252\rByte-1          1E\rByte-2          "
            "72\rLock Bit-1    OFF\rLock Bit-2    ON\rLock Bit-3    OFF\rISP Bit         OFF"}),
    [](const auto& instance) { return std::string(instance.param.name); });

struct LockCase {
  const char* name;
  Device device;
  int progBits;
  Events want;
};

class LockSequences : public ::testing::TestWithParam<LockCase> {};

TEST_P(LockSequences, BoardSeesTheSteps) {
  const LockCase& c = GetParam();
  DeviceRig rig(c.device);
  rig.state.ProgBits = c.progBits;
  rig.events.Clear();
  rig.ops.ProgramLockBits(rig.job());
  EXPECT_EQ(rig.events.Events(), c.want);
}

// One pulse per selected bit under its own mode code: lock bit 1 0x7E, 2 0x1E, 3 0x36.
const Events kL1Strobe =
    Expect{}
        .Begin(kIdleLatch)({kIdleLatch, "W 55ms x2", "C 04", "W 10ms x50", "L m=7F h=00 l=00 d=00",
                            "C 05", "C 04", "W 2ms", "L m=1F h=00 l=00 d=00", "C 05", "C 04",
                            "W 2ms", "L m=37 h=00 l=00 d=00", "C 05", "C 04", "W 2ms", "C 06",
                            "W 55ms x2"})
        .Reset()
        .e;
const Events kL1SelectIn =
    Expect{}
        .Begin(kIdleLatch)({kIdleLatch, "W 55ms x2", "C 04", "W 10ms x50", "L m=7F h=00 l=00 d=00",
                            "C 0C", "C 04", "W 50us", "L m=37 h=00 l=00 d=00", "C 0C", "C 04",
                            "W 50us", "C 06", "W 55ms x2"})
        .Reset()
        .e;
// ISP fuse byte 0xFE with a 10 ms pulse, then the lock byte with lock bits 1 and 3 as zeros.
const Events kL2 = Expect{}
                       .Begin("L m=01 h=00 l=00 d=FE")(
                           {"L m=01 h=00 l=00 d=FE", "W 55ms x2", "C 04", "W 10ms x50",
                            "L m=4F h=00 l=00 d=FE drive", "C 05", "W 10ms", "C 04", "C 06",
                            "W 55ms x2", "C 04", "W 10ms x50", "L m=37 h=00 l=00 d=5F drive",
                            "C 05", "C 04", "W 2ms", "C 06", "W 55ms x2"})
                       .Reset()
                       .e;
// Nothing selected: both bytes are still written, as 0xFF.
const Events kL2None = Expect{}
                           .Begin("L m=01 h=00 l=00 d=FF")(
                               {"L m=01 h=00 l=00 d=FF", "W 55ms x2", "C 04", "W 10ms x50",
                                "L m=4F h=00 l=00 d=FF drive", "C 05", "W 10ms", "C 04", "C 06",
                                "W 55ms x2", "C 04", "W 10ms x50", "L m=37 h=00 l=00 d=FF drive",
                                "C 05", "C 04", "W 2ms", "C 06", "W 55ms x2"})
                           .Reset()
                           .e;
// Init low around timed 100 us Strobe pulses.
const Events kL3 = Expect{}
                       .Begin(kIdleLatch)({"C 02", "W 55ms x2", kIdleLatch, "W 55ms x2", "C 00",
                                           "W 10ms x50", "L m=1F h=00 l=00 d=00", "C 01", "W 100us",
                                           "C 00", "C 04", "W 55ms x2", "C 06", "W 55ms x2"})
                       .Reset()
                       .e;
// Two lock bits only (0x1E, 0x0A); bits 2 and 3 of the selection are ignored.
const Events kL4 = Expect{}({"L m=81 h=00 l=00 d=00", "W 55ms x2"})
                       .Begin("L m=01 h=FE l=00 d=00")(
                           {"C 04", "W 10ms x50", "L m=1F h=FE l=00 d=00", "C 05", "C 04", "W 2ms",
                            "L m=0B h=FE l=00 d=00", "C 05", "C 04", "W 2ms", "C 06", "W 55ms x2"})
                       .Reset()
                       .e;
// An unknown device type: only the reset.
const Events kNone = Expect{}({"L m=81 h=00 l=00 d=00", "C 07", "C 07", "W 55ms x2",
                               "L m=81 h=00 l=00 d=00", "W 55ms x2"})
                         .e;

// The S53 family, the C51 family's steps with AutoFeed around them: AutoFeed drops before the erase
// code is latched and rises only after a verify pass without mismatch; the lock-bit step then
// writes both of its bytes.
TEST(GoldenTrace, FamilyS53OnAt89S53) {
  DeviceRig rig(Device::AT89S53);
  Events want = Expect{}
                    .Begin(kIdleLatch)({kIdleLatch,
                                        "W 55ms x2",  // SetModeBit0
                                        "C 04",
                                        "W 10ms x50",  // ClearAutoFeed
                                        "L m=17 h=00 l=00 d=00",
                                        "C 05",
                                        "W 10ms",
                                        "C 04",
                                        "L m=6F h=00 l=00 d=00",  //
                                        "L m=6F h=00 l=00 d=12 drive",
                                        "C 05",
                                        "C 04",
                                        "W 2ms",
                                        "L m=6F h=00 l=02 d=34 drive",
                                        "C 05",
                                        "C 04",
                                        "W 2ms",
                                        "L m=67 h=00 l=02 d=FF",  // read code byte
                                        "L m=67 h=00 l=00 d=FF",
                                        "S",
                                        "L m=67 h=00 l=01 d=12",
                                        "S",
                                        "L m=67 h=00 l=02 d=FF",
                                        "S",
                                        "L m=67 h=00 l=03 d=34",
                                        "S",  //
                                        "C 06",
                                        "W 55ms x2"})  // SetAutoFeed
                    .Reset()
                    .e;
  want.insert(want.end(), kL2None.begin(), kL2None.end());
  EXPECT_EQ(ProgramFourBytes(rig), want);
}

INSTANTIATE_TEST_SUITE_P(
    All, LockSequences,
    ::testing::Values(LockCase{"L1_AT89C51", Device::AT89C51, 7, kL1Strobe},
                      LockCase{"L1_AT89C55", Device::AT89C55, 7, kL1Strobe},
                      LockCase{"L1_AT89S52", Device::AT89S52, 5, kL1SelectIn},
                      LockCase{"L2_AT89S53", Device::AT89S53, 13, kL2},
                      LockCase{"L2_AT89S8252_nothing_selected", Device::AT89S8252, 0, kL2None},
                      LockCase{"L3_AT89C51RC", Device::AT89C51RC, 2, kL3},
                      LockCase{"L4_AT89C4051", Device::AT89C4051, 15, kL4},
                      LockCase{"L4_AT89C1051U", Device::AT89C1051U, 15, kL4},
                      LockCase{"unknown_type", static_cast<Device>(kDeviceCount), 7, kNone}),
    [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace kaldo::test
