#include "device/CommandOutcome.h"

#include "core/Convert.h"
#include "device/DeviceProfiles.h"
#include "device/RoutineContext.h"

namespace kaldo {

namespace {

bool BlankCheck(RoutineContext& c, const RoutineProfile& p, CommandOutcome&) {
  return p.Family->Read(c, p, PassUse::BlankTest);
}

bool Read(RoutineContext& c, const RoutineProfile& p, CommandOutcome&) {
  p.Family->Read(c, p, PassUse::Store);
  return true;
}

bool Verify(RoutineContext& c, const RoutineProfile& p, CommandOutcome&) {
  return p.Family->Read(c, p, PassUse::Compare);
}

// The lock bits and fuse only after a verified write.
bool Write(RoutineContext& c, const RoutineProfile& p, CommandOutcome& outcome) {
  if (!p.Family->EraseWriteVerify(c, p)) return false;
  ProgramLockBits(c, p);
  outcome.LockBitsSelected = c.job.ProgramBits != 0;
  return true;
}

bool Signature(RoutineContext& c, const RoutineProfile& p, CommandOutcome& outcome) {
  outcome.Signature = p.Family->ReadSignature(c, p);
  return true;
}

// clang-format off
const std::vector<DeviceCommandInfo> kCommands = {
    {DeviceCommand::BlankCheck, "blank", "  BLANK CHECK", "Blank Checking", "Blank Check O.K",
     "Blank Check Error @ Address  ", false,
     "The blank check is still running.\rStop it and close the program?", BlankCheck},
    {DeviceCommand::Read, "read", "  READ", "Reading", "Data Reading Complete", nullptr, false,
     "Reading is still running.\rStop it and close the program?", Read},
    {DeviceCommand::Verify, "verify", "  VERIFY", "Verifying", "Verify OK",
     "Buffer Verify Error @ Address  ", true,
     "Verifying is still running.\rStop it and close the program?", Verify},
    {DeviceCommand::Write, "write", "  WRITE", "Programming", "Programming/Verify OK",
     "Program Verify Error @ Address  ", true,
     "Programming is still running.\rStop it and close the program? The chip is then left partly "
     "programmed and must be written again.", Write},
    {DeviceCommand::Signature, "signature", "  SIGNATURE", nullptr, nullptr, nullptr, false,
     "The signature read is still running.\rStop it and close the program?", Signature},
};
// clang-format on

}  // namespace

const std::vector<DeviceCommandInfo>& DeviceCommandTable() {
  return kCommands;
}

const DeviceCommandInfo& CommandInfo(DeviceCommand command) {
  return kCommands[static_cast<std::size_t>(command)];
}

std::string OutcomeText(const CommandOutcome& outcome) {
  const DeviceCommandInfo& info = CommandInfo(outcome.Command);
  switch (outcome.Result) {
    case CommandOutcome::Kind::NoDeviceSelected:
      return kNoDeviceText;
    case CommandOutcome::Kind::DeviceFailed: {
      const DeviceFailure& f = outcome.Failure;
      std::string text = std::string(info.FailureHeading ? info.FailureHeading : "") +
                         IntToHex(f.Address, 4) + "\rData Read  =  " + IntToHex(f.DataRead, 2);
      if (info.FailureShowsExpected) text += "\rProg Data   =  " + IntToHex(f.DataExpected, 2);
      return text;
    }
    case CommandOutcome::Kind::Success:
      break;
  }
  if (!info.SuccessText) return outcome.Signature.Report;
  std::string text = info.SuccessText;
  if (outcome.LockBitsSelected) text += "\rLock Bits Programmed";
  return text;
}

}  // namespace kaldo
