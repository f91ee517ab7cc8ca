#include "sim/Chip.h"

#include <algorithm>
#include <iterator>

#include "core/model/DeviceTable.h"

namespace kaldo::sim {

namespace {

constexpr std::uint32_t kUs = 1000;
constexpr std::uint32_t kMs = 1000 * kUs;

constexpr bool SameText(const char* a, const char* b) {
  for (; *a != 0 || *b != 0; ++a, ++b)
    if (*a != *b) return false;
  return true;
}

// The chips' table and the program's device table, written apart, name the same chips in the same
// order with the same sizes and signatures.
constexpr bool ChipsMatchTheDeviceTable() {
  if (kChipTypeCount != kDeviceCount) return false;
  for (int t = 0; t < kChipTypeCount; ++t) {
    const ChipSpec& chip = kChipSpecs[t];
    const DeviceInfo& device = DeviceTable[static_cast<std::size_t>(t)];
    if (chip.name[0] != 'A' || chip.name[1] != 'T' || !SameText(chip.name + 2, device.PartName))
      return false;
    if (chip.size != device.Size || chip.signatureCount != device.SignatureCount) return false;
    for (int i = 0; i < chip.signatureCount; ++i)
      if (chip.signature[i] != device.Signature[static_cast<std::size_t>(i)]) return false;
  }
  return true;
}
static_assert(ChipsMatchTheDeviceTable(),
              "the simulator's chips and the device table name the same chips in the same order, "
              "with the same sizes and signatures");

}  // namespace

// Mode register bits 1-6 as the chips decode them (40-pin: bit 1 always 1, bit 2 P3.3, bit 3
// P2.7, bit 4 P2.6, bit 5 P3.6, bit 6 P3.7; 20-pin: bit 1 P3.3, bits 2 and 4 P3.5/P3.7, bit 3
// P3.4). The timings are the shortest pulse and settle time each part accepts.

// AT89C51, C52, C55: Strobe pulses; a 10 ms erase pulse; 2 ms per byte and lock bit.
const ChipFamily kChipFamilyC51{
    .name = "AT89C51/C52/C55",
    .reads = {{0x66, ChipOp::ReadCode}, {0x06, ChipOp::ReadSignature}},
    .cycles = {{0x16, ChipOp::Erase, PulseLine::Strobe, 10 * kMs, 0, false, false},
               {0x6E, ChipOp::WriteByte, PulseLine::Strobe, 0, 2 * kMs, true, false},
               {0x7E, ChipOp::WriteLock1, PulseLine::Strobe, 0, 2 * kMs, false, false},
               {0x1E, ChipOp::WriteLock2, PulseLine::Strobe, 0, 2 * kMs, false, false},
               {0x36, ChipOp::WriteLock3, PulseLine::Strobe, 0, 2 * kMs, false, false}}};

// AT89S51, S52: SelectIn pulses; 150 ms after the erase pulse; 50 us per byte and lock bit.
const ChipFamily kChipFamilyS51{
    .name = "AT89S51/S52",
    .reads = {{0x62, ChipOp::ReadCode}, {0x02, ChipOp::ReadSignature}, {0x3A, ChipOp::ReadLock}},
    .cycles = {{0x16, ChipOp::Erase, PulseLine::SelectIn, 0, 150 * kMs, false, false},
               {0x6E, ChipOp::WriteByte, PulseLine::SelectIn, 0, 50 * kUs, true, false},
               {0x7E, ChipOp::WriteLock1, PulseLine::SelectIn, 0, 50 * kUs, false, false},
               {0x1E, ChipOp::WriteLock2, PulseLine::SelectIn, 0, 50 * kUs, false, false},
               {0x36, ChipOp::WriteLock3, PulseLine::SelectIn, 0, 50 * kUs, false, false}},
    .lockFormat = LockFormat::SetBitsFrom2,
    .signatureAtPages = true};

// AT89S53, S8252: every access needs the programming voltage; lock bits and ISP fuse are written
// as data bytes.
const ChipFamily kChipFamilyS53{
    .name = "AT89S53/S8252",
    .reads = {{0x66, ChipOp::ReadCode},
              {0x06, ChipOp::ReadSignature},
              {0x1E, ChipOp::ReadLock},
              {0x5E, ChipOp::ReadFuse}},
    .cycles = {{0x16, ChipOp::Erase, PulseLine::Strobe, 10 * kMs, 0, false, false},
               {0x6E, ChipOp::WriteByte, PulseLine::Strobe, 0, 2 * kMs, true, false},
               {0x36, ChipOp::WriteLockByte, PulseLine::Strobe, 0, 2 * kMs, true, false},
               {0x4E, ChipOp::WriteFuse, PulseLine::Strobe, 10 * kMs, 0, true, false}},
    .readsNeedProgrammingVoltage = true,
    .lockFormat = LockFormat::ClearedBitsFrom2Down};

// AT89C55WD, C51RC: SelectIn for erase and bytes (100 us), Strobe pulses of 100 us for the lock
// bits; erase and lock bits need Init cleared.
const ChipFamily kChipFamilyC55WD{
    .name = "AT89C55WD/C51RC",
    .reads = {{0x62, ChipOp::ReadCode}, {0x02, ChipOp::ReadSignature}, {0x3A, ChipOp::ReadLock}},
    .cycles = {{0x16, ChipOp::Erase, PulseLine::SelectIn, 0, 150 * kMs, false, true},
               {0x6E, ChipOp::WriteByte, PulseLine::SelectIn, 0, 99 * kUs, true, false},
               {0x7E, ChipOp::WriteLock1, PulseLine::Strobe, 99 * kUs, 0, false, true},
               {0x1E, ChipOp::WriteLock2, PulseLine::Strobe, 99 * kUs, 0, false, true},
               {0x36, ChipOp::WriteLock3, PulseLine::Strobe, 99 * kUs, 0, false, true}},
    .lockFormat = LockFormat::SetBitsFrom2,
    .signatureAtPages = true};

// AT89C1051, C1051U, C2051, C4051.
const ChipFamily kChipFamilyC1051{
    .name = "AT89C1051/C2051/C4051",
    .reads = {{0x14, ChipOp::ReadCode}, {0x00, ChipOp::ReadSignature}},
    .cycles = {{0x02, ChipOp::Erase, PulseLine::Strobe, 10 * kMs, 0, false, false},
               {0x1C, ChipOp::WriteByte, PulseLine::Strobe, 0, 2 * kMs, true, false},
               {0x1E, ChipOp::WriteLock1, PulseLine::Strobe, 0, 2 * kMs, false, false},
               {0x0A, ChipOp::WriteLock2, PulseLine::Strobe, 0, 2 * kMs, false, false}},
    .twentyPin = true};

const ChipSpec& SpecOf(int type) {
  if (type < 0 || type >= kChipTypeCount) type = 0;
  return kChipSpecs[type];
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
