// What a cable's routines work with: the link, the job, the progress display, the crystal the
// user stated, and the steps the two families of in-system programmable chips share. A family's
// routines are in device/IspFamily<Name>.cpp, one table each.
//
//   AT89S51, S52 (IspFamilyS51.cpp): four-byte frames, Programming Enable answered with 69,
//     byte and page mode, signature and lock bits readable, no auto-erase.
//   AT89S53, S8252 (IspFamilyS53.cpp): three-byte frames with the address's high bits in the
//     opcode byte, auto-erase byte writes, lock bits in one byte, no signature or lock read, a
//     serial programming fuse that the programmer board can turn off; the S8252's data EEPROM.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/CommandOutcome.h"
#include "device/DeviceJob.h"
#include "device/DeviceProfiles.h"
#include "device/ProgressDisplay.h"
#include "link/IspLink.h"

namespace kaldo {

// The two memories a cable reaches apart.
enum class IspMemory { Code, DataEeprom };

struct IspPlace {
  IspMemory Memory;
  std::uint16_t Address;
};

class IspSession;

// A programming family over the cable: its timing and its routines.
struct IspFamily {
  // The SCK limits in crystal clocks (tCLCL): each phase at least PhaseClocks, a whole period at
  // least PeriodClocks.
  int PhaseClocks;
  int PeriodClocks;
  // The worst-case byte write cycle for the crystal (DATA polling gives up after a few times it).
  std::int64_t (*ByteWriteNs)(std::uint32_t crystalHz);
  // RST high, the programming enable; false when the chip did not answer (NoAnswer is set).
  bool (*Enter)(IspSession& s);
  // Blank check, read or verify of the job's memory; false at the first failing byte.
  bool (*Read)(IspSession& s, PassUse use);
  // A code job: erase, write every byte that is not blank, verify. A data EEPROM job: each byte
  // that differs written, verify. False at the first byte that differs, or with NoAnswer set.
  bool (*EraseWriteVerify)(IspSession& s);
  // The job's lock bits after a verified write; false when the chip did not take them (Failed
  // set).
  bool (*WriteLockBits)(IspSession& s);
  // After a pass that read FF everywhere: the lock bits programmed (kLockBit1..3); null for a
  // family that cannot read them.
  int (*LockBitsOfBlankChip)(IspSession& s);
  // For a family whose enable is not answered: whether the chip hears, found at a byte of the job
  // that read FF (NoAnswer is set when it does not); null for the others.
  bool (*Hears)(IspSession& s, std::uint32_t address);
  // The signature and lock bits; null when the family has no signature over the cable.
  SignatureReading (*ReadSignature)(IspSession& s);
};

extern const IspFamily kIspFamilyS51;
extern const IspFamily kIspFamilyS53;

// The cable's family of a device; null for a device that cannot be programmed in the circuit.
const IspFamily* FindIspFamily(int deviceType);

class IspSession {
 public:
  IspSession(IspLink& theLink, ProgressDisplay& progress) : link(theLink), display(progress) {}

  IspLink& link;
  ProgressDisplay& display;
  DeviceJob job;
  const IspFamily* family = nullptr;
  std::uint32_t crystalHz = 0;
  bool pageMode = true;  // the AT89S51 and S52 read and write whole pages
  DeviceFailure failure;
  // Set when the chip did not answer (the outcome is NoAnswer), or when a step failed in a way
  // that no byte shows (Failed): why, for the outcome's note.
  std::string noAnswer;
  std::string failed;

  const DeviceInfo& Device() const { return DeviceTable[static_cast<std::size_t>(job.DeviceType)]; }
  // The bytes of the job: the code memory with (on the S8252) the data EEPROM after it, or the
  // data EEPROM alone.
  std::uint32_t JobSize() const;
  // Where byte `address` of the job lies in the chip.
  IspPlace PlaceOf(std::uint32_t address) const;
  std::uint16_t CodeSize() const { return Device().Size - Device().EepromSize; }

  // Before each byte: a stop raises StoppedError; the address readout moves every 256 bytes.
  void AtByte(std::uint32_t address);
  // Judges one byte a pass read; false (failure kept) when it fails the pass.
  bool Judge(std::uint32_t address, std::uint8_t read, PassUse use);
  // The worst case of a byte write cycle, as a number of reads of a frame of `frameBytes` bytes
  // (each SCK period at least PeriodClocks); DATA polling gives up after four times that.
  int PollLimit(int frameBytes) const;
  // How many reads of a frame of `frameBytes` bytes take at least `ns`.
  int ReadsWithin(std::int64_t ns, int frameBytes) const;
  // The wait that RST needs high before the programming enable: at least 64 crystal clocks, and
  // the settling of a crystal that has just been powered.
  void SettleAfterReset();

  // The note of a chip that did not answer: what was seen, and the likely causes.
  void NoAnswer(const std::string& seen);
};

// Clocks for an SCK phase of the family at the crystal: the timer count of IspLink's half-period.
int HalfPeriodCount(const IspFamily& family, std::uint32_t crystalHz);

}  // namespace kaldo
