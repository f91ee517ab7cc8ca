// The chip in the socket, seen from the board: which byte it drives on the data lines for the
// lines the board holds, and which programming cycles it takes.
//
// A cycle starts on the rising edge of its pulse line (control register Strobe bit 0, SelectIn
// bit 3) when the mode register holds its code (bits 1-6), the socket is active (mode bit 7 = 0,
// bit 0 = 1), the programming voltage is on (AutoFeed, bit 1, cleared), and, where the cycle
// needs them, Init (bit 2) is cleared and the board drives the data lines. It takes effect only
// if the pulse lasts its minimum and nothing on the board then changes for the cycle's settle
// time; any earlier change loses it.
//
// 20-pin chips have no address lines: an internal counter, reset when the socket becomes active
// and stepped by each rising edge of address-high bit 0, gives the address; they are in
// programming mode only when address-high bits 1-7 are all 1 at that moment and stay so. Their
// data bus reaches the board bit-reversed.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "sim/Chip.h"
#include "sim/Trace.h"

namespace kaldo::sim {

// The board's outputs to the socket.
struct BoardLines {
  std::uint8_t data = 0;  // data register, reaching the chip only while driven
  std::uint8_t addressLow = 0;
  std::uint8_t addressHigh = 0;
  std::uint8_t mode = 0;
  bool dataDriven = false;
  std::uint8_t control = 0;  // bit 0 Strobe, 1 AutoFeed, 2 Init, 3 SelectIn (1 = set)
  bool operator==(const BoardLines&) const = default;
};

// What the board did to the chip since it was last asked: reads by kind (one for each byte the
// board captured from the chip) and programming cycles that reached it, taken or lost.
struct ChipActivity {
  unsigned signatureReads = 0;
  unsigned otherReads = 0;  // code, lock bits, fuse
  unsigned programmingCycles = 0;
};

class ChipModel {
 public:
  explicit ChipModel(Trace& trace) : trace_(trace) {}

  // Puts a chip in the socket (null: empty). A cycle under way on the previous chip is settled
  // first.
  void Attach(Chip* chip, std::uint64_t ns);
  Chip* Attached() const { return chip_; }

  // The board's lines changed at time ns.
  void Update(const BoardLines& lines, std::uint64_t ns);
  // The byte the chip drives, in the board's bit order, or nothing (the lines float high).
  std::optional<std::uint8_t> Output(const BoardLines& lines) const;
  // Completes a cycle whose settle time has passed by ns with nothing changed.
  void Settle(std::uint64_t ns);

  std::uint32_t Counter() const { return counter_; }
  // The activity since the last call, which starts the count again.
  ChipActivity TakeActivity() { return std::exchange(activity_, {}); }
  // Activity that reached the chip another way (an in-system programming cable).
  void AddActivity(const ChipActivity& more) {
    activity_.signatureReads += more.signatureReads;
    activity_.otherReads += more.otherReads;
    activity_.programmingCycles += more.programmingCycles;
  }

 private:
  struct Pending {
    const CycleSpec* spec;
    std::uint64_t startNs;
    std::uint64_t endNs;
    bool pulseEnded;
    std::uint16_t address;
    std::uint8_t data;  // at the chip's pins
  };

  const ChipSpec& Spec() const { return SpecOf(chip_->type); }
  bool Powered(const BoardLines& lines) const;
  std::optional<std::uint16_t> Address(const BoardLines& lines) const;
  std::uint8_t PinData(const BoardLines& lines) const;
  void StartCycle(PulseLine line, const BoardLines& lines, std::uint64_t ns);
  void Commit(std::uint64_t ns);
  void Lose(const CycleSpec& spec, std::uint16_t address, std::uint8_t data, std::uint64_t ns,
            const char* why);

  Trace& trace_;
  Chip* chip_ = nullptr;
  BoardLines last_;
  bool entered_ = false;  // 20-pin: in programming mode since the socket became active
  std::uint32_t counter_ = 0;
  std::optional<Pending> pending_;
  // Counted by Output, which changes nothing the board can see.
  mutable ChipActivity activity_;
};

std::uint8_t ReverseBits(std::uint8_t value);

}  // namespace kaldo::sim
