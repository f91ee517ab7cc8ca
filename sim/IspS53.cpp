// The AT89S53 and S8252 over their serial interface: three-byte instructions whose first byte
// carries the high address bits beside the opcode, writes that erase the byte first, the lock bits
// in one instruction, no signature and no lock read. The S8252 adds its data EEPROM, which the
// chip keeps after its code (Chip::memory from 0x2000).
#include "sim/IspTarget.h"

namespace kaldo::sim {

namespace {

constexpr std::uint8_t kEnable1 = 0xAC, kEnable2 = 0x53;
// Second byte after AC: xxxx x100 chip erase, LB1 LB2 LB3 x x 111 the lock bits (0 = program).
constexpr std::uint8_t kLowThree = 0x07, kErase = 0x04, kLock = 0x07;
constexpr std::size_t kS8252Eeprom = 0x2000;

// SCK phases 24 tCLCL, f/40; chip erase about 16 ms; a byte write typically under 2.5 ms, taken
// as its worst case (IspConnection::writeCycleUs sets a slower one).
constexpr IspInstructions::Family kFamily = {.phaseClocks = 24,
                                             .periodClocks = 40,
                                             .entryClocks = 0,
                                             .eraseNs = 16'000'000,
                                             .writeNs = 2'500'000,
                                             .writeClocks = 0,
                                             .plainLength = 3,
                                             .hasFuse = true};

// A decoded first byte: what it asks and where.
struct Access {
  enum Kind : std::uint8_t { None, Read, Write } kind = None;
  std::size_t index = 0;  // into Chip::memory
  bool inRange = true;
};

class S53Family : public IspInstructions {
 public:
  const Family& Facts() const override { return kFamily; }
  std::size_t FrameLength(std::uint8_t) const override { return 3; }
  bool IsEnable(const std::vector<std::uint8_t>& f) const override {
    return f[0] == kEnable1 && f[1] == kEnable2;
  }

  std::optional<std::uint8_t> Output(const std::vector<std::uint8_t>& f,
                                     IspTarget& target) const override {
    if (f[0] == kEnable1) return std::nullopt;
    const Access a = Decode(f);
    if (a.kind == Access::Read && a.inRange) return target.ReadCell(a.index);
    // No such instruction (a signature or lock read among them) and no such cell: no answer.
    if (a.kind == Access::None || !a.inRange) return kIspSilent;
    return std::nullopt;
  }

  void Execute(const std::vector<std::uint8_t>& f, IspTarget& target) const override {
    Chip& chip = target.TheChip();
    if (f[0] == kEnable1) {
      if (f[1] == kEnable2) {
        target.Enable();
      } else if ((f[1] & kLowThree) == kErase) {
        if (!target.Idle("chip erase")) return;
        chip.Erase();
        target.StartErase();
      } else if ((f[1] & kLowThree) == kLock) {
        if (!target.Idle("lock bit write")) return;
        if ((f[1] & 0x80) == 0) chip.lockBits |= kChipLock1;
        if ((f[1] & 0x40) == 0) chip.lockBits |= kChipLock2;
        if ((f[1] & 0x20) == 0) chip.lockBits |= kChipLock3;
        target.StartWrite(IspTarget::kNoPoll, 0);
      } else {
        target.Ignore("no such instruction");
      }
      return;
    }
    const Access a = Decode(f);
    if (a.kind == Access::None) return target.Ignore("no such instruction");
    if (!a.inRange) return target.Ignore("no memory at that address");
    if (a.kind == Access::Read || !target.Idle("write")) return;
    if (chip.lockBits != 0) return target.Ignore("the lock bits forbid writes");
    if (chip.wontProgram.count(static_cast<std::uint16_t>(a.index)) == 0)
      chip.memory[a.index] = f[2];
    target.StartWrite(a.index, f[2]);
  }

 protected:
  virtual Access Decode(const std::vector<std::uint8_t>& f) const = 0;
};

// A12-A8 in bits 7-3, A13 in bit 2, then 01 read or 10 write; 12 KB of code.
class S53Instructions final : public S53Family {
  Access Decode(const std::vector<std::uint8_t>& f) const override {
    Access a;
    switch (f[0] & 0x03) {
      case 0x01:
        a.kind = Access::Read;
        break;
      case 0x02:
        a.kind = Access::Write;
        break;
      default:
        return a;
    }
    a.index = (std::size_t{f[0] & 0xF8u} << 5) | (std::size_t{f[0] & 0x04u} << 11) | f[1];
    a.inRange = a.index < 0x3000;
    return a;
  }
};

// Code: A12-A8 in bits 7-3, then 001 read or 010 write. Data: A10-A8 in bits 5-3, then 101 read
// or 110 write.
class S8252Instructions final : public S53Family {
  Access Decode(const std::vector<std::uint8_t>& f) const override {
    Access a;
    const std::size_t high = f[0] >> 3;
    switch (f[0] & kLowThree) {
      case 0x01:
      case 0x02:
        a.index = (high << 8) | f[1];
        break;
      case 0x05:
      case 0x06:
        a.index = kS8252Eeprom + (((high & 0x07) << 8) | f[1]);
        break;
      default:
        return a;
    }
    a.kind = (f[0] & 0x03) == 0x01 ? Access::Read : Access::Write;
    return a;
  }
};

}  // namespace

const IspInstructions& IspS53Instructions() {
  static const S53Instructions s53;
  return s53;
}

const IspInstructions& IspS8252Instructions() {
  static const S8252Instructions s8252;
  return s8252;
}

}  // namespace kaldo::sim
