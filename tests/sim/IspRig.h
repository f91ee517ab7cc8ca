// A test's own bit-banging programmer for the simulated in-system programming cable: it sets pin
// levels through its own view of the port's registers, clocks SPI mode 0 bytes with phases of a
// chosen length and reads MISO from the cable's status pin.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/SimulatedPC.h"

namespace kaldo::test {

using sim::CableLine;
using sim::CableWiring;

// Atmel's AT89ISP cable: RST on /SELECTIN, SCK on /STROBE, MOSI on D0, MISO on /ACK.
inline CableWiring Cable89isp() {
  return {.reset = {17}, .sck = {1}, .mosi = {2}, .miso = {10}};
}
// The STK200 dongle: D7 RST, D4 SCK, D5 MOSI, ACK MISO, its buffer enabled by D2 and D3 low.
inline CableWiring CableStk200() {
  return {.reset = {9}, .sck = {6}, .mosi = {7}, .miso = {10}, .enables = {{4}, {5}}};
}
// A resistor cable: D2 RST, D3 SCK, D0 MOSI, BUSY MISO.
inline CableWiring CableDt006() {
  return {.reset = {4}, .sck = {5}, .mosi = {2}, .miso = {11}};
}

class IspRig {
 public:
  // A PC of its own with a chip of the type behind the cable.
  explicit IspRig(int type, sim::IspConnection connection = {.wiring = Cable89isp()})
      : own_(std::make_unique<sim::SimulatedPC>()), pc(*own_), io_(pc), wiring_(connection.wiring) {
    chip = &pc.InsertChip(type);
    pc.SetEventTracing(true);
    pc.AttachIspCable(connection);
    Start();
  }
  // A cable that io (pc, or a setup around it) already has on the port at base.
  IspRig(IoSpace& io, sim::SimulatedPC& simulatedPc, const CableWiring& wiring,
         std::uint16_t base = sim::kMainBoardLpt)
      : pc(simulatedPc), io_(io), wiring_(wiring), base_(base) {
    Start();
  }

 private:
  std::unique_ptr<sim::SimulatedPC> own_;

 public:
  sim::SimulatedPC& pc;
  sim::Chip* chip = nullptr;
  std::uint32_t halfUs = 10;  // each SCK phase
  bool mosiWithSck = false;   // MOSI changes in the write that raises SCK (where they share one)
  int extraPulses = 0;        // SCK pulses to add before the next byte

  // Drives the cable's supply lines high, or low.
  void Supply(bool on) {
    for (const CableLine& supply : wiring_.supplies) Pin(supply, on);
    Flush();
  }
  void Wait(std::uint64_t us) {
    const std::uint64_t until = pc.NowNs() + us * 1000;
    while (pc.NowNs() < until) io_.read(base_ + 1);
  }
  // RST low, then high, then SCK low for entryUs.
  void Restart(std::uint32_t entryUs = 30) {
    Pin(wiring_.sck, false);
    Pin(wiring_.reset, false);
    Flush();
    Wait(20);
    Pin(wiring_.reset, true);
    Flush();
    Wait(entryUs);
  }
  // Restart and Programming Enable (four bytes, or three); the enable's last answer byte.
  std::uint8_t Enter(std::uint32_t entryUs = 30, bool threeBytes = false) {
    Restart(entryUs);
    std::vector<std::uint8_t> enable = {0xAC, 0x53, 0x00, 0x00};
    if (threeBytes) enable.pop_back();
    return Frame(enable).back();
  }

  std::uint8_t Byte(std::uint8_t out) {
    for (; extraPulses > 0; --extraPulses) Bit(false);
    std::uint8_t in = 0;
    for (int bit = 7; bit >= 0; --bit)
      in = static_cast<std::uint8_t>(in << 1 | Bit((out >> bit) & 1));
    return in;
  }
  std::vector<std::uint8_t> Frame(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> in;
    for (std::uint8_t b : bytes) in.push_back(Byte(b));
    return in;
  }
  bool Miso() {
    const std::uint8_t status = io_.read(base_ + 1);
    const CableLine& m = wiring_.miso;
    const bool pinHigh = m.pin == 11 ? (status & 0x80) == 0 : (status & 0x40) != 0;
    return pinHigh != m.inverted;
  }

 private:
  bool Bit(bool value) {
    Pin(wiring_.mosi, value);
    if (!mosiWithSck) {
      Flush();
      Wait(halfUs);
    }
    Pin(wiring_.sck, true);
    Flush();
    const bool in = Miso();
    Wait(halfUs);
    Pin(wiring_.sck, false);
    Flush();
    Wait(halfUs);
    return in;
  }
  // The level at the target's side of a line, put into the rig's copy of the registers.
  void Pin(const CableLine& line, bool level) {
    bool atPin = level != line.inverted;
    std::uint8_t* reg = &data_;
    std::uint8_t mask = 0;
    if (line.pin >= 2 && line.pin <= 9) {
      mask = static_cast<std::uint8_t>(1 << (line.pin - 2));
    } else {
      reg = &control_;
      mask = line.pin == 1 ? 0x01 : line.pin == 14 ? 0x02 : line.pin == 16 ? 0x04 : 0x08;
      if (line.pin != 16) atPin = !atPin;
    }
    *reg = static_cast<std::uint8_t>(atPin ? *reg | mask : *reg & ~mask);
  }
  void Start() {
    for (const CableLine& enable : wiring_.enables) Pin(enable, false);
    for (const CableLine& supply : wiring_.supplies) Pin(supply, true);
    Pin(wiring_.reset, false);
    Pin(wiring_.sck, false);
    Flush();
  }
  void Flush() {
    if (data_ != dataWritten_ || !written_) io_.write(base_, data_);
    if (control_ != controlWritten_ || !written_) io_.write(base_ + 2, control_);
    dataWritten_ = data_;
    controlWritten_ = control_;
    written_ = true;
  }

  IoSpace& io_;
  CableWiring wiring_;
  std::uint16_t base_ = sim::kMainBoardLpt;
  std::uint8_t data_ = 0;
  std::uint8_t control_ = 0;
  std::uint8_t dataWritten_ = 0;
  std::uint8_t controlWritten_ = 0;
  bool written_ = false;
};

}  // namespace kaldo::test
