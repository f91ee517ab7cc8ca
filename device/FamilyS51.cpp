// The AT89S51 and S52: erase, byte and lock pulses on SelectIn; the chip erase runs twice, each
// time in its own operation; the signature read ends with the lock byte.
#include "device/RoutineContext.h"

namespace kaldo {

namespace {

bool EraseWriteVerify(RoutineContext& c, const RoutineSet& p) {
  return shared_steps::SelectInEraseWriteVerify(c, p, false);
}

// One mode-coded SelectIn pulse and 50 us per lock bit.
void WriteLockBits(RoutineContext& c, const RoutineSet&) {
  shared_steps::OnePulsePerLockBit(c, WritePulse::SelectIn, &RoutineWaits::LockSelectIn);
}

}  // namespace

const DeviceFamily kFamilyS51 = {.Read = shared_steps::ReadPass,
                                 .EraseWriteVerify = EraseWriteVerify,
                                 .WriteLockBits = WriteLockBits,
                                 .ReadSignature = shared_steps::SignatureWithLockByte,
                                 .SignatureReadsLockBits = true};

}  // namespace kaldo
