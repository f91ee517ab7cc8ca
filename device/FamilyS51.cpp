// The AT89S51 and S52: erase, byte and lock pulses on SelectIn; the chip erase runs twice, each
// time in its own operation; the signature read ends with the lock byte.
#include "device/RoutineContext.h"

namespace kaldo {

namespace {

constexpr int kSelectableLockBits[3] = {kLockBit1, kLockBit2, kLockBit3};

bool Read(RoutineContext& c, const RoutineProfile& p, PassUse use) {
  return c.ReadRoutine(p, use);
}

bool EraseWriteVerify(RoutineContext& c, const RoutineProfile& p) {
  return shared_steps::SelectInEraseWriteVerify(c, p, false);
}

// One mode-coded SelectIn pulse and 50 us per lock bit.
void WriteLockBits(RoutineContext& c, const RoutineProfile&) {
  Board& board = c.board;
  board.EnableDataOutputs(false);
  board.BeginOperation();
  board.SetModeBit0();
  board.ClearAutoFeed();
  c.PulseSelectedLockBits(kSelectableLockBits, kModeLock40, [&] {
    board.PulseSelectIn();
    c.Wait(&RoutineWaits::LockSelectIn);
  });
  board.SetAutoFeed();
}

}  // namespace

const DeviceFamily kFamilyS51 = {Read, EraseWriteVerify, WriteLockBits,
                                 shared_steps::SignatureWithLockByte};

}  // namespace kaldo
