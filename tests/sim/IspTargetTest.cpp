#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sim/SimulatedSetup.h"
#include "tests/core/TempFolder.h"
#include "tests/sim/IspRig.h"

namespace kaldo::test {
namespace {

constexpr int kC51 = 0, kS51 = 3, kS52 = 4, kS53 = 5, kS8252 = 6;
constexpr int kNoAnswer = 0xFF;

TEST(IspCables, EveryWiringReachesTheChipAndBringsItsAnswerBack) {
  const struct {
    const char* name;
    CableWiring wiring;
  } cables[] = {
      {"89isp", Cable89isp()},
      {"stk200", CableStk200()},
      {"dt006", CableDt006()},
      {"inverted", {.reset = {17, true}, .sck = {1, true}, .mosi = {2, true}, .miso = {11, true}}},
      {"powered", {.reset = {9}, .sck = {6}, .mosi = {7}, .miso = {10}, .supplies = {{3}, {4}}}},
  };
  for (const auto& c : cables) {
    SCOPED_TRACE(c.name);
    IspRig rig(kS52, {.wiring = c.wiring});
    EXPECT_EQ(rig.Run("E"), 0x69);
    EXPECT_EQ(rig.Run("28 00 00 00") << 16 | rig.Run("28 01 00 00") << 8 | rig.Run("28 02 00 00"),
              0x1E5206);
    EXPECT_EQ(rig.pc.IspReport().timing, 0u);
  }
}

struct IspCase {
  const char* name;
  int type;
  const char* script;  // IspRig::Run's
  int expected;        // -1: any
  // Flags: timing faults (-1: some), ignored instructions, lost ones.
  int timing = 0;
  unsigned ignored = 0;
  unsigned lost = 0;
};

const IspCase kCases[] = {
    // AT89S51, S52.
    {"S52ByteWriteThenRead", kS52, "E; 40 12 34 A5; w500; 20 12 34 00", 0xA5},
    {"S52WriteOnlyClearsBits", kS52, "=10:12; E; 40 00 10 0F; w500; 20 00 10 00", 0x02},
    {"S51IgnoresA12", kS51, "E; 40 11 23 3C; w500; @0123", 0x3C},
    {"S52DataPollingComplementsBit7", kS52, "slow; E; 40 00 42 A5; 20 00 42 00", 0x25},
    {"S52ReadOfAnotherByteWhileBusyIsLost", kS52, "slow; E; 40 00 42 A5; 20 00 77 00", 0x77, 0, 0,
     1},
    {"S52ReadsGive00DuringErase", kS52, "=10:12; E; AC 80 00 00; w400000; 20 00 10 00", 0x00},
    {"S52SignatureGives00DuringErase", kS52, "E; AC 80 00 00; 28 00 00 00", 0x00},
    {"S52WriteDuringEraseIsLost", kS52, "=10:12; E; AC 80 00 00; 40 00 10 00; w500000; @10", 0xFF,
     0, 0, 1},
    {"S52PagePollsItsLastByte", kS52, "slow; E; page 02; 20 02 FF 00", 0xA5 ^ 0x80},
    {"S52PageWriteThenPageRead", kS52, "E; page 1F; w500; check 1F", 0},
    {"S52LockModesInOrderReadBack", kS52, "E; AC E1 00 00; w500; AC E2 00 00; w500; 24 00 00 00",
     0x0C},
    {"S52LockModeOutOfOrderIsIgnored", kS52, "E; AC E2 00 00; w500; 24 00 00 00", 0x00, 0, 1},
    {"S52Mode2IgnoresWrites", kS52, "=10:12; lock1; E; 40 00 10 00; w500; @10", 0x12, 0, 1},
    {"S52Mode3HidesTheCode", kS52, "=10:12; lock3; E; 20 00 10 00", sim::kLockedReadPattern},
    {"S52Mode4HidesTheSignature", kS52, "lock7; E; 28 00 00 00", kNoAnswer},
    {"S52EraseClearsTheLockBits", kS52, "lock7; E; AC 80 00 00; w500000; 24 00 00 00", 0x00},
    {"S52EnableMustComeFirst", kS52, "=10:12; R; 20 00 10 00; AC 53 00 00; 20 00 10 00", 0x12, 0,
     1},
    {"S52IgnoredFirstInstructionEchoes", kS52, "=10:12; R; 20 00 10 00", 0x10, 0, 1},
    {"S52ExtraSckPulseShiftsEveryFrame", kS52, "E; x; 28 00 00 00; 28 00 00 00; 28 01 00 00", 0x00,
     0, 3},
    {"S52ResetEndsTheShift", kS52, "E; x; 28 00 00 00; E; 28 00 00 00", 0x1E, 0, 1},
    {"S52TakesThreeMicrosecondPhasesAt3MHz", kS52, "h3; E", 0x69},
    {"S52SckTooFastForItsCrystal", kS52, "mhz1; h1; t100; E; 28 00 00 00", 0xFF, -1, 2},
    {"S52SckRisingTooSoonAfterResetLosesStep", kS52, "t0; E; 28 00 00 00", kNoAnswer, 1},
    {"S52MosiChangedWithSckRisingIsFlagged", kS52, "stk200; m; E", -1, -1, 1},
    {"S52StuckCellKeepsItsByte", kS52, "stuck10; E; 40 00 10 00; w500; 20 00 10 00", 0xFF},

    // AT89S53, S8252.
    {"S53WriteErasesTheByteFirst", kS53, "=2ABC:0F; E3; 56 BC A5; w2500; 55 BC 00", 0xA5},
    {"S53HasNoSignatureInstruction", kS53, "E3; 28 00 30", kNoAnswer, 0, 1},
    {"S53HasNoLockRead", kS53, "E3; 24 00 00", kNoAnswer, 0, 1},
    {"S53HasNothingAbove12K", kS53, "E3; 85 00 00", kNoAnswer, 0, 1},
    // Every bit flipped: the last answer is the echo of byte 2 as the chip took it.
    {"S53SckPhasesNeed24Clocks", kS53, "h3; E3; 01 10 00", 0xEF, -1, 2},
    {"S53WritePollsItsByte", kS53, "E3; 02 10 5A; 01 10 00", 0xDA},
    {"S8252DataEepromFollowsTheCode", kS8252, "E3; 3E FF 5A; w2500; 3D FF 00; @27FF", 0x5A},
    {"S8252ReadsItsEeprom", kS8252, "=27FF:34; E3; 3D FF 00", 0x34},
    {"S8252EraseClearsCodeAndEeprom", kS8252,
     "=2100:0; =100:0; E3; AC 04 00; w16000; 0D 00 00; @100", 0xFF},
    {"S8252LockBitsInOneInstruction", kS8252, "E3; AC 3F 00; L", sim::kChipLock1 | sim::kChipLock2},
    {"S8252LockedAgainstWrites", kS8252, "lock1; E3; 02 01 00; w2500; @1", 0xFF, 0, 1},
    {"S8252AfterAnS52Enable", kS8252, "=10:12; E; 20 00 10 00", 0x10, 0, 1},
    {"S52AfterAnS53Enable", kS52, "=10:12; E3; 01 10 00 00", 0x00},

    // What keeps the target from answering.
    {"FuseOffSilencesTheS8252", kS8252, "=10:12; nofuse; E3; 01 10 00", kNoAnswer},
    {"C51HasNoSerialInterface", kC51, "E", kNoAnswer},
    {"ResetInverted", kS52, "resetinv; E", kNoAnswer},
    {"NoCrystal", kS52, "noxtal; E", kNoAnswer},
    {"MisoStuckLow", kS52, "miso0; E", 0x00},
    {"CableOnTheOtherPort", kS52, "other; E", kNoAnswer},
    {"CableWithoutPower", kS52, "supply3; off; E", kNoAnswer},
    {"BufferNotEnabled", kS52, "stk200; off; E", kNoAnswer},
};

class IspTargetTest : public testing::TestWithParam<IspCase> {};

TEST_P(IspTargetTest, AnswersAsTheChipWould) {
  const IspCase& c = GetParam();
  IspRig rig(c.type);
  const int result = rig.Run(c.script);
  if (c.expected >= 0) {
    EXPECT_EQ(result, c.expected);
  }
  const sim::IspFlags flags = rig.pc.IspReport();
  if (c.timing < 0) {
    EXPECT_GT(flags.timing, 0u);
  } else {
    EXPECT_EQ(flags.timing, static_cast<unsigned>(c.timing));
  }
  EXPECT_EQ(flags.ignored, c.ignored);
  EXPECT_EQ(flags.lostBusy, c.lost);
}

INSTANTIATE_TEST_SUITE_P(Sim, IspTargetTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<IspCase>& p) {
                           return std::string(p.param.name);
                         });

// Through the setup a front end runs: the cable reaches the drawer's chip, the one the board
// programs, chosen as each session starts.
TEST(IspThroughTheSetup, TheCableReachesTheSocketsChip) {
  TempFolder folder;
  int selected = kS52;
  sim::SimulatedSetup setup(folder / "chips", {}, [&] { return selected; });
  sim::Drawer& drawer = setup.ChipDrawer();
  drawer.chip(kS52).memory[0x10] = 0x12;
  sim::SocketContents contents;
  contents.isp = sim::IspConnection{.wiring = CableDt006()};
  setup.PutInSocket(contents);
  IspRig rig(setup, setup.Pc(), CableDt006());
  EXPECT_EQ(rig.Run("E; 40 00 20 5A; 20 00 10 00"), 0x12);
  EXPECT_EQ(drawer.chip(kS52).memory[0x20], 0x5A);

  selected = kS8252;  // the next session's chip
  rig.Run("E3; 06 01 77");
  EXPECT_EQ(drawer.chip(kS8252).memory[0x2001], 0x77);

  contents.isp->faults.fuseOff = true;
  setup.PutInSocket(contents);
  EXPECT_FALSE(drawer.chip(kS8252).ispFuse);
  EXPECT_EQ(rig.Run("E3; 05 01 00"), kNoAnswer);

  contents.isp->faults = {.otherPort = true};
  setup.PutInSocket(contents);
  IspRig other(setup, setup.Pc(), CableDt006(), sim::kCardLpt);
  selected = kS51;
  EXPECT_EQ(other.Run("E"), 0x69);
  EXPECT_EQ(rig.Run("E"), kNoAnswer);

  contents.isp.reset();
  setup.PutInSocket(contents);
  EXPECT_FALSE(setup.Pc().IspCableAttached());
  setup.PutAway();
}

// A supply's operator changes the chip as a session starts, as it does when an operation starts.
TEST(IspThroughTheSetup, ASupplyFeedsTheTargetBoard) {
  TempFolder folder;
  sim::SimulatedSetup setup(folder / "chips", {}, [] { return kS52; });
  sim::SocketContents contents;
  contents.supply = {{}, {}};
  contents.isp = sim::IspConnection{.wiring = Cable89isp()};
  setup.PutInSocket(contents);
  IspRig rig(setup, setup.Pc(), Cable89isp());
  rig.Run("E; 40 00 00 00; w500");
  std::vector<int> firstByte;
  for (int session = 0; session < 40 && !setup.NoChipWillCome(); ++session) {
    const bool seated = rig.Run("E; 28 00 00 00") == 0x1E;
    firstByte.push_back(seated ? rig.Run("20 00 00 00") : -1);
    if (!seated) rig.Wait(60'000);  // the operator takes a moment
  }
  EXPECT_TRUE(setup.NoChipWillCome());
  EXPECT_EQ(firstByte.front(), 0x00);
  EXPECT_GT(std::count(firstByte.begin(), firstByte.end(), 0xFF), 0);
  EXPECT_EQ(setup.ChipDrawer().Supplied().at(0).memory[0], 0x00);
  EXPECT_EQ(setup.ChipDrawer().Supplied().at(1).memory[0], 0xFF);
  setup.PutAway();
}

}  // namespace
}  // namespace kaldo::test
