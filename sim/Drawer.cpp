#include "sim/Drawer.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "sim/Supply.h"

namespace kaldo::sim {

namespace {

constexpr std::string_view kHeader1 = "kaldo-sim drawer 1";
constexpr std::string_view kHeader2 = "kaldo-sim drawer 2";
constexpr int kRow = 32;

std::uint16_t Sum(const Chip& chip) {
  std::uint16_t sum = 0;
  for (std::uint8_t b : chip.memory) sum = static_cast<std::uint16_t>(sum + b);
  return sum;
}

// CRC-32 as zip and PNG have it (reflected polynomial 0xEDB88320), continued from `crc`.
std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0) {
  crc = ~crc;
  for (char c : bytes) {
    crc ^= static_cast<unsigned char>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
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

// Reads the block of the chip of `type`, which must come next; of any type for kAnyType, `name`
// naming it in the messages.
constexpr int kAnyType = -1;
Chip ReadBlock(LineCursor& in, int type, bool withCrc, std::string name = {}) {
  if (name.empty()) name = SpecOf(type).name;
  if (in.AtEnd()) throw DrawerTextError(in.Number() + 1, "the file ends before the " + name);
  std::string_view whole;
  std::string_view line = in.Next(whole);
  std::vector<std::string_view> words = Words(line);
  if (type == kAnyType && words.size() >= 2) {
    for (int t = 0; t < kChipTypeCount; ++t)
      if (words[1] == std::to_string(t)) type = t;
  }
  if (words[0] != "chip" || words.size() < 2 || type == kAnyType ||
      words[1] != std::to_string(type))
    throw DrawerTextError(in.Number(), "the block of the " + name + " should begin here");
  Chip chip = Chip::Fresh(type);
  int fuse = 0;
  if (words.size() != 4 || !ParseDigit(words[2], 7, chip.lockBits) ||
      !ParseDigit(words[3], 1, fuse)) {
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
  constexpr std::string_view kFirst = "chip 12 7 1\n";
  constexpr std::string_view kRowLine = "0000 \n";
  constexpr std::string_view kEnd = "end 0000 00000000\n";
  return kFirst.size() + size / kRow * (kRowLine.size() + 2 * kRow) + kEnd.size();
}

std::string BlockText(const Chip& chip) {
  char buf[96];
  std::string block;
  std::snprintf(buf, sizeof buf, "chip %d %d %d\n", chip.type, chip.lockBits, chip.ispFuse ? 1 : 0);
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

Drawer::Drawer() {
  for (int type = 0; type < kChipTypeCount; ++type) chips_[type] = Chip::Fresh(type);
}

std::string Drawer::ToText() const {
  std::string text = std::string(kHeader2) + "\n";
  for (const Chip& chip : chips_) text += BlockText(chip);
  if (!supplied_.empty()) {
    text += "supplied " + std::to_string(supplied_.size()) + "\n";
    for (const Chip& chip : supplied_) text += BlockText(chip);
  }
  return text;
}

bool Drawer::IsDrawerText(std::string_view text) {
  const std::string_view first = text.substr(0, text.find('\n'));
  return first == kHeader1 || first == kHeader2;
}

std::size_t Drawer::LargestText() {
  std::size_t length = kHeader2.size() + 1;
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
  if (header != kHeader1 && header != kHeader2)
    throw DrawerTextError(1, "this is not the first line of a drawer");
  Drawer drawer;
  for (int type = 0; type < kChipTypeCount; ++type)
    drawer.chips_[type] = ReadBlock(in, type, header == kHeader2);
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
          ReadBlock(in, kAnyType, true, "supplied chip " + std::to_string(n)));
    }
    if (!in.AtEnd()) {
      in.Next(whole);
      throw DrawerTextError(in.Number(), "more follows the last supplied chip's block");
    }
  }
  return drawer;
}

}  // namespace kaldo::sim
