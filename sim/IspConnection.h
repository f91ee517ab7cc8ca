// An in-system programming cable on the simulated PC's parallel port instead of the programmer
// board: the cable's wiring, the target board it leads to (a chip with its crystal, powered) and
// the faults that board may have. Plain data; the front end builds it from the cable it uses.
#pragma once

#include <cstdint>
#include <vector>

namespace kaldo::sim {

// One line of the cable: the DB-25 pin it is wired to on the PC's side (1-17), and whether the
// cable inverts it between that pin and the target.
struct CableLine {
  int pin = 0;
  bool inverted = false;
  bool operator==(const CableLine&) const = default;
};

struct CableWiring {
  CableLine reset;  // to the chip's RST (active high on these chips)
  CableLine sck;    // to P1.7
  CableLine mosi;   // to P1.5, the chip's serial input
  CableLine miso;   // from P1.6, the chip's serial output, to a status pin
  // Buffer enables: the cable passes its signals only while each of these lines is low at the
  // pin (inverted: high). None: the cable has no buffer.
  std::vector<CableLine> enables = {};
  // Lines the cable takes its supply from: they must be high at the pin.
  std::vector<CableLine> supplies = {};
  bool operator==(const CableWiring&) const = default;
};

// What is wrong with the target board.
struct IspFaults {
  bool resetInverted = false;  // its reset line is inverted once more: RST is high at rest
  bool noCrystal = false;      // the chip has no clock: it never answers
  int misoStuck = -1;          // 0 or 1: the MISO line is held at that level; -1: not
  bool fuseOff = false;        // AT89S53, S8252: the serial programming fuse turned off
  bool otherPort = false;      // the cable sits on the PC's other parallel port
  bool operator==(const IspFaults&) const = default;
};

struct IspConnection {
  CableWiring wiring;
  std::uint32_t crystalHz = 3'000'000;  // the target board's crystal
  // A write cycle (byte, page, lock bits) of this many microseconds, a slow chip's; 0: the data
  // sheet's worst case for the chip.
  std::uint32_t writeCycleUs = 0;
  IspFaults faults = {};
  bool operator==(const IspConnection&) const = default;
};

}  // namespace kaldo::sim
