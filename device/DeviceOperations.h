// The device operations. Each runs the routine of its device's family (device/Family*.cpp) for
// state.DeviceType, returns its outcome and leaves it in the program state (ResultText, "OK" on
// success, and the fail values). A stop asked for on the port's flag raises StoppedError at the
// routine's next byte or wait.
#pragma once

#include "core/ProgramState.h"
#include "device/CommandOutcome.h"
#include "device/DeviceProfiles.h"
#include "device/ProgressDisplay.h"
#include "device/RoutineContext.h"
#include "link/Board.h"

namespace kaldo {

class DeviceOperations {
 public:
  DeviceOperations(ProgramState& state, Board& board, ProgressDisplay& display);

  CommandOutcome BlankCheckDevice();
  CommandOutcome ReadDevice();
  CommandOutcome VerifyDevice();
  // Programs the lock bits after a verified write.
  CommandOutcome ProgramDevice();
  void ProgramLockBits();
  CommandOutcome ReadSignature();

  // The waits the routines add after their own pulses (see RoutineWaits).
  RoutineWaits Waits;

 private:
  // Runs routine(profile, outcome) for DeviceType, which returns false at a failing byte; then the
  // outcome goes into the program state.
  template <typename Routine>
  CommandOutcome Dispatch(DeviceCommand command, Routine routine);

  ProgramState& state_;
  Board& board_;
  RoutineContext context_;
};

}  // namespace kaldo
