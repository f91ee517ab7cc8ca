#include "app/SimulatedMachine.h"

#include <iostream>

namespace kaldo {

SimulatedMachine::SimulatedMachine(ProgramState& state, const std::string& settingsFolder)
    : drawerFile_(settingsFolder + "/" + kDrawerFileName), drawer_(sim::Drawer::Load(drawerFile_)) {
  pc_.UseDrawer(drawer_, [&state] { return static_cast<int>(state.DeviceType); });
}

SimulatedMachine::~SimulatedMachine() {
  if (!SaveDrawer())
    std::cerr << "kaldo-sim: the chips could not be saved to " << drawerFile_ << "\n";
}

bool SimulatedMachine::SaveDrawer() const {
  return drawer_.Save(drawerFile_);
}

}  // namespace kaldo
