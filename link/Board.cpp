#include "link/Board.h"

namespace kaldo {

namespace {

constexpr int BitOf(int value, int bit) {
  return (value >> bit) & 1;
}

}  // namespace

Board::Board(ProgramState& state, Port& port) : state_(state), port_(port) {}

void Board::ShiftOutLatches() {
  const std::uint16_t data = state_.PortBase;
  DataPortImage = (DataPortImage & ~(kShiftClock | kLoadReadBack)) | kOutputsReleased;
  port_.PortOut(data, DataPortImage);
  ModeLatch = (ModeLatch & 0x7E) | ModeBits;
  for (int i = 0; i < 8; ++i) {
    const int bit = 7 - i;
    DataPortImage &= ~kSerialLines;
    if (BitOf(DataLatch, bit)) DataPortImage |= kSerialData;
    if (BitOf(AddressLowLatch, bit)) DataPortImage |= kSerialAddressLow;
    if (BitOf(AddressHighLatch, bit)) DataPortImage |= kSerialAddressHigh;
    if (BitOf(ModeLatch, bit)) DataPortImage |= kSerialMode;
    port_.PortOut(data, DataPortImage);
    DataPortImage |= kShiftClock;
    port_.PortOut(data, DataPortImage);
    DataPortImage &= ~kShiftClock;
    port_.PortOut(data, DataPortImage);
  }
  if (DataOutputEnable) {
    DataPortImage &= ~kOutputsReleased;
  } else {
    DataPortImage |= kOutputsReleased;
  }
  DataPortImage |= kLatchStrobe;
  port_.PortOut(data, DataPortImage);
  DataPortImage &= ~kLatchStrobe;
  port_.PortOut(data, DataPortImage);
}

void Board::ShiftInData() {
  const std::uint16_t data = state_.PortBase;
  const std::uint16_t status = state_.PortBase + 1;
  DataPortImage = (DataPortImage | kLoadReadBack | kOutputsReleased) & ~kShiftClock;
  port_.PortOut(data, DataPortImage);
  DataPortImage |= kShiftClock;
  port_.PortOut(data, DataPortImage);
  DataPortImage &= ~kShiftClock;
  port_.PortOut(data, DataPortImage);
  DataPortImage &= ~kLoadReadBack;
  port_.PortOut(data, DataPortImage);
  DataLatch = 0;
  if ((port_.PortIn(status) & kReadBackInverted) == 0) DataLatch |= 1;
  for (int i = 0; i < 7; ++i) {
    DataPortImage |= kShiftClock;
    port_.PortOut(data, DataPortImage);
    DataPortImage &= ~kShiftClock;
    port_.PortOut(data, DataPortImage);
    DataLatch = (DataLatch << 1) & 0xFF;
    if ((port_.PortIn(status) & kReadBackInverted) == 0) DataLatch |= 1;
  }
}

void Board::ReverseDataBits() {
  int reversed = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if (BitOf(DataLatch, bit)) reversed |= 0x80 >> bit;
  }
  DataLatch = reversed;
}

void Board::ReadDataByte() {
  ShiftInData();
  ReverseDataBits();
}

void Board::WriteDataByte() {
  ReverseDataBits();
  ShiftOutLatches();
}

void Board::PulseAddressHighBit0() {
  AddressHighLatch |= 0x01;
  ShiftOutLatches();
  AddressHighLatch &= ~0x01;
  ShiftOutLatches();
}

void Board::ResetBoard() {
  AddressLowLatch = 0;
  AddressHighLatch = 0;
  DataLatch = 0;
  ModeLatch = 0;
  ShiftOutLatches();
  ControlPortImage = kControlIdle;
  SetStrobe();
  SetInit();
  SetModeBit7();
}

void Board::BeginOperation() {
  DataOutputEnable = false;
  ModeBits &= ~kModeBit7;
  ShiftOutLatches();
  ClearStrobe();
  port_.Delay500ms();
}

void Board::SetModeBit7() {
  ModeBits |= kModeBit7;
  ShiftOutLatches();
  port_.Delay55ms();
  port_.Delay55ms();
}

void Board::SetModeBit0() {
  ModeBits |= kModeBit0;
  ShiftOutLatches();
  port_.Delay55ms();
  port_.Delay55ms();
}

void Board::SetStrobe() {
  WriteControl(ControlPortImage | kStrobe);
}
void Board::ClearStrobe() {
  WriteControl(ControlPortImage & ~kStrobe);
}

void Board::PulseStrobe() {
  SetStrobe();
  ClearStrobe();
}

void Board::PulseSelectIn() {
  WriteControl(ControlPortImage | kSelectIn);
  WriteControl(ControlPortImage & ~kSelectIn);
}

void Board::ClearAutoFeed() {
  WriteControl(ControlPortImage & ~kAutoFeed);
  port_.Delay500ms();
}

void Board::SetAutoFeed() {
  WriteControl(ControlPortImage | kAutoFeed);
  port_.Delay55ms();
  port_.Delay55ms();
}

void Board::ClearInit() {
  WriteControl(ControlPortImage & ~kInit);
  port_.Delay55ms();
  port_.Delay55ms();
}

void Board::SetInit() {
  WriteControl(ControlPortImage | kInit);
  port_.Delay55ms();
  port_.Delay55ms();
}

void Board::WriteControl(int image) {
  ControlPortImage = image;
  port_.PortOut(state_.PortBase + 2, ControlPortImage);
}

}  // namespace kaldo
