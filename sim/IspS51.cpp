// The AT89S51 and S52 over their serial interface: four-byte instructions, page frames of two
// header bytes and 256 data bytes, writes that only clear bits, lock modes one after another.
#include <array>
#include <string>

#include "sim/IspTarget.h"

namespace kaldo::sim {

namespace {

constexpr std::uint8_t kEnable1 = 0xAC, kEnable2 = 0x53, kEnableAnswer = 0x69;
constexpr std::uint8_t kReadByte = 0x20, kWriteByte = 0x40, kReadPage = 0x30, kWritePage = 0x50;
constexpr std::uint8_t kReadLock = 0x24, kReadSignature = 0x28;
constexpr std::uint8_t kEraseMask = 0xE0, kErase = 0x80;    // AC 100x xxxx
constexpr std::uint8_t kLockMask = 0xFC, kLockMode = 0xE0;  // AC 1110 00B1B2: mode 1 + B1B2
constexpr std::size_t kPage = 256;
constexpr std::size_t kPageFrame = 2 + kPage;

// Lock mode 2 programs lock bit 1, mode 3 lock bit 2, mode 4 lock bit 3; each needs those before.
constexpr std::array<int, 4> kModeBit = {0, kChipLock1, kChipLock2, kChipLock3};

// Tabled in the data sheets: SCK phases 8 tCLCL (f/16); SCK low 64 tCLCL after RST rises; chip
// erase 500 ms; a byte write 64 tCLCL + 400 us, taken for a page too (no page time is given).
constexpr IspInstructions::Family kFamily = {.phaseClocks = 8,
                                             .periodClocks = 16,
                                             .entryClocks = 64,
                                             .eraseNs = 500'000'000,
                                             .writeNs = 400'000,
                                             .writeClocks = 64,
                                             .plainLength = 4,
                                             .hasFuse = false};

class S51Instructions final : public IspInstructions {
 public:
  explicit S51Instructions(std::uint16_t codeSize) : mask_(codeSize - 1) {}

  const Family& Facts() const override { return kFamily; }

  std::size_t FrameLength(std::uint8_t first) const override {
    return first == kReadPage || first == kWritePage ? kPageFrame : 4;
  }

  bool IsEnable(const std::vector<std::uint8_t>& f) const override {
    return f[0] == kEnable1 && f[1] == kEnable2;
  }

  std::optional<std::uint8_t> Output(const std::vector<std::uint8_t>& f,
                                     IspTarget& target) const override {
    const std::size_t n = f.size();
    if (f[0] == kReadPage) return target.ReadCell(Page(f) + n - 2);
    if (n != 3) return std::nullopt;
    switch (f[0]) {
      case kEnable1:
        return f[1] == kEnable2 ? std::optional<std::uint8_t>(kEnableAnswer) : std::nullopt;
      case kReadByte:
        return target.ReadCell(Address(f));
      case kReadSignature:
        return Signature(f, target);
      case kReadLock:
        return target.ReadRegister(LockByte(target.TheChip().lockBits), false);
      default:
        return std::nullopt;
    }
  }

  void Execute(const std::vector<std::uint8_t>& f, IspTarget& target) const override {
    Chip& chip = target.TheChip();
    switch (f[0]) {
      case kEnable1:
        if (f[1] == kEnable2) {
          target.Enable();
        } else if ((f[1] & kEraseMask) == kErase) {
          if (!target.Idle("chip erase")) return;
          chip.Erase();
          target.StartErase();
        } else if ((f[1] & kLockMask) == kLockMode) {
          WriteLockMode(f[1] & 0x03, target);
        } else {
          target.Ignore("no such instruction");
        }
        return;
      case kWriteByte:
        if (Writable(target, "byte write")) {
          Program(chip, Address(f), f[3]);
          target.StartWrite(Address(f), f[3]);
        }
        return;
      case kWritePage:
        if (Writable(target, "page write")) {
          const std::size_t page = Page(f);
          for (std::size_t i = 0; i < kPage; ++i) Program(chip, page + i, f[2 + i]);
          target.StartWrite(page + kPage - 1, f.back());
        }
        return;
      case kReadByte:
      case kReadPage:
      case kReadSignature:
      case kReadLock:
        return;
      default:
        target.Ignore("no such instruction");
    }
  }

 private:
  std::size_t Address(const std::vector<std::uint8_t>& f) const {
    return ((std::size_t{f[1]} << 8) | f[2]) & mask_;
  }
  std::size_t Page(const std::vector<std::uint8_t>& f) const {
    return (std::size_t{f[1]} << 8) & mask_;
  }

  static std::optional<std::uint8_t> Signature(const std::vector<std::uint8_t>& f,
                                               IspTarget& target) {
    const Chip& chip = target.TheChip();
    if (chip.lockBits & (kChipLock2 | kChipLock3)) return kIspSilent;  // lock modes 3 and 4
    const ChipSpec& spec = SpecOf(chip.type);
    const int index = f[1] & 0x1F;  // signature byte i at i00H: A7 and bit 0 of byte 3 are 0
    std::uint8_t value = 0xFF;
    if ((f[2] & 0x81) == 0 && index < spec.signatureCount) value = spec.signature[index];
    return target.ReadRegister(value, true);
  }

  // Read back 1 = programmed: lock bit 1 in bit 2, lock bit 2 in bit 3, lock bit 3 in bit 4.
  static std::uint8_t LockByte(int lockBits) {
    return static_cast<std::uint8_t>(((lockBits & kChipLock1) ? 0x04 : 0) |
                                     ((lockBits & kChipLock2) ? 0x08 : 0) |
                                     ((lockBits & kChipLock3) ? 0x10 : 0));
  }

  // Lock bits set (mode 2 and up) stop every write until a chip erase.
  static bool Writable(IspTarget& target, const char* what) {
    if (!target.Idle(what)) return false;
    if (target.TheChip().lockBits != 0) {
      target.Ignore("the lock bits forbid writes");
      return false;
    }
    return true;
  }

  // No erase before a write: the cell keeps only the bits both hold.
  static void Program(Chip& chip, std::size_t index, std::uint8_t value) {
    if (chip.wontProgram.count(static_cast<std::uint16_t>(index)) != 0) return;
    chip.memory[index] &= value;
  }

  // B1B2 0 is mode 1 (nothing to program); modes 2-4 only in order.
  static void WriteLockMode(int b1b2, IspTarget& target) {
    if (!target.Idle("lock bit write")) return;
    if (b1b2 == 0) return;
    Chip& chip = target.TheChip();
    int before = 0;
    for (int mode = 1; mode < b1b2; ++mode) before |= kModeBit[static_cast<std::size_t>(mode)];
    if ((chip.lockBits & before) != before) {
      target.Ignore("lock mode " + std::to_string(b1b2 + 1) + " before mode " +
                    std::to_string(b1b2));
      return;
    }
    chip.lockBits |= kModeBit[static_cast<std::size_t>(b1b2)];
    target.StartWrite(IspTarget::kNoPoll, 0);
  }

  std::size_t mask_;
};

}  // namespace

const IspInstructions& IspS51Instructions(std::uint16_t codeSize) {
  static const S51Instructions s51(0x1000);
  static const S51Instructions s52(0x2000);
  return codeSize <= 0x1000 ? s51 : s52;
}

}  // namespace kaldo::sim
