#include "link/Port.h"

#include <gtest/gtest.h>

#include <csignal>

#include "link/LinkErrors.h"
#include "tests/link/FakeIo.h"

namespace kaldo {
namespace {

using test::FakeIo;
using test::IoAccess;

TEST(PortIn, ReadsThreeTimesAndReturnsTheThird) {
  FakeIo io;
  io.scripted[0x379] = {0x11, 0x22, 0x33};
  Port port(io);
  EXPECT_EQ(port.PortIn(0x379), 0x33);
  EXPECT_EQ(io.Reads(0x379), 3);
  EXPECT_TRUE(io.WritesOnly().empty());
}

TEST(PortOut, WritesOnlyTheLowByte) {
  FakeIo io;
  Port port(io);
  port.PortOut(0x378, 0x1C4);
  port.PortOut(0x37A, -1);
  EXPECT_EQ(io.log, (std::vector<IoAccess>{{true, 0x378, 0xC4}, {true, 0x37A, 0xFF}}));
}

TEST(PortBase, StartsOnLpt1AndTellsTheIoSpaceOfEveryChoice) {
  FakeIo io;
  Port port(io);
  EXPECT_EQ(port.PortBase(), 0x378);
  port.SetPortBase(0x278);
  port.SetPortBase(0xD010);
  EXPECT_EQ(port.PortBase(), 0xD010);
  EXPECT_EQ(io.selected, (std::vector<std::uint16_t>{0x278, 0xD010}));
  EXPECT_TRUE(io.log.empty());  // a port choice touches no register
}

// Counter 2 ends after two polls (each poll is a triple read of 0x61).
struct WaitCase {
  const char* name;
  void (Port::*wait)();
  int count;
};

class OneShotWait : public testing::TestWithParam<WaitCase> {};

TEST_P(OneShotWait, ProgramsCounter2AndPollsPort61) {
  FakeIo io;
  io.scripted[0x61] = {0x00, 0x00, 0x00, 0x20, 0x20, 0x20};
  Port port(io);
  port.Port61Image = 0x0C;
  (port.*GetParam().wait)();
  const int n = GetParam().count;
  EXPECT_EQ(io.WritesOnly(),
            (std::vector<IoAccess>{{true, 0x43, 0xB0},
                                   {true, 0x42, static_cast<std::uint8_t>(n & 0xFF)},
                                   {true, 0x42, static_cast<std::uint8_t>(n >> 8)},
                                   {true, 0x61, 0x0D},
                                   {true, 0x61, 0x0C}}));
  EXPECT_EQ(io.Reads(0x61), 6);
  EXPECT_EQ(port.Port61Image, 0x0C);
}

INSTANTIATE_TEST_SUITE_P(Counts, OneShotWait,
                         testing::Values(WaitCase{"Delay50us", &Port::Delay50us, 60},
                                         WaitCase{"Delay100us", &Port::Delay100us, 119},
                                         WaitCase{"Delay2ms", &Port::Delay2ms, 2387},
                                         WaitCase{"Delay10ms", &Port::Delay10ms, 11932},
                                         WaitCase{"Delay55ms", &Port::Delay55ms, 65535}),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(Delay500ms, IsFiftySeparateTenMillisecondWaits) {
  FakeIo io;
  io.constant[0x61] = 0x20;
  Port port(io);
  port.Delay500ms();
  const auto writes = io.WritesOnly();
  ASSERT_EQ(writes.size(), 250u);
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(writes[5 * i], (IoAccess{true, 0x43, 0xB0}));
    EXPECT_EQ(writes[5 * i + 1], (IoAccess{true, 0x42, 0x9C}));
    EXPECT_EQ(writes[5 * i + 2], (IoAccess{true, 0x42, 0x2E}));
  }
}

TEST(SaveTimer2Mode, KeepsAccessModeAndBcdAndSelectsCounter2) {
  struct Case {
    std::uint8_t status;
    int saved;
  };
  for (const Case c :
       {Case{0xB6, 0xB6}, Case{0x76, 0xB6}, Case{0x30, 0xB0}, Case{0xFF, 0xBF}, Case{0x00, 0x80}}) {
    FakeIo io;
    io.scripted[0x42] = {c.status, 0x12, 0x34};
    Port port(io);
    port.SaveTimer2Mode();
    EXPECT_EQ(port.SavedTimer2Mode, c.saved) << std::hex << int(c.status);
    EXPECT_EQ(io.WritesOnly(), (std::vector<IoAccess>{{true, 0x43, 0xE8}}));
    // Only the first read after the read-back command is the status.
    EXPECT_EQ(io.Reads(0x42), 1);
  }
}

TEST(DelayTimer, InitClearsGateAndSpeakerAndRestorePutsBackWhatWasFound) {
  FakeIo io;
  io.constant[0x61] = 0x2F;
  io.scripted[0x42] = {0x76};
  Port port(io);
  port.InitDelayTimer();
  EXPECT_EQ(port.SavedPort61, 0x2F);
  EXPECT_EQ(port.Port61Image, 0x2C);
  EXPECT_EQ(port.SavedTimer2Mode, 0xB6);
  EXPECT_EQ(io.WritesOnly(), (std::vector<IoAccess>{{true, 0x61, 0x2C}, {true, 0x43, 0xE8}}));
  EXPECT_EQ(io.Reads(0x61), 3);

  io.log.clear();
  port.RestoreDelayTimer();
  EXPECT_EQ(io.WritesOnly(),
            (std::vector<IoAccess>{
                {true, 0x61, 0x2F}, {true, 0x43, 0xB6}, {true, 0x42, 0x00}, {true, 0x42, 0x00}}));
}

TEST(TimerWait, ACounterThatNeverEndsRaisesAfterTheHostTimeBound) {
  FakeIo io;
  io.constant[0x61] = 0x00;
  std::int64_t host = 0;
  Port port(io, [&] { return host += 1'000'000'000; });  // every look at the clock: 1 s later
  port.Port61Image = 0x04;
  try {
    port.Delay10ms();
    FAIL() << "no error";
  } catch (const TimerWaitError& e) {
    EXPECT_NE(std::string(e.what()).find("counter 2"), std::string::npos);
  }
  // Five looks at the clock, 1024 polls apart, then the gate is closed again.
  EXPECT_EQ(io.Reads(0x61), 6 * 1024 * 3);
  EXPECT_EQ(io.Writes(0x61).back(), 0x04);
}

TEST(TimerWait, AWaitThatEndsWithinTheBoundReturns) {
  FakeIo io;
  int reads = 0;
  io.reader = [&](std::uint16_t) { return ++reads > 3 * 4000 ? 0x20 : 0x00; };
  std::int64_t host = 0;
  Port port(io, [&] { return host += 1'000'000'000; });
  EXPECT_NO_THROW(port.Delay55ms());
  EXPECT_EQ(io.Reads(0x61), 3 * 4001);
}

// A stop asked for while a wait polls ends it at the next poll, gate off, with StoppedError; a
// wait under StopsIgnored runs to its end; without a stop the waits write what they always did.
TEST(StopFlag, EndsAWaitAtItsNextPollUnlessStopsAreIgnored) {
  StopFlag stop;
  FakeIo io;
  int reads = 0;
  io.reader = [&](std::uint16_t) {
    if (++reads == 3 * 10) stop.Request(SIGTERM);
    return reads > 3 * 40 ? 0x20 : 0x00;
  };
  Port port(io);
  port.WatchStop(&stop);
  port.Port61Image = 0x04;
  try {
    port.Delay55ms();
    FAIL() << "no error";
  } catch (const StoppedError& e) {
    EXPECT_EQ(e.Signal(), SIGTERM);
  }
  EXPECT_EQ(io.Reads(0x61), 3 * 10);
  EXPECT_EQ(io.Writes(0x61).back(), 0x04);
  EXPECT_THROW(port.ThrowIfStopped(), StoppedError);
  EXPECT_THROW(port.Delay50us(), StoppedError);  // a stop that stands ends the next wait at once
  EXPECT_EQ(io.Writes(0x43).size(), 1u);

  {
    const Port::StopsIgnored toTheEnd(port);
    EXPECT_NO_THROW(port.ThrowIfStopped());
    EXPECT_NO_THROW(port.Delay55ms());
  }
  EXPECT_EQ(io.Reads(0x61), 3 * 41);
  EXPECT_THROW(port.ThrowIfStopped(), StoppedError);
  stop.Clear();
  EXPECT_NO_THROW(port.Delay55ms());
}

}  // namespace
}  // namespace kaldo
