// A chip for the simulated programmer's socket: its type, its code memory, its lock bits and ISP
// fuse, and the faults a test may give it. Plain state; ChipModel gives it its behaviour.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

namespace kaldo::sim {

// The chip types, numbered in the device list's order: one for each row of the chips' table.
inline constexpr int kChipTypeCount = 13;

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
  bool readsNeedProgrammingVoltage;
  LockFormat lockFormat;
  bool twentyPin;         // no address pins: internal address counter, data bus bit-reversed
  bool signatureAtPages;  // signature at 0x000, 0x100, 0x200 (else at 0x30, 0x31, 0x32)
};

struct ChipSpec {
  const char* name;
  std::uint16_t size;
  std::uint8_t signature[3];
  int signatureCount;
  const ChipFamily* family;
  // 40-pin address form: address-high bits that carry A8 upward, the bit that carries A14 when
  // it is not in that run, and bits that must be 1. Any other address-high bit must be 0.
  std::uint8_t highAddressBits;
  std::uint8_t a14Bit;
  std::uint8_t highRequiredBits;
};

const ChipSpec& SpecOf(int type);

}  // namespace kaldo::sim
