// Identification on the simulated PC: every chip is named whatever device is selected, the guard's
// refusal names it, nothing is written to it, and the board ends idle, also after a stop.
#include "device/Identification.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "core/Convert.h"
#include "core/Errors.h"
#include "core/model/DeviceTable.h"
#include "core/system/StopFlag.h"
#include "device/Programmer.h"
#include "sim/SimulatedPC.h"

namespace kaldo::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = ChipIdentity::Kind;

constexpr int kC51 = 0, kC52 = 1, kC55 = 2, kS51 = 3, kS52 = 4, kS53 = 5, kS8252 = 6, kC55WD = 7,
              kC51RC = 8, kC1051 = 9, kC1051U = 10, kC2051 = 11, kC4051 = 12;

// Passes every access on to the simulated PC and raises the stop flag once the simulated clock
// has passed a time, as a signal would.
class StoppingIo : public IoSpace {
 public:
  explicit StoppingIo(sim::SimulatedPC& pc) : pc_(pc) {}
  void write(std::uint16_t port, std::uint8_t value) override {
    Check();
    pc_.write(port, value);
  }
  std::uint8_t read(std::uint16_t port) override {
    Check();
    return pc_.read(port);
  }
  void StopAt(StopFlag& flag, std::uint64_t ns) {
    flag_ = &flag;
    stopAtNs_ = ns;
  }

 private:
  void Check() {
    if (flag_ && pc_.NowNs() >= stopAtNs_) flag_->Request(SIGINT);
  }
  sim::SimulatedPC& pc_;
  StopFlag* flag_ = nullptr;
  std::uint64_t stopAtNs_ = 0;
};

// An opened programmer on a simulated PC (5 us a port access: fewer timer polls per wait) whose
// socket holds a chip of `chipType` with a pattern written in it (none: -1).
struct Bench {
  explicit Bench(int chipType) : pc(SlowBus()) {
    if (chipType >= 0) {
      Bytes pattern(64);
      for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<std::uint8_t>(0x5A + i);
      pc.InsertChip(sim::Chip::WithContents(chipType, pattern));
    }
    programmer.UseStopFlag(stop);
    programmer.Open();
  }
  static sim::SimOptions SlowBus() {
    sim::SimOptions o;
    o.ioCycleNs = 5000;
    return o;
  }
  // As ResetBoard leaves it: control register 7, mode bit 7 latched, data released.
  bool BoardIdle() const {
    return pc.ControlRegister() == 0x07 && (pc.Lines().mode & 0x80) && !pc.Lines().dataDriven &&
           (pc.DataRegister() & 0x04);
  }

  sim::SimulatedPC pc;
  StoppingIo io{pc};
  StopFlag stop;
  Programmer programmer{io};
};

std::string Name(int type) {
  return FullName(*FindDevice(type));
}

TEST(SignatureProcedures, OneForEachReadOfItsOwnTheVoltageRaisingOneLast) {
  const struct {
    int runsAs;
    std::vector<int> serves;
    bool raisesVoltage;
  } expected[] = {
      {kC51, {kC51}, false},  // address-high bit 4 set
      {kC52, {kC52, kC55}, false},
      {kS51, {kS51, kS52, kC55WD, kC51RC}, false},
      {kC1051, {kC1051, kC1051U, kC2051, kC4051}, false},
      {kS53, {kS53, kS8252}, true},
  };
  const std::vector<SignatureProcedure> procedures = SignatureProcedures();
  ASSERT_EQ(procedures.size(), std::size(expected));
  for (std::size_t i = 0; i < procedures.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(procedures[i].DeviceType, expected[i].runsAs);
    EXPECT_EQ(procedures[i].Serves, expected[i].serves);
    EXPECT_EQ(procedures[i].RaisesVoltage, expected[i].raisesVoltage);
  }
}

// The judgement on each procedure's bytes and the texts made from it, without a board.
TEST(Identification, ReadingsAndTexts) {
  // The simulated chips answer no other group's procedure; a real AT89C51 may well answer the
  // AT89C52's read, which must not name it: that procedure's address form is not its own.
  const SignatureProcedure c52 = SignatureProcedures()[1];
  EXPECT_EQ(DeviceOfReading(c52, {0x1E, 0x55, 0xFF}), kC55);
  EXPECT_EQ(DeviceOfReading(c52, {0x1E, 0x51, 0xFF}), std::nullopt);
  EXPECT_EQ(DeviceOfReading(c52, {0x12, 0x34, 0x56}), std::nullopt);

  EXPECT_EQ(IdentityText({Kind::Known, kS52, {0x1E, 0x52, 0x06}}), "AT89S52 (signature 1E 52 06)");
  EXPECT_EQ(IdentityText({Kind::Unknown, -1, {0x12, 0x34}}), "unknown chip: signature 12 34");
  EXPECT_EQ(IdentityText({}),
            "no chip answered: is the board connected to the port and powered, and a chip seated "
            "in its socket?");

  const auto check = [](int device, Bytes ownRead, ChipIdentity inside) {
    SocketCheck c;
    c.DeviceType = device;
    c.Verdict = JudgeSignature(device, ownRead);
    c.Inside = inside;
    return c;
  };
  const struct {
    const char* name;
    SocketCheck check;
    bool wrongChip;
    std::string text;
  } checks[] = {
      {"another device's chip",
       check(kS51, {0xFF, 0xFF, 0xFF}, {Kind::Known, kC51, {0x1E, 0x51, 0xFF}}), true,
       "Wrong chip: the socket holds an AT89C51 (1E 51 FF) where the AT89S51 has 1E 51 06."},
      {"an unknown chip", check(kC2051, {0x12, 0x34}, {Kind::Unknown, -1, {0x12, 0x34}}), true,
       "Wrong chip: the socket holds an unknown chip (signature 12 34) where the AT89C2051 has 1E "
       "21."},
      {"no chip", check(kS53, {0xFF, 0xFF}, {}), false,
       "No chip answered (signature FF FF): is the board connected and the chip seated?"},
      {"the right chip the second time",
       check(kS52, {0x1E, 0x52, 0xFF}, {Kind::Known, kS52, {0x1E, 0x52, 0x06}}), false,
       "The chip answered 1E 52 FF, then the AT89S52's 1E 52 06: is it seated firmly?"},
      {"the right chip", check(kS52, {0x1E, 0x52, 0x06}, {}), false, ""},
  };
  for (const auto& c : checks) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.check.WrongChip(), c.wrongChip);
    EXPECT_EQ(SocketCheckText(c.check), c.text);
  }
}

// Every chip in the socket against every device selected: identify names the chip and leaves it as
// it was, and the guard passes the right chip with its port traffic of old, and names any other.
class EveryPair : public ::testing::TestWithParam<int> {};

TEST_P(EveryPair, IdentifyAndTheGuardNameTheChipInTheSocket) {
  const int chip = GetParam();
  Bench bench(chip);
  const sim::Chip before = *bench.pc.Socket();

  const ChipIdentity found = bench.programmer.Identify();
  EXPECT_EQ(found.Result, Kind::Known);
  EXPECT_EQ(found.DeviceType, chip);
  EXPECT_EQ(found.Signature, ExpectedSignature(chip));
  EXPECT_TRUE(bench.BoardIdle());

  for (int device = 0; device < kDeviceCount; ++device) {
    SCOPED_TRACE(Name(device) + " selected");
    const SocketCheck check = bench.programmer.CheckSocket(device);
    EXPECT_EQ(check.Passed(), device == chip);
    if (device != chip) {
      EXPECT_TRUE(check.WrongChip());
      ASSERT_TRUE(check.Inside.has_value());
      EXPECT_EQ(check.Inside->DeviceType, chip);
      EXPECT_NE(SocketCheckText(check).find("holds an " + Name(chip) + " ("), std::string::npos)
          << SocketCheckText(check);
    }
    EXPECT_TRUE(bench.BoardIdle());
  }
  // Reads only: not a bit of the chip changed.
  EXPECT_EQ(*bench.pc.Socket(), before);

  // The right chip: the guard's port traffic is the signature read's, as before identification.
  Bench signatureOnly(chip);
  Bench socketCheck(chip);
  signatureOnly.pc.SetTracing(true);
  socketCheck.pc.SetTracing(true);
  signatureOnly.programmer.CheckSignature(chip);
  socketCheck.programmer.CheckSocket(chip);
  EXPECT_EQ(signatureOnly.pc.Accesses(), socketCheck.pc.Accesses());
}

INSTANTIATE_TEST_SUITE_P(Identification, EveryPair, ::testing::Range(0, kDeviceCount),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return std::string(FindDevice(param.param)->PartName);
                         });

TEST(Identification, NoChipAnswers) {
  const struct {
    const char* name;
    bool board;
  } cases[] = {{"empty socket", true}, {"no board", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench(c.board ? -1 : kS52);
    bench.pc.SetBoardPresent(c.board);
    EXPECT_EQ(bench.programmer.Identify().Result, Kind::NoAnswer);
    const SocketCheck check = bench.programmer.CheckSocket(kS52);
    EXPECT_FALSE(check.Passed());
    EXPECT_FALSE(check.WrongChip());
    EXPECT_EQ(SocketCheckText(check),
              "No chip answered (signature FF FF FF): is the board connected and the chip seated?");
    EXPECT_TRUE(bench.BoardIdle());
  }
}

// A stop in each procedure ends the identification with the board reset, and the chip untouched.
TEST(Identification, StopsLikeAnyCommand) {
  // An AT89S53 answers the last procedure only, so every one runs: 0.72 s each, 1.44 s the last.
  for (const double seconds : {0.3, 1.0, 2.5, 3.5}) {
    SCOPED_TRACE(seconds);
    Bench bench(kS53);
    const sim::Chip before = *bench.pc.Socket();
    bench.io.StopAt(bench.stop, bench.pc.NowNs() + static_cast<std::uint64_t>(seconds * 1e9));
    EXPECT_THROW(bench.programmer.Identify(), StoppedError);
    EXPECT_TRUE(bench.BoardIdle());
    EXPECT_EQ(*bench.pc.Socket(), before);
  }
}

// Passes accesses on and notes whether the programming voltage was ever on.
class VoltageWatch : public IoSpace {
 public:
  explicit VoltageWatch(IoSpace& io, sim::SimulatedPC& pc) : io_(io), pc_(pc) {}
  void write(std::uint16_t port, std::uint8_t value) override {
    io_.write(port, value);
    if ((pc_.Lines().control & 0x02) == 0) raised = true;  // AutoFeed cleared: voltage on
  }
  std::uint8_t read(std::uint16_t port) override { return io_.read(port); }
  bool raised = false;

 private:
  IoSpace& io_;
  sim::SimulatedPC& pc_;
};

// The production run's look into the socket: each chip is found, an empty socket is empty, and
// the voltage is raised only for a device whose own read needs it, on a socket that looks empty
// to every other read.
TEST(LookIntoSocket, FindsTheChipAndRaisesTheVoltageOnlyForTheDevicesOwnRead) {
  const struct {
    const char* name;
    int device;
    int chip;  // -1: empty
    Kind kind;
    int found;
    bool voltage;
  } cases[] = {
      {"own chip", kC51, kC51, Kind::Known, kC51, false},
      {"empty", kC51, -1, Kind::NoAnswer, -1, false},
      {"another group's chip", kC51, kS52, Kind::Known, kS52, false},
      {"an S53 where no run needs the voltage", kC51, kS53, Kind::NoAnswer, -1, false},
      {"an S53 for an S53 run", kS53, kS53, Kind::Known, kS53, true},
      {"another chip for an S53 run", kS53, kC2051, Kind::Known, kC2051, false},
      {"empty for an S53 run", kS53, -1, Kind::NoAnswer, -1, true},
      {"an S8252 for a 20-pin run", kC2051, kS8252, Kind::NoAnswer, -1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench(c.chip);
    VoltageWatch watch(bench.io, bench.pc);
    Programmer programmer(watch);
    programmer.Open();
    const ChipIdentity inside = programmer.LookIntoSocket(c.device);
    EXPECT_EQ(inside.Result, c.kind);
    EXPECT_EQ(inside.DeviceType, c.found);
    EXPECT_EQ(watch.raised, c.voltage);
    EXPECT_TRUE(bench.BoardIdle());
  }
}

TEST(Pause, LastsItsTimeOnTheBoardsTimerAndStops) {
  Bench bench(-1);
  const std::uint64_t before = bench.pc.NowNs();
  bench.programmer.Pause(250);
  EXPECT_GE(bench.pc.NowNs() - before, 250'000'000u);
  EXPECT_LT(bench.pc.NowNs() - before, 260'000'000u);
  bench.io.StopAt(bench.stop, bench.pc.NowNs() + 30'000'000);
  EXPECT_THROW(bench.programmer.Pause(1000), StoppedError);
  EXPECT_LT(bench.pc.NowNs() - before, 300'000'000u);
}

}  // namespace
}  // namespace kaldo::test
