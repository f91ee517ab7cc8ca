// The simulated PC's chip drawer: one chip of each type, kept from run to run in a
// small text file.
//
// Text: a first line "kaldo-sim drawer 3", a line "chips <count>", then a block for each chip in
// type order: a line "chip <type> <lock bits> <isp fuse 0/1> <name>", lines "<address, 4 hex> <32
// bytes, 64 hex>" for each 32-byte row that is not all 0xFF in rising order, and "end <16-bit sum
// of the chip's bytes, 4 hex> <CRC-32 of the block's lines before it, 8 hex>". When chips of a
// supply were kept, a line "supplied <count>" follows, then a block for each of them in the
// supply's order. Every line ends in a line feed. Versions 1 and 2 had no count and no names,
// version 1 no CRC on its end lines; both are read as well. A text that holds fewer chip types than
// this program knows (one written before a type was added) gives fresh chips of the others; one
// that holds a type past this program's table (written by a newer one) is refused with
// UnknownChipError.
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

// A drawer text that holds a chip this program does not know: a newer program wrote it.
class UnknownChipError : public DrawerTextError {
 public:
  UnknownChipError(int line, const std::string& chipName);
  const std::string& ChipName() const { return chipName_; }

 private:
  std::string chipName_;
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
  // Every chip's block the text counts must be there and whole; raises DrawerTextError at the
  // first line that is not.
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
