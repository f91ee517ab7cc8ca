#include "link/IspLink.h"

#include <utility>

namespace kaldo {

namespace {

const LptPin& PinOf(const CableLine& line) {
  return *FindLptPin(line.Pin);
}

}  // namespace

IspLink::IspLink(Port& port, IspCable cable) : port_(port), cable_(std::move(cable)) {}

void IspLink::Put(const CableLine& line, bool level) {
  const LptPin& pin = PinOf(line);
  const bool bit = (level != line.Inverted) != pin.Inverted;
  int& image = pin.Register == LptRegister::Data ? dataImage_ : controlImage_;
  image = bit ? image | (1 << pin.Bit) : image & ~(1 << pin.Bit);
}

void IspLink::Write(LptRegister r) {
  port_.PortOut(port_.PortBase() + RegisterOffset(r),
                r == LptRegister::Data ? dataImage_ : controlImage_);
}

bool IspLink::Miso() {
  const LptPin& pin = PinOf(cable_.Miso);
  const bool bit = (port_.PortInOnce(port_.PortBase() + 1) >> pin.Bit) & 1;
  return (bit != pin.Inverted) != cable_.Miso.Inverted;
}

void IspLink::Connect() {
  for (const CableLine& line : cable_.Supplies) Put(line, true);
  for (const CableLine& line : cable_.Enables) Put(line, false);
  Put(cable_.Reset, false);
  Put(cable_.Sck, false);
  Put(cable_.Mosi, false);
  sckHigh_ = false;
  Write(LptRegister::Data);
  Write(LptRegister::Control);
}

void IspLink::SetReset(bool high) {
  Put(cable_.Reset, high);
  Write(PinOf(cable_.Reset).Register);
}

std::uint8_t IspLink::Shift(std::uint8_t out, bool readMiso) {
  const LptRegister sck = PinOf(cable_.Sck).Register;
  const LptRegister mosi = PinOf(cable_.Mosi).Register;
  std::uint8_t in = 0;
  for (int bit = 7; bit >= 0; --bit) {
    const bool level = (out >> bit) & 1;
    const int before = mosi == LptRegister::Data ? dataImage_ : controlImage_;
    Put(cable_.Mosi, level);
    const int after = mosi == LptRegister::Data ? dataImage_ : controlImage_;
    // Low phase: SCK falls (with MOSI when they share a register), MOSI changes.
    port_.StartShortWait(halfPeriod_);
    if (sckHigh_) {
      Put(cable_.Sck, false);
      Write(sck);
      sckHigh_ = false;
      if (mosi != sck && after != before) Write(mosi);
    } else if (after != before) {
      Write(mosi);
    }
    port_.EndShortWait();
    // High phase: SCK rises alone; the target's bit is read while it is high.
    port_.StartShortWait(halfPeriod_);
    Put(cable_.Sck, true);
    Write(sck);
    sckHigh_ = true;
    if (readMiso) in = static_cast<std::uint8_t>(in << 1 | (Miso() ? 1 : 0));
    port_.EndShortWait();
  }
  return in;
}

std::uint8_t IspLink::Transfer(std::uint8_t out) {
  return Shift(out, true);
}

void IspLink::Send(std::uint8_t out) {
  Shift(out, false);
}

void IspLink::EndFrame() {
  if (!sckHigh_) return;
  port_.StartShortWait(halfPeriod_);
  Put(cable_.Sck, false);
  Write(PinOf(cable_.Sck).Register);
  sckHigh_ = false;
}

void IspLink::Idle() {
  Put(cable_.Reset, false);
  Put(cable_.Sck, false);
  Put(cable_.Mosi, false);
  for (const CableLine& line : cable_.Enables) Put(line, true);
  for (const CableLine& line : cable_.Supplies) Put(line, false);
  sckHigh_ = false;
  Write(LptRegister::Data);
  Write(LptRegister::Control);
  port_.StopShortWaits();
}

}  // namespace kaldo
