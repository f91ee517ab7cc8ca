// The drawer reader on arbitrary text: thirteen chips of their own types and sizes, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/Drawer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kaldo::sim::Drawer drawer =
      kaldo::sim::Drawer::FromText(std::string(reinterpret_cast<const char*>(data), size));
  for (int type = 0; type < kaldo::sim::kChipTypeCount; ++type) {
    const kaldo::sim::Chip& chip = drawer.chip(type);
    if (chip.type != type || chip.Size() != kaldo::sim::SpecOf(type).size) std::abort();
    if (chip.lockBits < 0 || chip.lockBits > 7) std::abort();
  }
  return 0;
}
