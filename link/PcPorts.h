// The PC's fixed I/O ports that the delay timer uses: counter 2 of the 8254 interval timer and
// the system control port. The LPT bases are in core/model/LptPorts.h.
#pragma once

#include <cstdint>

namespace kaldo {

// 8254 interval timer: counter 2 data port and command port; system control port.
inline constexpr std::uint16_t kTimer2Data = 0x42;
inline constexpr std::uint16_t kTimerCommand = 0x43;
inline constexpr std::uint16_t kSystemControl = 0x61;

// Port 0x61: bit 0 gate of counter 2, bit 1 speaker data enable, bit 5 output of counter 2.
inline constexpr int kTimer2Gate = 0x01;
inline constexpr int kSpeakerEnable = 0x02;
inline constexpr int kTimer2Output = 0x20;

constexpr bool IsTimerPort(std::uint16_t port) {
  return port == kTimer2Data || port == kTimerCommand || port == kSystemControl;
}

}  // namespace kaldo
