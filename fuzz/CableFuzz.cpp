// The cable parser on arbitrary text: a cable whose lines obey the wiring rules and that reads back
// the same from its own wiring text, or a refusal that says what is wrong; never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "core/model/IspCables.h"

namespace {

bool OnStatusPin(int pin) {
  return pin == 10 || pin == 11 || pin == 12 || pin == 13 || pin == 15;
}

bool OnOutputPin(int pin) {
  return (pin >= 1 && pin <= 9) || pin == 14 || pin == 16 || pin == 17;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const kaldo::IspCable cable = kaldo::ParseCable(text);
    std::set<int> pins;
    const auto take = [&](const kaldo::CableLine& line, bool status) {
      if (status ? !OnStatusPin(line.Pin) : !OnOutputPin(line.Pin)) std::abort();
      if (!pins.insert(line.Pin).second) std::abort();
    };
    take(cable.Miso, true);
    for (const kaldo::CableLine* line : {&cable.Reset, &cable.Sck, &cable.Mosi}) take(*line, false);
    for (const kaldo::CableLine& line : cable.Enables) take(line, false);
    for (const kaldo::CableLine& line : cable.Supplies) take(line, false);
    kaldo::IspCable again = kaldo::ParseCable(kaldo::CableWiringText(cable));
    again.Name = cable.Name;
    if (!(again == cable)) std::abort();
  } catch (const kaldo::CableSpecError& e) {
    if (std::string(e.what()).empty()) std::abort();
  }
  return 0;
}
