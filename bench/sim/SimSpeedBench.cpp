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

// A whole AT89S52 over an in-system programming cable (pins 1 SCK, 2 MOSI, 10 MISO, 17 RST) at the
// 3 MHz crystal's fastest SCK: 32 page writes and 32 page reads, bit-banged as a program would.
void IspPagesOfAnS52(benchmark::State& state) {
  kaldo::sim::SimulatedPC pc;
  pc.InsertChip(4);
  pc.AttachIspCable({.wiring = {.reset = {17}, .sck = {1}, .mosi = {2}, .miso = {10}}});
  constexpr std::uint16_t kData = 0x378, kStatus = 0x379, kControl = 0x37A;
  constexpr std::uint8_t kSckHigh = 0x00, kSckLow = 0x01;  // /SELECTIN clear: RST high
  const auto byte = [&](std::uint8_t out) {
    std::uint8_t in = 0;
    for (int bit = 7; bit >= 0; --bit) {
      pc.write(kData, (out >> bit) & 1);
      pc.read(kStatus);
      pc.write(kControl, kSckHigh);
      in = static_cast<std::uint8_t>(in << 1 | ((pc.read(kStatus) >> 6) & 1));
      pc.read(kStatus);
      pc.write(kControl, kSckLow);
      pc.read(kStatus);
    }
    return in;
  };
  const std::uint64_t start = pc.NowNs();
  for (auto _ : state) {
    pc.write(kControl, 0x09);  // RST low
    pc.write(kControl, kSckLow);
    for (int i = 0; i < 30; ++i) pc.read(kStatus);
    for (std::uint8_t b : {0xAC, 0x53, 0x00, 0x00}) byte(b);
    for (int page = 0; page < 32; ++page) {
      for (std::uint8_t b : {0x50, page}) byte(b);
      for (int i = 0; i < 256; ++i) byte(static_cast<std::uint8_t>(i));
      for (int i = 0; i < 500; ++i) pc.read(kStatus);
    }
    for (int page = 0; page < 32; ++page) {
      for (std::uint8_t b : {0x30, page}) byte(b);
      for (int i = 0; i < 256; ++i) benchmark::DoNotOptimize(byte(0));
    }
  }
  const kaldo::sim::IspFlags flags = pc.IspReport();
  if (flags.timing + flags.ignored + flags.lostBusy != 0) state.SkipWithError("the target flagged");
  Report(state, pc.NowNs() - start);
}
BENCHMARK(IspPagesOfAnS52)->Unit(benchmark::kMillisecond);

}  // namespace
