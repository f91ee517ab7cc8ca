// The programmer board protocol: the register images and latches, kept as shadows of the board's
// registers, and the primitives every device operation is built from. The operations set the
// latches through verbs; only the primitives write to the port. All register accesses go through
// Port, at its PortBase + 0/1/2.
#pragma once

#include <cstdint>

#include "link/Port.h"

namespace kaldo {

// The board, as the program drives it (LPT data register bits on the left):
//
//            shift registers            latches                  socket
//  bit 0 --> [ data      ] --bit 7 ^--> [ data      ] --bit 2 = 0--> data pins (20-pin: reversed)
//  bit 4 --> [ addr low  ] --bit 7 ^--> [ addr low  ] ------------> A0-A7
//  bit 5 --> [ addr high ] --bit 7 ^--> [ addr high ] ------------> A8-A14; 20-pin: bit 0 steps
//  bit 6 --> [ mode      ] --bit 7 ^--> [ mode      ] ------------> mode pins; bit 7 1 = idle
//  bit 1: shift clock, rising edge: all five shift registers, most significant bit first
//  bit 3: 1 at a clock edge: the read-back register loads the data pins; 0: it shifts on
//
//  status bit 7 <--inverted-- [ read-back ] <--load-- data pins
//
//  control register: Strobe and SelectIn give the programming pulses; AutoFeed and Init are
//  dropped by the routines around programming and erasing.
//
// Mode latch bits 1-6 drive the mode pins (device/DeviceProfiles.h names them for each code);
// bit 0 is always 1; bit 7 is 1 while the socket is idle and 0 while an operation runs.

// LPT data register (PortBase + 0), written only. One clock shifts a bit into each of the four
// serial-in registers (data, address low, address high, mode) at once, most significant bit first.
inline constexpr int kSerialData = 0x01;         // serial input of the data register
inline constexpr int kShiftClock = 0x02;         // shift clock of all five registers, 0 at rest
inline constexpr int kOutputsReleased = 0x04;    // 1: data register outputs off the device's pins
inline constexpr int kLoadReadBack = 0x08;       // 1 during a clock: read-back register loads
inline constexpr int kSerialAddressLow = 0x10;   // serial input of the address-low register
inline constexpr int kSerialAddressHigh = 0x20;  // serial input of the address-high register
inline constexpr int kSerialMode = 0x40;         // serial input of the mode register
inline constexpr int kLatchStrobe = 0x80;        // 0 -> 1 -> 0 moves the registers to the outputs
inline constexpr int kSerialLines =
    kSerialData | kSerialAddressLow | kSerialAddressHigh | kSerialMode;

// LPT status register (PortBase + 1), read only: bit 7 is the read-back register's serial output,
// inverted (reads 0 for a 1 bit).
inline constexpr int kReadBackInverted = 0x80;

// LPT control register (PortBase + 2), written only; lines by their IEEE 1284 names, 1 = set.
inline constexpr int kStrobe = 0x01;    // programming pulse (most devices); 1 at idle
inline constexpr int kAutoFeed = 0x02;  // cleared around programming writes; 1 at idle
inline constexpr int kInit = 0x04;      // cleared for AT89C55WD/C51RC erase and lock bits
inline constexpr int kSelectIn = 0x08;  // programming pulse of AT89S51/S52/C55WD/C51RC
inline constexpr int kControlIdle = kStrobe | kAutoFeed | kInit;

// ModeBits, merged into the mode register at every shift-out: bit 0 always 1; bit 7 is 1 while
// the board is idle and 0 while an operation runs.
inline constexpr int kModeBit0 = 0x01;
inline constexpr int kModeBit7 = 0x80;

// The shadow registers. A board starts from the program's start values; tests may start one
// elsewhere.
struct BoardRegisters {
  int DataPortImage = 0;     // last value written to the data register
  int ControlPortImage = 0;  // last value written to the control register
  // Before ShiftOutLatches the byte for the data register; after ShiftInData the byte read back.
  int DataLatch = 0;
  int AddressLowLatch = 0;  // may hold a whole address: only its low 8 bits are shifted out
  int AddressHighLatch = 0;
  int ModeLatch = 0;  // bits 0 and 7 are replaced from ModeBits at every shift-out
  int ModeBits = kModeBit0 | kModeBit7;
  bool DataOutputEnable = false;
};

class Board {
 public:
  explicit Board(Port& port, const BoardRegisters& start = {});

  Port& port() { return port_; }
  const BoardRegisters& Registers() const { return r_; }

  // What the next ShiftOutLatches sends; nothing reaches the board before it.
  void SetData(int data);
  void SetAddress(int low, int high);
  // The 20-pin devices have no address pins: only the address-high latch carries their counter
  // step line.
  void SetAddressHigh(int high);
  void SetMode(int mode);
  // Whether the latch strobe of the next ShiftOutLatches lets the data register drive the device's
  // data pins.
  void EnableDataOutputs(bool enable);
  // The mode latched at once: SetMode, then ShiftOutLatches.
  void LatchMode(int mode);
  // The byte the last ShiftInData or ReadDataByte brought in (DataLatch, 0..255).
  int ReadBack() const { return r_.DataLatch; }

  void ShiftOutLatches();
  void ShiftInData();
  void ReverseDataBits();
  void ReadDataByte();
  void WriteDataByte();
  void PulseAddressHighBit0();
  void ResetBoard();
  void BeginOperation();
  void SetModeBit7();
  void SetModeBit0();

  void SetStrobe();
  void ClearStrobe();
  void PulseStrobe();
  void PulseSelectIn();
  void ClearAutoFeed();
  void SetAutoFeed();
  void ClearInit();
  void SetInit();

 private:
  // ControlPortImage := image, then written whole to the control register.
  void WriteControl(int image);
  void WriteData();

  Port& port_;
  BoardRegisters r_;
};

}  // namespace kaldo
