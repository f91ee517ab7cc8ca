// The PC's parallel port as its DB-25 connector sees it: which register bit each pin belongs to,
// and which pins the port's hardware inverts. The simulator's own table, apart from the program's.
#pragma once

#include <cstdint>
#include <optional>

namespace kaldo::sim {

enum class LptRegister : std::uint8_t { None, Data, Status, Control };

struct LptPin {
  LptRegister reg = LptRegister::None;
  std::uint8_t bit = 0;   // the pin's mask in its register
  bool inverted = false;  // the register bit is the complement of the level at the pin
};

// Pins 2-9 data bits 0-7; 10 /ACK status bit 6, 11 BUSY status 7 (inverted), 12 paper-out status
// 5, 13 select status 4, 15 /ERROR status 3; 1 /STROBE control 0, 14 /AUTOFD control 1, 17
// /SELECTIN control 3 (all three inverted), 16 /INIT control 2; 18-25 ground. Others: None.
LptPin PinOf(int pin);

// The level the PC drives on an output pin (data or control) for the registers as written;
// nothing for a status pin, a ground pin or a pin the connector lacks.
std::optional<bool> DrivenLevel(int pin, std::uint8_t dataRegister, std::uint8_t controlRegister);

// The status register with every input pin floating high (bits 0-2, which have no pin, read 1).
inline constexpr std::uint8_t kFloatingStatus = 0x7F;

// The status register with the level at a status pin put in; other pins leave it as it is.
std::uint8_t WithStatusPin(std::uint8_t status, int pin, bool level);

}  // namespace kaldo::sim
