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
};

}  // namespace kaldo
