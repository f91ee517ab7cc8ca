#include <gtest/gtest.h>

#include "tests/sim/SimRig.h"

namespace kaldo::test {
namespace {

using sim::EventKind;
using sim::SimulatedPC;

// Simulated length of a wait: from its first port write to its last.
struct TimedWait {
  const char* name;
  void (Port::*wait)();
  double expectedUs;
};

class WaitLength : public testing::TestWithParam<TimedWait> {};

TEST_P(WaitLength, LastsItsCountOnTheTimerClock) {
  SimulatedPC pc;
  Port port(pc);
  port.InitDelayTimer();
  pc.SetTracing(true);
  (port.*GetParam().wait)();
  const auto& a = pc.Accesses();
  const double lengthUs = (a.back().timeNs - a.front().timeNs) / 1000.0;
  // The count, plus the writes that start it and at most one poll (a triple read) of lateness.
  const double expected = GetParam().expectedUs;
  EXPECT_GE(lengthUs, expected) << GetParam().name;
  EXPECT_LE(lengthUs, expected + 4 + 3) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Sim, WaitLength,
                         testing::Values(TimedWait{"Delay50us", &Port::Delay50us, 60 / 1.193182},
                                         TimedWait{"Delay2ms", &Port::Delay2ms, 2387 / 1.193182},
                                         TimedWait{"Delay55ms", &Port::Delay55ms,
                                                   65535 / 1.193182}),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(WaitLength, Delay500msIsFiftyTenMillisecondWaits) {
  SimulatedPC pc;
  Port port(pc);
  port.InitDelayTimer();
  pc.SetEventTracing(true);
  const auto start = pc.NowNs();
  port.Delay500ms();
  const double ms = (pc.NowNs() - start) / 1e6;
  EXPECT_GE(ms, 50 * 11932 / 1193.182);
  EXPECT_LE(ms, 500.0 + 50 * 0.008);
  EXPECT_EQ(pc.EventTexts(EventKind::Wait), std::vector<std::string>(50, "wait 11932"));
}

TEST(WaitLength, AFasterOrSlowerBusKeepsTheWaitsTrue) {
  for (const std::uint32_t cycle : {250u, 1000u, 4000u}) {
    SimulatedPC pc(sim::SimOptions{.ioCycleNs = cycle});
    Port port(pc);
    port.InitDelayTimer();
    const auto start = pc.NowNs();
    port.Delay10ms();
    const double us = (pc.NowNs() - start) / 1e3;
    EXPECT_GE(us, 11932 / 1.193182) << cycle;
    EXPECT_LE(us, 11932 / 1.193182 + 8 * cycle / 1e3) << cycle;
  }
}

TEST(Timer, ResetBoardWaitsFourTimes55ms) {
  SimRig rig;
  rig.pc.SetEventTracing(true);
  rig.board.ResetBoard();
  EXPECT_EQ(rig.pc.EventTexts(EventKind::Wait), std::vector<std::string>(4, "wait 65535"));
  EXPECT_EQ(rig.pc.EventTexts(EventKind::Control),
            (std::vector<std::string>{"control 07", "control 07"}));
}

TEST(Timer, SavedModeComesFromTheReadBackStatus) {
  struct Case {
    std::uint8_t biosStatus;
    int saved;
  };
  for (const Case c : {Case{0xB6, 0xB6}, Case{0x76, 0xB6}, Case{0x34, 0xB4}}) {
    SimulatedPC pc(sim::SimOptions{.timer2Status = c.biosStatus, .timer2Count = 0x1234});
    Port port(pc);
    port.InitDelayTimer();
    EXPECT_EQ(port.SavedTimer2Mode, c.saved) << std::hex << int(c.biosStatus);
  }
}

TEST(Timer, ReadBackGivesTheStatusOnceThenTheCount) {
  SimulatedPC pc(sim::SimOptions{.timer2Status = 0xB6, .timer2Count = 0x1234});
  pc.write(0x43, 0xE8);
  EXPECT_EQ(pc.read(0x42), 0xB6);
  EXPECT_EQ(pc.read(0x42), 0x34);
  EXPECT_EQ(pc.read(0x42), 0x12);
  // A one-shot that has not started: output low, null count until the next clock tick.
  pc.write(0x43, 0xB0);
  pc.write(0x42, 0x10);
  pc.write(0x43, 0xE8);
  EXPECT_EQ(pc.read(0x42), 0x70);
  pc.write(0x42, 0x00);
  pc.write(0x43, 0xE8);
  EXPECT_EQ(pc.read(0x42), 0x30);
}

TEST(Timer, Port61BeforeAndAfterTheProgramsTimerUse) {
  SimulatedPC pc(sim::SimOptions{.port61 = 0x0E});
  EXPECT_EQ(pc.read(0x61), 0x2E);
  Port port(pc);
  port.InitDelayTimer();
  EXPECT_EQ(port.SavedPort61, 0x2E);
  EXPECT_EQ(pc.read(0x61) & 0x03, 0x00);
  port.Delay100us();
  EXPECT_EQ(pc.read(0x61), 0x2C);  // gate closed, output still high after the one-shot
  port.RestoreDelayTimer();
  EXPECT_EQ(pc.read(0x61), 0x2E);
  EXPECT_EQ(pc.Timer().Mode(), 3);
}

TEST(Timer, OneShotOutputStaysLowWhileTheGateIsClosed) {
  SimulatedPC pc;
  pc.write(0x43, 0xB0);
  pc.write(0x42, 0x0A);
  pc.write(0x42, 0x00);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(pc.read(0x61) & 0x20, 0x00);
  pc.write(0x61, 0x01);
  const auto opened = pc.NowNs();
  while ((pc.read(0x61) & 0x20) == 0) {
  }
  EXPECT_NEAR((pc.NowNs() - opened) / 1000.0, 10 / 1.193182, 1.5);
}

}  // namespace
}  // namespace kaldo::test
