#include "device/CommandOutcome.h"

#include "core/Convert.h"
#include "core/HexFile.h"

namespace kaldo {

namespace {

// "... @ Address  0123\rData Read  =  5A", and for verify and write "\rProg Data   =  3C".
std::string FailureText(DeviceCommand command, const DeviceFailure& f) {
  const char* heading = command == DeviceCommand::BlankCheck ? "Blank Check Error @ Address  "
                        : command == DeviceCommand::Verify   ? "Buffer Verify Error @ Address  "
                                                             : "Program Verify Error @ Address  ";
  std::string text =
      heading + IntToHex(f.Address, 4) + "\rData Read  =  " + IntToHex(f.DataRead, 2);
  if (command != DeviceCommand::BlankCheck)
    text += "\rProg Data   =  " + IntToHex(f.DataExpected, 2);
  return text;
}

}  // namespace

void RecordOutcome(ProgramState& state, const CommandOutcome& outcome) {
  switch (outcome.Result) {
    case CommandOutcome::Kind::NoDeviceSelected:
      state.ResultText = kNoDeviceText;
      return;
    case CommandOutcome::Kind::DeviceFailed:
      state.FailAddress = outcome.Failure.Address;
      state.FailDataRead = outcome.Failure.DataRead;
      if (outcome.Command != DeviceCommand::BlankCheck)
        state.FailDataExpected = outcome.Failure.DataExpected;
      state.ResultText = FailureText(outcome.Command, outcome.Failure);
      return;
    case CommandOutcome::Kind::Success:
      if (outcome.Command == DeviceCommand::Signature)
        state.ResultText = outcome.Signature.Report;
      else if (outcome.Command != DeviceCommand::Read)
        state.ResultText = kResultOK;
      return;
  }
}

std::string OutcomeText(const CommandOutcome& outcome) {
  switch (outcome.Result) {
    case CommandOutcome::Kind::NoDeviceSelected:
      return kNoDeviceText;
    case CommandOutcome::Kind::DeviceFailed:
      return FailureText(outcome.Command, outcome.Failure);
    case CommandOutcome::Kind::Success:
      break;
  }
  switch (outcome.Command) {
    case DeviceCommand::BlankCheck:
      return "Blank Check O.K";
    case DeviceCommand::Read:
      return "Data Reading Complete";
    case DeviceCommand::Verify:
      return "Verify OK";
    case DeviceCommand::Write:
      return outcome.LockBitsSelected ? "Programming/Verify OK\rLock Bits Programmed"
                                      : "Programming/Verify OK";
    case DeviceCommand::Signature:
      break;
  }
  return outcome.Signature.Report;
}

const char* BusyText(DeviceCommand command) {
  switch (command) {
    case DeviceCommand::BlankCheck:
      return "Blank Checking";
    case DeviceCommand::Read:
      return "Reading";
    case DeviceCommand::Verify:
      return "Verifying";
    case DeviceCommand::Write:
      return "Programming";
    case DeviceCommand::Signature:
      break;
  }
  return nullptr;
}

}  // namespace kaldo
