#include <gtest/gtest.h>

#include <sstream>

#include "tests/sim/SimRig.h"

namespace kaldo::test {
namespace {

using sim::EventKind;
using sim::SimulatedPC;

TEST(Trace, OneLinePerAccess) {
  SimulatedPC pc;
  pc.SetTracing(true);
  pc.write(0x378, 0x44);
  pc.read(0x379);
  for (int i = 0; i < 1500; ++i) pc.read(0x42);
  pc.write(0x37A, 0x07);
  std::ostringstream out;
  pc.WriteTrace(out);
  const std::string text = out.str();
  EXPECT_EQ(text.substr(0, 24), "0 W 0378 44\n1 R 0379 FF\n");
  EXPECT_NE(text.find("\n1502 W 037A 07\n"), std::string::npos);
  pc.SetTracing(false);
  pc.write(0x378, 0x00);
  EXPECT_EQ(pc.Accesses().size(), 1503u);
}

TEST(Trace, LatchesAndCapturesOfAShiftOutAndIn) {
  SimRig rig;
  rig.pc.InsertChip(sim::Chip::WithContents(1, std::vector<std::uint8_t>(0x1235, 0xA5)));
  rig.pc.SetTracing(true);
  rig.board.BeginOperation();
  rig.board.SetData(0x5A);
  rig.board.SetAddress(0x1234, 0x12);
  rig.board.SetMode(0x66);
  rig.board.EnableDataOutputs(true);
  rig.board.ShiftOutLatches();
  rig.board.EnableDataOutputs(false);
  rig.board.ShiftOutLatches();
  rig.board.ShiftInData();
  EXPECT_EQ(rig.board.ReadBack(), 0xA5);
  EXPECT_EQ(
      rig.pc.EventTexts(EventKind::Latch),
      (std::vector<std::string>{"latch D=00 AL=00 AH=00 M=01", "latch D=5A AL=34 AH=12 M=67 drive",
                                "latch D=5A AL=34 AH=12 M=67"}));
  EXPECT_EQ(rig.pc.EventTexts(EventKind::Capture), (std::vector<std::string>{"capture A5"}));
  rig.board.ResetBoard();
}

TEST(Board, FloatingPortsAndOtherBases) {
  SimRig rig(sim::SimOptions{.lptBase = 0x278});
  rig.pc.InsertChip(1);
  for (const std::uint16_t port : {0x379, 0x3BD, 0x80, 0x2FF}) EXPECT_EQ(rig.pc.read(port), 0xFF);
  rig.pc.write(0x378, 0x80);
  EXPECT_EQ(rig.pc.Lines().mode, 0x81);  // idle, as ResetBoard left it on 0x278
  rig.port.SetPortBase(0x378);           // the board is not there: every status bit reads 1
  PartOperation op(rig, Parts()[1]);
  EXPECT_EQ(op.ReadByte(0), 0x00);
}

TEST(Board, DataOutputsDriveTheReadBackWhenNotReleased) {
  SimRig rig;
  rig.pc.RemoveChip();
  rig.board.SetData(0x3C);
  rig.board.EnableDataOutputs(true);
  rig.board.ShiftOutLatches();
  // Load and clock with the outputs still driving (bit 2 = 0): the board reads its own byte.
  const std::uint8_t image = rig.board.Registers().DataPortImage & ~0x04;
  rig.pc.write(0x378, image | 0x08);
  rig.pc.write(0x378, image | 0x0A);
  int value = 0;
  for (int i = 0; i < 8; ++i) {
    value = value << 1 | ((rig.pc.read(0x379) & 0x80) ? 0 : 1);
    rig.pc.write(0x378, image);
    rig.pc.write(0x378, image | 0x02);
  }
  EXPECT_EQ(value, 0x3C);
}

TEST(Board, ProgrammingPulsesAndCyclesInTheEventList) {
  SimRig rig;
  rig.pc.InsertChip(7);
  rig.pc.SetEventTracing(true);
  {
    PartOperation op(rig, Parts()[7]);
    op.Program({{0x4001, 0x12}});
  }
  EXPECT_EQ(rig.pc.EventTexts(EventKind::Cycle), (std::vector<std::string>{"cycle write 4001=12"}));
  std::vector<sim::BoardEvent> pulses;
  for (const auto& e : rig.pc.Events()) {
    if (e.kind == EventKind::Pulse && e.line == sim::PulseLine::SelectIn) pulses.push_back(e);
  }
  ASSERT_EQ(pulses.size(), 1u);
  EXPECT_EQ(pulses[0].widthNs, 1000u);
  EXPECT_EQ(rig.pc.Socket()->memory[0x4001], 0x12);
}

}  // namespace
}  // namespace kaldo::test
