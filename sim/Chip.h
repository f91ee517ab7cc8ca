// A chip for the simulated programmer's socket: its type, its code memory, its lock bits and ISP
// fuse, and the faults a test may give it. Plain state; ChipModel gives it its behaviour.
#pragma once

#include <cstdint>
#include <iterator>
#include <set>
#include <vector>

namespace kaldo::sim {

// Lock bits as the chip keeps them (1 = programmed).
inline constexpr int kChipLock1 = 0x01;
inline constexpr int kChipLock2 = 0x02;
inline constexpr int kChipLock3 = 0x04;

// What a code read gives on a chip whose lock bit 2 or 3 is programmed: the contents are hidden.
inline constexpr std::uint8_t kLockedReadPattern = 0xFF;

struct Chip {
  int type = 0;
  std::vector<std::uint8_t> memory;  // the type's size, erased cells 0xFF
  int lockBits = 0;
  bool ispFuse = true;  // AT89S53, AT89S8252: in-system programming enabled (as shipped)
  std::set<std::uint16_t> wontProgram;  // cells whose writes do not take (erase still clears them)

  // A chip of the type, erased. A type outside the table is taken as 0.
  static Chip Fresh(int type);
  // A chip of the type holding the given bytes from address 0 (the rest erased).
  static Chip WithContents(int type, const std::vector<std::uint8_t>& contents);

  std::uint16_t Size() const { return static_cast<std::uint16_t>(memory.size()); }
  void Erase();
  bool operator==(const Chip&) const = default;
};

// Where the programming pulse arrives.
enum class PulseLine : std::uint8_t { Strobe, SelectIn };

enum class ChipOp : std::uint8_t {
  None,
  ReadCode,
  ReadSignature,
  ReadLock,
  ReadFuse,
  Erase,
  WriteByte,
  WriteLock1,
  WriteLock2,
  WriteLock3,
  WriteLockByte,  // lock bits 1, 2, 3 as data bits 7, 6, 5 (0 = program)
  WriteFuse,      // ISP fuse as data bit 0 (0 = enabled)
};

const char* ChipOpName(ChipOp op);

// A programming cycle: the mode code that selects it, the line that gives its pulse, how long the
// pulse must last and how long everything must then stay unchanged, and what it needs besides
// the programming voltage.
struct CycleSpec {
  std::uint8_t mode;  // mode register bits 1-6
  ChipOp op;
  PulseLine line;
  std::uint32_t minPulseNs;
  std::uint32_t minHoldNs;
  bool needsData;     // the board drives the data pins
  bool needsInitLow;  // Init line cleared
};

struct ReadSpec {
  std::uint8_t mode;
  ChipOp op;
};

enum class LockFormat : std::uint8_t { None, SetBitsFrom2, ClearedBitsFrom2Down };

// One family of chips: the same mode codes, pulses and timings.
struct ChipFamily {
  const char* name;
  std::vector<ReadSpec> reads;
  std::vector<CycleSpec> cycles;
  bool readsNeedProgrammingVoltage = false;
  LockFormat lockFormat = LockFormat::None;
  bool twentyPin = false;  // no address pins: internal address counter, data bus bit-reversed
  bool signatureAtPages = false;  // signature at 0x000, 0x100, 0x200 (else at 0x30, 0x31, 0x32)
};

// The families, named after their first chip: C51 (AT89C51, C52, C55), S51 (S51, S52), S53 (S53,
// S8252), C55WD (C55WD, C51RC), C1051 (the 20-pin C1051, C1051U, C2051, C4051).
extern const ChipFamily kChipFamilyC51;
extern const ChipFamily kChipFamilyS51;
extern const ChipFamily kChipFamilyS53;
extern const ChipFamily kChipFamilyC55WD;
extern const ChipFamily kChipFamilyC1051;

struct ChipSpec {
  const char* name;
  std::uint16_t size;
  std::uint8_t signature[3];  // unused ones 0xFF
  int signatureCount;
  const ChipFamily* family;
  // 40-pin address form: address-high bits that carry A8 upward, the bit that carries A14 when
  // it is not in that run, and bits that must be 1. Any other address-high bit must be 0.
  std::uint8_t highAddressBits = 0;
  std::uint8_t a14Bit = 0;
  std::uint8_t highRequiredBits = 0;
};

// The chips' own table, one row per chip type in the device list's order (a new chip goes at the
// end: the chips file keeps them by index). It is written from the data sheets apart from the
// program's device table and mode codes on purpose: the simulator shares no constants with the
// code it tests, so a wrong value in one of them fails the tests instead of passing in both; the
// build only holds the two tables to the same chips, sizes and signatures.
// Address-high wiring: A8-A11 on bits 0-3 (AT89C51: bit 4 must be 1), A12 on bit 4, A13 on bit 5,
// A14 on bit 6 (AT89C55) or bit 7 (AT89C55WD, C51RC).
inline constexpr ChipSpec kChipSpecs[] = {
    {.name = "AT89C51",
     .size = 0x1000,
     .signature = {0x1E, 0x51, 0xFF},
     .signatureCount = 3,
     .family = &kChipFamilyC51,
     .highAddressBits = 0x0F,
     .highRequiredBits = 0x10},
    {.name = "AT89C52",
     .size = 0x2000,
     .signature = {0x1E, 0x52, 0xFF},
     .signatureCount = 3,
     .family = &kChipFamilyC51,
     .highAddressBits = 0x1F},
    {.name = "AT89C55",
     .size = 0x5000,
     .signature = {0x1E, 0x55, 0xFF},
     .signatureCount = 3,
     .family = &kChipFamilyC51,
     .highAddressBits = 0x7F},
    {.name = "AT89S51",
     .size = 0x1000,
     .signature = {0x1E, 0x51, 0x06},
     .signatureCount = 3,
     .family = &kChipFamilyS51,
     .highAddressBits = 0x0F},
    {.name = "AT89S52",
     .size = 0x2000,
     .signature = {0x1E, 0x52, 0x06},
     .signatureCount = 3,
     .family = &kChipFamilyS51,
     .highAddressBits = 0x1F},
    {.name = "AT89S53",
     .size = 0x3000,
     .signature = {0x1E, 0x53, 0xFF},
     .signatureCount = 2,
     .family = &kChipFamilyS53,
     .highAddressBits = 0x3F},
    {.name = "AT89S8252",
     .size = 0x2800,
     .signature = {0x1E, 0x72, 0xFF},
     .signatureCount = 2,
     .family = &kChipFamilyS53,
     .highAddressBits = 0x3F},
    {.name = "AT89C55WD",
     .size = 0x5000,
     .signature = {0x1E, 0x55, 0x06},
     .signatureCount = 3,
     .family = &kChipFamilyC55WD,
     .highAddressBits = 0x3F,
     .a14Bit = 0x80},
    {.name = "AT89C51RC",
     .size = 0x8000,
     .signature = {0x1E, 0x51, 0x07},
     .signatureCount = 3,
     .family = &kChipFamilyC55WD,
     .highAddressBits = 0x3F,
     .a14Bit = 0x80},
    {.name = "AT89C1051",
     .size = 0x0400,
     .signature = {0x1E, 0x11, 0xFF},
     .signatureCount = 2,
     .family = &kChipFamilyC1051},
    {.name = "AT89C1051U",
     .size = 0x0400,
     .signature = {0x1E, 0x12, 0xFF},
     .signatureCount = 2,
     .family = &kChipFamilyC1051},
    {.name = "AT89C2051",
     .size = 0x0800,
     .signature = {0x1E, 0x21, 0xFF},
     .signatureCount = 2,
     .family = &kChipFamilyC1051},
    {.name = "AT89C4051",
     .size = 0x1000,
     .signature = {0x1E, 0x41, 0xFF},
     .signatureCount = 2,
     .family = &kChipFamilyC1051},
};

// The chip types, numbered in the device list's order.
inline constexpr int kChipTypeCount = static_cast<int>(std::size(kChipSpecs));

const ChipSpec& SpecOf(int type);

}  // namespace kaldo::sim
