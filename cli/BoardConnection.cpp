#include "cli/BoardConnection.h"

#include <algorithm>
#include <exception>
#include <iostream>

#include "core/Convert.h"
#include "core/model/DeviceTable.h"
#include "device/IspSession.h"
#include "link/Backend.h"
#include "sim/SimulatedSetup.h"

namespace kaldo::cli {

namespace {

// The state file is held from loading the chips to saving them; another kaldo-cli on the same
// file waits its turn, or until a signal stops it. One that cannot be taken as it is stays as it
// is until the user decides.
sim::DrawerFileOptions StateFileOptions(const CliOptions& o, const StopFlag& stop) {
  sim::DrawerFileOptions options;
  options.stop = &stop;
  options.freshChips = o.SimReset;
  options.remedy = "Run again with --sim-reset to start from fresh chips, or delete the file";
  options.onLongWait = [path = PrintableText(o.SimState)] {
    std::cerr << "kaldo-cli: waiting for '" << path << "', which another program is using\n";
  };
  return options;
}

sim::CableLine SimLine(const CableLine& line) {
  return {line.Pin, line.Inverted};
}

std::vector<sim::CableLine> SimLines(const std::vector<CableLine>& lines) {
  std::vector<sim::CableLine> converted;
  for (const CableLine& line : lines) converted.push_back(SimLine(line));
  return converted;
}

// The cable and target board of --cable on the simulated PC's port, with the target's faults.
sim::IspConnection SimulatedCable(const CliOptions& o) {
  sim::IspConnection isp;
  const IspCable& c = *o.Cable;
  isp.wiring = {SimLine(c.Reset), SimLine(c.Sck),      SimLine(c.Mosi),
                SimLine(c.Miso),  SimLines(c.Enables), SimLines(c.Supplies)};
  isp.crystalHz = o.SimCrystalHz ? o.SimCrystalHz
                  : o.CrystalHz  ? o.CrystalHz
                                 : CableUse::kSlowestCrystalHz;
  isp.faults.resetInverted = o.SimResetInverted;
  isp.faults.noCrystal = o.SimNoCrystal;
  isp.faults.misoStuck = o.SimMisoStuck;
  isp.faults.fuseOff = o.SimFuseOff;
  isp.faults.otherPort = o.SimOtherPort;
  return isp;
}

// The simulated PC with the chips of the state file, the faults of the command line given to the
// chip in the socket itself (a lock is kept in the file until the chip is erased).
std::unique_ptr<sim::SimulatedSetup> OpenSimulatedSetup(const CliOptions& o, const StopFlag& stop) {
  sim::SocketContents contents;
  contents.chipType = o.SocketType >= 0 ? o.SocketType : o.DeviceType;
  contents.empty = o.EmptySocket;
  contents.boardPresent = !o.NoBoard;
  contents.stuckCells.insert(o.StuckCells.begin(), o.StuckCells.end());
  contents.locked = o.Locked;
  if (!o.SimSupply.empty()) contents.supply = sim::ParseSupply(o.SimSupply, SupplyDeviceType);
  contents.supplied = o.SimSupplied;
  if (o.Cable) contents.isp = SimulatedCable(o);
  std::unique_ptr<sim::SimulatedSetup> setup;
  try {
    setup = std::make_unique<sim::SimulatedSetup>(
        o.SimState, StateFileOptions(o, stop), [type = o.DeviceType] { return type; }, o.TraceFile);
  } catch (const InOutError& e) {
    throw e.About(o.SimState, "opening");
  }
  setup->PutInSocket(contents);
  return setup;
}

// The base of --port: on the simulated PC one of its own ports (LPT1 unless given), on the real
// one whichever the kernel's list names (a test tree's list: its ports are reached only through
// the tree's ppdev nodes, never by direct port access).
std::uint16_t ChosenBase(const CliOptions& o, const HostSystem& host) {
  if (!o.SimState.empty()) {
    if (o.PortName.empty()) return sim::kMainBoardLpt;
    const std::vector<KernelPort> ports = KernelPortsAt(sim::kSimulatedLpts);
    const std::uint16_t base = ResolvePort(o.PortName, ports);
    if (FindPortAt(ports, base) == nullptr) {
      std::string known;
      for (const KernelPort& p : ports)
        known += (known.empty() ? "" : ", ") + PortLabel(p.base, ports);
      throw UsageError("the simulated PC has no port at " + IoAddressText(base) + " (it has " +
                       known + ")");
    }
    return base;
  }
  return ResolvePort(o.PortName, host.Parports());
}

}  // namespace

void CheckSupplyList(const std::string& list) {
  try {
    sim::ParseSupply(list, SupplyDeviceType);
  } catch (const sim::SupplyListError& e) {
    throw UsageError(e.what());
  }
}

void CheckDeviceOptions(const CliOptions& o) {
  const bool simulated = !o.SimState.empty();
  if (!simulated && !o.RealPort)
    throw UsageError("a device command needs --sim STATE or --port PORT");
  if (!simulated && (!o.TraceFile.empty() || o.NoBoard || o.EmptySocket || o.SocketType >= 0 ||
                     !o.StuckCells.empty() || o.Locked || !o.SimSupply.empty() ||
                     o.SimSupplied > 0 || o.IspFaults()))
    throw UsageError("--trace and the simulator faults need --sim");
  if (!simulated && o.SimReset) throw UsageError("--sim-reset needs --sim");
  if (o.PortNames.size() > 1)
    throw UsageError("--port is given " + std::to_string(o.PortNames.size()) +
                     " times: only produce drives several boards at once");
  if (!o.SimSupply.empty() && o.SimSupplied > 0)
    throw UsageError("--sim-supply and --sim-supplied exclude each other");
  if ((!o.SimSupply.empty() || o.SimSupplied > 0) &&
      (o.EmptySocket || o.SocketType >= 0 || !o.StuckCells.empty() || o.Locked))
    throw UsageError(
        "--sim-supply and --sim-supplied decide what the socket holds: "
        "--empty-socket, --socket, --stuck and --locked do not go with them");
  CheckProgramBits(o);
  CheckCableOptions(o);
}

void CheckCableOptions(const CliOptions& o) {
  const DeviceInfo* d = FindDevice(o.DeviceType);
  const bool isp = o.Cable.has_value();
  if (!isp && (o.CrystalHz != 0 || o.Eeprom || o.ByteMode))
    throw UsageError("--crystal, --eeprom and --byte-mode go with --cable");
  if (!isp && o.IspFaults()) throw UsageError("the target board's faults need --sim and --cable");
  if (!isp || !d) return;
  if (!FindIspFamily(o.DeviceType))
    throw UsageError("--cable: the AT" + std::string(d->PartName) +
                     " cannot be programmed in the circuit (the AT89S51, S52, S53 and S8252 "
                     "can); use the programmer board for it");
  if (o.ProgBits & kIspFuse)
    throw UsageError("--isp programs the fuse on the programmer board: a cable cannot reach it");
  if (o.Eeprom && d->EepromSize == 0)
    throw UsageError("--eeprom: the AT" + std::string(d->PartName) +
                     " has no data EEPROM (the AT89S8252 has)");
  if (o.Eeprom && (o.ProgBits & (kLockBit1 | kLockBit2 | kLockBit3)))
    throw UsageError("--lock goes with a write of the code memory, not with --eeprom");
  if (o.ByteMode && FindIspFamily(o.DeviceType) != &kIspFamilyS51)
    throw UsageError("--byte-mode: the AT" + std::string(d->PartName) +
                     " is written byte by byte anyway; pages are the AT89S51's and S52's");
  if (o.SimFuseOff && !d->HasIspFuse)
    throw UsageError("--sim-fuse-off: the AT" + std::string(d->PartName) +
                     " has no serial programming fuse (the AT89S53 and S8252 have)");
}

std::vector<CliOptions> BoardOptions(const CliOptions& o, const HostSystem& host) {
  if (o.Cable && FindIspFamily(o.DeviceType) && FindIspFamily(o.DeviceType) != &kIspFamilyS51)
    throw UsageError(
        "produce through a cable needs a chip the cable can see come and go: the AT89S51 or "
        "S52 (the AT89S53 and S8252 have no signature over a cable)");
  if (o.PortNames.size() <= 1) {
    CheckDeviceOptions(o);
    return {o};
  }
  std::vector<CliOptions> boards;
  std::vector<std::uint16_t> bases;
  for (const std::string& name : o.PortNames) {
    CliOptions board = o;
    board.PortName = name;
    board.PortNames = {name};
    board.HostClockTimer = true;
    CheckDeviceOptions(board);
    const std::uint16_t base = ChosenBase(board, host);
    if (std::find(bases.begin(), bases.end(), base) != bases.end())
      throw UsageError("--port names the port at " + IoAddressText(base) +
                       " twice: each board needs a port of its own");
    bases.push_back(base);
    if (!o.SimState.empty()) {
      const auto lpt =
          std::find(std::begin(sim::kSimulatedLpts), std::end(sim::kSimulatedLpts), base);
      const std::string suffix = ".parport" + std::to_string(lpt - std::begin(sim::kSimulatedLpts));
      board.SimState += suffix;
      if (!board.TraceFile.empty()) board.TraceFile += suffix;
    }
    boards.push_back(board);
  }
  return boards;
}

BoardConnection::BoardConnection(std::unique_ptr<IoSpace> io, std::function<void()> putAway,
                                 std::function<bool()> noChipWillCome)
    : programmer_(std::move(io)),
      putAway_(std::move(putAway)),
      noChipWillCome_(std::move(noChipWillCome)) {}

void BoardConnection::Finish() {
  std::exception_ptr closeFailed;
  try {
    programmer_.Close();
  } catch (...) {
    closeFailed = std::current_exception();
  }
  if (putAway_) putAway_();
  if (closeFailed) std::rethrow_exception(closeFailed);
}

std::unique_ptr<BoardConnection> OpenBoardConnection(const CliOptions& o, StopFlag& stop,
                                                     const HostSystem& host) {
  CheckDeviceOptions(o);
  std::unique_ptr<BoardConnection> connection;
  const std::uint16_t base = ChosenBase(o, host);
  if (!o.SimState.empty()) {
    std::unique_ptr<sim::SimulatedSetup> setup = OpenSimulatedSetup(o, stop);
    sim::SimulatedSetup* putAway = setup.get();
    connection = std::make_unique<BoardConnection>(
        std::move(setup),
        [putAway, name = o.SimState] {
          try {
            putAway->PutAway();
          } catch (const InOutError& e) {
            throw e.About(name, "writing");
          }
        },
        [putAway] { return putAway->NoChipWillCome(); });
  } else {
    connection = std::make_unique<BoardConnection>(std::make_unique<HardwareIoSpace>(
        base, host, o.HostClockTimer ? TimerSource::HostClock : TimerSource::Picked));
  }
  connection->Programmer().SetPort(base);
  if (o.Cable) {
    CableUse use;
    use.Cable = *o.Cable;
    if (o.CrystalHz != 0) use.CrystalHz = o.CrystalHz;
    use.PageMode = !o.ByteMode;
    connection->Programmer().UseCable(use);
  }
  connection->Programmer().UseStopFlag(stop);
  connection->Programmer().Open();
  return connection;
}

}  // namespace kaldo::cli
