// The four in-system programmable chips through each cable of the table, on the simulated PC whose
// port holds the cable and a target board with the drawer's chip: the same chip the programmer
// board sees when the port holds the board instead.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

#include "core/model/ProgramState.h"
#include "device/Programmer.h"
#include "sim/SimulatedSetup.h"
#include "tests/core/TempFolder.h"

namespace kaldo::test {
namespace {

constexpr std::uint32_t kCrystalHz = 12'000'000;

struct IspRig {
  explicit IspRig(Device device, const std::string& trace = {})
      : type(DeviceTypeOf(device)),
        setup(
            folder / "chips", Fresh(), [this] { return type; }, trace) {
    state.DeviceType = type;
    SetDeviceSize(state);
    programmer.Open();
  }

  // The port holds `cable` (empty: the programmer board) and the target board has `faults`.
  void Connect(const std::string& cable, const sim::IspFaults& faults = {},
               std::uint32_t statedHz = kCrystalHz, bool locked = false) {
    sim::SocketContents contents;
    contents.locked = locked;
    if (!cable.empty()) {
      const IspCable c = ParseCable(cable);
      const auto line = [](const CableLine& l) { return sim::CableLine{l.Pin, l.Inverted}; };
      sim::CableWiring w{line(c.Reset), line(c.Sck), line(c.Mosi), line(c.Miso), {}, {}};
      for (const CableLine& l : c.Enables) w.enables.push_back(line(l));
      for (const CableLine& l : c.Supplies) w.supplies.push_back(line(l));
      contents.isp = sim::IspConnection{.wiring = w, .crystalHz = targetHz, .faults = faults};
    }
    setup.PutInSocket(contents);
    if (cable.empty()) {
      programmer.UseCable(std::nullopt);
    } else {
      programmer.UseCable(CableUse{ParseCable(cable), statedHz, pageMode});
    }
  }

  // What the target flagged since the cable was put on the port: a careful program causes none.
  void ExpectNothingFlagged() {
    const sim::IspFlags f = setup.Pc().IspReport();
    EXPECT_EQ(f.timing, 0u);
    EXPECT_EQ(f.ignored, 0u);
    EXPECT_EQ(f.lostBusy, 0u);
    EXPECT_GT(f.frames, 0u);
  }

  CommandOutcome Run(DeviceCommand command, DeviceMemory memory = DeviceMemory::Code) {
    DeviceJob job{type, &state.DataBuffer, state.DeviceSize, state.ProgBits, memory};
    if (memory == DeviceMemory::DataEeprom) job.Size = InfoOf(Device::AT89S8252).EepromSize;
    return programmer.Run(command, job);
  }

  // A pattern over the first bytes and the last one; the rest blank.
  void Image(std::uint8_t seed, std::uint16_t size) {
    state.DataBuffer.fill(kBlank);
    for (int a = 0; a < 0x300; ++a) state.DataBuffer[a] = static_cast<std::uint8_t>(a * 7 + seed);
    state.DataBuffer[size - 1] = seed;
  }

  TempFolder folder;
  int type;
  bool pageMode = true;
  std::uint32_t targetHz = kCrystalHz;
  static sim::DrawerFileOptions Fresh() {
    sim::DrawerFileOptions o;
    o.freshChips = true;
    return o;
  }
  sim::SimulatedSetup setup;
  Programmer programmer{setup};
  ProgramState state;
};

const Device kIspChips[] = {Device::AT89S51, Device::AT89S52, Device::AT89S53, Device::AT89S8252};
const char* const kCables[] = {"89isp", "stk200", "dt006"};

bool HasSignature(Device d) {
  return d == Device::AT89S51 || d == Device::AT89S52;
}

// Each command through each cable, and the board between them on the same chip.
TEST(IspCommands, EveryChipThroughEveryCableAndTheBoardSeesTheSame) {
  for (const Device d : kIspChips) {
    for (const char* cable : kCables) {
      SCOPED_TRACE(std::string(InfoOf(d).PartName) + " through " + cable);
      IspRig rig(d);
      const std::uint16_t size = rig.state.DeviceSize;
      rig.Connect(cable);
      rig.Image(0x11, size);
      const CodeImage written = rig.state.DataBuffer;
      EXPECT_EQ(OutcomeText(rig.Run(DeviceCommand::Write)), "Programming/Verify OK");
      EXPECT_EQ(OutcomeText(rig.Run(DeviceCommand::Verify)), "Verify OK");
      const CommandOutcome blank = rig.Run(DeviceCommand::BlankCheck);
      EXPECT_EQ(blank.Result, CommandOutcome::Kind::DeviceFailed);
      EXPECT_EQ(blank.Failure.Address, 0);
      rig.state.DataBuffer.fill(0);
      EXPECT_EQ(OutcomeText(rig.Run(DeviceCommand::Read)), "Data Reading Complete");
      EXPECT_TRUE(
          std::equal(written.begin(), written.begin() + size, rig.state.DataBuffer.begin()));

      rig.Connect("");
      EXPECT_EQ(OutcomeText(rig.Run(DeviceCommand::Verify)), "Verify OK");
      rig.Image(0x5A, size);
      rig.state.ProgBits = InfoOf(d).HasIspFuse ? kIspFuse : 0;  // serial programming stays on
      EXPECT_TRUE(rig.Run(DeviceCommand::Write).Succeeded());
      rig.state.ProgBits = 0;
      rig.Connect(cable);
      EXPECT_EQ(OutcomeText(rig.Run(DeviceCommand::Verify)), "Verify OK");

      // Written over the board's bytes: the erase comes first.
      rig.Image(0x11, size);
      EXPECT_EQ(OutcomeText(rig.Run(DeviceCommand::Write)), "Programming/Verify OK");
      const CommandOutcome signature = rig.Run(DeviceCommand::Signature);
      if (HasSignature(d)) {
        EXPECT_TRUE(signature.Succeeded());
        EXPECT_EQ(signature.Signature.Bytes, ExpectedSignature(rig.type));
      } else {
        EXPECT_EQ(signature.Result, CommandOutcome::Kind::CableFailed);
        EXPECT_NE(signature.Note.find("no signature"), std::string::npos);
      }
      rig.ExpectNothingFlagged();
    }
  }
}

TEST(IspCommands, ByteModeWritesAndReadsAsPagesDo) {
  IspRig rig(Device::AT89S52);
  rig.pageMode = false;
  rig.Connect("89isp");
  rig.Image(0x33, rig.state.DeviceSize);
  EXPECT_EQ(OutcomeText(rig.Run(DeviceCommand::Write)), "Programming/Verify OK");
  rig.ExpectNothingFlagged();
  rig.pageMode = true;
  rig.Connect("89isp");
  EXPECT_EQ(OutcomeText(rig.Run(DeviceCommand::Verify)), "Verify OK");
}

TEST(IspCommands, LockBitsAreWrittenInOrderAndTheBoardReadsThem) {
  IspRig rig(Device::AT89S52);
  rig.Connect("stk200");
  rig.Image(0x44, rig.state.DeviceSize);
  rig.state.ProgBits = kLockBit2;  // mode 3 comes only after mode 2
  EXPECT_EQ(OutcomeText(rig.Run(DeviceCommand::Write)),
            "Programming/Verify OK\rLock Bits Programmed");
  EXPECT_EQ(rig.Run(DeviceCommand::Signature).Signature.ProgrammedBits, kLockBit1 | kLockBit2);
  EXPECT_EQ(rig.Run(DeviceCommand::Read).LockBitsFound, kLockBit1 | kLockBit2);
  rig.Connect("");
  EXPECT_EQ(rig.Run(DeviceCommand::Signature).Signature.ProgrammedBits, kLockBit1 | kLockBit2);
}

TEST(IspCommands, TheDataEepromIsASecondMemoryTheBoardSeesAfterTheCode) {
  IspRig rig(Device::AT89S8252);
  rig.Connect("89isp");
  const std::uint16_t eeprom = InfoOf(Device::AT89S8252).EepromSize;
  rig.Image(0x21, eeprom);
  const CodeImage data = rig.state.DataBuffer;
  EXPECT_EQ(OutcomeText(rig.Run(DeviceCommand::Write, DeviceMemory::DataEeprom)),
            "Programming/Verify OK");
  rig.ExpectNothingFlagged();
  rig.Connect("");
  rig.Run(DeviceCommand::Read);
  const std::uint16_t code = rig.state.DeviceSize - eeprom;
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + eeprom, rig.state.DataBuffer.begin() + code));
}

// A target that cannot answer gives a failure that names the likely causes, never a success.
struct FaultCase {
  const char* name;
  Device device;
  sim::IspFaults faults;
  CommandOutcome::Kind write;  // what a write ends with
  const char* says;            // in the note
};

const FaultCase kFaults[] = {
    {"reset polarity",
     Device::AT89S52,
     {.resetInverted = true},
     CommandOutcome::Kind::NoAnswer,
     "RST is active high"},
    {"reset polarity S8252",
     Device::AT89S8252,
     {.resetInverted = true},
     CommandOutcome::Kind::NoAnswer,
     "RST is active high"},
    {"no crystal", Device::AT89S51, {.noCrystal = true}, CommandOutcome::Kind::NoAnswer, "crystal"},
    {"no crystal S53",
     Device::AT89S53,
     {.noCrystal = true},
     CommandOutcome::Kind::NoAnswer,
     "crystal"},
    {"MISO high", Device::AT89S52, {.misoStuck = 1}, CommandOutcome::Kind::NoAnswer, "69"},
    {"MISO high S53",
     Device::AT89S53,
     {.misoStuck = 1},
     CommandOutcome::Kind::NoAnswer,
     "erasing chip gives 00"},
    {"MISO low", Device::AT89S52, {.misoStuck = 0}, CommandOutcome::Kind::NoAnswer, "69"},
    {"MISO low S8252",
     Device::AT89S8252,
     {.misoStuck = 0},
     CommandOutcome::Kind::CableFailed,
     "did not end"},
    {"fuse off",
     Device::AT89S8252,
     {.fuseOff = true},
     CommandOutcome::Kind::NoAnswer,
     "\"ISP Fuse\" unticked"},
    {"other port",
     Device::AT89S52,
     {.otherPort = true},
     CommandOutcome::Kind::NoAnswer,
     "on this port"},
};

TEST(IspFaults, EachGivesAClearFailure) {
  for (const FaultCase& f : kFaults) {
    SCOPED_TRACE(f.name);
    IspRig rig(f.device);
    rig.Connect("89isp", f.faults);
    rig.Image(0x66, rig.state.DeviceSize);
    const CommandOutcome write = rig.Run(DeviceCommand::Write);
    EXPECT_EQ(write.Result, f.write);
    EXPECT_NE(write.Note.find(f.says), std::string::npos) << write.Note;
    rig.state.DataBuffer.fill(kBlank);
    EXPECT_FALSE(rig.Run(DeviceCommand::BlankCheck).Succeeded());
    EXPECT_FALSE(rig.Run(DeviceCommand::Verify).Succeeded());
  }
}

TEST(IspFaults, ABoardWriteWithoutTheFuseSilencesTheS53Group) {
  for (const Device d : {Device::AT89S53, Device::AT89S8252}) {
    SCOPED_TRACE(InfoOf(d).PartName);
    IspRig rig(d);
    rig.Connect("");
    rig.Image(0x0F, rig.state.DeviceSize);
    EXPECT_TRUE(rig.Run(DeviceCommand::Write).Succeeded());
    rig.Connect("stk200");
    for (DeviceCommand c :
         {DeviceCommand::Verify, DeviceCommand::BlankCheck, DeviceCommand::Write}) {
      const CommandOutcome o = rig.Run(c);
      EXPECT_EQ(o.Result, CommandOutcome::Kind::NoAnswer);
      EXPECT_NE(o.Note.find("\"ISP Fuse\" unticked"), std::string::npos);
    }
  }
}

TEST(IspFaults, ALockedChipIsReportedOrRefusedNeverBlank) {
  for (const Device d : kIspChips) {
    SCOPED_TRACE(InfoOf(d).PartName);
    IspRig rig(d);
    rig.Connect("89isp", {}, kCrystalHz, true);
    const CommandOutcome blank = rig.Run(DeviceCommand::BlankCheck);
    EXPECT_EQ(blank.Result, HasSignature(d) ? CommandOutcome::Kind::DeviceLocked
                                            : CommandOutcome::Kind::NoAnswer);
    if (!HasSignature(d)) {
      EXPECT_NE(blank.Note.find("lock bits"), std::string::npos);
    }
    rig.Image(0x77, rig.state.DeviceSize);
    EXPECT_TRUE(rig.Run(DeviceCommand::Write).Succeeded()) << "a write erases the lock bits";
  }
}

TEST(IspFaults, ACrystalSlowerThanStatedIsNeverASuccess) {
  IspRig rig(Device::AT89S8252);
  rig.targetHz = 3'000'000;
  rig.Connect("89isp", {}, 24'000'000);
  rig.Image(0x12, rig.state.DeviceSize);
  EXPECT_FALSE(rig.Run(DeviceCommand::Write).Succeeded());
}

// A stop in the middle of a page leaves the 89isp cable idle: RST (pin 17) and SCK (pin 1), which
// the port inverts, with their control bits set, and MOSI (pin 2, data bit 0) low.
TEST(IspCommands, AStoppedCommandLeavesTheCableIdle) {
  TempFolder traces;
  {
    IspRig rig(Device::AT89S52, traces / "trace");
    StopFlag stop;
    rig.programmer.UseStopFlag(stop);
    rig.Connect("89isp");
    rig.Image(0x01, rig.state.DeviceSize);
    struct StopAt : ProgressDisplay {
      StopFlag& flag;
      explicit StopAt(StopFlag& f) : flag(f) {}
      void ShowAddress(int address) override {
        if (address == 0x300) flag.Request();
      }
      void ShowCommand(const std::string&) override {}
    } display(stop);
    DeviceJob job{rig.type, &rig.state.DataBuffer, rig.state.DeviceSize, 0};
    EXPECT_THROW(rig.programmer.Run(DeviceCommand::Write, job, &display), StoppedError);
    rig.setup.PutAway();
  }
  std::ifstream trace(traces / "trace");
  std::string line, data, control;
  while (std::getline(trace, line)) {
    if (line.find(" W 0378 ") != std::string::npos) data = line.substr(line.size() - 2);
    if (line.find(" W 037A ") != std::string::npos) control = line.substr(line.size() - 2);
  }
  ASSERT_FALSE(control.empty());
  EXPECT_EQ(std::stoi(control, nullptr, 16) & 0x09, 0x09);
  EXPECT_EQ(std::stoi(data, nullptr, 16) & 0x01, 0);
}

// Each SCK phase in timer clocks (838 ns): the S51 group's 8 crystal clocks, the S53 group's 24
// (stricter than its f/40), rounded up.
TEST(IspTiming, TheHalfPeriodKeepsTheChipsLimitAtTheCrystal) {
  struct Case {
    const IspFamily& family;
    std::uint32_t hz;
    int count;
  };
  const Case cases[] = {
      {kIspFamilyS51, 3'000'000, 4},   // 2.67 us
      {kIspFamilyS51, 33'000'000, 1},  // 242 ns
      {kIspFamilyS53, 3'000'000, 10},  // 8 us
      {kIspFamilyS53, 24'000'000, 2},  // 1 us
      {kIspFamilyS53, 1'000'000, 29},  // 24 us
  };
  for (const Case& c : cases) EXPECT_EQ(HalfPeriodCount(c.family, c.hz), c.count) << c.hz;
}

TEST(IspGuard, OnlyTheS51AndS52AreSeenThroughACable) {
  for (const Device d : kIspChips) {
    SCOPED_TRACE(InfoOf(d).PartName);
    IspRig rig(d);
    rig.Connect("dt006");
    const ChipIdentity seen = rig.programmer.Identify();
    EXPECT_EQ(seen.Found(), HasSignature(d));
    if (seen.Found()) {
      EXPECT_EQ(seen.DeviceType, rig.type);
    }
    EXPECT_TRUE(rig.programmer.CheckSocket(rig.type).Passed());
    EXPECT_EQ(
        rig.programmer.CheckSocket(rig.type).Verdict.Result,
        HasSignature(d) ? SignatureVerdict::Kind::Matches : SignatureVerdict::Kind::NotReadable);
  }
}

}  // namespace
}  // namespace kaldo::test
