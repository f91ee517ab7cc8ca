#include "sim/Drawer.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace kaldo::sim {

namespace {

constexpr const char* kHeader = "kaldo-sim drawer 1";
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

bool ParseHex(const std::string& text, unsigned long& value) {
  if (text.empty() || text.size() > 8) return false;
  value = 0;
  for (char c : text) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    value = value * 16 + static_cast<unsigned long>(d);
  }
  return true;
}

// Reads one chip block whose "chip" line has been read; false when it is damaged. A block that
// ends without its "end" line leaves the next block's "chip" line unread.
bool ReadBlock(std::istringstream& in, int type, int lock, int fuse, Chip& out) {
  Chip chip = Chip::Fresh(type);
  chip.lockBits = lock;
  chip.ispFuse = fuse != 0;
  std::string line;
  for (auto at = in.tellg(); std::getline(in, line); at = in.tellg()) {
    std::istringstream words(line);
    std::string first, second, extra;
    words >> first >> second;
    if (first == "chip") {
      in.seekg(at);
      return false;
    }
    if (words >> extra) return false;
    unsigned long value = 0;
    if (first == "end") {
      if (!ParseHex(second, value) || value != Sum(chip)) return false;
      out = std::move(chip);
      return true;
    }
    if (!ParseHex(first, value) || value % kRow != 0 || value + kRow > chip.memory.size() ||
        second.size() != 2 * kRow) {
      return false;
    }
    for (int i = 0; i < kRow; ++i) {
      const int hi = HexDigit(second[2 * i]);
      const int lo = HexDigit(second[2 * i + 1]);
      if (hi < 0 || lo < 0) return false;
      chip.memory[value + i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
  }
  return false;
}

}  // namespace

Drawer::Drawer() {
  for (int type = 0; type < kChipTypeCount; ++type) chips_[type] = Chip::Fresh(type);
}

std::string Drawer::ToText() const {
  std::string text = std::string(kHeader) + "\n";
  char buf[96];
  for (const Chip& chip : chips_) {
    std::snprintf(buf, sizeof buf, "chip %d %d %d\n", chip.type, chip.lockBits,
                  chip.ispFuse ? 1 : 0);
    text += buf;
    for (std::size_t row = 0; row < chip.memory.size(); row += kRow) {
      bool blank = true;
      for (int i = 0; i < kRow; ++i) blank = blank && chip.memory[row + i] == 0xFF;
      if (blank) continue;
      std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(row));
      text += buf;
      for (int i = 0; i < kRow; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", chip.memory[row + i]);
        text += buf;
      }
      text += "\n";
    }
    std::snprintf(buf, sizeof buf, "end %04X\n", Sum(chip));
    text += buf;
  }
  return text;
}

Drawer Drawer::FromText(const std::string& text) {
  Drawer drawer;
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) return drawer;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string word;
    int type = -1, lock = -1, fuse = -1;
    if (!(words >> word) || word != "chip" || !(words >> type >> lock >> fuse)) continue;
    if (type < 0 || type >= kChipTypeCount || lock < 0 || lock > 7 || fuse < 0 || fuse > 1) {
      continue;
    }
    Chip chip;
    if (ReadBlock(in, type, lock, fuse, chip)) drawer.chips_[type] = std::move(chip);
  }
  return drawer;
}

Drawer Drawer::Load(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return Drawer();
  std::ostringstream content;
  content << file.rdbuf();
  return FromText(content.str());
}

bool Drawer::Save(const std::string& path) const {
  const std::string temp = path + ".tmp";
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file << ToText();
    file.flush();
    if (!file) {
      const int err = errno;
      file.close();
      std::remove(temp.c_str());
      errno = err;
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    std::remove(temp.c_str());
    errno = err;
    return false;
  }
  return true;
}

}  // namespace kaldo::sim
