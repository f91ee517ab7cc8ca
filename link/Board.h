// The programmer board protocol: register images, latches and the primitives every device
// operation is built from. All register accesses go through Port at state.PortBase + 0/1/2.
#pragma once

#include "core/ProgramState.h"
#include "link/Port.h"

namespace kaldo {

// LPT data register (PortBase + 0): the board's shift and latch lines.
inline constexpr int kSerialData = 0x01;
inline constexpr int kShiftClock = 0x02;
inline constexpr int kOutputsReleased = 0x04;
inline constexpr int kLoadReadBack = 0x08;
inline constexpr int kSerialAddressLow = 0x10;
inline constexpr int kSerialAddressHigh = 0x20;
inline constexpr int kSerialMode = 0x40;
inline constexpr int kLatchStrobe = 0x80;
inline constexpr int kSerialLines =
    kSerialData | kSerialAddressLow | kSerialAddressHigh | kSerialMode;

// LPT status register (PortBase + 1): bit 7 is the read-back register's output, inverted.
inline constexpr int kReadBackInverted = 0x80;

// LPT control register (PortBase + 2).
inline constexpr int kStrobe = 0x01;
inline constexpr int kAutoFeed = 0x02;
inline constexpr int kInit = 0x04;
inline constexpr int kSelectIn = 0x08;
inline constexpr int kControlIdle = kStrobe | kAutoFeed | kInit;

// ModeBits: bit 0 always 1; bit 7 is 1 while the board is idle.
inline constexpr int kModeBit0 = 0x01;
inline constexpr int kModeBit7 = 0x80;

class Board {
 public:
  Board(ProgramState& state, Port& port);

  Port& port() { return port_; }

  int DataPortImage = 0;
  int ControlPortImage = 0;
  int DataLatch = 0;
  int AddressLowLatch = 0;
  int AddressHighLatch = 0;
  int ModeLatch = 0;
  int ModeBits = 0x81;
  bool DataOutputEnable = false;

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

  ProgramState& state_;
  Port& port_;
};

}  // namespace kaldo
