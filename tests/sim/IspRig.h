// A test's own bit-banging programmer for the simulated in-system programming cable: it sets pin
// levels through its own view of the port's registers, clocks SPI mode 0 bytes with phases of a
// chosen length and reads MISO from the cable's status pin.
#pragma once

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
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
  explicit IspRig(int type, const sim::IspConnection& connection = {.wiring = Cable89isp()})
      : own_(std::make_unique<sim::SimulatedPC>()), pc(*own_), io_(pc) {
    chip = &pc.InsertChip(type);
    pc.SetEventTracing(true);
    Attach(connection);
  }
  // A cable that io (pc, or a setup around it) already has on the port at base.
  IspRig(IoSpace& io, sim::SimulatedPC& simulatedPc, const CableWiring& wiring,
         std::uint16_t base = sim::kMainBoardLpt)
      : pc(simulatedPc), io_(io), base_(base) {
    connection_.wiring = wiring;
    Power(true);
  }

 private:
  std::unique_ptr<sim::SimulatedPC> own_;

 public:
  sim::SimulatedPC& pc;
  sim::Chip* chip = nullptr;
  std::uint32_t halfUs = 10;   // each SCK phase
  std::uint32_t entryUs = 30;  // SCK low after RST rises
  bool mosiWithSck = false;    // MOSI changes in the write that raises SCK (where they share one)
  int extraPulses = 0;         // SCK pulses to add before the next byte

  // Runs steps separated by ';' and gives the last result. The rig's own PC: "=A:V" puts V in the
  // chip at A, "lockN" its lock bits, "nofuse", "stuckA"; the cable (attached anew) "stk200",
  // "slow" write cycles, "mhzN" its crystal, "resetinv", "noxtal", "miso0", "other" port,
  // "supply3". Then "E" restart and enable (its answer; "E3" the three-byte enable), "R" restart
  // only, "tN" SCK low N us after RST rises, "wN" wait N us, "hN" SCK phases of N us, "x" an extra
  // SCK pulse, "m" MOSI with SCK's rise, "off" the cable unpowered and its buffer disabled, "@A"
  // the chip's byte at A, "L" its lock bits, "page P"/"check P" a page write of i ^ 5A at page P
  // and a page read (its wrong bytes), or bytes: a frame (its last answer byte). Numbers in hex
  // but N.
  int Run(const std::string& script) {
    int result = -1;
    std::istringstream steps(script);
    for (std::string step; std::getline(steps, step, ';');) {
      std::istringstream in(step);
      std::string w;
      in >> w;
      const auto n = [&](std::size_t from, int base = 10) {
        return std::stoi(w.substr(from), nullptr, base);
      };
      sim::IspConnection c = connection_;
      if (w[0] == '=') {
        chip->memory.at(static_cast<std::size_t>(n(1, 16))) =
            static_cast<std::uint8_t>(std::stoi(w.substr(w.find(':') + 1), nullptr, 16));
      } else if (w.starts_with("lock")) {
        chip->lockBits = n(4);
      } else if (w == "nofuse") {
        chip->ispFuse = false;
      } else if (w.starts_with("stuck")) {
        chip->wontProgram.insert(static_cast<std::uint16_t>(n(5, 16)));
      } else if (w == "stk200" || w == "slow" || w.starts_with("mhz") || w == "resetinv" ||
                 w == "noxtal" || w == "miso0" || w == "other" || w == "supply3") {
        if (w == "stk200") c.wiring = CableStk200();
        if (w == "slow") c.writeCycleUs = 5000;
        if (w.starts_with("mhz")) c.crystalHz = static_cast<std::uint32_t>(n(3)) * 1'000'000;
        c.faults.resetInverted |= w == "resetinv";
        c.faults.noCrystal |= w == "noxtal";
        if (w == "miso0") c.faults.misoStuck = 0;
        c.faults.otherPort |= w == "other";
        if (w == "supply3") c.wiring.supplies = {{3}};
        Attach(c);
      } else if (w == "E" || w == "E3") {
        result = Enter(w == "E3");
      } else if (w == "R") {
        Restart();
      } else if (w[0] == 't') {
        entryUs = static_cast<std::uint32_t>(n(1));
      } else if (w[0] == 'h') {
        halfUs = static_cast<std::uint32_t>(n(1));
      } else if (w[0] == 'w') {
        Wait(static_cast<std::uint64_t>(n(1)));
      } else if (w == "x") {
        ++extraPulses;
      } else if (w == "m") {
        mosiWithSck = true;
      } else if (w == "off") {
        Power(false);
      } else if (w[0] == '@' || w == "L") {
        result = w == "L" ? chip->lockBits : chip->memory.at(static_cast<std::size_t>(n(1, 16)));
      } else if (w == "page" || w == "check") {
        int page = 0;
        in >> std::hex >> page;
        std::vector<std::uint8_t> frame = {static_cast<std::uint8_t>(w == "page" ? 0x50 : 0x30),
                                           static_cast<std::uint8_t>(page)};
        for (int i = 0; i < 256; ++i)
          frame.push_back(static_cast<std::uint8_t>(w == "page" ? i ^ 0x5A : 0));
        const std::vector<std::uint8_t> answer = Frame(frame);
        result = 0;
        for (std::size_t i = 0; i < 256; ++i) result += answer[2 + i] != (i ^ 0x5A);
      } else {
        std::vector<std::uint8_t> frame;
        for (std::istringstream bytes(step); bytes >> w;)
          frame.push_back(static_cast<std::uint8_t>(std::stoi(w, nullptr, 16)));
        result = Frame(frame).back();
      }
    }
    return result;
  }

  // Powers the cable and enables its buffer, or neither.
  void Power(bool on) {
    for (const CableLine& supply : connection_.wiring.supplies) Pin(supply, on);
    for (const CableLine& enable : connection_.wiring.enables) Pin(enable, !on);
    Pin(connection_.wiring.reset, false);
    Pin(connection_.wiring.sck, false);
    Flush();
  }
  void Wait(std::uint64_t us) {
    const std::uint64_t until = pc.NowNs() + us * 1000;
    while (pc.NowNs() < until) io_.read(base_ + 1);
  }
  // RST low, then high, then SCK low for entryUs.
  void Restart() {
    Pin(connection_.wiring.reset, false);
    Flush();
    Wait(20);
    Pin(connection_.wiring.reset, true);
    Flush();
    Wait(entryUs);
  }
  // Restart and Programming Enable (four bytes, or three); the enable's last answer byte.
  std::uint8_t Enter(bool threeBytes) {
    Restart();
    std::vector<std::uint8_t> enable = {0xAC, 0x53, 0x00, 0x00};
    if (threeBytes) enable.pop_back();
    return Frame(enable).back();
  }
  std::vector<std::uint8_t> Frame(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> in;
    for (std::uint8_t out : bytes) {
      for (; extraPulses > 0; --extraPulses) Bit(false);
      std::uint8_t answer = 0;
      for (int bit = 7; bit >= 0; --bit)
        answer = static_cast<std::uint8_t>(answer << 1 | Bit((out >> bit) & 1));
      in.push_back(answer);
    }
    return in;
  }

 private:
  void Attach(const sim::IspConnection& connection) {
    connection_ = connection;
    pc.AttachIspCable(connection);
    Power(true);
  }
  bool Bit(bool value) {
    const CableWiring& w = connection_.wiring;
    Pin(w.mosi, value);
    if (!mosiWithSck) {
      Flush();
      Wait(halfUs);
    }
    Pin(w.sck, true);
    Flush();
    const std::uint8_t status = io_.read(base_ + 1);
    const bool pinHigh = w.miso.pin == 11 ? (status & 0x80) == 0 : (status & 0x40) != 0;
    Wait(halfUs);
    Pin(w.sck, false);
    Flush();
    Wait(halfUs);
    return pinHigh != w.miso.inverted;
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
  void Flush() {
    io_.write(base_, data_);
    io_.write(base_ + 2, control_);
  }

  IoSpace& io_;
  sim::IspConnection connection_;
  std::uint16_t base_ = sim::kMainBoardLpt;
  std::uint8_t data_ = 0;
  std::uint8_t control_ = 0;
};

}  // namespace kaldo::test
