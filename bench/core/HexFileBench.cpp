// Loading and saving a full 32 KiB image (AT89C51RC), from and to a file and in memory, as Intel
// HEX and, in memory, as S-records.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/formats/HexFile.h"
#include "core/formats/SRecordFile.h"

namespace kaldo {
namespace {

ProgramState FullImage() {
  ProgramState s;
  s.DeviceType = 8;
  SetDeviceSize(s);
  for (int a = 0; a < kBufferSize; ++a) s.DataBuffer[a] = static_cast<std::uint8_t>(a * 37 + 11);
  return s;
}

std::string TempName(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string("kaldo-bench-") + std::to_string(::getpid()) + "-" + name))
      .string();
}

void BM_LoadHexFile(benchmark::State& state) {
  ProgramState s = FullImage();
  s.HexFileName = TempName("load.hex");
  SaveHexFile(s);
  for (auto _ : state) {
    BlankBuffer(s);
    LoadHexFile(s);
    benchmark::DoNotOptimize(s.DataBuffer.data());
  }
  std::filesystem::remove(s.HexFileName);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(HexFileText(s).size()));
}
BENCHMARK(BM_LoadHexFile)->Unit(benchmark::kMicrosecond);

void BM_LoadHexLinesFromMemory(benchmark::State& state) {
  ProgramState s = FullImage();
  const std::string text = HexFileText(s);
  for (auto _ : state) {
    LineReader in(text);
    LoadHexLines(s, in);
    benchmark::DoNotOptimize(s.DataBuffer.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_LoadHexLinesFromMemory)->Unit(benchmark::kMicrosecond);

void BM_LoadSRecordLinesFromMemory(benchmark::State& state) {
  ProgramState s = FullImage();
  const std::string text = SRecordFileText(s);
  for (auto _ : state) {
    LineReader in(text, kLongestSRecord + 1);
    LoadSRecordLines(s, in);
    benchmark::DoNotOptimize(s.DataBuffer.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_LoadSRecordLinesFromMemory)->Unit(benchmark::kMicrosecond);

void BM_SRecordFileText(benchmark::State& state) {
  ProgramState s = FullImage();
  for (auto _ : state) benchmark::DoNotOptimize(SRecordFileText(s));
}
BENCHMARK(BM_SRecordFileText)->Unit(benchmark::kMicrosecond);

void BM_HexFileText(benchmark::State& state) {
  ProgramState s = FullImage();
  for (auto _ : state) benchmark::DoNotOptimize(HexFileText(s));
}
BENCHMARK(BM_HexFileText)->Unit(benchmark::kMicrosecond);

// Includes creating the temporary file, fsync and the rename over the old file.
void BM_SaveHexFile(benchmark::State& state) {
  ProgramState s = FullImage();
  s.HexFileName = TempName("save.hex");
  for (auto _ : state) SaveHexFile(s);
  std::filesystem::remove(s.HexFileName);
}
BENCHMARK(BM_SaveHexFile)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kaldo
