#include "device/IspOperations.h"

#include <algorithm>
#include <vector>

namespace kaldo {

namespace {

bool AllBlank(const DeviceJob& job, std::uint32_t size) {
  const auto begin = job.Image->begin();
  return std::all_of(begin, begin + size, [](std::uint8_t b) { return b == kBlank; });
}

std::string NotInCircuitText(const DeviceInfo& d) {
  return "The " + FullName(d) +
         " cannot be programmed through a cable: only the AT89S51, S52, S53 and S8252 can. Use "
         "the programmer board for it.";
}

std::string NoSignatureText(const DeviceInfo& d) {
  return "The " + FullName(d) +
         " has no signature that a cable can read, nor lock bits: serial programming cannot "
         "read them. The programmer board reads both.";
}

}  // namespace

IspOperations::IspOperations(Port& port, const CableUse& use, ProgressDisplay& display)
    : use_(use), link_(port, use.Cable), session_(link_, display) {
  session_.crystalHz = use.CrystalHz;
  session_.pageMode = use.PageMode;
}

void IspOperations::JudgeBlankChip(CommandOutcome& outcome) {
  IspSession& s = session_;
  if (s.family->Hears) {
    s.family->Hears(s, s.JobSize() - 1);
    return;
  }
  if (!s.family->LockBitsOfBlankChip) {
    outcome.LockUnknown = true;
    return;
  }
  const int bits = s.family->LockBitsOfBlankChip(s);
  if (!(bits & (kLockBit2 | kLockBit3))) return;
  outcome.Result = CommandOutcome::Kind::DeviceLocked;
  outcome.LockBitsFound = bits & (kLockBit1 | kLockBit2 | kLockBit3);
}

void IspOperations::JudgeFailedByte() {
  IspSession& s = session_;
  if (s.family->Hears && s.failure.DataRead == kBlank) s.family->Hears(s, s.failure.Address);
}

CommandOutcome IspOperations::Run(DeviceCommand command, const DeviceJob& job) {
  CommandOutcome outcome;
  outcome.Command = command;
  const DeviceInfo* device = FindDevice(job.DeviceType);
  if (!device) {
    outcome.Result = CommandOutcome::Kind::NoDeviceSelected;
    return outcome;
  }
  IspSession& s = session_;
  s.family = FindIspFamily(job.DeviceType);
  if (!s.family) {
    outcome.Result = CommandOutcome::Kind::CableFailed;
    outcome.Note = NotInCircuitText(*device);
    return outcome;
  }
  s.job = job;
  s.noAnswer.clear();
  s.failed.clear();
  link_.SetHalfPeriod(HalfPeriodCount(*s.family, use_.CrystalHz));
  const std::uint32_t size = s.JobSize();
  bool passed = true;
  switch (command) {
    case DeviceCommand::BlankCheck:
      passed = s.family->Read(s, PassUse::BlankTest);
      if (passed) JudgeBlankChip(outcome);
      break;
    case DeviceCommand::Read: {
      const std::vector<std::uint8_t> before(job.Image->begin(), job.Image->begin() + size);
      passed = s.family->Read(s, PassUse::Store);
      if (passed && AllBlank(job, size)) JudgeBlankChip(outcome);
      if (outcome.Result == CommandOutcome::Kind::DeviceLocked || !s.noAnswer.empty())
        std::copy(before.begin(), before.end(), job.Image->begin());
      break;
    }
    case DeviceCommand::Verify:
      passed = s.family->Read(s, PassUse::Compare);
      if (passed && s.family->Hears && AllBlank(job, size)) JudgeBlankChip(outcome);
      if (!passed) JudgeFailedByte();
      break;
    case DeviceCommand::Write:
      passed = s.family->EraseWriteVerify(s);
      if (passed && s.family->Hears && AllBlank(job, size)) JudgeBlankChip(outcome);
      if (!passed && s.noAnswer.empty() && s.failed.empty()) JudgeFailedByte();
      if (passed && s.noAnswer.empty() && (job.ProgramBits & (kLockBit1 | kLockBit2 | kLockBit3))) {
        passed = s.family->WriteLockBits(s);
        outcome.LockBitsSelected = passed;
      }
      break;
    case DeviceCommand::Signature:
      if (!s.family->ReadSignature) {
        s.failed = NoSignatureText(*device);
        break;
      }
      outcome.Signature = s.family->ReadSignature(s);
      break;
  }
  link_.Idle();
  if (!s.noAnswer.empty()) {
    outcome.Result = CommandOutcome::Kind::NoAnswer;
    outcome.Note = s.noAnswer;
    outcome.LockUnknown = false;
  } else if (!s.failed.empty()) {
    outcome.Result = CommandOutcome::Kind::CableFailed;
    outcome.Note = s.failed;
  } else if (!passed) {
    outcome.Result = CommandOutcome::Kind::DeviceFailed;
    outcome.Failure = s.failure;
  }
  return outcome;
}

}  // namespace kaldo
