// How much faster than the hardware the simulated PC runs: the "sim_per_cpu" counter is simulated
// seconds per second of processor time spent simulating (it must stay at 100 or more). Processor
// time, not wall time, so that other work on a shared machine does not count against it.
#include <benchmark/benchmark.h>

#include "link/Board.h"
#include "link/Port.h"
#include "sim/SimulatedPC.h"

namespace {

void Report(benchmark::State& state, std::uint64_t simulatedNs) {
  state.counters["sim_per_cpu"] =
      benchmark::Counter(static_cast<double>(simulatedNs) / 1e9, benchmark::Counter::kIsRate);
}

void Delay500ms(benchmark::State& state) {
  kaldo::sim::SimulatedPC pc;
  kaldo::Port port(pc);
  port.InitDelayTimer();
  const std::uint64_t start = pc.NowNs();
  for (auto _ : state) port.Delay500ms();
  Report(state, pc.NowNs() - start);
}
BENCHMARK(Delay500ms)->Unit(benchmark::kMillisecond);

// A whole-chip pass: 32768 addresses, each shifted out and read back.
void ShiftOutAndIn32768(benchmark::State& state) {
  kaldo::sim::SimulatedPC pc;
  pc.InsertChip(8);
  kaldo::Port port(pc);
  kaldo::Board board(port);
  port.InitDelayTimer();
  board.ResetBoard();
  board.BeginOperation();
  board.LatchMode(0x62);
  const std::uint64_t start = pc.NowNs();
  for (auto _ : state) {
    for (int a = 0; a < 32768; ++a) {
      board.SetAddress(a, (a >> 8 & 0x40) ? ((a >> 8) & ~0x40) | 0x80 : a >> 8);
      board.ShiftOutLatches();
      board.ShiftInData();
      benchmark::DoNotOptimize(board.ReadBack());
    }
  }
  Report(state, pc.NowNs() - start);
}
BENCHMARK(ShiftOutAndIn32768)->Unit(benchmark::kMillisecond);

}  // namespace
