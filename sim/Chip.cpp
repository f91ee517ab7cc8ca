#include "sim/Chip.h"

#include <algorithm>
#include <iterator>

namespace kaldo::sim {

namespace {

constexpr std::uint32_t kUs = 1000;
constexpr std::uint32_t kMs = 1000 * kUs;

// Mode register bits 1-6 as the chips decode them (40-pin: bit 1 always 1, bit 2 P3.3, bit 3
// P2.7, bit 4 P2.6, bit 5 P3.6, bit 6 P3.7; 20-pin: bit 1 P3.3, bits 2 and 4 P3.5/P3.7, bit 3
// P3.4). The timings are the shortest pulse and settle time each part accepts.

// AT89C51, C52, C55: Strobe pulses; a 10 ms erase pulse; 2 ms per byte and lock bit.
const ChipFamily kFamilyC5x{
    "AT89C51/C52/C55",
    {{0x66, ChipOp::ReadCode}, {0x06, ChipOp::ReadSignature}},
    {{0x16, ChipOp::Erase, PulseLine::Strobe, 10 * kMs, 0, false, false},
     {0x6E, ChipOp::WriteByte, PulseLine::Strobe, 0, 2 * kMs, true, false},
     {0x7E, ChipOp::WriteLock1, PulseLine::Strobe, 0, 2 * kMs, false, false},
     {0x1E, ChipOp::WriteLock2, PulseLine::Strobe, 0, 2 * kMs, false, false},
     {0x36, ChipOp::WriteLock3, PulseLine::Strobe, 0, 2 * kMs, false, false}},
    false,
    LockFormat::None,
    false,
    false};

// AT89S51, S52: SelectIn pulses; 150 ms after the erase pulse; 50 us per byte and lock bit.
const ChipFamily kFamilyS5x{
    "AT89S51/S52",
    {{0x62, ChipOp::ReadCode}, {0x02, ChipOp::ReadSignature}, {0x3A, ChipOp::ReadLock}},
    {{0x16, ChipOp::Erase, PulseLine::SelectIn, 0, 150 * kMs, false, false},
     {0x6E, ChipOp::WriteByte, PulseLine::SelectIn, 0, 50 * kUs, true, false},
     {0x7E, ChipOp::WriteLock1, PulseLine::SelectIn, 0, 50 * kUs, false, false},
     {0x1E, ChipOp::WriteLock2, PulseLine::SelectIn, 0, 50 * kUs, false, false},
     {0x36, ChipOp::WriteLock3, PulseLine::SelectIn, 0, 50 * kUs, false, false}},
    false,
    LockFormat::SetBitsFrom2,
    false,
    true};

// AT89S53, S8252: every access needs the programming voltage; lock bits and ISP fuse are written
// as data bytes.
const ChipFamily kFamilyS53{
    "AT89S53/S8252",
    {{0x66, ChipOp::ReadCode},
     {0x06, ChipOp::ReadSignature},
     {0x1E, ChipOp::ReadLock},
     {0x5E, ChipOp::ReadFuse}},
    {{0x16, ChipOp::Erase, PulseLine::Strobe, 10 * kMs, 0, false, false},
     {0x6E, ChipOp::WriteByte, PulseLine::Strobe, 0, 2 * kMs, true, false},
     {0x36, ChipOp::WriteLockByte, PulseLine::Strobe, 0, 2 * kMs, true, false},
     {0x4E, ChipOp::WriteFuse, PulseLine::Strobe, 10 * kMs, 0, true, false}},
    true,
    LockFormat::ClearedBitsFrom2Down,
    false,
    false};

// AT89C55WD, C51RC: SelectIn for erase and bytes (100 us), Strobe pulses of 100 us for the lock
// bits; erase and lock bits need Init cleared.
const ChipFamily kFamilyWD{
    "AT89C55WD/C51RC",
    {{0x62, ChipOp::ReadCode}, {0x02, ChipOp::ReadSignature}, {0x3A, ChipOp::ReadLock}},
    {{0x16, ChipOp::Erase, PulseLine::SelectIn, 0, 150 * kMs, false, true},
     {0x6E, ChipOp::WriteByte, PulseLine::SelectIn, 0, 99 * kUs, true, false},
     {0x7E, ChipOp::WriteLock1, PulseLine::Strobe, 99 * kUs, 0, false, true},
     {0x1E, ChipOp::WriteLock2, PulseLine::Strobe, 99 * kUs, 0, false, true},
     {0x36, ChipOp::WriteLock3, PulseLine::Strobe, 99 * kUs, 0, false, true}},
    false,
    LockFormat::SetBitsFrom2,
    false,
    true};

// AT89C1051, C1051U, C2051, C4051.
const ChipFamily kFamily20Pin{
    "AT89C1051/C2051/C4051",
    {{0x14, ChipOp::ReadCode}, {0x00, ChipOp::ReadSignature}},
    {{0x02, ChipOp::Erase, PulseLine::Strobe, 10 * kMs, 0, false, false},
     {0x1C, ChipOp::WriteByte, PulseLine::Strobe, 0, 2 * kMs, true, false},
     {0x1E, ChipOp::WriteLock1, PulseLine::Strobe, 0, 2 * kMs, false, false},
     {0x0A, ChipOp::WriteLock2, PulseLine::Strobe, 0, 2 * kMs, false, false}},
    false,
    LockFormat::None,
    true,
    false};

// The chips' own table, kept apart from the program's device table and mode codes on purpose: the
// simulator shares no constants with the code it tests, so a wrong value in one of them fails the
// tests instead of passing in both.
// Address-high wiring: A8-A11 on bits 0-3 (AT89C51: bit 4 must be 1), A12 on bit 4, A13 on bit 5,
// A14 on bit 6 (AT89C55) or bit 7 (AT89C55WD, C51RC).
const ChipSpec kSpecs[] = {
    {"AT89C51", 0x1000, {0x1E, 0x51, 0xFF}, 3, &kFamilyC5x, 0x0F, 0x00, 0x10},
    {"AT89C52", 0x2000, {0x1E, 0x52, 0xFF}, 3, &kFamilyC5x, 0x1F, 0x00, 0x00},
    {"AT89C55", 0x5000, {0x1E, 0x55, 0xFF}, 3, &kFamilyC5x, 0x7F, 0x00, 0x00},
    {"AT89S51", 0x1000, {0x1E, 0x51, 0x06}, 3, &kFamilyS5x, 0x0F, 0x00, 0x00},
    {"AT89S52", 0x2000, {0x1E, 0x52, 0x06}, 3, &kFamilyS5x, 0x1F, 0x00, 0x00},
    {"AT89S53", 0x3000, {0x1E, 0x53, 0xFF}, 2, &kFamilyS53, 0x3F, 0x00, 0x00},
    {"AT89S8252", 0x2800, {0x1E, 0x72, 0xFF}, 2, &kFamilyS53, 0x3F, 0x00, 0x00},
    {"AT89C55WD", 0x5000, {0x1E, 0x55, 0x06}, 3, &kFamilyWD, 0x3F, 0x80, 0x00},
    {"AT89C51RC", 0x8000, {0x1E, 0x51, 0x07}, 3, &kFamilyWD, 0x3F, 0x80, 0x00},
    {"AT89C1051", 0x0400, {0x1E, 0x11, 0xFF}, 2, &kFamily20Pin, 0, 0, 0},
    {"AT89C1051U", 0x0400, {0x1E, 0x12, 0xFF}, 2, &kFamily20Pin, 0, 0, 0},
    {"AT89C2051", 0x0800, {0x1E, 0x21, 0xFF}, 2, &kFamily20Pin, 0, 0, 0},
    {"AT89C4051", 0x1000, {0x1E, 0x41, 0xFF}, 2, &kFamily20Pin, 0, 0, 0},
};
static_assert(std::size(kSpecs) == kChipTypeCount, "kChipTypeCount counts the chips of kSpecs");

}  // namespace

const ChipSpec& SpecOf(int type) {
  if (type < 0 || type >= kChipTypeCount) type = 0;
  return kSpecs[type];
}

const char* ChipOpName(ChipOp op) {
  switch (op) {
    case ChipOp::None:
      return "none";
    case ChipOp::ReadCode:
      return "read";
    case ChipOp::ReadSignature:
      return "signature";
    case ChipOp::ReadLock:
      return "lock-read";
    case ChipOp::ReadFuse:
      return "fuse-read";
    case ChipOp::Erase:
      return "erase";
    case ChipOp::WriteByte:
      return "write";
    case ChipOp::WriteLock1:
      return "lock1";
    case ChipOp::WriteLock2:
      return "lock2";
    case ChipOp::WriteLock3:
      return "lock3";
    case ChipOp::WriteLockByte:
      return "lock-byte";
    case ChipOp::WriteFuse:
      return "fuse";
  }
  return "?";
}

Chip Chip::Fresh(int type) {
  Chip chip;
  chip.type = (type < 0 || type >= kChipTypeCount) ? 0 : type;
  chip.memory.assign(SpecOf(chip.type).size, 0xFF);
  return chip;
}

Chip Chip::WithContents(int type, const std::vector<std::uint8_t>& contents) {
  Chip chip = Fresh(type);
  const std::size_t n = std::min(contents.size(), chip.memory.size());
  std::copy_n(contents.begin(), n, chip.memory.begin());
  return chip;
}

void Chip::Erase() {
  std::fill(memory.begin(), memory.end(), 0xFF);
  lockBits = 0;
}

}  // namespace kaldo::sim
