#include "app/SimulatedMachine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/core/TempFolder.h"

namespace kaldo {
namespace {

TEST(SimulatedMachine, ChipsAreKeptBesideTheSettingsFromRunToRun) {
  TempFolder home;
  const std::string folder = home / "config/kaldo";  // not there yet on a first run
  ProgramState state;
  state.DeviceType = 11;
  { SimulatedMachine(state, folder).ChipDrawer().chip(11).memory[0x10] = 0x33; }
  SimulatedMachine next(state, folder);
  EXPECT_EQ(next.DrawerFile(), folder + "/Kaldo.chips");
  EXPECT_EQ(next.ChipDrawer().chip(11).memory[0x10], 0x33);
}

TEST(SimulatedMachine, ADamagedChipsFileStopsTheStartAndIsKept) {
  TempFolder folder;
  ProgramState state;
  { SimulatedMachine(state, folder.path()).ChipDrawer().chip(0).memory[0] = 0x12; }
  std::string damaged = ReadBytes(folder / "Kaldo.chips");
  damaged[damaged.find("\n0000 12") + 7] = '3';
  WriteBytes(folder / "Kaldo.chips", damaged);
  std::string report;
  try {
    SimulatedMachine machine(state, folder.path());
  } catch (const Error& e) {
    report = e.what();
  }
  const long endLine =
      1 + std::count(damaged.begin(), damaged.begin() + damaged.find("\nend "), '\n') + 1;
  EXPECT_EQ(report, "'" + folder / "Kaldo.chips" + "' line " + std::to_string(endLine) +
                        ": the end line of the AT89C51's block does not match the block; "
                        "it was left unchanged. Delete it or move it away to start kaldo-sim "
                        "with fresh chips");
  EXPECT_EQ(ReadBytes(folder / "Kaldo.chips"), damaged);
}

}  // namespace
}  // namespace kaldo
