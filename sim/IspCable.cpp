#include "sim/IspCable.h"

#include <utility>

#include "sim/LptPins.h"

namespace kaldo::sim {

IspCable::IspCable(const IspConnection& connection, Trace& trace, IspTarget::Host host,
                   std::uint8_t dataRegister, std::uint8_t controlRegister, std::uint64_t ns)
    : connection_(connection),
      target_(trace,
              {.crystalHz = connection.crystalHz,
               .noCrystal = connection.faults.noCrystal,
               .writeCycleUs = connection.writeCycleUs},
              std::move(host)),
      data_(dataRegister),
      control_(controlRegister) {
  Drive(ns);
}

void IspCable::WriteData(std::uint8_t value, std::uint64_t ns) {
  if (value == data_) return;
  data_ = value;
  Drive(ns);
}

void IspCable::WriteControl(std::uint8_t value, std::uint64_t ns) {
  if (value == control_) return;
  control_ = value;
  Drive(ns);
}

// The level the cable puts on its target side of the line, or nothing when the PC does not drive
// the pin (a status or ground pin).
std::optional<bool> IspCable::Line(const CableLine& line) const {
  const std::optional<bool> pin = DrivenLevel(line.pin, data_, control_);
  if (!pin) return std::nullopt;
  return *pin != line.inverted;
}

bool IspCable::Passes() const {
  for (const CableLine& supply : connection_.wiring.supplies)
    if (Line(supply) != true) return false;
  for (const CableLine& enable : connection_.wiring.enables)
    if (Line(enable) != false) return false;
  return true;
}

void IspCable::Drive(std::uint64_t ns) {
  const CableWiring& w = connection_.wiring;
  bool rst = false;
  bool sck = true;
  bool mosi = true;
  passes_ = Passes();
  if (passes_) {
    rst = Line(w.reset).value_or(false);
    sck = Line(w.sck).value_or(true);
    mosi = Line(w.mosi).value_or(true);
  }
  if (connection_.faults.resetInverted) rst = !rst;
  target_.Pins(rst, sck, mosi, ns);
}

std::uint8_t IspCable::ReadStatus() const {
  bool level = true;
  if (passes_) {
    bool chipSide = target_.Miso().value_or(true);
    if (connection_.faults.misoStuck >= 0) chipSide = connection_.faults.misoStuck != 0;
    level = chipSide != connection_.wiring.miso.inverted;
  }
  return WithStatusPin(kFloatingStatus, connection_.wiring.miso.pin, level);
}

}  // namespace kaldo::sim
