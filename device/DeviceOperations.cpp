#include "device/DeviceOperations.h"

namespace kaldo {

DeviceOperations::DeviceOperations(Board& board, ProgressDisplay& display)
    : board_(board), context_(board, display, Waits) {}

CommandOutcome DeviceOperations::Run(DeviceCommand command, const DeviceJob& job) {
  CommandOutcome outcome;
  outcome.Command = command;
  const RoutineSet* p = FindRoutineSet(job.DeviceType);
  if (!p) {
    outcome.Result = CommandOutcome::Kind::NoDeviceSelected;
    return outcome;
  }
  context_.job = job;
  if (!CommandInfo(command).Operation(context_, *p, outcome)) {
    outcome.Result = CommandOutcome::Kind::DeviceFailed;
    outcome.Failure = context_.failure;
  }
  return outcome;
}

void DeviceOperations::ProgramLockBits(const DeviceJob& job) {
  context_.job = job;
  if (const RoutineSet* p = FindRoutineSet(job.DeviceType))
    kaldo::ProgramLockBits(context_, *p);
  else
    board_.ResetBoard();
}

}  // namespace kaldo
