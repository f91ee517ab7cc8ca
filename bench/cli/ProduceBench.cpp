// Several boards at once: the wall time of a production run of 20 chips on two simulated boards
// over that of 10 chips on one, measured in one run ("two_boards_over_one"). Near 1 when the
// boards run side by side (two processors free), near 2 when they take turns. Each board's supply
// holds its share of the count, no more, so each run writes the same chips on the same boards.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace {

namespace fs = std::filesystem;

// An AT89C2051 image of 2046 bytes, none FF; its last two are left for the serial number.
void WriteImage(const fs::path& file) {
  std::ofstream out(file);
  for (int address = 0; address < 2048; address += 16) {
    const int size = address + 16 > 2046 ? 2046 - address : 16;
    int sum = size + (address >> 8) + (address & 255);
    char text[64];
    std::snprintf(text, sizeof text, ":%02X%04X00", size, address);
    out << text;
    for (int i = 0; i < size; ++i) {
      const int value = (address + i) * 7 % 255;
      sum += value;
      std::snprintf(text, sizeof text, "%02X", value);
      out << text;
    }
    std::snprintf(text, sizeof text, "%02X\n", (256 - sum % 256) % 256);
    out << text;
  }
  out << ":00000001FF\n";
}

// The run's wall time; none when it failed or logged other than `chips` good chips.
std::optional<double> RunSeconds(const std::vector<std::string>& arguments, const fs::path& log,
                                 int chips) {
  std::ostringstream out, err;
  const auto began = std::chrono::steady_clock::now();
  const int status = kaldo::cli::RunCli(arguments, out, err);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
  std::ifstream logged(log);
  int good = 0;
  for (std::string line; std::getline(logged, line);) good += line.find(",OK,") != line.npos;
  if (status == 0 && good == chips) return took.count();
  std::fprintf(stderr, "produce: exit %d, %d good chips of %d\n%s%s", status, good, chips,
               out.str().c_str(), err.str().c_str());
  return std::nullopt;
}

void TwoBoardsAgainstOne(benchmark::State& state) {
  const fs::path folder = fs::temp_directory_path() / ("kaldo-bench-" + std::to_string(::getpid()));
  double one = 0, two = 0;
  for (auto _ : state) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string image = folder / "image.hex";
    WriteImage(image);
    const std::vector<std::string> common = {"--device",      "89C2051",  "--sim-supply",
                                             "empty,good*10", "--serial", "7FE:bin-le2:1"};
    // Ten chips a board: the one board's count, and half the two boards' count.
    std::vector<std::string> single = {"--sim", folder / "one", "--count",
                                       "10",    "--log",        folder / "one.log"};
    std::vector<std::string> pair = {"--sim",  folder / "two",    "--port",  "lpt1",
                                     "--port", "0xd010",          "--count", "20",
                                     "--log",  folder / "two.log"};
    for (std::vector<std::string>* run : {&single, &pair}) {
      run->insert(run->end(), common.begin(), common.end());
      run->insert(run->end(), {"produce", image});
    }
    const std::optional<double> oneTook = RunSeconds(single, folder / "one.log", 10);
    const std::optional<double> twoTook = RunSeconds(pair, folder / "two.log", 20);
    if (!oneTook || !twoTook) {
      state.SkipWithError("a production run did not write its chips");
      break;
    }
    one += *oneTook;
    two += *twoTook;
  }
  fs::remove_all(folder);
  state.counters["one_board_10_chips_s"] = one / static_cast<double>(state.iterations());
  state.counters["two_boards_20_chips_s"] = two / static_cast<double>(state.iterations());
  state.counters["two_boards_over_one"] = one > 0 ? two / one : 0;
}
BENCHMARK(TwoBoardsAgainstOne)->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace
