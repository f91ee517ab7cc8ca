// Programming family C: the 20-pin AT89C1051, C1051U, C2051, C4051. No address pins: the device
// counts addresses itself, stepped once per byte, programmed or skipped; data travels bit-reversed.
#include "device/DeviceOperations.h"

namespace kaldo {

bool DeviceOperations::ProgramFamilyC(const RoutineProfile& p) {
  board_.EnableDataOutputs(false);
  display_.UpdateAdresDisp(0);
  board_.SetModeBit0();
  board_.SetAddressHigh(kCounterIdle);
  board_.BeginOperation();
  board_.LatchMode(kModeErase20);
  board_.ClearAutoFeed();
  board_.SetStrobe();
  Wait(&RoutineWaits::EraseStrobe);
  board_.ClearStrobe();

  board_.LatchMode(kModeWrite20);
  board_.EnableDataOutputs(true);
  ProgrammingPass(p);
  board_.SetAutoFeed();
  board_.SetAddressHigh(kCounterIdle);
  board_.port().Delay500ms();
  board_.EnableDataOutputs(false);
  board_.ClearStrobe();

  const bool verified = VerifyPass(p);
  board_.ResetBoard();
  return verified;
}

}  // namespace kaldo
