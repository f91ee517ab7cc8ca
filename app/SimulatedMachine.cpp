#include "app/SimulatedMachine.h"

#include <iostream>

#include "core/TextFile.h"

namespace kaldo {

namespace {

// The file is made in the settings folder, which may not be there yet on a first run.
std::string DrawerFileIn(const std::string& settingsFolder) {
  CreateFolders(settingsFolder);
  return settingsFolder + "/" + kDrawerFileName;
}

// A file that cannot be taken as it is stops the program before its window opens, with the
// reason in the error report; a second kaldo-sim gives up after a while instead of waiting unseen.
sim::DrawerFileOptions DrawerOptions(const std::string& file) {
  using namespace std::chrono_literals;
  sim::DrawerFileOptions options;
  options.remedy = "Delete it or move it away to start kaldo-sim with fresh chips";
  options.patience = 5s;
  options.onLongWait = [file] {
    std::cerr << "kaldo-sim: waiting for '" << file << "', which another program is using\n";
  };
  return options;
}

}  // namespace

SimulatedMachine::SimulatedMachine(ProgramState& state, const std::string& settingsFolder)
    : drawerFile_(DrawerFileIn(settingsFolder)),
      chips_(drawerFile_, DrawerOptions(drawerFile_)),
      drawer_(chips_.drawer()) {
  pc_.UseDrawer(drawer_, [&state] { return static_cast<int>(state.DeviceType); });
}

SimulatedMachine::~SimulatedMachine() {
  try {
    chips_.Save();
  } catch (const std::exception& e) {
    std::cerr << "kaldo-sim: the chips could not be saved to " << drawerFile_ << ": "
              << ErrorReportText(e) << "\n";
  }
}

}  // namespace kaldo
