// The AT89C55WD and C51RC: SelectIn erase and byte pulses like the AT89S51, with Init held low in
// each erase cycle; lock bits by timed Strobe pulses with Init low.
#include "device/RoutineContext.h"

namespace kaldo {

namespace {

bool EraseWriteVerify(RoutineContext& c, const RoutineSet& p) {
  return shared_steps::SelectInEraseWriteVerify(c, p, true);
}

// Init held low, one timed Strobe pulse per lock bit.
void WriteLockBits(RoutineContext& c, const RoutineSet&) {
  Board& board = c.board;
  board.EnableDataOutputs(false);
  board.BeginOperation();
  board.ClearInit();
  board.SetModeBit0();
  board.ClearAutoFeed();
  c.PulseSelectedLockBits(kLockBits40, kModeLock40, [&] {
    board.SetStrobe();
    c.Wait(&RoutineWaits::LockC55WD);
    board.ClearStrobe();
  });
  board.SetInit();
  board.SetAutoFeed();
}

}  // namespace

const DeviceFamily kFamilyC55WD = {.Read = shared_steps::ReadPass,
                                   .EraseWriteVerify = EraseWriteVerify,
                                   .WriteLockBits = WriteLockBits,
                                   .ReadSignature = shared_steps::SignatureWithLockByte,
                                   .SignatureReadsLockBits = true};

}  // namespace kaldo
