#include "link/Board.h"

namespace kaldo {

namespace {

constexpr int BitOf(int value, int bit) {
  return (value >> bit) & 1;
}

}  // namespace

Board::Board(Port& port, const BoardRegisters& start) : port_(port), r_(start) {}

void Board::SetData(int data) {
  r_.DataLatch = data;
}

void Board::SetAddress(int low, int high) {
  r_.AddressLowLatch = low;
  r_.AddressHighLatch = high;
}

void Board::SetAddressHigh(int high) {
  r_.AddressHighLatch = high;
}

void Board::SetMode(int mode) {
  r_.ModeLatch = mode;
}

void Board::EnableDataOutputs(bool enable) {
  r_.DataOutputEnable = enable;
}

void Board::LatchMode(int mode) {
  SetMode(mode);
  ShiftOutLatches();
}

void Board::WriteData() {
  port_.PortOut(port_.PortBase(), r_.DataPortImage);
}

void Board::ShiftOutLatches() {
  int& image = r_.DataPortImage;
  image = (image & ~(kShiftClock | kLoadReadBack)) | kOutputsReleased;
  WriteData();
  r_.ModeLatch = (r_.ModeLatch & 0x7E) | r_.ModeBits;
  for (int i = 0; i < 8; ++i) {
    const int bit = 7 - i;
    image &= ~kSerialLines;
    if (BitOf(r_.DataLatch, bit)) image |= kSerialData;
    if (BitOf(r_.AddressLowLatch, bit)) image |= kSerialAddressLow;
    if (BitOf(r_.AddressHighLatch, bit)) image |= kSerialAddressHigh;
    if (BitOf(r_.ModeLatch, bit)) image |= kSerialMode;
    WriteData();
    image |= kShiftClock;
    WriteData();
    image &= ~kShiftClock;
    WriteData();
  }
  if (r_.DataOutputEnable) {
    image &= ~kOutputsReleased;
  } else {
    image |= kOutputsReleased;
  }
  image |= kLatchStrobe;
  WriteData();
  image &= ~kLatchStrobe;
  WriteData();
}

void Board::ShiftInData() {
  const std::uint16_t status = port_.PortBase() + 1;
  int& image = r_.DataPortImage;
  image = (image | kLoadReadBack | kOutputsReleased) & ~kShiftClock;
  WriteData();
  image |= kShiftClock;
  WriteData();
  image &= ~kShiftClock;
  WriteData();
  image &= ~kLoadReadBack;
  WriteData();
  r_.DataLatch = 0;
  if ((port_.PortIn(status) & kReadBackInverted) == 0) r_.DataLatch |= 1;
  for (int i = 0; i < 7; ++i) {
    image |= kShiftClock;
    WriteData();
    image &= ~kShiftClock;
    WriteData();
    r_.DataLatch = (r_.DataLatch << 1) & 0xFF;
    if ((port_.PortIn(status) & kReadBackInverted) == 0) r_.DataLatch |= 1;
  }
}

void Board::ReverseDataBits() {
  int reversed = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if (BitOf(r_.DataLatch, bit)) reversed |= 0x80 >> bit;
  }
  r_.DataLatch = reversed;
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
  r_.AddressHighLatch |= 0x01;
  ShiftOutLatches();
  r_.AddressHighLatch &= ~0x01;
  ShiftOutLatches();
}

void Board::ResetBoard() {
  r_.AddressLowLatch = 0;
  r_.AddressHighLatch = 0;
  r_.DataLatch = 0;
  r_.ModeLatch = 0;
  ShiftOutLatches();
  r_.ControlPortImage = kControlIdle;
  SetStrobe();
  SetInit();
  SetModeBit7();
}

void Board::BeginOperation() {
  r_.DataOutputEnable = false;
  r_.ModeBits &= ~kModeBit7;
  ShiftOutLatches();
  ClearStrobe();
  port_.Delay500ms();
}

void Board::SetModeBit7() {
  r_.ModeBits |= kModeBit7;
  ShiftOutLatches();
  port_.Delay55ms();
  port_.Delay55ms();
}

void Board::SetModeBit0() {
  r_.ModeBits |= kModeBit0;
  ShiftOutLatches();
  port_.Delay55ms();
  port_.Delay55ms();
}

void Board::SetStrobe() {
  WriteControl(r_.ControlPortImage | kStrobe);
}
void Board::ClearStrobe() {
  WriteControl(r_.ControlPortImage & ~kStrobe);
}

void Board::PulseStrobe() {
  SetStrobe();
  ClearStrobe();
}

void Board::PulseSelectIn() {
  WriteControl(r_.ControlPortImage | kSelectIn);
  WriteControl(r_.ControlPortImage & ~kSelectIn);
}

void Board::ClearAutoFeed() {
  WriteControl(r_.ControlPortImage & ~kAutoFeed);
  port_.Delay500ms();
}

void Board::SetAutoFeed() {
  WriteControl(r_.ControlPortImage | kAutoFeed);
  port_.Delay55ms();
  port_.Delay55ms();
}

void Board::ClearInit() {
  WriteControl(r_.ControlPortImage & ~kInit);
  port_.Delay55ms();
  port_.Delay55ms();
}

void Board::SetInit() {
  WriteControl(r_.ControlPortImage | kInit);
  port_.Delay55ms();
  port_.Delay55ms();
}

void Board::WriteControl(int image) {
  r_.ControlPortImage = image;
  port_.PortOut(port_.PortBase() + 2, r_.ControlPortImage);
}

}  // namespace kaldo
