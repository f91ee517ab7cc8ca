// Programming family B: AT89S51, S52, C55WD, C51RC. Erase and byte writes are SelectIn pulses;
// the chip erase runs twice, each time in its own operation.
#include "device/DeviceOperations.h"

namespace kaldo {

namespace {
constexpr int kEraseCycles = 2;
constexpr int kEraseSteps = 15;  // 15 x 10 ms after the SelectIn erase pulse
}  // namespace

bool DeviceOperations::ProgramFamilyB(const RoutineProfile& p) {
  Port& port = board_.port();
  board_.EnableDataOutputs(false);
  display_.UpdateAdresDisp(0);
  for (int cycle = 0; cycle < kEraseCycles; ++cycle) {
    board_.BeginOperation();
    board_.SetModeBit0();
    if (p.EraseClearsInit) board_.ClearInit();
    board_.LatchMode(kModeErase40);
    board_.ClearAutoFeed();
    board_.PulseSelectIn();
    for (int step = 0; step < kEraseSteps; ++step) Wait(&RoutineWaits::EraseSelectInStep);
    board_.SetAutoFeed();
    board_.ResetBoard();
    if (p.EraseSettles) port.Delay500ms();
  }

  // Init stays as the last ResetBoard left it.
  board_.BeginOperation();
  board_.SetModeBit0();
  board_.LatchMode(kModeWrite40);
  board_.ClearAutoFeed();
  board_.EnableDataOutputs(true);
  ProgrammingPass(p);
  board_.SetAutoFeed();
  port.Delay500ms();

  board_.EnableDataOutputs(false);
  const bool verified = VerifyPass(p);
  board_.ResetBoard();
  return verified;
}

}  // namespace kaldo
