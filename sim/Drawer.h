// The simulated PC's chip drawer: one chip of each type, kept from run to run in a
// small text file.
//
// Text: a first line "kaldo-sim drawer 2", then a block for each chip in type order: a line
// "chip <type> <lock bits> <isp fuse 0/1>", lines "<address, 4 hex> <32 bytes, 64 hex>" for each
// 32-byte row that is not all 0xFF in rising order, and "end <16-bit sum of the chip's bytes, 4
// hex> <CRC-32 of the block's lines before it, 8 hex>". When chips of a supply were kept, a line
// "supplied <count>" follows, then a block for each of them in the supply's order. Every line
// ends in a line feed. Version 1 had no CRC on its end lines and is read as well.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/Errors.h"
#include "sim/Chip.h"

namespace kaldo::sim {

// A drawer text that is cut short or damaged: "line <n>: <what is wrong>".
class DrawerTextError : public Error {
 public:
  DrawerTextError(int line, const std::string& what);
  int Line() const { return line_; }

 private:
  int line_;
};

class Drawer {
 public:
  Drawer();  // a fresh chip of each type

  Chip& chip(int type) { return chips_.at(type); }
  const Chip& chip(int type) const { return chips_.at(type); }

  // The chips of the simulator's supply, numbered from 1 in this order.
  std::vector<Chip>& Supplied() { return supplied_; }
  const std::vector<Chip>& Supplied() const { return supplied_; }

  std::string ToText() const;
  // Every chip's block must be there and whole; raises DrawerTextError at the first line that is
  // not.
  static Drawer FromText(std::string_view text);
  // True when the text begins with the first line of a drawer, of any version this reads.
  static bool IsDrawerText(std::string_view text);
  // The length of the largest text a drawer can have: every byte of every chip programmed, and a
  // supply of as many chips as a supply can have, each of the largest type.
  static std::size_t LargestText();

 private:
  std::array<Chip, kChipTypeCount> chips_;
  std::vector<Chip> supplied_;
};

}  // namespace kaldo::sim
