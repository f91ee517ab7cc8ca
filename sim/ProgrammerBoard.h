// The programmer board on the simulated LPT port.
//
// Data register (base + 0), as the board wires it:
//   bit 0 serial in, data register        bit 4 serial in, address-low register
//   bit 1 shift clock (rising edge)        bit 5 serial in, address-high register
//   bit 2 1 = data outputs released        bit 6 serial in, mode register
//   bit 3 1 = a clock edge loads the read-back register from the data lines
//   bit 7 latch strobe: a rising edge moves the four registers to their outputs
// Every clock edge shifts the four input registers (most significant bit first); without load it
// also shifts the read-back register, whose top bit reaches status bit 7 inverted.
// Control register (base + 2): bit 0 Strobe, 1 AutoFeed, 2 Init, 3 SelectIn.
//
//   data reg.   input registers        outputs (BoardLines)          the chip (ChipModel)
//   bit 0 ---> shiftData_ ---+------> data ----[bit 2 = 0]--------> data pins (driven)
//   bit 4 ---> shiftLow_  ---+------> addressLow ----------------> A0-A7
//   bit 5 ---> shiftHigh_ ---+------> addressHigh ---------------> A8-A14 / counter step, program
//   bit 6 ---> shiftMode_ ---+------> mode ----------------------> mode code (bits 1-6), idle (7)
//   bit 1 clock ^: all shift |  bit 7 ^: latch
//   status bit 7 <--not-- readBack_ <--[bit 3 = 1 at clock ^]--- the chip's data output
//   control: Strobe, SelectIn ---> pulses timed by the chip; AutoFeed, Init ---> lines seen by it
#pragma once

#include <cstdint>
#include <functional>

#include "sim/ChipModel.h"
#include "sim/Trace.h"

namespace kaldo::sim {

class ProgrammerBoard {
 public:
  explicit ProgrammerBoard(Trace& trace) : trace_(trace), chip_(trace) {}

  void WriteData(std::uint8_t value, std::uint64_t ns);
  void WriteControl(std::uint8_t value, std::uint64_t ns);
  std::uint8_t ReadStatus() const;

  // No board on the port: writes go nowhere and the status lines float (status reads 0x7F).
  bool present = true;
  // Runs when the socket is about to become active (mode register bit 7 falls).
  std::function<void()> beforeActivation;

  const BoardLines& Lines() const { return lines_; }
  std::uint8_t ReadBack() const { return readBack_; }
  ChipModel& Socket() { return chip_; }
  const ChipModel& Socket() const { return chip_; }

 private:
  void LinesChanged(const BoardLines& before, std::uint64_t ns);

  Trace& trace_;
  ChipModel chip_;
  BoardLines lines_;
  std::uint8_t dataRegister_ = 0;
  std::uint8_t shiftData_ = 0;
  std::uint8_t shiftLow_ = 0;
  std::uint8_t shiftHigh_ = 0;
  std::uint8_t shiftMode_ = 0;
  std::uint8_t readBack_ = 0;
  std::uint64_t strobeRiseNs_ = 0;
  std::uint64_t selectInRiseNs_ = 0;
};

}  // namespace kaldo::sim
