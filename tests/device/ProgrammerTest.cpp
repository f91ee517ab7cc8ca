// The programmer session on the simulated PC: the outcome of each command, the texts made from it,
// opening and closing, and what a link error in the middle of a routine leaves on the board.
#include "device/Programmer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Errors.h"
#include "core/system/StopFlag.h"
#include "link/Port.h"
#include "sim/SimulatedPC.h"
#include "tests/device/DeviceRig.h"

namespace kaldo::test {
namespace {

constexpr int kC51 = DeviceTypeOf(Device::AT89C51);
constexpr int kS51 = DeviceTypeOf(Device::AT89S51);
constexpr int kS52 = DeviceTypeOf(Device::AT89S52);
constexpr int kS53 = DeviceTypeOf(Device::AT89S53);
constexpr int kC51RC = DeviceTypeOf(Device::AT89C51RC);
constexpr int kC2051 = DeviceTypeOf(Device::AT89C2051);
constexpr int kNoDevice = kDeviceCount;
constexpr std::uint16_t kLpt = 0x378;

// Counts the writes of each value to each port, and can make the port go away: from a given
// access on, every access (or only that one) raises an error; the first says "went away", the
// later ones "is still away". It can also raise a stop flag once the simulated clock has passed
// a time, as a signal would, and again at every access after it (the user pressing Ctrl-C again).
class FlakyIo : public IoSpace {
 public:
  explicit FlakyIo(sim::SimulatedPC& pc) : pc_(pc) {}

  void write(std::uint16_t port, std::uint8_t value) override {
    Access(port);
    ++writes_[{port, value}];
    pc_.write(port, value);
  }
  std::uint8_t read(std::uint16_t port) override {
    Access(port);
    return pc_.read(port);
  }

  int Writes(std::uint16_t port, std::uint8_t value) const {
    const auto it = writes_.find({port, value});
    return it == writes_.end() ? 0 : it->second;
  }
  int LptAccesses() const { return lptAccesses_; }
  void ClearCounts() {
    writes_.clear();
    lptAccesses_ = 0;
  }
  // The access after `passing` more raises; with `once`, only that one.
  void FailAfter(long passing, bool once) {
    failAt_ = accesses_ + passing + 1;
    once_ = once;
  }
  // The first access at or after the simulated time raises, once.
  void FailAtTime(std::uint64_t ns) {
    failAtNs_ = ns;
    once_ = true;
  }
  void Heal() { failAt_ = -1; }
  void StopAtTime(StopFlag& flag, std::uint64_t ns) {
    stop_ = &flag;
    stopAtNs_ = ns;
  }
  // When the stop was first raised, or the error raised; 0 before.
  std::uint64_t TriggeredNs() const { return triggeredNs_; }

 private:
  void Access(std::uint16_t port) {
    ++accesses_;
    if (port >= kLpt && port <= kLpt + 2) ++lptAccesses_;
    const std::uint64_t now = pc_.NowNs();
    if (stop_ && now >= stopAtNs_) {
      if (triggeredNs_ == 0) triggeredNs_ = now;
      stop_->Request(SIGINT);
    }
    if (failAtNs_ > 0 && now >= failAtNs_) {
      failAtNs_ = 0;
      triggeredNs_ = now;
      throw Error("The port went away");
    }
    if (failAt_ > 0 && accesses_ >= failAt_) {
      const bool first = accesses_ == failAt_;
      if (once_) failAt_ = -1;
      throw Error(first ? "The port went away" : "The port is still away");
    }
  }

  sim::SimulatedPC& pc_;
  std::map<std::pair<std::uint16_t, std::uint8_t>, int> writes_;
  long accesses_ = 0;
  long failAt_ = -1;
  bool once_ = false;
  int lptAccesses_ = 0;
  StopFlag* stop_ = nullptr;
  std::uint64_t stopAtNs_ = 0;
  std::uint64_t failAtNs_ = 0;
  std::uint64_t triggeredNs_ = 0;
};

class RecordingDisplay : public ProgressDisplay {
 public:
  void ShowAddress(int) override { ++calls; }
  void ShowCommand(const std::string&) override { ++calls; }
  int calls = 0;
};

// An opened programmer on a simulated PC whose socket holds an erased chip of the type (none for
// a type outside the device table). The routines work on the first `size` bytes only, so that each
// command is short; the tests run on a slow bus (5 us a port access), which costs fewer timer
// polls. (A 20-pin chip's address counter is only back at 0 after its whole size, so a shortened
// write fails its verify there: the writes below use 40-pin devices.)
struct Rig {
  explicit Rig(int type, std::uint16_t size = 16) : pc(SlowBus()) {
    if (type < kDeviceCount) pc.InsertChip(type);
    state.DeviceType = type;
    SetDeviceSize(state);
    if (state.DeviceSize > size) state.DeviceSize = size;
    programmer.UseStopFlag(stop);
    programmer.Open();
    io.ClearCounts();
  }
  static sim::SimOptions SlowBus() {
    sim::SimOptions o;
    o.ioCycleNs = 5000;
    return o;
  }
  sim::Chip& chip() { return *pc.Socket(); }
  void Image(const std::vector<std::uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), state.DataBuffer.begin());
  }
  // The board as ResetBoard leaves it: control register 7, mode bit 7 latched, data released.
  bool BoardIdle() const {
    return pc.ControlRegister() == 0x07 && (pc.Lines().mode & 0x80) && !pc.Lines().dataDriven &&
           (pc.DataRegister() & 0x04);
  }

  sim::SimulatedPC pc;
  FlakyIo io{pc};
  ProgramState state;
  StopFlag stop;
  Programmer programmer{io};

  // The command on the rig's buffer, device and program bits.
  CommandOutcome Run(DeviceCommand command, ProgressDisplay* progress = nullptr) {
    return programmer.Run(command, JobOf(state), progress);
  }
};

struct OutcomeCase {
  const char* name;
  int type;
  DeviceCommand command;
  std::function<void(Rig&)> arrange;
  CommandOutcome::Kind kind;
  std::string shown;  // OutcomeText
};

void PrintTo(const OutcomeCase& c, std::ostream* os) {
  *os << c.name;
}

class Outcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(Outcome, IsTypedAndGivesTheWindowsTexts) {
  const OutcomeCase& c = GetParam();
  Rig rig(c.type);
  if (c.arrange) c.arrange(rig);
  const CommandOutcome outcome = rig.Run(c.command);
  EXPECT_EQ(outcome.Command, c.command);
  EXPECT_EQ(outcome.Result, c.kind);
  EXPECT_EQ(OutcomeText(outcome), c.shown);
  // A read of a locked chip leaves the buffer as it was.
  if (c.command == DeviceCommand::Read && c.kind == CommandOutcome::Kind::DeviceLocked) {
    EXPECT_EQ(rig.state.DataBuffer[0], 0x12);
  }
  if (c.kind == CommandOutcome::Kind::NoDeviceSelected) {
    EXPECT_EQ(rig.io.LptAccesses(), 0);
  } else {
    EXPECT_TRUE(rig.BoardIdle());
  }
}

const OutcomeCase kOutcomes[] = {
    {"BlankCheckOfAnErasedChip", kC2051, DeviceCommand::BlankCheck, nullptr,
     CommandOutcome::Kind::Success,
     "Blank Check O.K\rA locked chip reads as blank too, and this one's lock bits could not be "
     "read."},
    {"BlankCheckOfAChipThatReportsItsLockBits", kC51RC, DeviceCommand::BlankCheck,
     [](Rig& r) { r.chip().lockBits = sim::kChipLock1; }, CommandOutcome::Kind::Success,
     "Blank Check O.K"},
    {"BlankCheckOfALockedChip", kS52, DeviceCommand::BlankCheck,
     [](Rig& r) { r.chip().lockBits = 7; }, CommandOutcome::Kind::DeviceLocked,
     "Blank Check Error: the chip is locked (lock bits 1, 2, 3 programmed)\rIts lock bits make it "
     "read FF at every address, whatever it holds. A write erases it, lock bits included."},
    {"ReadOfALockedChip", kS53, DeviceCommand::Read,
     [](Rig& r) {
       r.chip().memory[1] = 0x42;
       r.chip().lockBits = sim::kChipLock3;
       r.Image({0x12});
     },
     CommandOutcome::Kind::DeviceLocked,
     "Read Error: the chip is locked (lock bit 3 programmed)\rIts lock bits make it read FF at "
     "every address, whatever it holds: nothing was read."},
    {"ReadOfAChipThatMayBeLocked", kC51, DeviceCommand::Read, [](Rig& r) { r.chip().lockBits = 7; },
     CommandOutcome::Kind::Success,
     "Data Reading Complete\rEvery byte read FF, as a locked chip reads too, and this one's lock "
     "bits could not be read."},
    {"BlankCheckFindsAByte", kC2051, DeviceCommand::BlankCheck,
     [](Rig& r) { r.chip().memory[3] = 0x5A; }, CommandOutcome::Kind::DeviceFailed,
     "Blank Check Error @ Address  0003\rData Read  =  5A"},
    {"ReadOfAChip", kC51, DeviceCommand::Read, [](Rig& r) { r.chip().memory[1] = 0x42; },
     CommandOutcome::Kind::Success, "Data Reading Complete"},
    {"VerifyOfAnEqualChip", kS51, DeviceCommand::Verify,
     [](Rig& r) {
       r.chip().memory[0] = 0x10;
       r.Image({0x10});
     },
     CommandOutcome::Kind::Success, "Verify OK"},
    {"VerifyFindsADifference", kS51, DeviceCommand::Verify,
     [](Rig& r) {
       r.chip().memory[2] = 0x00;
       r.Image({0xFF, 0xFF, 0x3C});
     },
     CommandOutcome::Kind::DeviceFailed,
     "Buffer Verify Error @ Address  0002\rData Read  =  00\rProg Data   =  3C"},
    {"WriteWithoutLockBits", kC51, DeviceCommand::Write,
     [](Rig& r) {
       r.Image({0x12, 0x34});
     },
     CommandOutcome::Kind::Success, "Programming/Verify OK"},
    {"WriteWithLockBits", kC51, DeviceCommand::Write,
     [](Rig& r) {
       r.Image({0x12});
       r.state.ProgBits = kLockBit1;
     },
     CommandOutcome::Kind::Success, "Programming/Verify OK\rLock Bits Programmed"},
    {"WriteOverAStuckCell", kC51, DeviceCommand::Write,
     [](Rig& r) {
       r.chip().wontProgram.insert(1);
       r.Image({0x12, 0x00});
       r.state.ProgBits = kLockBit1;
     },
     CommandOutcome::Kind::DeviceFailed,
     "Program Verify Error @ Address  0001\rData Read  =  FF\rProg Data   =  00"},
    {"Signature", kC2051, DeviceCommand::Signature, nullptr, CommandOutcome::Kind::Success,
     "Signature Bytes Info For 89C2051\rByte-1  = 1E\rByte-2  = 21"},
    {"BlankCheckWithoutDevice", kNoDevice, DeviceCommand::BlankCheck, nullptr,
     CommandOutcome::Kind::NoDeviceSelected, kNoDeviceText},
    {"ReadWithoutDevice", kNoDevice, DeviceCommand::Read, nullptr,
     CommandOutcome::Kind::NoDeviceSelected, kNoDeviceText},
    {"VerifyWithoutDevice", kNoDevice, DeviceCommand::Verify, nullptr,
     CommandOutcome::Kind::NoDeviceSelected, kNoDeviceText},
    {"WriteWithoutDevice", kNoDevice, DeviceCommand::Write, nullptr,
     CommandOutcome::Kind::NoDeviceSelected, kNoDeviceText},
    {"SignatureWithoutDevice", kNoDevice, DeviceCommand::Signature, nullptr,
     CommandOutcome::Kind::NoDeviceSelected, kNoDeviceText},
};

INSTANTIATE_TEST_SUITE_P(Programmer, Outcome, ::testing::ValuesIn(kOutcomes),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(Programmer, WriteProgramsTheChipAndTheLockBitsOnlyAfterAVerifiedWrite) {
  Rig good(kC51);
  good.Image({0x12, 0xFF, 0x34});
  good.state.ProgBits = kLockBit1;
  ASSERT_TRUE(good.Run(DeviceCommand::Write).Succeeded());
  EXPECT_EQ(good.chip().memory[0], 0x12);
  EXPECT_EQ(good.chip().memory[2], 0x34);
  EXPECT_EQ(good.chip().lockBits, sim::kChipLock1);

  Rig stuck(kC51);
  stuck.chip().wontProgram.insert(0);
  stuck.Image({0x12});
  stuck.state.ProgBits = kLockBit1;
  EXPECT_FALSE(stuck.Run(DeviceCommand::Write).Succeeded());
  EXPECT_EQ(stuck.chip().lockBits, 0);
}

// The signature outcome carries the bytes each procedure reads, apart from its report.
TEST(Programmer, SignatureOutcomeHoldsTheBytesOfEachProcedure) {
  const struct {
    int type;
    std::size_t bytes;
    bool lock;
    bool fuse;
  } rows[] = {{kC51, 3, false, false},
              {kS51, 3, true, false},
              {kS53, 2, true, true},
              {kC2051, 2, false, false}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.type);
    Rig rig(r.type);
    const CommandOutcome o = rig.Run(DeviceCommand::Signature);
    const DeviceInfo& device = *FindDevice(r.type);
    ASSERT_EQ(o.Signature.Bytes.size(), r.bytes);
    for (std::size_t i = 0; i < r.bytes; ++i) EXPECT_EQ(o.Signature.Bytes[i], device.Signature[i]);
    EXPECT_EQ(o.Signature.LockByte.has_value(), r.lock);
    EXPECT_EQ(o.Signature.FuseByte.has_value(), r.fuse);
    EXPECT_EQ(o.Signature.Report, OutcomeText(o));
  }
}

// CommandInfo looks a command up by its place in the table.
TEST(Programmer, CommandTableIsInTheOrderOfTheCommands) {
  for (const DeviceCommandInfo& row : DeviceCommandTable())
    EXPECT_EQ(&CommandInfo(row.Command), &row) << row.Name;
  EXPECT_EQ(DeviceCommandTable().size(), static_cast<std::size_t>(DeviceCommand::Signature) + 1);
}

// Open resets the board on the port of SetPort; SetPort moves the next command to another port,
// and the board left on the first one sees nothing of it.
TEST(Programmer, OpenTakesThePortSetAndSetPortMovesTheNextCommand) {
  sim::SimOptions options = Rig::SlowBus();
  options.lptBase = 0x278;
  sim::SimulatedPC pc(options);
  pc.InsertChip(kC2051);
  ProgramState state;
  state.DeviceType = kC2051;
  SetDeviceSize(state);
  Programmer programmer(pc);
  programmer.SetPort(0x278);
  programmer.Open();
  EXPECT_EQ(pc.ControlRegister(), 0x07);  // the reset reached the board on 0x278
  programmer.SetPort(kLpt);
  pc.SetTracing(true);
  programmer.Run(DeviceCommand::Signature, JobOf(state));
  const std::vector<sim::Access>& accesses = pc.Accesses();
  EXPECT_TRUE(std::any_of(accesses.begin(), accesses.end(),
                          [](const sim::Access& a) { return a.port == kLpt + 2; }));
  EXPECT_TRUE(std::none_of(accesses.begin(), accesses.end(), [](const sim::Access& a) {
    return a.port >= 0x278 && a.port <= 0x27A;
  }));
  pc.SetTracing(false);
}

// Start-up saves the timer and resets the board; the end puts the timer back once, however often
// it is asked, and does not reset a board that the last command left idle.
TEST(Programmer, OpensAndClosesOnce) {
  sim::SimulatedPC pc(Rig::SlowBus());
  pc.InsertChip(kC2051);
  FlakyIo io(pc);
  ProgramState state;
  state.DeviceType = kC2051;
  SetDeviceSize(state);
  {
    Programmer programmer(io);
    programmer.Close();  // not opened: nothing to put back
    EXPECT_EQ(io.Writes(0x43, 0xB6), 0);
    programmer.Open();
    EXPECT_EQ(io.Writes(0x43, 0xE8), 1);  // the timer's mode read back
    EXPECT_EQ(io.Writes(kLpt + 2, 0x07), 2);
    EXPECT_TRUE(programmer.Run(DeviceCommand::Signature, JobOf(state)).Succeeded());
    io.ClearCounts();
    programmer.Close();
    programmer.Close();
    EXPECT_TRUE(programmer.Closed());
  }
  EXPECT_EQ(io.Writes(0x43, 0xB6), 1);  // the mode the BIOS left, once
  EXPECT_EQ(io.Writes(0x42, 0x00), 2);
  EXPECT_EQ(io.Writes(0x61, 0x20), 1);  // as found: output high, gate and speaker off
  EXPECT_EQ(io.Writes(kLpt + 2, 0x07), 0);
  EXPECT_EQ(pc.Timer().Mode(), 3);
}

TEST(Programmer, StepErrorsAreHandedOnAndTheNextStepStillRuns) {
  sim::SimulatedPC pc(Rig::SlowBus());
  FlakyIo io(pc);
  Programmer programmer(io);
  io.FailAfter(0, true);  // the timer's set-up fails on its first read
  std::vector<std::string> errors;
  programmer.Open([&](std::exception_ptr raised) {
    try {
      std::rethrow_exception(raised);
    } catch (const Error& e) {
      errors.push_back(e.what());
    }
  });
  EXPECT_EQ(errors, std::vector<std::string>{"The port went away"});
  EXPECT_EQ(io.Writes(kLpt + 2, 0x07), 2);  // the board was reset all the same

  io.FailAfter(0, false);
  EXPECT_THROW(programmer.Close(), Error);
}

TEST(Programmer, ProgressGoesToTheCommandsDisplayOrElseTheSessions) {
  Rig rig(kC2051);
  RecordingDisplay session;
  RecordingDisplay own;
  rig.programmer.SetProgressDisplay(&session);
  rig.Run(DeviceCommand::Read, &own);
  EXPECT_GT(own.calls, 0);
  EXPECT_EQ(session.calls, 0);
  rig.Run(DeviceCommand::Read);
  EXPECT_EQ(session.calls, own.calls);
}

// A link error in the middle of a routine reaches the caller, and the board is reset before it
// does; the end of the run then only puts the timer back.
TEST(Programmer, RaisedErrorStillLeavesTheBoardIdle) {
  for (long after : {10L, 500L, 3000L, 20000L}) {
    SCOPED_TRACE(after);
    Rig rig(kC51);
    rig.Image({0x00, 0x11, 0x22, 0x33});
    rig.io.FailAfter(after, true);
    EXPECT_THROW(rig.Run(DeviceCommand::Write), Error);
    EXPECT_TRUE(rig.BoardIdle());
    rig.io.ClearCounts();
    rig.programmer.Close();
    EXPECT_EQ(rig.io.Writes(kLpt + 2, 0x07), 0);
    EXPECT_EQ(rig.io.Writes(0x43, 0xB6), 1);
  }
}

// When the reset after the error fails too, the routine's error is the one reported, and the end
// of the run resets the board before it puts the timer back.
TEST(Programmer, FailedResetLeavesTheRoutinesErrorAndCloseResets) {
  Rig rig(kC51);
  rig.io.FailAfter(1000, false);
  try {
    rig.Run(DeviceCommand::Read);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "The port went away");
  }
  rig.io.Heal();
  rig.io.ClearCounts();
  rig.programmer.Close();
  EXPECT_EQ(rig.io.Writes(kLpt + 2, 0x07), 2);
  EXPECT_EQ(rig.io.Writes(0x43, 0xB6), 1);
  EXPECT_TRUE(rig.BoardIdle());
}

// --- Cut short: a stop (as a signal gives it) or a link error at any point of a routine ---------

struct CutShortCase {
  const char* name;
  int type;
  DeviceCommand command;
  std::uint16_t size;
  int progBits;
};

void PrintTo(const CutShortCase& c, std::ostream* os) {
  *os << c.name;
}

// The simulated time from the stop (or the error) to the idle board: the reset's four 54.9 ms
// waits and what it takes the routine to reach its next byte or poll.
constexpr std::uint64_t kResetNs = 4 * 54'925'000;
constexpr std::uint64_t kLatestIdleNs = kResetNs + 5'000'000;

class CutShort : public ::testing::TestWithParam<CutShortCase> {
 protected:
  // A rig with the case's device and image; the write image is the first 48 bytes.
  static std::unique_ptr<Rig> Make(const CutShortCase& c) {
    auto rig = std::make_unique<Rig>(c.type, c.size);
    for (int a = 0; a < 48; ++a) rig->state.DataBuffer[a] = static_cast<std::uint8_t>(a * 7 + 1);
    rig->state.ProgBits = c.progBits;
    return rig;
  }
};

TEST_P(CutShort, AtAnyPointLeavesTheBoardIdleAndTheTimerAsFound) {
  const CutShortCase& c = GetParam();
  std::uint64_t duration = 0;
  {
    std::unique_ptr<Rig> whole = Make(c);
    const std::uint64_t start = whole->pc.NowNs();
    whole->Run(c.command);
    duration = whole->pc.NowNs() - start;
  }
  for (bool byStop : {true, false}) {
    for (double at : {0.01, 0.2, 0.4, 0.55, 0.7, 0.85, 0.95, 0.999}) {
      SCOPED_TRACE(std::string(byStop ? "stop" : "link error") + " at " + std::to_string(at));
      std::unique_ptr<Rig> rig = Make(c);
      const std::uint64_t when = rig->pc.NowNs() + static_cast<std::uint64_t>(at * duration);
      if (byStop)
        rig->io.StopAtTime(rig->stop, when);
      else
        rig->io.FailAtTime(when);
      try {
        rig->Run(c.command);
        ADD_FAILURE() << "the command ran to its end";
      } catch (const StoppedError& e) {
        EXPECT_TRUE(byStop);
        EXPECT_EQ(e.Signal(), SIGINT);
      } catch (const Error& e) {
        EXPECT_FALSE(byStop);
        EXPECT_STREQ(e.what(), "The port went away");
      }
      EXPECT_TRUE(rig->BoardIdle());
      const std::uint64_t toIdle = rig->pc.NowNs() - rig->io.TriggeredNs();
      EXPECT_GE(toIdle, kResetNs);
      EXPECT_LT(toIdle, kLatestIdleNs);

      rig->io.ClearCounts();
      rig->programmer.Close();
      EXPECT_EQ(rig->io.LptAccesses(), 0);  // the board was idle already
      EXPECT_EQ(rig->io.Writes(0x61, 0x20), 1);
      EXPECT_EQ(rig->io.Writes(0x43, 0xB6), 1);
      EXPECT_EQ(rig->pc.Timer().Mode(), 3);
      EXPECT_FALSE(rig->pc.Timer().Gate());
    }
  }
}

const CutShortCase kCutShortCases[] = {
    {"FamilyC51OnAt89C51", kC51, DeviceCommand::Write, 16, 0},
    {"FamilyC51AndLockBitsOnAt89C51", kC51, DeviceCommand::Write, 16, kLockBit1 | kLockBit3},
    {"FamilyS53AndFuseAndLockByteOnAt89S53", kS53, DeviceCommand::Write, 16, 0x0F},
    {"FamilyS51OnAt89S52", kS52, DeviceCommand::Write, 16, 0},
    {"FamilyC55WDAndLockBitsOnAt89C51RC", kC51RC, DeviceCommand::Write, 16, kLockBit2},
    {"FamilyC1051AndLockBitsOnAt89C2051", kC2051, DeviceCommand::Write, 0xFFFF, kLockBit1},
    {"ReadOfAt89C51", kC51, DeviceCommand::Read, 0xFFFF, 0},
    {"ReadOfAt89C2051", kC2051, DeviceCommand::Read, 0xFFFF, 0},
    {"SignatureOfAt89S53", kS53, DeviceCommand::Signature, 0xFFFF, 0},
};

INSTANTIATE_TEST_SUITE_P(Programmer, CutShort, ::testing::ValuesIn(kCutShortCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(Programmer, AStopThatStandsKeepsTheNextCommandOffTheBoard) {
  Rig rig(kC51);
  rig.stop.Request(SIGTERM);
  EXPECT_THROW(rig.Run(DeviceCommand::Read), StoppedError);
  EXPECT_EQ(rig.io.LptAccesses(), 0);
  rig.stop.Clear();
  EXPECT_TRUE(rig.Run(DeviceCommand::Read).Succeeded());
}

}  // namespace
}  // namespace kaldo::test
