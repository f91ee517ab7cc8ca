// The simulated PC as the simulated program uses it: a programmer board whose socket holds the
// drawer's chip of the selected device type. The drawer lives in a file beside the settings file,
// held by this program for the whole run and saved when the machine is put away, so the chips keep
// their contents from run to run.
//
// The PC has two parallel ports, LPT1 at 0x378 and a PCI card's at 0xD010; the one board is on
// whichever of them the program selects, and stays where it is when a port the PC lacks is chosen
// (nothing answers there).
//
// The Socket menu gives the socket something else, to show what a fault looks like, or a supply of
// chips for a production run (PutInSocket). Instead of the board, the port can hold an in-system
// programming cable to a target board (PutOnPort), whose chip is the one the socket would hold
// (the same chip: what one writes the other reads), with faults of its own.
// A faulty chip is a spare: a copy of the drawer's chip made when the fault is chosen, so the chips
// in the drawer never take a fault home. At real-time speed the simulated PC takes the time a real
// one would.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/RealTimePace.h"
#include "core/model/ProgramState.h"
#include "device/IspOperations.h"
#include "link/IoSpace.h"
#include "link/PortCheck.h"
#include "sim/SimulatedSetup.h"

namespace kaldo {

inline constexpr char kDrawerFileName[] = "Kaldo.chips";

// What the socket holds.
struct SocketChoice {
  enum class Kind {
    SelectedChip,  // the drawer's chip of the selected type
    OtherChip,     // the drawer's chip of ChipType, whatever is selected
    Empty,         // no chip
    NoBoard,       // no board on the port (the socket as for SelectedChip)
    StuckCell,     // a spare of the selected type whose Cell will not program
    LockedChip,    // a spare of the selected type with lock bits 1 to 3 programmed
    Supply,        // chip after chip of the list Supply, as kaldo-cli --sim-supply takes it
    // Faults of the target board at a cable's end (the chip of the selected type, a spare):
    ResetInverted,  // its reset line inverted once more, as a cable wired for AVR chips has it
    NoCrystal,      // the chip has no clock
    MisoStuck,      // the MISO line held at Level
    FuseOff,        // the serial programming fuse of an AT89S53 or S8252 turned off
    OtherPort,      // the cable sits on the PC's other parallel port
  };
  Kind What = Kind::SelectedChip;
  int ChipType = 0;
  std::uint16_t Cell = 0;
  std::string Supply = {};
  int Level = 0;
  bool operator==(const SocketChoice&) const = default;
};

enum class SimSpeed { Fast, RealTime };

class SimulatedMachine : public IoSpace {
 public:
  // The socket follows state.DeviceType. Raises the drawer file's error when the file cannot be
  // taken as it is (it is left untouched); remedy ends the message of a damaged one.
  SimulatedMachine(ProgramState& state, const std::string& settingsFolder,
                   SimSpeed speed = SimSpeed::Fast,
                   const std::string& remedy =
                       "Delete it or move it away to start kaldo-sim with "
                       "fresh chips");
  ~SimulatedMachine() override;
  SimulatedMachine(const SimulatedMachine&) = delete;
  SimulatedMachine& operator=(const SimulatedMachine&) = delete;

  void write(std::uint16_t port, std::uint8_t value) override {
    setup_.write(port, value);
    if (pace_) pace_->Keep(setup_.Pc().NowNs());
  }
  std::uint8_t read(std::uint16_t port) override {
    const std::uint8_t value = setup_.read(port);
    if (pace_) pace_->Keep(setup_.Pc().NowNs());
    return value;
  }
  void selectLpt(std::uint16_t base) override { setup_.selectLpt(base); }

  // The PC's ports, as a kernel would list them.
  static std::vector<KernelPort> Ports();
  // The port check's report on them: which port the board is on.
  std::vector<std::string> PortCheck() const;

  // From the next operation on (not while one runs). A supply list that means nothing raises
  // sim::SupplyListError, and the socket stays as it was. A fault of the target board counts only
  // while a cable is on the port.
  void PutInSocket(const SocketChoice& choice);
  // What is on the port from the next operation on: the programmer board (none), or the cable
  // to a target board with the crystal (the socket's choice is kept).
  void PutOnPort(const std::optional<CableUse>& target);
  const std::optional<CableUse>& OnPort() const { return onPort_; }
  // The supply has no chip left for the socket.
  bool NoChipWillCome() const { return setup_.NoChipWillCome(); }
  const SocketChoice& InSocket() const { return inSocket_; }

  sim::SimulatedPC& Pc() { return setup_.Pc(); }
  sim::Drawer& ChipDrawer() { return setup_.ChipDrawer(); }
  const std::string& DrawerFile() const { return drawerFile_; }

 private:
  ProgramState& state_;
  std::string drawerFile_;
  sim::SimulatedSetup setup_;
  SocketChoice inSocket_;
  std::optional<CableUse> onPort_;
  std::unique_ptr<RealTimePace> pace_;
};

class MessageSeam;

// The machine as kaldo-sim opens it. A chips file that cannot be taken as it is (damaged, or no
// chips file at all) is explained, and the user chooses: start with fresh chips, the file kept
// beside under another name ("Kaldo.chips.damaged", "Kaldo.chips.damaged-2", ...), or quit. Null
// when the user quits. Errors that fresh chips would not mend (the file cannot be read, or
// another program holds it) are raised.
std::unique_ptr<SimulatedMachine> OpenSimulatedMachine(ProgramState& state,
                                                       const std::string& settingsFolder,
                                                       SimSpeed speed, MessageSeam& messages);

}  // namespace kaldo
