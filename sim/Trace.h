// What the simulated PC records while tracing is on: every port access, and the board-level
// events behind them (latched bytes, control lines, pulses, timer waits, read-back captures and
// the programming cycles the chip took or lost).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "sim/Chip.h"

namespace kaldo::sim {

struct Access {
  std::uint64_t timeNs;  // simulated time at which the access began
  std::uint16_t port;
  std::uint8_t value;
  bool write;
  bool operator==(const Access&) const = default;
};

// "<time in us> <W or R> <port, 4 hex digits> <value, 2 hex digits>", e.g. "1503 W 0378 44".
std::string FormatAccess(const Access& access);

enum class EventKind : std::uint8_t {
  Latch,    // the four registers moved to their outputs
  Control,  // the control register was written
  Pulse,    // a Strobe or SelectIn pulse ended (Strobe, held set at idle, ends at BeginOperation)
  Wait,     // counter 2 was loaded with a one-shot count
  Capture,  // the read-back register loaded the data lines
  Cycle,    // the chip finished (or lost) a programming cycle
  Isp,      // an in-system programming target decoded an instruction, or does not answer
  IspFlag,  // it saw a timing fault or ignored or lost an instruction
};

struct BoardEvent {
  BoardEvent(EventKind k, std::uint64_t ns) : kind(k), timeNs(ns) {}

  EventKind kind;
  std::uint64_t timeNs;
  // Latch: the four outputs, and whether the data outputs drive the chip after the strobe.
  std::uint8_t data = 0;
  std::uint8_t addressLow = 0;
  std::uint8_t addressHigh = 0;
  std::uint8_t mode = 0;
  bool driven = false;
  // Control: the register; Capture: the byte loaded; Cycle: the data byte at the chip's pins.
  std::uint8_t value = 0;
  // Pulse.
  PulseLine line = PulseLine::Strobe;
  std::uint64_t widthNs = 0;
  // Wait: the count, 1..65536.
  std::uint32_t count = 0;
  // Cycle: what, where, and why it did not take (empty when it did).
  ChipOp op = ChipOp::None;
  std::uint16_t address = 0;
  std::string lost;
  // Isp, IspFlag: what happened.
  std::string note;

  // A compact line for tests and for reading: "latch D=A5 AL=34 AH=12 M=67 drive",
  // "control 07", "pulse Strobe", "wait 2387", "capture A5", "cycle write 0123=5A",
  // "cycle erase lost: wait too short", "isp 20 12 34 FF", "isp flag SCK low 1000 ns ...".
  std::string Text() const;
};

struct Trace {
  bool accessesOn = false;
  bool eventsOn = false;
  std::vector<Access> accesses;
  std::vector<BoardEvent> events;

  void Clear() {
    accesses.clear();
    events.clear();
  }
  void Record(const BoardEvent& event) {
    if (eventsOn) events.push_back(event);
  }
  // One FormatAccess line per access.
  void WriteAccesses(std::ostream& out) const;
  // Text() of the events of one kind, or of all kinds.
  std::vector<std::string> EventTexts() const;
  std::vector<std::string> EventTexts(EventKind kind) const;
};

}  // namespace kaldo::sim
