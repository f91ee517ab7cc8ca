// Port access and the delay timer: PortOut/PortIn over an IoSpace, and the one-shot waits on
// counter 2 of the PC's 8254 interval timer, polled through system control port 0x61.
#pragma once

#include <cstdint>

#include "link/IoSpace.h"

namespace kaldo {

class Port {
 public:
  explicit Port(IoSpace& io);

  // Only the low 8 bits of value are written.
  void PortOut(std::uint16_t port, int value);
  // Three reads in a row; the third is returned (0..255).
  int PortIn(std::uint16_t port);

  void InitDelayTimer();
  void SaveTimer2Mode();
  void RestoreDelayTimer();

  void Delay50us();
  void Delay100us();
  void Delay2ms();
  void Delay10ms();
  void Delay55ms();
  void Delay500ms();

  int Port61Image = 0;
  int SavedPort61 = 0;
  int SavedTimer2Mode = 0;

 private:
  IoSpace& io_;
};

}  // namespace kaldo
