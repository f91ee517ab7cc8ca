// The simulated PC as a front end runs it: the chips of a drawer file, the programmer board on one
// of the PC's ports, in its socket whatever the front end puts there, and, when a trace file is
// named, every port access written to that file as it happens.
//
//   SimulatedSetup setup(path, options, [&] { return selectedType; });
//   setup.PutInSocket(contents);                          // from the next operation on
//   ... the program's operations on `setup`, an IoSpace ...
//   setup.PutAway();                                      // chips saved, trace completed
//
// The PC has two parallel ports (kSimulatedLpts); the board starts on LPT1 and follows the port
// the program selects, and stays where it is when a port the PC lacks is chosen (nothing answers
// there). The socket starts with the drawer's chip of the selected type.
//
// A supply (SocketContents::supply) feeds the socket from a list of chips instead, an operator
// putting them in and taking them out as Supply.h tells; its chips replace those the drawer file
// kept of an earlier supply, and one of them can be put back in the socket by its number.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/IoSpace.h"
#include "sim/Drawer.h"
#include "sim/DrawerFile.h"
#include "sim/IspConnection.h"
#include "sim/SimulatedPC.h"
#include "sim/Supply.h"

namespace kaldo::sim {

// What the socket holds, and the board's own faults.
struct SocketContents {
  static constexpr int kSelectedType = -1;

  // The drawer's chip of this type; kSelectedType: of the type the program selects, taken anew
  // at the start of each operation.
  int chipType = kSelectedType;
  bool empty = false;        // no chip at all
  bool boardPresent = true;  // false: no board on the port, whatever the socket holds
  // Faults of every chip the socket may hold: cells that will not program, and lock bits 1 to 3
  // programmed.
  std::set<std::uint16_t> stuckCells;
  bool locked = false;
  // A spare is a copy of the drawer's chips made when the contents are put in the socket: neither
  // its faults nor what the program does to it go back to the drawer. Otherwise the drawer's own
  // chip takes the faults; its lock bits are then kept in the drawer's file until it is erased,
  // while cells that will not program are never written there.
  bool spare = false;
  // Not empty: the supply's items, chips of a Good, Stuck or Locked item of chipType or, for
  // kSelectedType, of the type selected when the contents are put in the socket. The faults and
  // empty above do not apply to them.
  std::vector<SupplyItem> supply;
  // From 1: that chip of the drawer file's supply, with its own type, instead of the drawer's.
  int supplied = 0;
  // Set: the port holds this in-system programming cable, and the target board at its end holds
  // the chip the socket would hold (the same chip object: what one writes the other reads), taken
  // as each session starts; its fuseOff fault turns the serial programming fuse of every chip the
  // socket may hold off. None: the programmer board.
  std::optional<IspConnection> isp;

  bool operator==(const SocketContents&) const = default;
};

class SimulatedSetup : public IoSpace {
 public:
  using SelectedType = std::function<int()>;

  // Takes the drawer file and loads its chips (raising DrawerFile's errors), then creates the
  // trace file when one is named (raising an InOutError about it). selectedType tells the type
  // the program selects; whatever it reads must outlive the setup.
  SimulatedSetup(const std::string& drawerFile, const DrawerFileOptions& options,
                 SelectedType selectedType, const std::string& traceFile = {});
  ~SimulatedSetup() override;
  SimulatedSetup(const SimulatedSetup&) = delete;
  SimulatedSetup& operator=(const SimulatedSetup&) = delete;

  void write(std::uint16_t port, std::uint8_t value) override;
  std::uint8_t read(std::uint16_t port) override;
  // Moves the board to base when it is one of the PC's own ports.
  void selectLpt(std::uint16_t base) override;

  // From the next operation on (not while one runs). Raises Error for a supplied chip the drawer
  // does not hold and for a supply of no chip type.
  void PutInSocket(const SocketContents& contents);
  const SocketContents& InSocket() const { return inSocket_; }
  // A supply's operator has no chip left to put in (SupplyOperator::Exhausted). Socket contents
  // without a supply never say so: what the socket holds then stays until the front end changes it.
  bool NoChipWillCome() const { return supply_ && supply_->Exhausted(); }

  // Saves the chips to the drawer file, then completes the trace file: a trace that cannot be
  // written costs the chips nothing. Raises the trace's failure, or else the save's.
  void PutAway();

  SimulatedPC& Pc() { return pc_; }
  const SimulatedPC& Pc() const { return pc_; }
  Drawer& ChipDrawer() { return drawer_; }

 private:
  class TraceFile;
  void PutSupplyInSocket(const SocketContents& contents);
  // The board, or the contents' cable, on the port.
  void ConnectPort(const SocketContents& contents);

  DrawerFile chips_;
  Drawer& drawer_;
  Drawer spares_;
  SelectedType selectedType_;
  SimulatedPC pc_;
  SocketContents inSocket_;
  std::unique_ptr<TraceFile> trace_;
  std::unique_ptr<SupplyOperator> supply_;
};

}  // namespace kaldo::sim
