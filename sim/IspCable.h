// An in-system programming cable on one of the simulated PC's parallel ports, and the target board
// at its end. The cable turns the port's data and control registers into levels at the chip's RST,
// SCK and MOSI through its wiring (the port's own inversions from LptPins.h, then the cable's),
// and the chip's MISO into its status pin.
//
// While a supply line is not at its level the cable's buffer has no power, and while a buffer
// enable is not active its outputs are off: either way the chip's inputs float (RST falls low
// through the chip's pull-down, so the chip runs; SCK and MOSI are pulled high) and the MISO pin
// floats high. A chip out of programming mode leaves MISO to its pull-up (1).
#pragma once

#include <cstdint>
#include <optional>

#include "sim/IspConnection.h"
#include "sim/IspTarget.h"
#include "sim/Trace.h"

namespace kaldo::sim {

class IspCable {
 public:
  // Plugged in at time ns, with the port's registers as they are.
  IspCable(const IspConnection& connection, Trace& trace, IspTarget::Host host,
           std::uint8_t dataRegister, std::uint8_t controlRegister, std::uint64_t ns);

  void WriteData(std::uint8_t value, std::uint64_t ns);
  void WriteControl(std::uint8_t value, std::uint64_t ns);
  std::uint8_t ReadStatus() const;
  std::uint8_t DataRegister() const { return data_; }
  std::uint8_t ControlRegister() const { return control_; }

  const IspFlags& Flags() const { return target_.Flags(); }

 private:
  bool Passes() const;  // powered, and every buffer enabled
  std::optional<bool> Line(const CableLine& line) const;
  void Drive(std::uint64_t ns);

  IspConnection connection_;
  IspTarget target_;
  std::uint8_t data_;
  std::uint8_t control_;
  bool passes_ = false;  // as the registers were last written
};

}  // namespace kaldo::sim
