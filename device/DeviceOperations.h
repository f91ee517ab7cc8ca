// The device operations. Each runs the routine of its job's device family (device/Family*.cpp)
// and returns its outcome. A stop asked for on the port's flag raises StoppedError at the
// routine's next byte or wait.
#pragma once

#include "device/CommandOutcome.h"
#include "device/DeviceJob.h"
#include "device/DeviceProfiles.h"
#include "device/ProgressDisplay.h"
#include "device/RoutineContext.h"
#include "link/Board.h"

namespace kaldo {

class DeviceOperations {
 public:
  DeviceOperations(Board& board, ProgressDisplay& display);

  // The command's routine; a job whose device is outside the device table does nothing.
  CommandOutcome Run(DeviceCommand command, const DeviceJob& job);
  // The lock bits (and fuse) of the job's program bits, as a write ends with them.
  void ProgramLockBits(const DeviceJob& job);

  // The waits the routines add after their own pulses (see RoutineWaits).
  RoutineWaits Waits;

 private:
  Board& board_;
  RoutineContext context_;
};

}  // namespace kaldo
