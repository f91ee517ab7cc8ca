// The x86 I/O port space as the program uses it: one-byte writes and reads.
// Implemented by the simulated PC (sim/) and by the real-hardware backends (link/).
#pragma once

#include <cstdint>

namespace kaldo {

class IoSpace {
 public:
  virtual ~IoSpace() = default;
  virtual void write(std::uint16_t port, std::uint8_t value) = 0;
  virtual std::uint8_t read(std::uint16_t port) = 0;
  // The LPT port whose registers (base + 0, + 1, + 2) the program addresses from now on. A backend
  // that opens the port, or asks for the right to use it, does so for this one; a simulated PC
  // whose board is plugged into one of its own ports moves the board there, and otherwise leaves it
  // where it stands.
  virtual void selectLpt(std::uint16_t /*base*/) {}
};

}  // namespace kaldo
