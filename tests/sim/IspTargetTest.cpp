#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "sim/SimulatedSetup.h"
#include "tests/core/TempFolder.h"
#include "tests/sim/IspRig.h"

namespace kaldo::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kC51 = 0, kS51 = 3, kS52 = 4, kS53 = 5, kS8252 = 6;
constexpr std::uint8_t kNoAnswer = 0xFF;

std::uint8_t B(int v) {
  return static_cast<std::uint8_t>(v);
}

// Four-byte instructions of the S51/S52.
std::uint8_t Read4(IspRig& r, int a) {
  return r.Frame({0x20, B(a >> 8), B(a), 0})[3];
}
void Write4(IspRig& r, int a, int v) {
  r.Frame({0x40, B(a >> 8), B(a), B(v)});
}
std::uint8_t Lock4(IspRig& r) {
  return r.Frame({0x24, 0, 0, 0})[3];
}
Bytes Signature4(IspRig& r) {
  return {r.Frame({0x28, 0, 0, 0})[3], r.Frame({0x28, 1, 0, 0})[3], r.Frame({0x28, 2, 0, 0})[3]};
}
// Three-byte instructions: S53 code (A13 in bit 2), S8252 code, S8252 data.
std::uint8_t S53High(int a, int op) {
  return B(((a >> 5) & 0xF8) | ((a >> 11) & 0x04) | op);
}
std::uint8_t Read53(IspRig& r, int a) {
  return r.Frame({S53High(a, 1), B(a), 0})[2];
}
void Write53(IspRig& r, int a, int v) {
  r.Frame({S53High(a, 2), B(a), B(v)});
}
std::uint8_t ReadData(IspRig& r, int a) {
  return r.Frame({B(((a >> 5) & 0x38) | 5), B(a), 0})[2];
}
void WriteData(IspRig& r, int a, int v) {
  r.Frame({B(((a >> 5) & 0x38) | 6), B(a), B(v)});
}

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
    EXPECT_EQ(rig.Enter(), 0x69);
    EXPECT_EQ(Signature4(rig), (Bytes{0x1E, 0x52, 0x06}));
    EXPECT_EQ(rig.pc.IspReport().timing, 0u);
  }
}

struct IspCase {
  const char* name;
  int type;
  std::function<int(IspRig&)> run;  // after the chip and the cable are set up
  int expected;
  // Flags: timing faults (-1: some), ignored (-1: any number) and lost instructions.
  int timing = 0;
  int ignored = 0;
  unsigned lost = 0;
  std::function<void(sim::Chip&)> chip = nullptr;
  std::function<void(sim::IspConnection&)> cable = nullptr;
};

class IspTargetTest : public testing::TestWithParam<IspCase> {};

TEST_P(IspTargetTest, AnswersAsTheChipWould) {
  const IspCase& c = GetParam();
  sim::IspConnection connection{.wiring = Cable89isp()};
  if (c.cable) c.cable(connection);
  IspRig rig(c.type, connection);
  if (c.chip) c.chip(*rig.chip);
  EXPECT_EQ(c.run(rig), c.expected);
  const sim::IspFlags flags = rig.pc.IspReport();
  if (c.timing < 0)
    EXPECT_GT(flags.timing, 0u);
  else
    EXPECT_EQ(flags.timing, static_cast<unsigned>(c.timing));
  if (c.ignored >= 0) {
    EXPECT_EQ(flags.ignored, static_cast<unsigned>(c.ignored));
  }
  EXPECT_EQ(flags.lostBusy, c.lost);
}

const auto kEnter4 = [](IspRig& r) { r.Enter(); };
const auto kEnter3 = [](IspRig& r) { r.Enter(30, true); };
int Entered4(IspRig& r, const std::function<int(IspRig&)>& then) {
  kEnter4(r);
  return then(r);
}
int Entered3(IspRig& r, const std::function<int(IspRig&)>& then) {
  kEnter3(r);
  return then(r);
}

const IspCase kCases[] = {
    // The S51/S52 instruction set.
    {"S52ByteWriteThenRead", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         Write4(x, 0x1234, 0xA5);
         x.Wait(500);
         return Read4(x, 0x1234);
       });
     },
     0xA5},
    {"S52WriteOnlyClearsBits", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         Write4(x, 0x0123, 0x0F);
         x.Wait(500);
         return Read4(x, 0x0123);
       });
     },
     0x00, 0, 0, 0, [](sim::Chip& chip) { chip.memory[0x0123] = 0xF0; }},
    {"S51IgnoresA12", kS51,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         Write4(x, 0x1123, 0x3C);
         x.Wait(500);
         return Read4(x, 0x0123);
       });
     },
     0x3C},
    {"S52DataPollingComplementsBit7", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         Write4(x, 0x0042, 0xA5);
         return Read4(x, 0x0042);
       });
     },
     0x25, 0, 0, 0, nullptr, [](sim::IspConnection& c) { c.writeCycleUs = 5000; }},
    {"S52ReadOfAnotherByteWhileBusyIsLost", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         Write4(x, 0x0042, 0xA5);
         return Read4(x, 0x0077);  // the echo of byte 3
       });
     },
     0x77, 0, 0, 1, nullptr, [](sim::IspConnection& c) { c.writeCycleUs = 5000; }},
    {"S52ReadsGive00DuringErase", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         x.Frame({0xAC, 0x80, 0, 0});
         x.Wait(400'000);
         return Read4(x, 0x0010) | Signature4(x)[0];
       });
     },
     0x00, 0, 0, 0, [](sim::Chip& chip) { chip.memory[0x0010] = 0x12; }},
    {"S52WriteDuringEraseIsLost", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         x.Frame({0xAC, 0x80, 0, 0});
         Write4(x, 0x0010, 0x00);
         x.Wait(500'000);
         return Read4(x, 0x0010);
       });
     },
     0xFF, 0, 0, 1, [](sim::Chip& chip) { chip.memory[0x0010] = 0x12; }},
    {"S52PageWriteThenPageRead", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         Bytes page = {0x50, 0x02};
         for (int i = 0; i < 256; ++i) page.push_back(B(i ^ 0x5A));
         x.Frame(page);
         const int polled = Read4(x, 0x02FF);
         x.Wait(5000);
         Bytes read(258, 0);
         read[0] = 0x30;
         read[1] = 0x02;
         const Bytes in = x.Frame(read);
         int wrong = 0;
         for (int i = 0; i < 256; ++i) wrong += in[2 + i] != (i ^ 0x5A);
         return wrong * 0x100 + polled;
       });
     },
     0xA5 ^ 0x80, 0, 0, 0, nullptr, [](sim::IspConnection& c) { c.writeCycleUs = 5000; }},
    {"S52LockModesInOrderReadBack", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         x.Frame({0xAC, 0xE1, 0, 0});
         x.Wait(500);
         x.Frame({0xAC, 0xE2, 0, 0});
         x.Wait(500);
         return Lock4(x);
       });
     },
     0x0C},
    {"S52LockModeOutOfOrderIsIgnored", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         x.Frame({0xAC, 0xE2, 0, 0});
         return Lock4(x);
       });
     },
     0x00, 0, 1},
    {"S52Mode2IgnoresWrites", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         Write4(x, 0x0001, 0x00);
         x.Wait(500);
         return Read4(x, 0x0001);
       });
     },
     0xFF, 0, 1, 0, [](sim::Chip& chip) { chip.lockBits = sim::kChipLock1; }},
    {"S52Mode3HidesCodeAndSignature", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         return Read4(x, 0x0000) == sim::kLockedReadPattern ? Signature4(x)[0] : -1;
       });
     },
     kNoAnswer, 0, 0, 0,
     [](sim::Chip& chip) {
       chip.memory[0] = 0x12;
       chip.lockBits = sim::kChipLock1 | sim::kChipLock2;
     }},
    {"S52EraseClearsTheLockBits", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         x.Frame({0xAC, 0x80, 0, 0});
         x.Wait(500'000);
         return Lock4(x);
       });
     },
     0x00, 0, 0, 0, [](sim::Chip& chip) { chip.lockBits = 7; }},
    {"S52EnableMustComeFirst", kS52,
     [](IspRig& r) {
       r.Restart();
       const int before = Read4(r, 0x0005);  // echo of byte 3
       r.Frame({0xAC, 0x53, 0, 0});
       return before * 0x100 + Read4(r, 0x0005);
     },
     0x0512, 0, 1, 0, [](sim::Chip& chip) { chip.memory[5] = 0x12; }},
    {"S52ExtraSckPulseShiftsFramesUntilReset", kS52,
     [](IspRig& r) {
       r.Enter();
       r.extraPulses = 1;
       const bool shifted = Signature4(r)[0] == 0x1E;
       r.Enter();
       return (shifted ? 1 : 0) + (Signature4(r)[0] == 0x1E ? 2 : 0);
     },
     2, 0, 3},
    {"S52TakesThreeMicrosecondPhasesAt3MHz", kS52,
     [](IspRig& r) {
       r.halfUs = 3;
       return r.Enter();
     },
     0x69},
    {"S52SckFasterThanItsCrystalAllowsIsFlagged", kS52,
     [](IspRig& r) {
       r.halfUs = 1;
       return r.Enter(100) == 0x69;
     },
     0, -1, 1, 0, nullptr, [](sim::IspConnection& c) { c.crystalHz = 1'000'000; }},
    {"S52SckRisingTooSoonAfterResetLosesStep", kS52, [](IspRig& r) { return r.Enter(0); },
     kNoAnswer, 1},
    {"S52MosiChangedWithSckRisingIsFlagged", kS52,
     [](IspRig& r) {
       r.mosiWithSck = true;
       return r.Enter() == 0x69;
     },
     0, -1, 1, 0, nullptr, [](sim::IspConnection& c) { c.wiring = CableStk200(); }},
    {"S52StuckCellKeepsItsByte", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         Write4(x, 0x0010, 0x00);
         x.Wait(500);
         return Read4(x, 0x0010);
       });
     },
     0xFF, 0, 0, 0, [](sim::Chip& chip) { chip.wontProgram.insert(0x0010); }},
    {"S52SlowWriteCycleStillPolls", kS52,
     [](IspRig& r) {
       return Entered4(r, [](IspRig& x) {
         Write4(x, 0x0010, 0x01);
         x.Wait(2000);
         return Read4(x, 0x0010);
       });
     },
     0x81, 0, 0, 0, nullptr, [](sim::IspConnection& c) { c.writeCycleUs = 10'000; }},

    // The S53/S8252 instruction set.
    {"S53WriteErasesTheByteFirst", kS53,
     [](IspRig& r) {
       return Entered3(r, [](IspRig& x) {
         Write53(x, 0x2ABC, 0xA5);
         x.Wait(2500);
         return Read53(x, 0x2ABC);
       });
     },
     0xA5, 0, 0, 0, [](sim::Chip& chip) { chip.memory[0x2ABC] = 0x0F; }},
    {"S53HasNoSignatureInstruction", kS53,
     [](IspRig& r) {
       return Entered3(r, [](IspRig& x) { return x.Frame({0x28, 0x00, 0x30})[2]; });
     },
     0x00, 0, 1},
    {"S53HasNothingAbove12K", kS53,
     [](IspRig& r) { return Entered3(r, [](IspRig& x) { return Read53(x, 0x3000); }); }, 0x00, 0,
     1},
    {"S53SckPhasesNeed24Clocks", kS53,
     [](IspRig& r) {
       r.halfUs = 3;
       return Entered3(r, [](IspRig& x) { return Read53(x, 0x0001) == 0x77; });
     },
     0, -1, -1, 0, [](sim::Chip& chip) { chip.memory[1] = 0x77; }},
    {"S8252DataEepromFollowsTheCode", kS8252,
     [](IspRig& r) {
       return Entered3(r, [](IspRig& x) {
         WriteData(x, 0x07FF, 0x5A);
         x.Wait(2500);
         return x.chip->memory[0x27FF] == 0x5A ? ReadData(x, 0x07FF) : -1;
       });
     },
     0x5A},
    {"S8252EraseClearsCodeAndEeprom", kS8252,
     [](IspRig& r) {
       return Entered3(r, [](IspRig& x) {
         x.Frame({0xAC, 0x04, 0});
         const int during = ReadData(x, 0x0100);
         x.Wait(16'000);
         return during * 0x10000 + ReadData(x, 0x0100) * 0x100 + x.Frame({0x09, 0x00, 0})[2];
       });
     },
     0x00FFFF, 0, 0, 0,
     [](sim::Chip& chip) {
       chip.memory[0x2100] = 0x00;
       chip.memory[0x0100] = 0x00;
     }},
    {"S8252LockBitsInOneInstruction", kS8252,
     [](IspRig& r) {
       return Entered3(r, [](IspRig& x) {
         x.Frame({0xAC, 0x3F, 0});
         return x.chip->lockBits;
       });
     },
     sim::kChipLock1 | sim::kChipLock2},
    {"S8252LockedAgainstWrites", kS8252,
     [](IspRig& r) {
       return Entered3(r, [](IspRig& x) {
         Write53(x, 0x0001, 0x00);
         return x.chip->memory[1];
       });
     },
     0xFF, 0, 1, 0, [](sim::Chip& chip) { chip.lockBits = sim::kChipLock1; }},
    {"S52ProtocolDoesNotReachAnS8252", kS8252,
     [](IspRig& r) {
       r.Enter();
       return Read4(r, 0x0001) == 0x33;
     },
     0, 0, 1, 0, [](sim::Chip& chip) { chip.memory[1] = 0x33; }},

    // What keeps the target from answering.
    {"FuseOffSilencesTheS8252", kS8252,
     [](IspRig& r) { return Entered3(r, [](IspRig& x) { return Read53(x, 1); }); }, kNoAnswer, 0, 0,
     0,
     [](sim::Chip& chip) {
       chip.memory[1] = 0x12;
       chip.ispFuse = false;
     }},
    {"C51HasNoSerialInterface", kC51, [](IspRig& r) { return r.Enter(); }, kNoAnswer},
    {"ResetInverted", kS52, [](IspRig& r) { return r.Enter(); }, kNoAnswer, 0, 0, 0, nullptr,
     [](sim::IspConnection& c) { c.faults.resetInverted = true; }},
    {"NoCrystal", kS52, [](IspRig& r) { return r.Enter(); }, kNoAnswer, 0, 0, 0, nullptr,
     [](sim::IspConnection& c) { c.faults.noCrystal = true; }},
    {"MisoStuckLow", kS52, [](IspRig& r) { return r.Enter(); }, 0x00, 0, 0, 0, nullptr,
     [](sim::IspConnection& c) { c.faults.misoStuck = 0; }},
    {"CableOnTheOtherPort", kS52, [](IspRig& r) { return r.Enter(); }, kNoAnswer, 0, 0, 0, nullptr,
     [](sim::IspConnection& c) { c.faults.otherPort = true; }},
    {"CableWithoutPower", kS52,
     [](IspRig& r) {
       r.Supply(false);
       return r.Enter();
     },
     kNoAnswer, 0, 0, 0, nullptr, [](sim::IspConnection& c) { c.wiring.supplies = {{3}}; }},
};

INSTANTIATE_TEST_SUITE_P(Cases, IspTargetTest, testing::ValuesIn(kCases),
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
  EXPECT_EQ(rig.Enter(), 0x69);
  EXPECT_EQ(Read4(rig, 0x10), 0x12);
  Write4(rig, 0x20, 0x5A);
  EXPECT_EQ(drawer.chip(kS52).memory[0x20], 0x5A);

  selected = kS8252;  // the next session's chip
  rig.Enter(30, true);
  WriteData(rig, 0x0001, 0x77);
  EXPECT_EQ(drawer.chip(kS8252).memory[0x2001], 0x77);

  contents.isp->faults.fuseOff = true;
  setup.PutInSocket(contents);
  EXPECT_FALSE(drawer.chip(kS8252).ispFuse);
  rig.Enter(30, true);
  EXPECT_EQ(ReadData(rig, 0x0001), kNoAnswer);

  contents.isp->faults = {.otherPort = true};
  setup.PutInSocket(contents);
  IspRig other(setup, setup.Pc(), CableDt006(), sim::kCardLpt);
  selected = kS51;
  EXPECT_EQ(other.Enter(), 0x69);
  EXPECT_EQ(rig.Enter(), kNoAnswer);

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
  EXPECT_EQ(rig.Enter(), 0x69);
  Write4(rig, 0x0000, 0x00);
  rig.Wait(500);
  std::vector<int> firstByte;
  for (int session = 0; session < 40 && !setup.NoChipWillCome(); ++session) {
    rig.Enter();
    firstByte.push_back(Signature4(rig)[0] == 0x1E ? Read4(rig, 0) : -1);
    if (firstByte.back() < 0) rig.Wait(60'000);  // the operator takes a moment
  }
  EXPECT_TRUE(setup.NoChipWillCome());
  EXPECT_EQ(firstByte.front(), 0x00);
  EXPECT_NE(std::find(firstByte.begin(), firstByte.end(), 0xFF), firstByte.end());
  EXPECT_EQ(setup.ChipDrawer().Supplied().at(0).memory[0], 0x00);
  EXPECT_EQ(setup.ChipDrawer().Supplied().at(1).memory[0], 0xFF);
  setup.PutAway();
}

}  // namespace
}  // namespace kaldo::test
