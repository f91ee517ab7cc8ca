#include "device/DeviceOperations.h"

namespace kaldo {

DeviceOperations::DeviceOperations(ProgramState& state, Board& board, ProgressDisplay& display)
    : state_(state), board_(board), context_(state, board, display, Waits) {}

template <typename Routine>
CommandOutcome DeviceOperations::Dispatch(DeviceCommand command, Routine routine) {
  CommandOutcome outcome;
  outcome.Command = command;
  if (const RoutineProfile* p = FindRoutines(state_.DeviceType)) {
    if (!routine(*p, outcome)) {
      outcome.Result = CommandOutcome::Kind::DeviceFailed;
      outcome.Failure = context_.failure;
    }
  } else {
    outcome.Result = CommandOutcome::Kind::NoDeviceSelected;
  }
  RecordOutcome(state_, outcome);
  return outcome;
}

CommandOutcome DeviceOperations::BlankCheckDevice() {
  return Dispatch(DeviceCommand::BlankCheck, [this](const RoutineProfile& p, CommandOutcome&) {
    return p.Family->Read(context_, p, PassUse::BlankTest);
  });
}

CommandOutcome DeviceOperations::ReadDevice() {
  return Dispatch(DeviceCommand::Read, [this](const RoutineProfile& p, CommandOutcome&) {
    p.Family->Read(context_, p, PassUse::Store);
    return true;
  });
}

CommandOutcome DeviceOperations::VerifyDevice() {
  return Dispatch(DeviceCommand::Verify, [this](const RoutineProfile& p, CommandOutcome&) {
    return p.Family->Read(context_, p, PassUse::Compare);
  });
}

CommandOutcome DeviceOperations::ProgramDevice() {
  return Dispatch(DeviceCommand::Write, [this](const RoutineProfile& p, CommandOutcome& outcome) {
    if (!p.Family->EraseWriteVerify(context_, p)) return false;
    ProgramLockBits();
    outcome.LockBitsSelected = state_.ProgBits != 0;
    return true;
  });
}

void DeviceOperations::ProgramLockBits() {
  if (const RoutineProfile* p = FindRoutines(state_.DeviceType))
    p->Family->WriteLockBits(context_, *p);
  board_.ResetBoard();
}

CommandOutcome DeviceOperations::ReadSignature() {
  return Dispatch(DeviceCommand::Signature, [this](const RoutineProfile& p, CommandOutcome& o) {
    o.Signature = p.Family->ReadSignature(context_, p);
    return true;
  });
}

}  // namespace kaldo
