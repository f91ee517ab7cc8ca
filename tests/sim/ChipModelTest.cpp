#include <gtest/gtest.h>

#include <random>

#include "tests/sim/SimRig.h"

namespace kaldo::test {
namespace {

using sim::EventKind;

class EveryPart : public testing::TestWithParam<Part> {};

std::string PartName(const testing::TestParamInfo<Part>& info) {
  return info.param.name;
}

// Addresses that exercise every address line of the part: the ends, each high bit on its own.
std::vector<int> ProbeAddresses(const Part& p) {
  std::vector<int> out{0, 1, p.size - 1};
  if (p.family == Family::C1051) return {0, 1, 2, 0x3F, p.size - 1};
  for (int bit = 8; (1 << bit) < p.size; ++bit) out.push_back((1 << bit) | 0x5A);
  return out;
}

TEST_P(EveryPart, EraseThenWriteThenReadBack) {
  const Part& part = GetParam();
  SimRig rig;
  rig.pc.InsertChip(sim::Chip::WithContents(part.type, std::vector<std::uint8_t>(part.size, 0x00)));
  std::vector<std::pair<int, int>> bytes;
  for (int a : ProbeAddresses(part)) bytes.push_back({a, (a * 37 + 11) & 0xFF});
  {
    PartOperation op(rig, part);
    op.Erase();
    op.Program(bytes);
  }
  const sim::Chip& chip = *rig.pc.Socket();
  std::vector<std::uint8_t> expected(part.size, 0xFF);
  for (const auto& [a, v] : bytes) expected[a] = static_cast<std::uint8_t>(v);
  EXPECT_EQ(chip.memory, expected);

  PartOperation op(rig, part);
  for (const auto& [a, v] : bytes) EXPECT_EQ(op.ReadByte(a), v) << std::hex << a;
}

TEST_P(EveryPart, AWriteOnlyClearsBits) {
  const Part& part = GetParam();
  SimRig rig;
  rig.pc.InsertChip(sim::Chip::WithContents(part.type, {0xF0}));
  {
    PartOperation op(rig, part);
    op.Program({{0, 0x3C}});
  }
  EXPECT_EQ(rig.pc.Socket()->memory[0], 0x30);
}

TEST_P(EveryPart, AWriteWithoutItsConditionsDoesNotTake) {
  const Part& part = GetParam();
  struct Case {
    const char* what;
    const char* lost;  // the reason the trace gives, empty when no cycle starts at all
  };
  const std::vector<Case> cases = {{"no programming voltage", "no programming voltage"},
                                   {"read mode latched", ""},
                                   {"wait too short", "wait too short"},
                                   {"data not driven", "data not driven"},
                                   {"other pulse line", ""}};
  for (const Case& c : cases) {
    SimRig rig;
    rig.pc.InsertChip(part.type);
    rig.pc.SetEventTracing(true);
    {
      PartOperation op(rig, part);
      const std::string what = c.what;
      if (what != "no programming voltage") op.VoltageOn();
      if (what == "no programming voltage" && part.family == Family::S53) rig.board.SetAutoFeed();
      op.At(0);
      rig.board.SetMode(what == "read mode latched" ? op.ReadCode() : op.WriteCode());
      rig.board.SetData(0x00);
      rig.board.EnableDataOutputs(what != "data not driven");
      rig.board.ShiftOutLatches();
      const bool selectIn = op.SelectInPulses() != (what == "other pulse line");
      selectIn ? rig.board.PulseSelectIn() : rig.board.PulseStrobe();
      if (what == "wait too short") {
        if (part.family == Family::C55WD) rig.port.Delay50us();
      } else {
        (rig.port.*op.ByteWait())();
      }
      rig.board.EnableDataOutputs(false);
      rig.board.ShiftOutLatches();
    }
    EXPECT_EQ(rig.pc.Socket()->memory[0], 0xFF) << c.what;
    const auto cycles = rig.pc.EventTexts(EventKind::Cycle);
    if (*c.lost) {
      ASSERT_EQ(cycles.size(), 1u) << c.what;
      EXPECT_NE(cycles[0].find(std::string("lost: ") + c.lost), std::string::npos) << cycles[0];
    } else {
      EXPECT_TRUE(cycles.empty()) << c.what;
    }
  }
}

// Refused erases keep the chip's contents; then a proper one clears them.
TEST_P(EveryPart, EraseNeedsItsFullPulseOrSettleTimeAndInitCleared) {
  const Part& part = GetParam();
  SimRig rig;
  rig.pc.InsertChip(sim::Chip::WithContents(part.type, {0x00}));
  for (const bool initSet : {false, true}) {  // false: the pulse or settle time cut short
    if (initSet && part.family != Family::C55WD) continue;
    {
      PartOperation op(rig, part);
      if (part.family == Family::C55WD && !initSet) rig.board.ClearInit();
      op.Mode(op.EraseCode());
      op.VoltageOn();
      if (op.SelectInPulses()) {
        rig.board.PulseSelectIn();
        for (int i = 0; i < (initSet ? 16 : 14); ++i) rig.port.Delay10ms();
      } else {
        rig.board.SetStrobe();
        rig.port.Delay2ms();
        rig.board.ClearStrobe();
      }
      op.VoltageOff();
    }
    EXPECT_EQ(rig.pc.Socket()->memory[0], 0x00) << (initSet ? "Init set" : "cut short");
  }
  {
    PartOperation op(rig, part);
    op.Erase();
  }
  EXPECT_EQ(rig.pc.Socket()->memory[0], 0xFF);
}

TEST_P(EveryPart, SignatureBytes) {
  const Part& part = GetParam();
  SimRig rig;
  rig.pc.InsertChip(part.type);
  PartOperation op(rig, part);
  std::vector<std::uint8_t> read;
  switch (part.family) {
    case Family::C51:
    case Family::S53:
      for (int a = 0x30; a < 0x30 + static_cast<int>(part.signature.size()); ++a) {
        read.push_back(static_cast<std::uint8_t>(op.ReadByte(a, 0x06)));
      }
      break;
    case Family::S51:
    case Family::C55WD:
      for (int page = 0; page < 3; ++page) {
        read.push_back(static_cast<std::uint8_t>(op.ReadByte(page << 8, 0x02)));
      }
      break;
    case Family::C1051:
      for (int i = 0; i < 2; ++i) read.push_back(static_cast<std::uint8_t>(op.ReadByte(i, 0x00)));
      break;
  }
  EXPECT_EQ(read, part.signature);
}

TEST_P(EveryPart, LockBit2HidesTheContentsAndEraseClearsIt) {
  const Part& part = GetParam();
  SimRig rig;
  sim::Chip& chip = rig.pc.InsertChip(sim::Chip::WithContents(part.type, {0x12, 0x34}));
  chip.lockBits = sim::kChipLock2;
  {
    PartOperation op(rig, part);
    EXPECT_EQ(op.ReadByte(0), sim::kLockedReadPattern);
  }
  chip.lockBits = sim::kChipLock1;
  {
    PartOperation op(rig, part);
    EXPECT_EQ(op.ReadByte(0), 0x12);
    op.Program({{1, 0x00}});  // lock bit 1 stops further programming
    op.Erase();
  }
  EXPECT_EQ(rig.pc.Socket()->lockBits, 0);
  EXPECT_EQ(rig.pc.Socket()->memory[1], 0xFF);
}

TEST_P(EveryPart, CellsThatWillNotProgram) {
  const Part& part = GetParam();
  SimRig rig;
  rig.pc.InsertChip(part.type).wontProgram = {1};
  {
    PartOperation op(rig, part);
    op.Program({{0, 0x11}, {1, 0x22}, {2, 0x33}});
  }
  EXPECT_EQ(rig.pc.Socket()->memory[0], 0x11);
  EXPECT_EQ(rig.pc.Socket()->memory[1], 0xFF);
  EXPECT_EQ(rig.pc.Socket()->memory[2], 0x33);
}

INSTANTIATE_TEST_SUITE_P(Sim, EveryPart, testing::ValuesIn(Parts()), PartName);

// Lock bits as each family programs them, read back where the part can report them.
TEST(LockBits, PulsedOneByOneOrAsADataByte) {
  struct Case {
    int type;
    std::vector<int> codes;  // one pulse per code; empty: the AT89S53 data bytes
    int lockBits;
    int lockRead;  // -1: the part has no lock read
  };
  const Case cases[] = {
      {0, {0x7E, 0x1E, 0x36}, 7, -1}, {3, {0x7E}, 1, 0x04},       {4, {0x1E, 0x36}, 6, 0x18},
      {7, {0x36}, 4, 0x10},           {8, {0x7E, 0x1E}, 3, 0x0C}, {11, {0x1E, 0x0A}, 3, -1},
  };
  for (const Case& c : cases) {
    const Part& part = Parts()[c.type];
    SimRig rig;
    rig.pc.InsertChip(c.type);
    {
      PartOperation op(rig, part);
      if (part.family == Family::C55WD) rig.board.ClearInit();
      op.VoltageOn();
      for (int code : c.codes) {
        op.Mode(code);
        if (part.family == Family::C55WD) {
          rig.board.SetStrobe();
          rig.port.Delay100us();
          rig.board.ClearStrobe();
        } else {
          part.family == Family::S51 ? rig.board.PulseSelectIn() : rig.board.PulseStrobe();
          (rig.port.*op.ByteWait())();
        }
      }
      op.VoltageOff();
    }
    EXPECT_EQ(rig.pc.Socket()->lockBits, c.lockBits) << part.name;
    if (c.lockRead >= 0) {
      PartOperation op(rig, part);
      EXPECT_EQ(op.ReadByte(0x200, 0x3A), c.lockRead) << part.name;
    }
  }
}

TEST(LockBits, APulseWithoutItsConditionsDoesNotTake) {
  enum class Pulse { Strobe2ms, Strobe100us, SelectIn50us, Strobe100usLong };
  struct Case {
    const char* what;
    int type;
    bool voltage;
    bool initLow;
    Pulse pulse;
    const char* lost;  // empty when no cycle starts at all
  };
  const Case cases[] = {
      {"AT89C51 without programming voltage", 0, false, false, Pulse::Strobe2ms,
       "no programming voltage"},
      {"AT89C51 with a 100 us wait", 0, true, false, Pulse::Strobe100us, "wait too short"},
      {"AT89C51 pulsed on SelectIn", 0, true, false, Pulse::SelectIn50us, ""},
      {"AT89S51 pulsed on Strobe", 3, true, false, Pulse::Strobe2ms, ""},
      {"AT89C55WD with Init set", 7, true, false, Pulse::Strobe100usLong, "Init not cleared"},
      {"AT89C55WD with a short pulse", 7, true, true, Pulse::Strobe2ms, "pulse too short"},
      {"AT89C2051 without programming voltage", 11, false, false, Pulse::Strobe2ms,
       "no programming voltage"},
  };
  for (const Case& c : cases) {
    const Part& part = Parts()[c.type];
    SimRig rig;
    rig.pc.InsertChip(c.type);
    rig.pc.SetEventTracing(true);
    {
      PartOperation op(rig, part);
      if (c.initLow) rig.board.ClearInit();
      if (c.voltage) op.VoltageOn();
      op.Mode(0x1E);  // lock bit 2 on the 40-pin parts, lock bit 1 on the 20-pin parts
      switch (c.pulse) {
        case Pulse::Strobe2ms:
          rig.board.PulseStrobe();
          rig.port.Delay2ms();
          break;
        case Pulse::Strobe100us:
          rig.board.PulseStrobe();
          rig.port.Delay100us();
          break;
        case Pulse::SelectIn50us:
          rig.board.PulseSelectIn();
          rig.port.Delay50us();
          break;
        case Pulse::Strobe100usLong:
          rig.board.SetStrobe();
          rig.port.Delay100us();
          rig.board.ClearStrobe();
          break;
      }
      op.Mode(0x00);
    }
    EXPECT_EQ(rig.pc.Socket()->lockBits, 0) << c.what;
    const auto cycles = rig.pc.EventTexts(EventKind::Cycle);
    if (*c.lost) {
      ASSERT_EQ(cycles.size(), 1u) << c.what;
      EXPECT_NE(cycles[0].find(std::string("lost: ") + c.lost), std::string::npos) << cycles[0];
    } else {
      EXPECT_TRUE(cycles.empty()) << c.what;
    }
  }
}

TEST(LockBits, AT89S53TakesFuseAndLockBitsAsDataBytes) {
  struct Case {
    int fuseByte, lockByte;
    int lockBits;
    bool isp;
    int lockRead, fuseRead;
  };
  for (const Case c :
       {Case{0xFF, 0xFF, 0, false, 0xFF, 0xFF}, Case{0xFE, 0xFF, 0, true, 0xFF, 0xFE},
        Case{0xFF, 0x1F, 7, false, 0xF8, 0xFF}, Case{0xFE, 0x7F, 1, true, 0xFB, 0xFE}}) {
    const Part& part = Parts()[5];
    SimRig rig;
    rig.pc.InsertChip(5);
    {
      PartOperation op(rig, part);
      rig.board.EnableDataOutputs(true);
      rig.board.SetData(c.fuseByte);
      op.Mode(0x4E);
      rig.board.SetStrobe();
      rig.port.Delay10ms();
      rig.board.ClearStrobe();
      rig.board.SetData(c.lockByte);
      op.Mode(0x36);
      rig.board.PulseStrobe();
      rig.port.Delay2ms();
      rig.board.EnableDataOutputs(false);
    }
    EXPECT_EQ(rig.pc.Socket()->lockBits, c.lockBits);
    EXPECT_EQ(rig.pc.Socket()->ispFuse, c.isp);
    PartOperation op(rig, part);
    EXPECT_EQ(op.ReadByte(0x31, 0x1E), c.lockRead);
    EXPECT_EQ(op.ReadByte(0x31, 0x5E), c.fuseRead);
  }
}

TEST(AddressForms, EachPartAnswersOnlyToItsOwnWiring) {
  struct Case {
    int type;
    int low, high;  // as latched
    int answer;     // byte read, -1 for no answer (the lines float: 0xFF)
  };
  const Case cases[] = {
      {0, 0x23, 0x11, 0x01}, {0, 0x23, 0x01, -1},    // AT89C51 needs address-high bit 4
      {1, 0x23, 0x11, 0x11}, {3, 0x23, 0x11, -1},    // on the others it is A12
      {2, 0xBC, 0x4A, 0x4A}, {7, 0xBC, 0x8A, 0x4A},  // A14: bit 6 on the C55, bit 7 on the WD
      {7, 0xBC, 0x4A, -1},   {8, 0xFF, 0xBF, 0x7F},
      {6, 0x00, 0x28, -1},  // beyond the AT89S8252's 10 KB
  };
  for (const Case& c : cases) {
    const Part& part = Parts()[c.type];
    std::vector<std::uint8_t> contents(part.size);
    for (int a = 0; a < part.size; ++a) contents[a] = static_cast<std::uint8_t>(a >> 8);
    SimRig rig;
    rig.pc.InsertChip(sim::Chip::WithContents(c.type, contents));
    PartOperation op(rig, part);
    rig.board.SetAddress(c.low, c.high);
    rig.board.LatchMode(op.ReadCode());
    rig.board.ShiftInData();
    EXPECT_EQ(rig.board.ReadBack(), c.answer < 0 ? 0xFF : c.answer)
        << part.name << " " << std::hex << c.high;
  }
}

TEST(TwentyPin, CounterStepsWrapsAndRestartsWithEachOperation) {
  const Part& part = Parts()[9];
  std::vector<std::uint8_t> contents(part.size);
  for (int a = 0; a < part.size; ++a) contents[a] = static_cast<std::uint8_t>(a * 7 + (a >> 8));
  SimRig rig;
  rig.pc.InsertChip(sim::Chip::WithContents(9, contents));
  {
    PartOperation op(rig, part);
    EXPECT_EQ(op.ReadByte(5), contents[5]);
    EXPECT_EQ(rig.pc.AddressCounter(), 5u);
    for (int i = 5; i < part.size; ++i) op.Step();
    EXPECT_EQ(rig.pc.AddressCounter(), 0u);
    rig.board.ReadDataByte();
    EXPECT_EQ(rig.board.ReadBack(), contents[0]);
  }
  PartOperation op(rig, part);
  EXPECT_EQ(rig.pc.AddressCounter(), 0u);
  EXPECT_EQ(op.ReadByte(0), contents[0]);
}

TEST(TwentyPin, DataTravelsBitReversedAndNeedsAddressHighFEAtTheStart) {
  const Part& part = Parts()[11];
  SimRig rig;
  rig.pc.InsertChip(sim::Chip::WithContents(11, {0x01, 0x35}));
  {
    PartOperation op(rig, part);
    EXPECT_EQ(op.ReadByte(0), 0x01);
    rig.board.ShiftInData();  // without the reversal
    EXPECT_EQ(rig.board.ReadBack(), 0x80);
  }
  // Activated with address-high 0x00: the part never enters programming mode.
  rig.board.SetAddressHigh(0x00);
  rig.board.BeginOperation();
  rig.board.SetAddressHigh(0xFE);
  rig.board.LatchMode(0x14);
  rig.board.ReadDataByte();
  EXPECT_EQ(rig.board.ReadBack(), 0xFF);
  rig.board.ResetBoard();
}

TEST(Faults, WhatTheReadBackLineDeliversWithoutABoardOrAChip) {
  struct Case {
    const char* what;
    int socketType;  // -1: empty
    bool board;
    int readAs;
    int expected;
  };
  const Case cases[] = {
      {"no board", 0, false, 0, 0xFF},
      {"empty socket", -1, true, 0, 0xFF},
      {"20-pin part read as a 40-pin part", 11, true, 1, 0xFF},
      {"AT89C51 read as an AT89C52", 0, true, 1, 0xFF},
      {"AT89S51 read as an AT89C51", 3, true, 0, 0xFF},
      {"AT89C52 read as an AT89C51 (address-high bit 4 is A12)", 1, true, 0, 0x10},
  };
  for (const Case& c : cases) {
    SimRig rig;
    if (c.socketType < 0) {
      rig.pc.RemoveChip();
    } else {
      std::vector<std::uint8_t> contents(0x1100, 0x00);
      contents[0x1000] = 0x10;
      rig.pc.InsertChip(sim::Chip::WithContents(c.socketType, contents));
    }
    rig.pc.SetBoardPresent(c.board);
    PartOperation op(rig, Parts()[c.readAs]);
    EXPECT_EQ(op.ReadByte(0), c.expected) << c.what;
  }
}

TEST(Faults, AnotherPartInTheSocketIsNotProgrammed) {
  SimRig rig;
  rig.pc.InsertChip(sim::Chip::WithContents(3, {0x00}));  // an AT89S51, programmed as an AT89C51
  {
    PartOperation op(rig, Parts()[0]);
    op.Erase();
    op.Program({{0, 0x55}});
  }
  EXPECT_EQ(rig.pc.Socket()->memory[0], 0x00);
}

}  // namespace
}  // namespace kaldo::test
