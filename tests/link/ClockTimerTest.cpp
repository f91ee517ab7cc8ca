#include "link/ClockTimer.h"

#include <gtest/gtest.h>

#include "tests/link/PpdevFakes.h"

namespace kaldo {
namespace {

using std::chrono::nanoseconds;

class ClockTimerTest : public ::testing::Test {
 protected:
  // Control word 0xB0 (counter 2, LSB then MSB, mode 0), the count, gate on.
  void startOneShot(unsigned count) {
    timer.write(0x43, 0xB0);
    timer.write(0x42, count & 0xFF);
    timer.write(0x42, (count >> 8) & 0xFF);
    timer.write(0x61, 0x01);
  }
  // The output as the read-back status shows it (a read of port 0x61 may sleep).
  bool outputHigh() {
    timer.write(0x43, 0xE8);
    return timer.read(0x42) & 0x80;
  }

  test::FakeClock clock;
  ClockTimer timer{clock};
};

TEST_F(ClockTimerTest, StartsLikeABiosSetUpCounterTwo) {
  // Mode 3, LSB then MSB, binary, output high: a read-back status of 0xB6.
  timer.write(0x43, 0xE8);
  EXPECT_EQ(timer.read(0x42), 0xB6);
  EXPECT_EQ(timer.read(0x61), 0x20);
}

TEST_F(ClockTimerTest, OneShotEndsAfterItsCountAtTheTimerClock) {
  struct Case {
    unsigned written;
    long long ticks;
  };
  for (Case c : {Case{60, 60}, Case{119, 119}, Case{2387, 2387}, Case{11932, 11932},
                 Case{65535, 65535}, Case{0, 65536}}) {
    SCOPED_TRACE(c.written);
    startOneShot(c.written);
    const long long endNs = (c.ticks * 1000000000LL + ClockTimer::kHz - 1) / ClockTimer::kHz;
    EXPECT_FALSE(outputHigh());
    clock.time += nanoseconds(endNs - 1);
    EXPECT_FALSE(outputHigh());
    timer.write(0x43, 0xE8);
    EXPECT_EQ(timer.read(0x42), 0x30);  // output low, LSB/MSB, mode 0
    clock.time += nanoseconds(1);
    EXPECT_TRUE(outputHigh());
    timer.write(0x43, 0xE8);
    EXPECT_EQ(timer.read(0x42), 0xB0);
    timer.write(0x61, 0x00);
  }
}

TEST_F(ClockTimerTest, GateOffHoldsTheCount) {
  startOneShot(11932);  // 10 ms
  clock.time += std::chrono::milliseconds(6);
  timer.write(0x61, 0x00);
  clock.time += std::chrono::seconds(1);
  EXPECT_FALSE(outputHigh());
  timer.write(0x61, 0x01);
  clock.time += std::chrono::microseconds(3990);
  EXPECT_FALSE(outputHigh());
  clock.time += std::chrono::microseconds(20);
  EXPECT_TRUE(outputHigh());
}

TEST_F(ClockTimerTest, PollingALongCountSleepsThroughMostOfIt) {
  clock.step = std::chrono::microseconds(1);  // every look at the clock costs a microsecond
  const auto start = clock.time;
  startOneShot(11932);
  int polls = 0;
  while (!(timer.read(0x61) & 0x20)) ++polls;
  const auto took = clock.time - start;
  EXPECT_GE(took, nanoseconds(10000168));  // 11932 ticks
  EXPECT_LT(took, nanoseconds(10000168) + std::chrono::microseconds(20));
  // Slept through most of it, in slices short enough for the poller to notice a stop.
  nanoseconds slept{0};
  for (nanoseconds s : clock.sleeps) {
    EXPECT_LE(s, ClockTimer::kSleepAtMost);
    slept += s;
  }
  EXPECT_GT(slept, std::chrono::microseconds(9500));
  EXPECT_LE(clock.sleeps.size(), 3u);
  EXPECT_LT(polls, 400);

  clock.sleeps.clear();
  startOneShot(119);  // short counts are polled only
  while (!(timer.read(0x61) & 0x20)) {
  }
  EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(ClockTimerTest, CountCanBeLatchedAndReadBack) {
  startOneShot(1000);
  clock.time += nanoseconds(100 * 1000000000LL / ClockTimer::kHz + 1);  // 100 ticks
  timer.write(0x43, 0x80);                                              // counter latch
  clock.time += std::chrono::microseconds(100);                         // the latch holds
  EXPECT_EQ(timer.read(0x42), 900 & 0xFF);
  EXPECT_EQ(timer.read(0x42), 900 >> 8);

  timer.write(0x43, 0xC8);  // read-back of status and count: status first
  EXPECT_EQ(timer.read(0x42), 0x30);
  const int low = timer.read(0x42);
  const int count = low | timer.read(0x42) << 8;
  EXPECT_LT(count, 900);
  EXPECT_GT(count, 700);
}

TEST_F(ClockTimerTest, SystemControlPortKeepsItsLowBitsAndShowsTheOutput) {
  timer.write(0x61, 0xFE);  // bits 4..7 cannot be written; the gate stays off
  EXPECT_EQ(timer.read(0x61), 0x0E | 0x20);
  startOneShot(60);
  EXPECT_EQ(timer.read(0x61), 0x01);
  clock.time += std::chrono::microseconds(51);
  EXPECT_EQ(timer.read(0x61), 0x21);
}

TEST_F(ClockTimerTest, FirstByteOfANewCountStopsTheOneShot) {
  startOneShot(60);
  timer.write(0x42, 0x10);
  clock.time += std::chrono::seconds(1);
  EXPECT_FALSE(outputHigh());
  timer.write(0x42, 0x00);  // count 16 loaded, counting from now
  clock.time += std::chrono::microseconds(14);
  EXPECT_TRUE(outputHigh());
}

}  // namespace
}  // namespace kaldo
