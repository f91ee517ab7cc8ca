#include "sim/LptPins.h"

namespace kaldo::sim {

LptPin PinOf(int pin) {
  if (pin >= 2 && pin <= 9) return {LptRegister::Data, static_cast<std::uint8_t>(1 << (pin - 2))};
  switch (pin) {
    case 1:
      return {LptRegister::Control, 0x01, true};
    case 14:
      return {LptRegister::Control, 0x02, true};
    case 16:
      return {LptRegister::Control, 0x04, false};
    case 17:
      return {LptRegister::Control, 0x08, true};
    case 10:
      return {LptRegister::Status, 0x40, false};
    case 11:
      return {LptRegister::Status, 0x80, true};
    case 12:
      return {LptRegister::Status, 0x20, false};
    case 13:
      return {LptRegister::Status, 0x10, false};
    case 15:
      return {LptRegister::Status, 0x08, false};
    default:
      return {};
  }
}

std::optional<bool> DrivenLevel(int pin, std::uint8_t dataRegister, std::uint8_t controlRegister) {
  const LptPin p = PinOf(pin);
  std::uint8_t reg = 0;
  if (p.reg == LptRegister::Data)
    reg = dataRegister;
  else if (p.reg == LptRegister::Control)
    reg = controlRegister;
  else
    return std::nullopt;
  return ((reg & p.bit) != 0) != p.inverted;
}

std::uint8_t WithStatusPin(std::uint8_t status, int pin, bool level) {
  const LptPin p = PinOf(pin);
  if (p.reg != LptRegister::Status) return status;
  const bool bit = level != p.inverted;
  return static_cast<std::uint8_t>(bit ? (status | p.bit) : (status & ~p.bit));
}

}  // namespace kaldo::sim
