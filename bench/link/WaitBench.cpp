// The waits of Port on the clock-backed timer (as ppdev runs them) against the host's clock. No
// wait may end early, which the tests hold; how much longer it lasts is the machine's business,
// printed here: "wall_per_nominal" is the mean wall time of one wait over its nominal time, and
// "stop_late_ms" how long after a stop request from another thread a wait gave up.
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "link/ClockTimer.h"
#include "link/Port.h"

namespace {

using kaldo::Port;
using Steady = std::chrono::steady_clock;

constexpr double CountNs(double count) {
  return count * 1e9 / 1193182.0;
}

struct Wait {
  void (Port::*wait)();
  double nominalNs;
};

constexpr Wait kWaits[] = {
    {&Port::Delay50us, CountNs(60)},    {&Port::Delay100us, CountNs(119)},
    {&Port::Delay2ms, CountNs(2387)},   {&Port::Delay10ms, CountNs(11932)},
    {&Port::Delay55ms, CountNs(65535)}, {&Port::Delay500ms, 50 * CountNs(11932)},
};

void WaitOnTheHostClock(benchmark::State& state, int which) {
  const Wait& w = kWaits[which];
  kaldo::SteadyClock clock;
  kaldo::ClockTimer timer(clock);
  Port port(timer);
  port.InitDelayTimer();
  double wallNs = 0;
  for (auto _ : state) {
    const auto start = Steady::now();
    (port.*w.wait)();
    wallNs += std::chrono::duration<double, std::nano>(Steady::now() - start).count();
  }
  port.RestoreDelayTimer();
  state.counters["wall_per_nominal"] =
      wallNs / w.nominalNs / static_cast<double>(state.iterations());
}
BENCHMARK_CAPTURE(WaitOnTheHostClock, Delay50us, 0)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK_CAPTURE(WaitOnTheHostClock, Delay100us, 1)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK_CAPTURE(WaitOnTheHostClock, Delay2ms, 2)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK_CAPTURE(WaitOnTheHostClock, Delay10ms, 3)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK_CAPTURE(WaitOnTheHostClock, Delay55ms, 4)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK_CAPTURE(WaitOnTheHostClock, Delay500ms, 5)->Unit(benchmark::kMillisecond)->MinTime(1);

void StopDuringAWait(benchmark::State& state) {
  kaldo::SteadyClock clock;
  kaldo::ClockTimer timer(clock);
  Port port(timer);
  port.InitDelayTimer();
  double lateMs = 0;
  for (auto _ : state) {
    kaldo::StopFlag stop;
    port.WatchStop(&stop);
    Steady::time_point asked;
    std::thread signaller([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(23));
      asked = Steady::now();
      stop.Request(SIGINT);
    });
    try {
      port.Delay500ms();
    } catch (const kaldo::StoppedError&) {
    }
    const auto stopped = Steady::now();
    signaller.join();
    lateMs += std::chrono::duration<double, std::milli>(stopped - asked).count();
  }
  port.WatchStop(nullptr);
  port.RestoreDelayTimer();
  state.counters["stop_late_ms"] = lateMs / static_cast<double>(state.iterations());
}
BENCHMARK(StopDuringAWait)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
