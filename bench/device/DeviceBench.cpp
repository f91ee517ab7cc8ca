// A full write (erase, program, verify) of each device on the simulated PC: "sim_s" is how long it
// would take on a PC, the benchmark's time the wall time. "Suite" runs the whole-chip sequence of
// the device tests (blank check, write, verify, read, blank check) over every device.
#include <benchmark/benchmark.h>

#include <random>

#include "core/model/ProgramState.h"
#include "device/DeviceOperations.h"
#include "link/Board.h"
#include "link/Port.h"
#include "sim/SimulatedPC.h"

namespace {

class NoDisplay : public kaldo::ProgressDisplay {
 public:
  void ShowAddress(int) override {}
  void ShowCommand(const std::string&) override {}
};

struct Program {
  explicit Program(int type) {
    pc.InsertChip(type);
    state.DeviceType = type;
    kaldo::SetDeviceSize(state);
    std::mt19937 rng(static_cast<unsigned>(type) + 1u);
    for (int a = 0; a < state.DeviceSize; ++a)
      state.DataBuffer[a] = rng() % 4 == 0 ? 0xFF : static_cast<std::uint8_t>(rng() % 255);
    port.InitDelayTimer();
    board.ResetBoard();
  }
  kaldo::sim::SimulatedPC pc;
  kaldo::Port port{pc};
  kaldo::ProgramState state;
  kaldo::Board board{port};
  NoDisplay display;
  kaldo::DeviceOperations ops{board, display};

  kaldo::CommandOutcome Run(kaldo::DeviceCommand command) {
    return ops.Run(command,
                   {state.DeviceType, &state.DataBuffer, state.DeviceSize, state.ProgBits});
  }
};

void WriteAndVerify(benchmark::State& bench) {
  const int type = static_cast<int>(bench.range(0));
  Program p(type);
  bench.SetLabel(kaldo::DeviceTable[static_cast<std::size_t>(type)].PartName);
  std::uint64_t simulated = 0;
  for (auto _ : bench) {
    const std::uint64_t start = p.pc.NowNs();
    const kaldo::CommandOutcome outcome = p.Run(kaldo::DeviceCommand::Write);
    simulated = p.pc.NowNs() - start;
    if (!outcome.Succeeded()) bench.SkipWithError(kaldo::OutcomeText(outcome).c_str());
  }
  bench.counters["sim_s"] = static_cast<double>(simulated) / 1e9;
}
BENCHMARK(WriteAndVerify)
    ->DenseRange(0, kaldo::kDeviceCount - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void Suite(benchmark::State& bench) {
  std::uint64_t simulated = 0;
  for (auto _ : bench) {
    simulated = 0;
    for (int type = 0; type < kaldo::kDeviceCount; ++type) {
      Program p(type);
      const std::uint64_t start = p.pc.NowNs();
      p.Run(kaldo::DeviceCommand::BlankCheck);
      p.Run(kaldo::DeviceCommand::Write);
      p.Run(kaldo::DeviceCommand::Verify);
      p.Run(kaldo::DeviceCommand::Read);
      p.Run(kaldo::DeviceCommand::BlankCheck);
      simulated += p.pc.NowNs() - start;
    }
  }
  bench.counters["sim_s"] = static_cast<double>(simulated) / 1e9;
}
BENCHMARK(Suite)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
