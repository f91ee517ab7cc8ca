// The simulated PC: an I/O space with a virtual clock, counter 2 of the 8254 interval timer and
// system control port 0x61, an LPT port with the programmer board, and a socket.
//
//   kaldo::sim::SimulatedPC pc;                 // LPT at 0x378, 1 us per port access
//   pc.InsertChip(0);                           // a fresh, erased AT89C51
//   kaldo::Port port(pc);  kaldo::Board board(port);  ...
//   pc.Socket()->memory[0x10];                  // what the operation left in the chip
//
// Time: every access takes one I/O cycle (SimOptions::ioCycleNs); the timer counts at
// 1,193,182 Hz of this time, so waits last their real length in simulated time. NowNs() tells how
// long everything so far would have taken on a PC.
//
// Ports: base + 0/1/2 the LPT data, status and control registers (the data and control
// registers read back what was last written); 0x42/0x43 timer counter 2; 0x61 bits 0-3 as
// written, bit 5 the output of counter 2. Every other port floats: reads give 0xFF, writes are
// lost.
//
// Socket: empty at first. InsertChip puts a chip of the PC's own in it (and ends the use of a
// drawer); RemoveChip empties it; UseDrawer lets the socket hold, from each operation's start
// (the socket going active) on, the drawer's chip of the type the given function returns (none
// for a type outside the chips' table). Faults for tests: no board (SetBoardPresent(false)), an
// empty socket, a chip of another type, cells that will not program (Chip::wontProgram), a locked
// chip (Chip::lockBits).
//
// In-system programming: AttachIspCable puts a cable and its target board on the port instead of
// the board (on the other of kSimulatedLpts with IspFaults::otherPort); the target's chip is the
// one the socket would hold, chosen as each session starts (RST rising) as the socket's is when
// an operation starts, and what the target saw is in IspReport and the trace.
//
// Trace (off by default): SetTracing(true) records every access and the board events (see
// Trace.h), SetEventTracing(true) the board events alone.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>

#include "link/IoSpace.h"
#include "sim/Chip.h"
#include "sim/Drawer.h"
#include "sim/IspCable.h"
#include "sim/IspConnection.h"
#include "sim/ProgrammerBoard.h"
#include "sim/Timer8254.h"
#include "sim/Trace.h"

namespace kaldo::sim {

// The simulated PC's parallel ports: LPT1 on the main board and a PCI card's port, numbered as a
// kernel would list them (parport0, parport1). The one board is on whichever of them the program
// selects; the other floats.
inline constexpr std::uint16_t kMainBoardLpt = 0x378;
inline constexpr std::uint16_t kCardLpt = 0xD010;
inline constexpr std::uint16_t kSimulatedLpts[] = {kMainBoardLpt, kCardLpt};

struct SimOptions {
  std::uint16_t lptBase = 0x378;
  std::uint32_t ioCycleNs = 1000;
  // As the BIOS left them: port 0x61 bits 0-3, counter 2's read-back status and count
  // (0xB6: output high, LSB then MSB, mode 3, binary).
  std::uint8_t port61 = 0x00;
  std::uint8_t timer2Status = 0xB6;
  std::uint16_t timer2Count = 0x0533;
  bool boardPresent = true;
};

class SimulatedPC : public IoSpace {
 public:
  explicit SimulatedPC(std::uint16_t lptBase = 0x378);
  explicit SimulatedPC(const SimOptions& options);

  void write(std::uint16_t port, std::uint8_t value) override;
  std::uint8_t read(std::uint16_t port) override;

  // Simulated time since power-on.
  std::uint64_t NowNs() const { return nowNs_; }
  std::uint64_t NowUs() const { return nowNs_ / 1000; }
  // A PC whose time follows another clock (the host's, for a program that waits on that clock):
  // each access then takes place at now(), or at the access before it if now() is behind that,
  // and takes no time of its own.
  void FollowClock(std::function<std::uint64_t()> now) { followed_ = std::move(now); }
  // When the last access took place.
  std::uint64_t LastAccessNs() const { return lastAccessNs_; }

  // Socket. The chip returned stays valid until the socket's chip is replaced.
  Chip& InsertChip(int type);
  Chip& InsertChip(Chip chip);
  void RemoveChip();
  // The chip in the socket (settled: a cycle whose time is up has taken), or null.
  Chip* Socket();
  void SetBoardPresent(bool present) { board_.present = present; }
  bool BoardPresent() const { return board_.present; }
  void UseDrawer(Drawer& drawer, std::function<int()> selectedType);
  // Lets `supplier` choose the socket's chip (null: none) as each operation starts, told what the
  // operation before did to the chip then in the socket. The chips must outlive their use.
  using Supplier = std::function<Chip*(std::uint64_t nowNs, const ChipActivity& last)>;
  void UseSupplier(Supplier supplier);
  // Plugs the board (and the LPT registers it answers on) into the port at base.
  void MoveBoard(std::uint16_t base) { options_.lptBase = base; }
  std::uint16_t BoardBase() const { return options_.lptBase; }

  // In-system programming cable (replacing an attached one), and back to the board.
  void AttachIspCable(const IspConnection& connection);
  void DetachIspCable() { cable_.reset(); }
  bool IspCableAttached() const { return cable_ != nullptr; }
  // The port the cable is on.
  std::uint16_t IspCableBase() const;
  // What the target flagged since the cable was attached (nothing without one).
  IspFlags IspReport() const { return cable_ ? cable_->Flags() : IspFlags{}; }

  // Trace.
  // Records accesses and board events.
  void SetTracing(bool on) { trace_.accessesOn = trace_.eventsOn = on; }
  // Records the board events only: cheap enough for whole-chip runs.
  void SetEventTracing(bool on) { trace_.eventsOn = on; }
  bool Tracing() const { return trace_.accessesOn || trace_.eventsOn; }
  const std::vector<Access>& Accesses() const { return trace_.accesses; }
  const std::vector<BoardEvent>& Events() const { return trace_.events; }
  std::vector<std::string> EventTexts() const { return trace_.EventTexts(); }
  std::vector<std::string> EventTexts(EventKind kind) const { return trace_.EventTexts(kind); }
  void ClearTrace() { trace_.Clear(); }
  void WriteTrace(std::ostream& out) const { trace_.WriteAccesses(out); }

  // What the board and the timer hold now; the registers are the selected port's, cable or board.
  const BoardLines& Lines() const { return board_.Lines(); }
  std::uint8_t ControlRegister() const { return controlRegister_; }
  std::uint8_t DataRegister() const { return dataRegister_; }
  std::uint32_t AddressCounter() const { return board_.Socket().Counter(); }
  const Timer2& Timer() const { return timer_; }

 private:
  void Seat(Chip* chip);
  // The time of an access that begins now, the clock moved on past it.
  std::uint64_t BeginAccess();

  SimOptions options_;
  std::function<std::uint64_t()> followed_;
  std::uint64_t lastAccessNs_ = 0;
  std::uint64_t nowNs_ = 0;
  Trace trace_;
  Timer2 timer_;
  ProgrammerBoard board_;
  std::uint8_t port61_;
  std::uint8_t dataRegister_ = 0;
  std::uint8_t controlRegister_ = 0;
  std::unique_ptr<Chip> ownChip_;
  std::unique_ptr<IspCable> cable_;
  bool cableOnOtherPort_ = false;
  Drawer* drawer_ = nullptr;
  std::function<int()> selectedType_;
};

}  // namespace kaldo::sim
