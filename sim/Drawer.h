// The simulated PC's chip drawer: one chip of each of the 13 types, kept from run to run in a
// small text file.
//
// File: a first line "kaldo-sim drawer 1", then per chip a line "chip <type> <lock bits>
// <isp fuse 0/1>", lines "<address, 4 hex> <32 bytes, 64 hex>" for each 32-byte row that is not
// all 0xFF, and "end <16-bit sum of the chip's bytes, 4 hex>". A chip whose block is missing or
// damaged comes out of Load fresh; the others keep what was saved.
#pragma once

#include <array>
#include <string>

#include "sim/Chip.h"

namespace kaldo::sim {

class Drawer {
 public:
  Drawer();  // 13 fresh chips

  Chip& chip(int type) { return chips_.at(type); }
  const Chip& chip(int type) const { return chips_.at(type); }

  // A missing or unreadable file gives a drawer of fresh chips.
  static Drawer Load(const std::string& path);
  // Writes a temporary file beside path and renames it over path, so a failed save leaves the
  // old file whole. False (errno set) when the file could not be written.
  bool Save(const std::string& path) const;

  std::string ToText() const;
  static Drawer FromText(const std::string& text);

 private:
  std::array<Chip, kChipTypeCount> chips_;
};

}  // namespace kaldo::sim
