// The waits of Port on the clock-backed timer, timed by the host's own clock. How much longer than
// nominal they last depends on the machine's load: bench/link prints those figures.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "link/ClockTimer.h"
#include "link/Port.h"

namespace kaldo {
namespace {

using Ns = std::chrono::nanoseconds;

// The time of a count at the 1,193,182 Hz timer clock, rounded up.
constexpr long long CountNs(long long count) {
  return (count * 1000000000 + 1193181) / 1193182;
}

// However busy the machine, no wait ends before its count has run out: a chip given less than
// its programming time keeps the old byte.
TEST(ClockBackedWaits, NeverEndBeforeTheirCount) {
  struct Case {
    const char* name;
    void (Port::*wait)();
    long long nominalNs;
    int runs;
  };
  const Case cases[] = {
      {"Delay50us", &Port::Delay50us, CountNs(60), 5},
      {"Delay100us", &Port::Delay100us, CountNs(119), 5},
      {"Delay2ms", &Port::Delay2ms, CountNs(2387), 7},
      {"Delay10ms", &Port::Delay10ms, CountNs(11932), 5},
      {"Delay55ms", &Port::Delay55ms, CountNs(65535), 3},
      {"Delay500ms", &Port::Delay500ms, 50 * CountNs(11932), 2},
  };
  SteadyClock clock;
  ClockTimer timer(clock);
  Port port(timer);
  port.InitDelayTimer();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int i = 0; i < c.runs; ++i) {
      const auto start = std::chrono::steady_clock::now();
      (port.*c.wait)();
      EXPECT_GE(Ns(std::chrono::steady_clock::now() - start).count(), c.nominalNs);
    }
  }
  port.RestoreDelayTimer();
}

// A stop asked for from another thread (as a signal handler does) ends the wait that runs with
// StoppedError. The waits sleep in slices short enough to notice it soon (ClockTimerTest holds the
// slice length on a test clock); bench/link prints how soon.
TEST(ClockBackedWaits, AStopFromAnotherThreadEndsTheWait) {
  SteadyClock clock;
  ClockTimer timer(clock);
  Port port(timer);
  port.InitDelayTimer();
  for (void (Port::*wait)() : {&Port::Delay55ms, &Port::Delay500ms}) {
    StopFlag stop;
    port.WatchStop(&stop);
    std::thread signaller([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(23));
      stop.Request(SIGINT);
    });
    int stoppedBy = 0;
    bool askedBeforeAWait = false;
    // A wait that began before the request may end before it; one that began after it must not.
    while (stoppedBy == 0 && !askedBeforeAWait) {
      askedBeforeAWait = stop.Requested();
      try {
        (port.*wait)();
      } catch (const StoppedError& e) {
        stoppedBy = e.Signal();
      }
    }
    signaller.join();
    EXPECT_EQ(stoppedBy, SIGINT);
  }
  port.WatchStop(nullptr);
  port.RestoreDelayTimer();
}

}  // namespace
}  // namespace kaldo
