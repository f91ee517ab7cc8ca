// The simulated PC as the simulated program uses it: a programmer board whose socket holds the
// drawer's chip of the selected device type. The drawer lives in a file beside the settings file,
// held by this program for the whole run and saved when the machine is put away, so the chips keep
// their contents from run to run.
#pragma once

#include <string>

#include "core/ProgramState.h"
#include "link/IoSpace.h"
#include "sim/DrawerFile.h"
#include "sim/SimulatedPC.h"

namespace kaldo {

inline constexpr char kDrawerFileName[] = "Kaldo.chips";

class SimulatedMachine : public IoSpace {
 public:
  // The socket follows state.DeviceType. Raises the drawer file's error when the file cannot be
  // taken as it is (it is left untouched).
  SimulatedMachine(ProgramState& state, const std::string& settingsFolder);
  ~SimulatedMachine() override;
  SimulatedMachine(const SimulatedMachine&) = delete;
  SimulatedMachine& operator=(const SimulatedMachine&) = delete;

  void write(std::uint16_t port, std::uint8_t value) override { pc_.write(port, value); }
  std::uint8_t read(std::uint16_t port) override { return pc_.read(port); }

  sim::SimulatedPC& Pc() { return pc_; }
  sim::Drawer& ChipDrawer() { return drawer_; }
  const std::string& DrawerFile() const { return drawerFile_; }

 private:
  std::string drawerFile_;
  sim::DrawerFile chips_;
  sim::Drawer& drawer_;
  sim::SimulatedPC pc_;
};

}  // namespace kaldo
