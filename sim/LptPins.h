// The PC's parallel port as its DB-25 connector sees it: which register bit each pin belongs to,
// and which pins the port's hardware inverts. The simulator's own table, apart from the program's.
#pragma once

#include <cstdint>
#include <iterator>
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
// /SELECTIN control 3 (all three inverted), 16 /INIT control 2; 18-25 ground.
inline constexpr LptPin kLptPins[] = {
    {},
    {LptRegister::Control, 0x01, true},
    {LptRegister::Data, 0x01},
    {LptRegister::Data, 0x02},
    {LptRegister::Data, 0x04},
    {LptRegister::Data, 0x08},
    {LptRegister::Data, 0x10},
    {LptRegister::Data, 0x20},
    {LptRegister::Data, 0x40},
    {LptRegister::Data, 0x80},
    {LptRegister::Status, 0x40},
    {LptRegister::Status, 0x80, true},
    {LptRegister::Status, 0x20},
    {LptRegister::Status, 0x10},
    {LptRegister::Control, 0x02, true},
    {LptRegister::Status, 0x08},
    {LptRegister::Control, 0x04},
    {LptRegister::Control, 0x08, true},
};

// A pin the connector lacks, or a ground pin: None.
constexpr LptPin PinOf(int pin) {
  return pin >= 0 && pin < static_cast<int>(std::size(kLptPins)) ? kLptPins[pin] : LptPin{};
}

// The level the PC drives on an output pin (data or control) for the registers as written;
// nothing for a status pin, a ground pin or a pin the connector lacks.
constexpr std::optional<bool> DrivenLevel(int pin, std::uint8_t dataRegister,
                                          std::uint8_t controlRegister) {
  const LptPin p = PinOf(pin);
  if (p.reg != LptRegister::Data && p.reg != LptRegister::Control) return std::nullopt;
  const std::uint8_t reg = p.reg == LptRegister::Data ? dataRegister : controlRegister;
  return ((reg & p.bit) != 0) != p.inverted;
}

// The status register with every input pin floating high (bits 0-2, which have no pin, read 1).
inline constexpr std::uint8_t kFloatingStatus = 0x7F;

// The status register with the level at a status pin put in; other pins leave it as it is.
constexpr std::uint8_t WithStatusPin(std::uint8_t status, int pin, bool level) {
  const LptPin p = PinOf(pin);
  if (p.reg != LptRegister::Status) return status;
  const bool bit = level != p.inverted;
  return static_cast<std::uint8_t>(bit ? (status | p.bit) : (status & ~p.bit));
}

}  // namespace kaldo::sim
