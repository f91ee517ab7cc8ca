#include "app/SimulatedMachine.h"

#include <iostream>

#include "core/Convert.h"
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

SimulatedMachine::SimulatedMachine(ProgramState& state, const std::string& settingsFolder,
                                   SimSpeed speed)
    : state_(state),
      drawerFile_(DrawerFileIn(settingsFolder)),
      chips_(drawerFile_, DrawerOptions(drawerFile_)),
      drawer_(chips_.drawer()) {
  if (speed == SimSpeed::RealTime) pace_ = std::make_unique<RealTimePace>();
  PutInSocket({});
}

SimulatedMachine::~SimulatedMachine() {
  try {
    chips_.Save();
  } catch (const std::exception& e) {
    std::cerr << "kaldo-sim: the chips could not be saved to " << drawerFile_ << ": "
              << ErrorReportText(e) << "\n";
  }
}

void SimulatedMachine::selectLpt(std::uint16_t base) {
  for (std::uint16_t own : sim::kSimulatedLpts)
    if (own == base) pc_.MoveBoard(base);
}

std::vector<KernelPort> SimulatedMachine::Ports() {
  std::vector<KernelPort> ports;
  for (std::uint16_t base : sim::kSimulatedLpts)
    ports.push_back({static_cast<int>(ports.size()), base, "PCSPP", {}, {}});
  return ports;
}

std::vector<std::string> SimulatedMachine::PortCheck() const {
  const std::vector<KernelPort> ports = Ports();
  std::vector<std::string> lines;
  for (const KernelPort& p : ports) {
    lines.push_back(
        p.Node() + "  " + IoAddressText(static_cast<std::uint32_t>(p.base)) + "  " +
        (p.base == sim::kMainBoardLpt ? "simulated LPT1 on the main board" : "simulated PCI card"));
  }
  lines.push_back("The board is on " + PortLabel(pc_.BoardBase(), ports) + ".");
  if (FindPortAt(ports, state_.PortBase) == nullptr) {
    lines.push_back("The port chosen, " + IoAddressText(state_.PortBase) +
                    ", is none of the simulated PC's: nothing answers there.");
  }
  return lines;
}

void SimulatedMachine::PutInSocket(const SocketChoice& choice) {
  using Kind = SocketChoice::Kind;
  const auto selected = [this] { return static_cast<int>(state_.DeviceType); };
  pc_.SetBoardPresent(choice.What != Kind::NoBoard);
  switch (choice.What) {
    case Kind::SelectedChip:
    case Kind::NoBoard:
      pc_.UseDrawer(drawer_, selected);
      break;
    case Kind::OtherChip:
      pc_.UseDrawer(drawer_, [type = choice.ChipType] { return type; });
      break;
    case Kind::Empty:
      pc_.UseDrawer(drawer_, [] { return -1; });
      break;
    case Kind::StuckCell:
    case Kind::LockedChip:
      spares_ = drawer_;
      for (int type = 0; type < sim::kChipTypeCount; ++type) {
        sim::Chip& spare = spares_.chip(type);
        if (choice.What == Kind::StuckCell)
          spare.wontProgram = {choice.Cell};
        else
          spare.lockBits = sim::kChipLock1 | sim::kChipLock2 | sim::kChipLock3;
      }
      pc_.UseDrawer(spares_, selected);
      break;
  }
  inSocket_ = choice;
}

}  // namespace kaldo
