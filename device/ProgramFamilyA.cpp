// Programming family A: AT89C51, C52, C55, and the AT89S53/S8252 variant. Erase and byte writes
// are Strobe pulses.
#include "device/DeviceOperations.h"

namespace kaldo {

bool DeviceOperations::ProgramFamilyA(const RoutineProfile& p) {
  // The AT89S53 and S8252 drop AutoFeed before the erase code is latched and raise it again only
  // after a verify pass without mismatch.
  const bool s53 = p.AutoFeedAround;
  board_.EnableDataOutputs(false);
  display_.UpdateAdresDisp(0);
  board_.BeginOperation();
  board_.SetModeBit0();
  if (s53) board_.ClearAutoFeed();
  board_.LatchMode(kModeErase40);
  if (!s53) board_.ClearAutoFeed();
  board_.SetStrobe();
  Wait(&RoutineWaits::EraseStrobe);
  board_.ClearStrobe();

  board_.LatchMode(kModeWrite40);
  board_.EnableDataOutputs(true);
  ProgrammingPass(p);
  if (!s53) board_.SetAutoFeed();

  board_.EnableDataOutputs(false);
  const bool verified = VerifyPass(p);
  if (verified && s53) board_.SetAutoFeed();
  board_.ResetBoard();
  return verified;
}

}  // namespace kaldo
