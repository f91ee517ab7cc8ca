// The programmer board protocol: register images, latches and the primitives every device
// operation is built from. All register accesses go through Port at state.PortBase + 0/1/2.
#pragma once

#include "core/ProgramState.h"
#include "link/Port.h"

namespace kaldo {

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
  ProgramState& state_;
  Port& port_;
};

}  // namespace kaldo
