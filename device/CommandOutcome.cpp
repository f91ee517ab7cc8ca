#include "device/CommandOutcome.h"

#include <algorithm>

#include "core/Convert.h"
#include "device/DeviceProfiles.h"
#include "device/RoutineContext.h"
#include "device/SignatureCheck.h"

namespace kaldo {

namespace {

// A chip whose lock bit 2 or 3 is programmed reads FF at every address, as an erased one does.
// After a pass that read nothing else, the devices that report their lock bits are asked for
// them with their signature, which must be the device's own for the bits to count.
void JudgeLockBits(RoutineContext& c, const RoutineSet& p, CommandOutcome& outcome) {
  outcome.LockUnknown = true;
  if (!p.Family->SignatureReadsLockBits) return;
  const SignatureReading s = p.Family->ReadSignature(c, p);
  if (!s.ProgrammedBits || !JudgeSignature(c.job.DeviceType, s.Bytes).Passed()) return;
  outcome.LockUnknown = false;
  if (!(*s.ProgrammedBits & (kLockBit2 | kLockBit3))) return;
  outcome.Result = CommandOutcome::Kind::DeviceLocked;
  outcome.LockBitsFound = *s.ProgrammedBits & (kLockBit1 | kLockBit2 | kLockBit3);
}

bool BlankCheck(RoutineContext& c, const RoutineSet& p, CommandOutcome& outcome) {
  if (!p.Family->Read(c, p, PassUse::BlankTest)) return false;
  JudgeLockBits(c, p, outcome);
  return true;
}

// The buffer keeps what it held when the chip turns out to be locked.
bool Read(RoutineContext& c, const RoutineSet& p, CommandOutcome& outcome) {
  const auto begin = c.job.Image->begin();
  const auto end = begin + c.job.Size;
  const std::vector<std::uint8_t> before(begin, end);
  p.Family->Read(c, p, PassUse::Store);
  if (std::all_of(begin, end, [](std::uint8_t b) { return b == kBlank; })) {
    JudgeLockBits(c, p, outcome);
    if (outcome.Result == CommandOutcome::Kind::DeviceLocked)
      std::copy(before.begin(), before.end(), begin);
  }
  return true;
}

bool Verify(RoutineContext& c, const RoutineSet& p, CommandOutcome&) {
  return p.Family->Read(c, p, PassUse::Compare);
}

// The lock bits and fuse only after a verified write.
bool Write(RoutineContext& c, const RoutineSet& p, CommandOutcome& outcome) {
  if (!p.Family->EraseWriteVerify(c, p)) return false;
  ProgramLockBits(c, p);
  outcome.LockBitsSelected = c.job.ProgramBits != 0;
  return true;
}

bool Signature(RoutineContext& c, const RoutineSet& p, CommandOutcome& outcome) {
  outcome.Signature = p.Family->ReadSignature(c, p);
  return true;
}

// clang-format off
const std::vector<DeviceCommandInfo> kCommands = {
    {DeviceCommand::BlankCheck, "blank", "  BLANK CHECK", "Blank Checking", "Blank Check O.K",
     "Blank Check Error @ Address  ", false,
     "Blank Check Error: the chip is locked",
     "Its lock bits make it read FF at every address, whatever it holds. A write erases it, lock "
     "bits included.",
     "A locked chip reads as blank too, and this one's lock bits could not be read.",
     nullptr, BlankCheck},
    {DeviceCommand::Read, "read", "  READ", "Reading", "Data Reading Complete", nullptr, false,
     "Read Error: the chip is locked",
     "Its lock bits make it read FF at every address, whatever it holds: nothing was read.",
     "Every byte read FF, as a locked chip reads too, and this one's lock bits could not be read.",
     nullptr, Read},
    {DeviceCommand::Verify, "verify", "  VERIFY", "Verifying", "Verify OK",
     "Buffer Verify Error @ Address  ", true, nullptr, nullptr, nullptr,
     nullptr, Verify},
    {DeviceCommand::Write, "write", "  WRITE", "Programming", "Programming/Verify OK",
     "Program Verify Error @ Address  ", true, nullptr, nullptr, nullptr,
     "The chip is then left unfinished and must be written again.", Write},
    {DeviceCommand::Signature, "signature", "  SIGNATURE", nullptr, nullptr, nullptr, false,
     nullptr, nullptr, nullptr, nullptr, Signature},
};
// clang-format on

}  // namespace

const std::vector<DeviceCommandInfo>& DeviceCommandTable() {
  return kCommands;
}

const DeviceCommandInfo& CommandInfo(DeviceCommand command) {
  return kCommands[static_cast<std::size_t>(command)];
}

std::string StopQuestionText(DeviceCommand command, const std::string& step) {
  const DeviceCommandInfo& info = CommandInfo(command);
  const std::string question = " is still running.\rStop it and close the program?";
  if (!step.empty())
    return step + question + (info.StopLeaves ? std::string(" ") + info.StopLeaves : "");
  if (!info.BusyText) return "The signature read" + question;
  return std::string("The check of the chip before ") + info.BusyText + question +
         " Nothing has been done to the chip yet.";
}

std::string OutcomeText(const CommandOutcome& outcome) {
  const DeviceCommandInfo& info = CommandInfo(outcome.Command);
  switch (outcome.Result) {
    case CommandOutcome::Kind::NoDeviceSelected:
      return kNoDeviceText;
    case CommandOutcome::Kind::NoAnswer:
    case CommandOutcome::Kind::CableFailed:
      return outcome.Note;
    case CommandOutcome::Kind::DeviceFailed: {
      const DeviceFailure& f = outcome.Failure;
      std::string text = std::string(info.FailureHeading ? info.FailureHeading : "") +
                         IntToHex(f.Address, 4) + "\rData Read  =  " + IntToHex(f.DataRead, 2);
      if (info.FailureShowsExpected) text += "\rProg Data   =  " + IntToHex(f.DataExpected, 2);
      return text;
    }
    case CommandOutcome::Kind::DeviceLocked: {
      std::string bits;
      int count = 0;
      for (int bit = 1; bit <= 3; ++bit) {
        if (!(outcome.LockBitsFound & (kLockBit1 << (bit - 1)))) continue;
        bits += (count++ ? ", " : "") + std::to_string(bit);
      }
      return std::string(info.LockedHeading) + (count > 1 ? " (lock bits " : " (lock bit ") + bits +
             " programmed)\r" + info.LockedReason;
    }
    case CommandOutcome::Kind::Success:
      break;
  }
  if (!info.SuccessText) return outcome.Signature.Report;
  std::string text = info.SuccessText;
  if (outcome.LockBitsSelected) text += "\rLock Bits Programmed";
  if (outcome.LockUnknown && info.LockUnknownNote) text += std::string("\r") + info.LockUnknownNote;
  return text;
}

}  // namespace kaldo
