// The drawer reader on arbitrary text: a chip of each type with its own size, or the line
// where the text goes wrong; never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sim/Drawer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const kaldo::sim::Drawer drawer = kaldo::sim::Drawer::FromText(text);
    for (int type = 0; type < kaldo::sim::kChipTypeCount; ++type) {
      const kaldo::sim::Chip& chip = drawer.chip(type);
      if (chip.type != type || chip.Size() != kaldo::sim::SpecOf(type).size) std::abort();
      if (chip.lockBits < 0 || chip.lockBits > 7) std::abort();
    }
    if (kaldo::sim::Drawer::FromText(drawer.ToText()).ToText() != drawer.ToText()) std::abort();
  } catch (const kaldo::sim::DrawerTextError& e) {
    if (e.Line() < 1) std::abort();
  }
  return 0;
}
