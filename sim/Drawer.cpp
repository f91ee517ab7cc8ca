#include "sim/Drawer.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/Crc32.h"
#include "sim/Supply.h"

namespace kaldo::sim {

namespace {

constexpr std::string_view kHeader1 = "kaldo-sim drawer 1";
constexpr std::string_view kHeader2 = "kaldo-sim drawer 2";
constexpr std::string_view kHeader3 = "kaldo-sim drawer 3";
// Versions 1 and 2 were written while there were thirteen chip types, and always hold them all.
constexpr int kChipsOfVersion2 = 13;
static_assert(kChipTypeCount >= kChipsOfVersion2, "chip types are added, never taken away");
// A chip's name as version 3 writes it on its block's first line.
constexpr std::size_t kLongestName = 16;
constexpr int kRow = 32;

std::uint16_t Sum(const Chip& chip) {
  std::uint16_t sum = 0;
  for (std::uint8_t b : chip.memory) sum = static_cast<std::uint16_t>(sum + b);
  return sum;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Exactly `digits` hexadecimal digits.
bool ParseHex(std::string_view text, std::size_t digits, std::uint32_t& value) {
  if (text.size() != digits) return false;
  value = 0;
  for (char c : text) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  return true;
}

// Decimal digits only.
bool ParseDecimal(std::string_view text, std::uint32_t& value) {
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return true;
}

// One decimal digit from 0 to `highest`.
bool ParseDigit(std::string_view text, int highest, int& value) {
  if (text.size() != 1 || text[0] < '0' || text[0] > '0' + highest) return false;
  value = text[0] - '0';
  return true;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t space = line.find(' ', pos);
    words.push_back(line.substr(pos, space - pos));
    if (space == std::string_view::npos) return words;
    pos = space + 1;
  }
}

// The drawer text line by line, each line with its line feed; counts lines from 1.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : text_(text) {}
  bool AtEnd() const { return pos_ == text_.size(); }
  int Number() const { return number_; }
  // The next line without its line feed; `whole` with it.
  std::string_view Next(std::string_view& whole) {
    ++number_;
    const std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos)
      throw DrawerTextError(number_, "the file ends in the middle of this line");
    whole = text_.substr(pos_, end + 1 - pos_);
    pos_ = end + 1;
    return whole.substr(0, whole.size() - 1);
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  int number_ = 0;
};

bool IsChipName(std::string_view name) {
  if (name.empty() || name.size() > kLongestName) return false;
  for (char c : name)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))) return false;
  return true;
}

// Reads the block of the chip of `type`, which must come next; of any type for kAnyType, `name`
// naming it in the messages. Version 3 names the chip on the block's first line: a chip of a
// type past the table is one a newer program knows.
constexpr int kAnyType = -1;
Chip ReadBlock(LineCursor& in, int type, int version, std::string name = {}) {
  if (name.empty())
    name = type < kChipTypeCount ? SpecOf(type).name : "chip of type " + std::to_string(type);
  if (in.AtEnd()) throw DrawerTextError(in.Number() + 1, "the file ends before the " + name);
  std::string_view whole;
  std::string_view line = in.Next(whole);
  std::vector<std::string_view> words = Words(line);
  const std::size_t firstLineWords = version >= 3 ? 5 : 4;
  if (version >= 3 && words.size() == firstLineWords && words[0] == "chip" &&
      IsChipName(words[4])) {
    std::uint32_t given = 0;
    if (!words[1].empty() && words[1].size() <= 3 && ParseDecimal(words[1], given) &&
        given >= static_cast<std::uint32_t>(kChipTypeCount) &&
        (type == kAnyType || given == static_cast<std::uint32_t>(type)))
      throw UnknownChipError(in.Number(), std::string(words[4]));
  }
  if (type == kAnyType && words.size() >= 2) {
    for (int t = 0; t < kChipTypeCount; ++t)
      if (words[1] == std::to_string(t)) type = t;
  }
  if (words[0] != "chip" || words.size() < 2 || type == kAnyType || type >= kChipTypeCount ||
      words[1] != std::to_string(type))
    throw DrawerTextError(in.Number(), "the block of the " + name + " should begin here");
  Chip chip = Chip::Fresh(type);
  int fuse = 0;
  if (words.size() != firstLineWords || !ParseDigit(words[2], 7, chip.lockBits) ||
      !ParseDigit(words[3], 1, fuse) || (version >= 3 && words[4] != SpecOf(type).name)) {
    throw DrawerTextError(in.Number(), "the first line of the " + name + "'s block is damaged");
  }
  chip.ispFuse = fuse != 0;
  std::uint32_t crc = Crc32(whole);
  long lastRow = -1;
  for (;;) {
    if (in.AtEnd())
      throw DrawerTextError(in.Number() + 1, "the file ends inside the " + name + "'s block");
    line = in.Next(whole);
    words = Words(line);
    if (words[0] == "end") break;
    std::uint32_t address = 0;
    if (words.size() != 2 || !ParseHex(words[0], 4, address) || address % kRow != 0 ||
        static_cast<long>(address) <= lastRow || address + kRow > chip.memory.size() ||
        words[1].size() != 2 * kRow) {
      throw DrawerTextError(in.Number(), "a row of the " + name + "'s block is damaged");
    }
    for (int i = 0; i < kRow; ++i) {
      std::uint32_t value = 0;
      if (!ParseHex(words[1].substr(2 * static_cast<std::size_t>(i), 2), 2, value))
        throw DrawerTextError(in.Number(), "a row of the " + name + "'s block is damaged");
      chip.memory[address + static_cast<std::uint32_t>(i)] = static_cast<std::uint8_t>(value);
    }
    lastRow = static_cast<long>(address);
    crc = Crc32(whole, crc);
  }
  std::uint32_t sum = 0, storedCrc = 0;
  const bool withCrc = version >= 2;
  const bool endLineWhole =
      withCrc ? words.size() == 3 && ParseHex(words[2], 8, storedCrc) : words.size() == 2;
  if (!endLineWhole || !ParseHex(words[1], 4, sum) || sum != Sum(chip) ||
      (withCrc && storedCrc != crc)) {
    throw DrawerTextError(in.Number(),
                          "the end line of the " + name + "'s block does not match the block");
  }
  return chip;
}

// The longest block a chip of `size` bytes can have: every row written, the widest numbers.
std::size_t LargestBlockText(std::size_t size) {
  const std::size_t first =
      ("chip " + std::to_string(kChipTypeCount - 1) + " 7 1 \n").size() + kLongestName;
  constexpr std::string_view kRowLine = "0000 \n";
  constexpr std::string_view kEnd = "end 0000 00000000\n";
  return first + size / kRow * (kRowLine.size() + 2 * kRow) + kEnd.size();
}

std::string BlockText(const Chip& chip) {
  char buf[96];
  std::string block;
  std::snprintf(buf, sizeof buf, "chip %d %d %d %s\n", chip.type, chip.lockBits,
                chip.ispFuse ? 1 : 0, SpecOf(chip.type).name);
  block += buf;
  for (std::size_t row = 0; row < chip.memory.size(); row += kRow) {
    bool blank = true;
    for (int i = 0; i < kRow; ++i) blank = blank && chip.memory[row + i] == 0xFF;
    if (blank) continue;
    std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(row));
    block += buf;
    for (int i = 0; i < kRow; ++i) {
      std::snprintf(buf, sizeof buf, "%02X", chip.memory[row + i]);
      block += buf;
    }
    block += "\n";
  }
  std::snprintf(buf, sizeof buf, "end %04X %08X\n", Sum(chip), static_cast<unsigned>(Crc32(block)));
  return block + buf;
}

}  // namespace

DrawerTextError::DrawerTextError(int line, const std::string& what)
    : Error("line " + std::to_string(line) + ": " + what), line_(line) {}

UnknownChipError::UnknownChipError(int line, const std::string& chipName)
    : DrawerTextError(line, "the file holds chips for " + chipName +
                                ", which this KALDO does not know: a newer KALDO wrote it"),
      chipName_(chipName) {}

Drawer::Drawer() {
  for (int type = 0; type < kChipTypeCount; ++type) chips_[type] = Chip::Fresh(type);
}

std::string Drawer::ToText() const {
  std::string text = std::string(kHeader3) + "\nchips " + std::to_string(chips_.size()) + "\n";
  for (const Chip& chip : chips_) text += BlockText(chip);
  if (!supplied_.empty()) {
    text += "supplied " + std::to_string(supplied_.size()) + "\n";
    for (const Chip& chip : supplied_) text += BlockText(chip);
  }
  return text;
}

bool Drawer::IsDrawerText(std::string_view text) {
  const std::string_view first = text.substr(0, text.find('\n'));
  return first == kHeader1 || first == kHeader2 || first == kHeader3;
}

std::size_t Drawer::LargestText() {
  std::size_t length =
      kHeader3.size() + ("\nchips " + std::to_string(kChipTypeCount) + "\n").size();
  std::size_t largestChip = 0;
  for (int type = 0; type < kChipTypeCount; ++type) {
    length += LargestBlockText(SpecOf(type).size);
    largestChip = std::max<std::size_t>(largestChip, SpecOf(type).size);
  }
  length += ("supplied " + std::to_string(kMaxSupply) + "\n").size();
  return length + kMaxSupply * LargestBlockText(largestChip);
}

Drawer Drawer::FromText(std::string_view text) {
  LineCursor in(text);
  std::string_view whole;
  const std::string_view header = in.Next(whole);
  const int version = header == kHeader1 ? 1 : header == kHeader2 ? 2 : header == kHeader3 ? 3 : 0;
  if (version == 0) throw DrawerTextError(1, "this is not the first line of a drawer");
  // The chips of the types the file holds; a type added since it was written starts fresh.
  std::uint32_t chips = kChipsOfVersion2;
  if (version >= 3) {
    if (in.AtEnd()) throw DrawerTextError(2, "the file ends before the count of its chips");
    const std::vector<std::string_view> words = Words(in.Next(whole));
    if (words.size() != 2 || words[0] != "chips" || words[1].empty() || words[1].size() > 3 ||
        !ParseDecimal(words[1], chips) || chips == 0)
      throw DrawerTextError(2, "the count of the file's chips is damaged");
  }
  Drawer drawer;
  for (int type = 0; type < static_cast<int>(chips); ++type)
    drawer.chips_[static_cast<std::size_t>(type)] = ReadBlock(in, type, version);
  if (!in.AtEnd()) {
    const std::string_view line = in.Next(whole);
    const std::vector<std::string_view> words = Words(line);
    std::uint32_t count = 0;
    if (words.size() != 2 || words[0] != "supplied" || words[1].empty() || words[1].size() > 5 ||
        !ParseDecimal(words[1], count) || count == 0)
      throw DrawerTextError(in.Number(), "more follows the last chip's block");
    if (count > kMaxSupply) {
      throw DrawerTextError(in.Number(), "more supplied chips than a supply can have (" +
                                             std::to_string(kMaxSupply) + ")");
    }
    for (std::uint32_t n = 1; n <= count; ++n) {
      drawer.supplied_.push_back(
          ReadBlock(in, kAnyType, std::max(version, 2), "supplied chip " + std::to_string(n)));
    }
    if (!in.AtEnd()) {
      in.Next(whole);
      throw DrawerTextError(in.Number(), "more follows the last supplied chip's block");
    }
  }
  return drawer;
}

}  // namespace kaldo::sim
