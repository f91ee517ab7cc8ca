// A whole-chip write (erase, program, verify) through an ISP cable on the simulated PC, against
// the floor the chip and the port set: every bit's SCK period at the crystal's limit (or its port
// accesses at 1 us each, two writes and, where the chip answers, a read, whichever is longer),
// the 10 ms before the programming enable, the chip erase and the write cycles. "ratio" is the
// simulated time over that floor; the floor takes the data sheets' erase and write times. At the
// default 3 MHz and at a common 12 MHz.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include "core/model/ProgramState.h"
#include "device/Programmer.h"
#include "sim/SimulatedSetup.h"

namespace {

using kaldo::Device;

constexpr std::uint32_t kSlowest = 3'000'000;  // the default: the slowest the chips allow
constexpr std::uint32_t kCommon = 12'000'000;
constexpr double kAccessS = 1e-6;

struct ChipFacts {
  Device device;
  std::uint32_t crystalHz;
  bool pageMode;
  double phaseClocks;  // SCK phase at least, in crystal clocks
  double eraseS;       // chip erase
  double writeCycleS;  // one byte (or page) write cycle
  int frameBytes;      // a byte instruction's length
};

// clang-format off
const ChipFacts kCases[] = {
    {Device::AT89S52,   kSlowest, true,  8,  0.500, 64.0 / kSlowest + 400e-6, 4},
    {Device::AT89S52,   kSlowest, false, 8,  0.500, 64.0 / kSlowest + 400e-6, 4},
    {Device::AT89S8252, kSlowest, false, 24, 0.016, 2.5e-3,                   3},
    {Device::AT89S52,   kCommon,  true,  8,  0.500, 64.0 / kCommon + 400e-6,  4},
    {Device::AT89S8252, kCommon,  false, 24, 0.016, 2.5e-3,                   3},
};
// clang-format on

double BitS(const ChipFacts& f, bool reads) {
  return std::max(2 * f.phaseClocks / f.crystalHz, (reads ? 3 : 2) * kAccessS);
}

// The floor of a write and its verify for `image` of `size` bytes.
double FloorS(const ChipFacts& f, const kaldo::CodeImage& image, int size) {
  double s = 10e-3 + f.eraseS + f.frameBytes * 8 * BitS(f, false);
  if (f.pageMode) {
    const int pages = size / 256;
    for (int p = 0; p < pages; ++p) {
      const bool blank = std::all_of(image.begin() + p * 256, image.begin() + p * 256 + 256,
                                     [](std::uint8_t b) { return b == kaldo::kBlank; });
      if (!blank) s += 258 * 8 * BitS(f, false) + f.writeCycleS + 4 * 8 * BitS(f, true);
    }
    return s + pages * 258 * 8 * BitS(f, true);
  }
  for (int a = 0; a < size; ++a) {
    if (image[a] != kaldo::kBlank)
      s += f.frameBytes * 8 * (BitS(f, false) + BitS(f, true)) + f.writeCycleS;
    s += f.frameBytes * 8 * BitS(f, true);  // the verify
  }
  return s;
}

void IspWriteAndVerify(benchmark::State& bench) {
  const ChipFacts& f = kCases[bench.range(0)];
  const int type = kaldo::DeviceTypeOf(f.device);
  std::string folder = (std::filesystem::temp_directory_path() / "kaldo-bench-XXXXXX").string();
  ::mkdtemp(folder.data());
  {
    kaldo::sim::DrawerFileOptions fresh;
    fresh.freshChips = true;
    kaldo::sim::SimulatedSetup setup(folder + "/chips", fresh, [type] { return type; });
    const kaldo::IspCable cable = kaldo::ParseCable("89isp");
    kaldo::sim::IspConnection isp;
    isp.wiring = {{cable.Reset.Pin, false},
                  {cable.Sck.Pin, false},
                  {cable.Mosi.Pin, false},
                  {cable.Miso.Pin, false},
                  {},
                  {}};
    isp.crystalHz = f.crystalHz;
    kaldo::sim::SocketContents contents;
    contents.isp = isp;
    setup.PutInSocket(contents);
    kaldo::Programmer programmer(setup);
    programmer.UseCable(kaldo::CableUse{cable, f.crystalHz, f.pageMode});
    programmer.Open();
    kaldo::ProgramState state;
    state.DeviceType = type;
    kaldo::SetDeviceSize(state);
    std::mt19937 rng(7);
    for (int a = 0; a < state.DeviceSize; ++a)
      state.DataBuffer[a] = rng() % 4 == 0 ? 0xFF : static_cast<std::uint8_t>(rng() % 255);
    bench.SetLabel(std::string(kaldo::InfoOf(f.device).PartName) +
                   (f.pageMode ? " page mode " : " byte mode ") +
                   std::to_string(f.crystalHz / 1'000'000) + " MHz");
    double simulated = 0;
    for (auto _ : bench) {
      const std::uint64_t start = setup.Pc().NowNs();
      const kaldo::CommandOutcome outcome = programmer.Run(
          kaldo::DeviceCommand::Write, {type, &state.DataBuffer, state.DeviceSize, state.ProgBits});
      simulated = static_cast<double>(setup.Pc().NowNs() - start) / 1e9;
      if (!outcome.Succeeded()) bench.SkipWithError(kaldo::OutcomeText(outcome).c_str());
    }
    const double floor = FloorS(f, state.DataBuffer, state.DeviceSize);
    bench.counters["sim_s"] = simulated;
    bench.counters["floor_s"] = floor;
    bench.counters["ratio"] = simulated / floor;
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(IspWriteAndVerify)
    ->DenseRange(0, std::size(kCases) - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
