#include "app/SimulatedMachine.h"

#include <iostream>
#include <string_view>

#include <QFile>
#include <QString>

#include "app/Seams.h"
#include "app/UnitFormMain.h"
#include "core/Convert.h"
#include "core/system/StopFlag.h"
#include "core/system/TextFile.h"

namespace kaldo {

namespace {

// The file is made in the settings folder, which may not be there yet on a first run.
std::string DrawerFileIn(const std::string& settingsFolder) {
  CreateFolders(settingsFolder);
  return settingsFolder + "/" + kDrawerFileName;
}

// A file that cannot be taken as it is stops the program before its window opens, with the
// reason in the error report; a second kaldo-sim gives up after a while instead of waiting unseen.
sim::DrawerFileOptions DrawerOptions(const std::string& file, const std::string& remedy) {
  using namespace std::chrono_literals;
  sim::DrawerFileOptions options;
  options.remedy = remedy;
  options.patience = 5s;
  options.onLongWait = [file] {
    std::cerr << "kaldo-sim: waiting for '" << file << "', which another program is using\n";
  };
  return options;
}

}  // namespace

SimulatedMachine::SimulatedMachine(ProgramState& state, const std::string& settingsFolder,
                                   SimSpeed speed, const std::string& remedy)
    : state_(state),
      drawerFile_(DrawerFileIn(settingsFolder)),
      setup_(drawerFile_, DrawerOptions(drawerFile_, remedy),
             [&state] { return static_cast<int>(state.DeviceType); }) {
  if (speed == SimSpeed::RealTime) pace_ = std::make_unique<RealTimePace>();
}

SimulatedMachine::~SimulatedMachine() {
  try {
    setup_.PutAway();
  } catch (const std::exception& e) {
    std::cerr << "kaldo-sim: the chips could not be saved to " << drawerFile_ << ": "
              << ErrorReportText(e) << "\n";
  }
}

std::vector<KernelPort> SimulatedMachine::Ports() {
  return KernelPortsAt(sim::kSimulatedLpts);
}

std::vector<std::string> SimulatedMachine::PortCheck() const {
  const std::vector<KernelPort> ports = Ports();
  std::vector<std::string> lines;
  for (const KernelPort& p : ports) {
    lines.push_back(
        p.Node() + "  " + IoAddressText(static_cast<std::uint32_t>(p.base)) + "  " +
        (p.base == sim::kMainBoardLpt ? "simulated LPT1 on the main board" : "simulated PCI card"));
  }
  if (setup_.Pc().IspCableAttached())
    lines.push_back("The ISP cable " + PrintableText(onPort_->Cable.Name) +
                    " and its target board are on " + PortLabel(setup_.Pc().IspCableBase(), ports) +
                    ".");
  else
    lines.push_back("The board is on " + PortLabel(setup_.Pc().BoardBase(), ports) + ".");
  if (FindPortAt(ports, state_.PortBase) == nullptr) {
    lines.push_back("The port chosen, " + IoAddressText(state_.PortBase) +
                    ", is none of the simulated PC's: nothing answers there.");
  }
  return lines;
}

namespace {

sim::CableLine SimLine(const CableLine& line) {
  return {line.Pin, line.Inverted};
}

std::vector<sim::CableLine> SimLines(const std::vector<CableLine>& lines) {
  std::vector<sim::CableLine> converted;
  for (const CableLine& line : lines) converted.push_back(SimLine(line));
  return converted;
}

// The cable and its target board on the simulated port, with the choice's fault.
sim::IspConnection TargetBoard(const CableUse& target, const SocketChoice& choice) {
  using Kind = SocketChoice::Kind;
  const IspCable& c = target.Cable;
  sim::IspConnection isp;
  isp.wiring = {SimLine(c.Reset), SimLine(c.Sck),      SimLine(c.Mosi),
                SimLine(c.Miso),  SimLines(c.Enables), SimLines(c.Supplies)};
  isp.crystalHz = target.CrystalHz;
  isp.faults.resetInverted = choice.What == Kind::ResetInverted;
  isp.faults.noCrystal = choice.What == Kind::NoCrystal;
  isp.faults.misoStuck = choice.What == Kind::MisoStuck ? choice.Level : -1;
  isp.faults.fuseOff = choice.What == Kind::FuseOff;
  isp.faults.otherPort = choice.What == Kind::OtherPort;
  return isp;
}

}  // namespace

void SimulatedMachine::PutOnPort(const std::optional<CableUse>& target) {
  onPort_ = target;
  PutInSocket(inSocket_);
}

void SimulatedMachine::PutInSocket(const SocketChoice& choice) {
  using Kind = SocketChoice::Kind;
  sim::SocketContents contents;
  switch (choice.What) {
    case Kind::SelectedChip:
      break;
    case Kind::OtherChip:
      contents.chipType = choice.ChipType;
      break;
    case Kind::Empty:
      contents.empty = true;
      break;
    case Kind::NoBoard:
      contents.boardPresent = false;
      break;
    case Kind::StuckCell:
      contents.stuckCells = {choice.Cell};
      contents.spare = true;
      break;
    case Kind::LockedChip:
      contents.locked = true;
      contents.spare = true;
      break;
    case Kind::Supply:
      // Device names as --sim-supply takes them: "AT89S51", "89S51" or "S51".
      contents.supply = sim::ParseSupply(choice.Supply, [](std::string_view name) {
        const int type = FindDeviceType(name);
        return type >= 0 ? type : FindDeviceType("89" + std::string(name));
      });
      break;
    case Kind::FuseOff:
      // The fuse is the chip's: a spare takes it, the drawer's chip keeps its own.
      contents.spare = true;
      break;
    case Kind::ResetInverted:
    case Kind::NoCrystal:
    case Kind::MisoStuck:
    case Kind::OtherPort:
      break;
  }
  if (onPort_) contents.isp = TargetBoard(*onPort_, choice);
  setup_.PutInSocket(contents);
  inSocket_ = choice;
}

std::unique_ptr<SimulatedMachine> OpenSimulatedMachine(ProgramState& state,
                                                       const std::string& settingsFolder,
                                                       SimSpeed speed, MessageSeam& messages) {
  try {
    return std::make_unique<SimulatedMachine>(state, settingsFolder, speed, std::string());
  } catch (const InOutError&) {
    throw;
  } catch (const LinkNotFollowedError&) {
    throw;
  } catch (const StoppedError&) {
    throw;
  } catch (const Error& e) {
    const std::string text = ErrorReportText(e);
    if (text.find("in use by another program") != std::string::npos) throw;
    const QString file = QString::fromStdString(settingsFolder + "/" + kDrawerFileName);
    QString kept = file + QStringLiteral(".damaged");
    for (int n = 2; QFile::exists(kept); ++n) kept = file + QStringLiteral(".damaged-%1").arg(n);
    const QString question =
        QString::fromStdString(text) +
        QStringLiteral("\r\rStart with fresh chips? The file is kept as %1.\rNo: kaldo-sim ends.")
            .arg(QString::fromStdString(PrintableText(kept.toStdString())));
    if (messages.Show(nullptr, {QString::fromLatin1(kAppTitle), question, MsgIcon::Warning,
                                MsgButtons::YesNo}) != MsgAnswer::Yes)
      return nullptr;
    if (!QFile::rename(file, kept))
      throw Error("'" + kept.toStdString() +
                  "' cannot be made from the chips file; kaldo-sim ends");
  }
  return std::make_unique<SimulatedMachine>(state, settingsFolder, speed);
}

}  // namespace kaldo
