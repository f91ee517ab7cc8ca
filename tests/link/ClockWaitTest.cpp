// The waits of Port on the clock-backed timer, timed by the host's own clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>
#include <vector>

#include "link/ClockTimer.h"
#include "link/Port.h"

namespace kaldo {
namespace {

using Ns = std::chrono::nanoseconds;

// The time of a count at the 1,193,182 Hz timer clock, rounded up.
constexpr long long CountNs(long long count) {
  return (count * 1000000000 + 1193181) / 1193182;
}

// How long this thread has so far been ready to run while the machine ran others (the second
// field of its schedstat), or 0 where the kernel does not keep it.
long long RunQueueNs() {
  std::ifstream stat("/proc/thread-self/schedstat");
  long long onCpu = 0, waiting = 0;
  return stat >> onCpu >> waiting ? waiting : 0;
}

TEST(ClockBackedWaits, LastAtLeastTheirCountAndWellUnderTwiceIt) {
  struct Case {
    const char* name;
    void (Port::*wait)();
    long long nominalNs;
    int runs;
    bool boundAbove;  // short waits are at the mercy of the scheduler: no upper bound
  };
  const Case cases[] = {
      {"Delay50us", &Port::Delay50us, CountNs(60), 5, false},
      {"Delay100us", &Port::Delay100us, CountNs(119), 5, false},
      {"Delay2ms", &Port::Delay2ms, CountNs(2387), 7, true},
      {"Delay10ms", &Port::Delay10ms, CountNs(11932), 5, true},
      {"Delay55ms", &Port::Delay55ms, CountNs(65535), 3, true},
      {"Delay500ms", &Port::Delay500ms, 50 * CountNs(11932), 3, true},
  };
  SteadyClock clock;
  ClockTimer timer(clock);
  Port port(timer);
  port.InitDelayTimer();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The upper bound is on the wait's own time: on a shared machine a ready thread may wait
    // milliseconds for a processor, which no wait can help.
    std::vector<long long> took, walls;
    for (int i = 0; i < c.runs; ++i) {
      const long long queuedBefore = RunQueueNs();
      const auto start = std::chrono::steady_clock::now();
      (port.*c.wait)();
      const long long wall = Ns(std::chrono::steady_clock::now() - start).count();
      EXPECT_GE(wall, c.nominalNs);
      walls.push_back(wall);
      took.push_back(wall - (RunQueueNs() - queuedBefore));
    }
    std::sort(took.begin(), took.end());
    const long long median = took[took.size() / 2];
    std::sort(walls.begin(), walls.end());
    RecordProperty(std::string(c.name) + "_median_ns", std::to_string(median));
    RecordProperty(std::string(c.name) + "_wall_median_ns",
                   std::to_string(walls[walls.size() / 2]));
    if (c.boundAbove) {
      EXPECT_LT(median, 2 * c.nominalNs);
    }
  }
  port.RestoreDelayTimer();
}

// On the host clock a wait sleeps in slices: a stop asked for from another thread (as a signal
// handler does) ends it within 10 ms, whatever wait is running.
TEST(ClockBackedWaits, WakeOnAStopWithinTenMilliseconds) {
  SteadyClock clock;
  ClockTimer timer(clock);
  Port port(timer);
  port.InitDelayTimer();
  for (void (Port::*wait)() : {&Port::Delay55ms, &Port::Delay500ms}) {
    StopFlag stop;
    port.WatchStop(&stop);
    std::chrono::steady_clock::time_point asked;
    const long long queuedBefore = RunQueueNs();
    std::thread signaller([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(23));
      asked = std::chrono::steady_clock::now();
      stop.Request(SIGINT);
    });
    EXPECT_THROW((port.*wait)(), StoppedError);
    const auto stopped = std::chrono::steady_clock::now();
    signaller.join();
    const long long lateNs = Ns(stopped - asked).count();
    // Time this thread spent ready but without a processor is the machine's, not the wait's.
    const long long queuedNs = RunQueueNs() - queuedBefore;
    EXPECT_LT(lateNs, 10'000'000 + queuedNs) << "stopped " << lateNs << " ns after the request";
  }
}

}  // namespace
}  // namespace kaldo
