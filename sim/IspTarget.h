// The target board at the end of an in-system programming cable: a chip and its crystal, seen at
// the chip's pins RST, SCK and MOSI (inputs) and MISO (output).
//
// The chip is in programming mode only while RST is high, and answers only if it has a serial
// interface (AT89S51, S52, S53, S8252), a running crystal and, on the S53 and S8252, its serial
// programming fuse. Bits go in on SCK's rising edge and take effect on its falling edge, when the
// chip also moves the next bit of its output onto MISO (SPI mode 0, most significant bit first).
// Bytes make frames as the chip's family decodes them; a missing or extra SCK pulse shifts every
// later frame until RST falls. The first instruction must be Programming Enable; every other one
// before it is ignored.
//
// MISO carries the documented output bytes only; in every other byte the chip shifts out the
// byte that went in before it (0 in a frame's first byte), so that a byte read from the wrong
// place is a plausible wrong value. An S53/S8252 instruction the chip lacks (a signature or lock
// read among them) and the S51/S52 signature in lock modes 3 and 4 leave MISO floating (reads 1),
// as does the chip out of programming mode.
//
// Timing, on the simulated clock against the crystal's clock period tCLCL: each SCK phase and
// period at least the family's minimum, MOSI not changed by the write that raises SCK and held
// 2 tCLCL after it, and on the S51/S52 SCK low for 64 tCLCL after RST rises (else the chip is out
// of step until RST falls). A violation corrupts the bit and is flagged. Writes, erases and lock
// writes keep the chip busy for their cycle: a read of the last byte written then gives it with its
// most significant bit complemented, during an erase every read gives 00, and any other
// instruction is lost and flagged.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/Chip.h"
#include "sim/ChipModel.h"
#include "sim/Trace.h"

namespace kaldo::sim {

// What the target flagged: what a careful program never causes.
struct IspFlags {
  unsigned timing = 0;    // an SCK phase or period, MOSI set-up or hold, the wait after RST rises
  unsigned ignored = 0;   // an instruction the chip ignored (before the enable, unknown, locked,
                          // out of range, a lock mode out of order)
  unsigned lostBusy = 0;  // an instruction that came while a write or erase was under way
  unsigned frames = 0;    // instructions decoded
};

class IspTarget;

// One family's instruction set and timing (one file each).
class IspInstructions {
 public:
  struct Family {
    std::uint32_t phaseClocks;   // each SCK high and low phase, in tCLCL
    std::uint32_t periodClocks;  // a whole SCK period (the frequency limit)
    std::uint32_t entryClocks;   // SCK low after RST rises, before its first rise (0: none)
    std::uint64_t eraseNs;
    std::uint64_t writeNs;  // a byte, page or lock write's cycle: this plus writeClocks tCLCL
    std::uint32_t writeClocks;
    std::size_t plainLength;  // a frame's length before the enable
    bool hasFuse;             // a serial programming fuse can silence the interface
  };

  virtual ~IspInstructions() = default;
  virtual const Family& Facts() const = 0;
  // The frame's length, told its first byte.
  virtual std::size_t FrameLength(std::uint8_t first) const = 0;
  // The frame so far (two bytes at least) is Programming Enable.
  virtual bool IsEnable(const std::vector<std::uint8_t>& frame) const = 0;
  // The byte the chip shifts out after the frame's bytes so far, or nothing (the echo).
  virtual std::optional<std::uint8_t> Output(const std::vector<std::uint8_t>& frame,
                                             IspTarget& target) const = 0;
  // The whole frame is in.
  virtual void Execute(const std::vector<std::uint8_t>& frame, IspTarget& target) const = 0;
};

// The instructions of the chip's type, or null for a chip without a serial interface.
const IspInstructions* IspInstructionsOf(const Chip& chip);
const IspInstructions& IspS51Instructions(std::uint16_t codeSize);
const IspInstructions& IspS53Instructions();
const IspInstructions& IspS8252Instructions();

// An output byte that the chip does not drive: MISO floats high.
inline constexpr std::uint8_t kIspSilent = 0xFF;

class IspTarget {
 public:
  // How the target reaches the chip the socket would hold.
  struct Host {
    std::function<void()> sessionStarts;  // RST rose: the socket's chip may change now
    std::function<Chip*()> chip;          // the chip now (null: none)
    std::function<void(const ChipActivity&)> note;
  };
  struct Setup {
    std::uint32_t crystalHz = 3'000'000;
    bool noCrystal = false;
    std::uint32_t writeCycleUs = 0;  // 0: the family's own
  };

  IspTarget(Trace& trace, const Setup& setup, Host host);

  // The levels at the chip's pins from time ns on.
  void Pins(bool rst, bool sck, bool mosi, std::uint64_t ns);
  // The level the chip drives on MISO, or nothing (the line floats).
  std::optional<bool> Miso() const;
  const IspFlags& Flags() const { return flags_; }

  // For the instruction sets.
  Chip& TheChip() { return *chip_; }
  std::uint64_t Now() const { return nowNs_; }
  void Enable() { enabled_ = true; }
  // A code or data cell (index into Chip::memory) for an output byte, under the busy rules and
  // the lock bits; nothing when the read is lost.
  std::optional<std::uint8_t> ReadCell(std::size_t index);
  // The signature or the lock bits for an output byte, under the busy rules.
  std::optional<std::uint8_t> ReadRegister(std::uint8_t value, bool signature);
  // False, flagged, when the chip is busy: the instruction is lost.
  bool Idle(const char* what);
  // A programming cycle starts now: busy for the write cycle (or the erase), DATA polling on cell
  // pollIndex (kNoPoll: none) with the byte written.
  static constexpr std::size_t kNoPoll = static_cast<std::size_t>(-1);
  void StartWrite(std::size_t pollIndex, std::uint8_t written);
  void StartErase();
  void Ignore(const std::string& why);

 private:
  enum class BusyKind : std::uint8_t { None, Write, Erase };

  void StartSession();
  bool Lasted(std::uint64_t fromNs, std::uint32_t clocks) const;
  void TimingFault(const std::string& what, std::uint64_t fromNs, std::uint32_t clocks);
  std::uint64_t WriteCycleNs() const;
  void Rise(bool mosiChanged);
  void Fall();
  void ByteIn(std::uint8_t byte);
  void EndFrame();
  BusyKind Busy() const;
  void Note(const std::string& text, EventKind kind);

  Trace& trace_;
  Setup setup_;
  Host host_;
  IspFlags flags_;
  std::uint64_t nowNs_ = 0;
  bool rst_ = false;
  bool sck_ = false;
  bool mosi_ = false;
  // The session since RST rose.
  Chip* chip_ = nullptr;
  const IspInstructions* set_ = nullptr;
  bool answering_ = false;  // the chip runs and is in step
  bool enabled_ = false;
  bool risen_ = false;  // SCK has risen since RST rose
  std::uint64_t lowSinceNs_ = 0;
  std::uint64_t riseNs_ = 0;
  bool bitPending_ = false;
  bool bit_ = false;
  bool corrupt_ = false;
  std::uint8_t shiftIn_ = 0;
  int bitsIn_ = 0;
  std::uint8_t shiftOut_ = 0;
  std::optional<std::uint8_t> nextOut_;
  std::vector<std::uint8_t> frame_;
  std::size_t frameLength_ = 0;
  // The chip's write or erase cycle, which outlasts a session.
  const Chip* busyChip_ = nullptr;
  BusyKind busy_ = BusyKind::None;
  std::uint64_t busyUntilNs_ = 0;
  std::size_t pollIndex_ = kNoPoll;
  std::uint8_t pollWritten_ = 0;
};

}  // namespace kaldo::sim
