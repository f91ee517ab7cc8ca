// What a device family's routines work with: the board, the job (image and program bits), the
// progress display and the waits, and the steps that several families share.
#pragma once

#include <cstdint>
#include <string>

#include "core/model/CodeImage.h"
#include "device/CommandOutcome.h"
#include "device/DeviceJob.h"
#include "device/DeviceProfiles.h"
#include "device/ProgressDisplay.h"
#include "link/Board.h"

namespace kaldo {

// The line that carries a byte-write or erase pulse: Strobe (pin 1) or SelectIn (pin 17).
enum class WritePulse { Strobe, SelectIn };

class RoutineContext {
 public:
  RoutineContext(Board& theBoard, ProgressDisplay& progress, const RoutineWaits& waits)
      : board(theBoard), display(progress), waits_(waits) {}

  DeviceJob job;  // the command's job; its device has routines
  Board& board;
  ProgressDisplay& display;
  DeviceFailure failure;  // the failing byte of the last pass that found one

  // The wait `which` of the routine waits.
  void Wait(RoutineWaits::Wait RoutineWaits::*which);
  void LoadAddress(const RoutineSet& p, std::uint32_t address);
  // The shift-out, shift-in and read-back of one byte at the latched mode and address.
  int ReadLatched();

  // Blank check, read and verify: the operation frame around one reading pass.
  bool ReadRoutine(const RoutineSet& p, PassUse use);
  // Writes every byte of the buffer that is not blank, with the pulse and the device's wait.
  void ProgrammingPass(const RoutineSet& p, WritePulse pulse);
  // Latches the read mode, shows "Verifying" and compares the device with the buffer.
  bool VerifyPass(const RoutineSet& p);

  // For each lock bit selected in the program bits, in the order lock bit 1, 2, 3: its mode code
  // latched, then `pulse`.
  template <std::size_t N, typename Pulse>
  void PulseSelectedLockBits(const int (&bits)[N], const int (&modes)[N], Pulse pulse) {
    for (std::size_t i = 0; i < N; ++i) {
      if (!(job.ProgramBits & bits[i])) continue;
      board.LatchMode(modes[i]);
      pulse();
    }
  }

 private:
  // Before each byte of a pass: a stop raises StoppedError, and the address readout moves at the
  // start of every 256-byte block but the first.
  void AtByte(std::uint32_t address);
  // Reads addresses 0 .. DeviceSize-1 through the latched mode; false at the first failing byte
  // (kept in failure). 20-pin devices step their address counter after every byte that passes.
  bool ReadingPass(const RoutineSet& p, PassUse use);

  const RoutineWaits& waits_;
};

// The signature report's lines: a byte as two hexadecimal digits; the lock-bit lines, where `bits`
// are the masks of Lock Bit-1, -2, -3 in the lock byte and `setMeansOn` tells which state the
// device reports for a programmed bit.
std::string ReportByte(int value);
// The lock bits that `lockByte` says are programmed, as ProgBits: bits[i] holds Lock Bit-(i+1),
// programmed when it is set (setMeansOn) or clear.
int LockBitsOn(int lockByte, const int (&bits)[3], bool setMeansOn);
std::string LockBitLines(int lockByte, const int (&bits)[3], bool setMeansOn);

// The lock bits (and fuse) of the job's program bits by the family's routine, then the board reset.
void ProgramLockBits(RoutineContext& c, const RoutineSet& p);

// The lock bits a 40-pin device can select, in the order they are written.
inline constexpr int kLockBits40[3] = {kLockBit1, kLockBit2, kLockBit3};

// Steps that two families share.
namespace shared_steps {
// Blank check, read and verify as every family has them so far: RoutineContext::ReadRoutine.
bool ReadPass(RoutineContext& c, const RoutineSet& p, PassUse use);
// The 40-pin lock bits one mode-coded pulse each, followed by `wait` (AT89C51 group: Strobe and
// 2 ms; AT89S51 group: SelectIn and 50 us).
void OnePulsePerLockBit(RoutineContext& c, WritePulse pulse,
                        RoutineWaits::Wait RoutineWaits::*wait);
// The 40-pin Strobe family's erase, write and verify (AT89C51 group, AT89S53 group). With
// `autoFeedAround`, AutoFeed drops before the erase code is latched and rises again only after a
// verify pass without mismatch; otherwise it drops after the erase code and rises after the writes.
bool StrobeEraseWriteVerify(RoutineContext& c, const RoutineSet& p, bool autoFeedAround);
// The SelectIn family's two erase cycles, writes and verify (AT89S51 group, AT89C55WD group);
// `eraseClearsInit`: Init held low in each erase cycle.
bool SelectInEraseWriteVerify(RoutineContext& c, const RoutineSet& p, bool eraseClearsInit);
// Three signature bytes at 0x000, 0x100, 0x200 under mode 0x02, then the lock byte under 0x3A.
SignatureReading SignatureWithLockByte(RoutineContext& c, const RoutineSet& p);
}  // namespace shared_steps

}  // namespace kaldo
