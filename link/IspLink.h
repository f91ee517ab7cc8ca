// An in-system programming cable on the parallel port: the four lines RST, SCK, MOSI and MISO and
// the cable's buffer enables and supply lines, driven through the port's data and control
// registers, whose images are kept as shadows. Every write sends a whole register image.
//
// A byte goes out SPI mode 0, most significant bit first: MOSI changes while SCK is low (in a
// write of its own, or with the falling edge when both lines share a register), SCK rises, MISO is
// read while SCK is high, SCK falls again. Each SCK phase lasts at least the half-period, timed by
// a short wait on the PC's timer that runs while the phase's own port accesses are made.
//
// Idle is RST low, SCK and MOSI low, the buffer disabled and the supply lines low: the chip runs
// its own program and the cable drives nothing it need not.
#pragma once

#include <cstdint>

#include "core/model/IspCables.h"
#include "core/model/LptPins.h"
#include "link/Port.h"

namespace kaldo {

class IspLink {
 public:
  IspLink(Port& port, IspCable cable);

  Port& port() { return port_; }
  const IspCable& Cable() const { return cable_; }

  // Timer clocks (1..kLongestShortWait) that each SCK phase lasts at least.
  void SetHalfPeriod(int timerCount) { halfPeriod_ = timerCount; }
  int HalfPeriod() const { return halfPeriod_; }

  // Supplies high, the buffer enabled, RST, SCK and MOSI low.
  void Connect();
  void SetReset(bool high);
  // One byte out on MOSI; the byte MISO brought in.
  std::uint8_t Transfer(std::uint8_t out);
  // One byte out; MISO is not read.
  void Send(std::uint8_t out);
  // SCK low after the last byte of a frame (the low phase is timed by the next byte).
  void EndFrame();
  void Idle();

  int DataImage() const { return dataImage_; }
  int ControlImage() const { return controlImage_; }

 private:
  std::uint8_t Shift(std::uint8_t out, bool readMiso);
  // The line's pin at `level` as the target sees it, in the shadow images only.
  void Put(const CableLine& line, bool level);
  void Write(LptRegister r);
  bool Miso();

  Port& port_;
  IspCable cable_;
  int halfPeriod_ = 1;
  int dataImage_ = 0;
  int controlImage_ = 0;
  bool sckHigh_ = false;
};

}  // namespace kaldo
