#include "device/Programmer.h"

#include "device/DeviceOperations.h"
#include "link/Board.h"
#include "link/Port.h"

namespace kaldo {

void Programmer::ProgressRelay::ShowAddress(int address) {
  if (Target) Target->ShowAddress(address);
}

void Programmer::ProgressRelay::ShowCommand(const std::string& text) {
  if (Target) Target->ShowCommand(text);
}

Programmer::Programmer(ProgramState& state, std::unique_ptr<IoSpace> io)
    : state_(state),
      ownedIo_(std::move(io)),
      io_(*ownedIo_),
      port_(std::make_unique<Port>(io_)),
      board_(std::make_unique<Board>(*port_)),
      operations_(std::make_unique<DeviceOperations>(state, *board_, relay_)) {
  port_->WatchStop(stop_);
}

Programmer::Programmer(ProgramState& state, IoSpace& io)
    : state_(state),
      io_(io),
      port_(std::make_unique<Port>(io_)),
      board_(std::make_unique<Board>(*port_)),
      operations_(std::make_unique<DeviceOperations>(state, *board_, relay_)) {
  port_->WatchStop(stop_);
}

Programmer::~Programmer() {
  Close([](std::exception_ptr) {});
}

void Programmer::Step(const StepFailed& stepFailed, const std::function<void()>& step) {
  if (!stepFailed) {
    step();
    return;
  }
  try {
    step();
  } catch (...) {
    stepFailed(std::current_exception());
  }
}

void Programmer::Open(const StepFailed& stepFailed) {
  opened_ = true;
  port_->SetPortBase(state_.PortBase);
  Step(stepFailed, [this] { port_->InitDelayTimer(); });
  Step(stepFailed, [this] { ResetBoard(); });
}

void Programmer::Close(const StepFailed& stepFailed) {
  if (!opened_ || closed_) return;
  closed_ = true;
  if (!boardIdle_) Step(stepFailed, [this] { ResetBoard(); });
  Step(stepFailed, [this] { port_->RestoreDelayTimer(); });
}

void Programmer::RestoreDelayTimer(const StepFailed& stepFailed) {
  if (!opened_ || closed_) return;
  Step(stepFailed, [this] { port_->RestoreDelayTimer(); });
}

void Programmer::ResetBoard() {
  const Port::StopsIgnored toTheEnd(*port_);
  boardIdle_ = false;
  // ResetBoard keeps DataOutputEnable as it finds it; a routine cut short in its programming pass
  // leaves it set, and the idle board must not drive the chip's data pins.
  board_->EnableDataOutputs(false);
  board_->ResetBoard();
  boardIdle_ = true;
}

void Programmer::UseStopFlag(StopFlag& flag) {
  stop_ = &flag;
  port_->WatchStop(stop_);
}

void Programmer::SetPort(std::uint16_t base) {
  state_.PortBase = base;
  port_->SetPortBase(base);
}

void Programmer::SetProgressDisplay(ProgressDisplay* display) {
  display_ = display;
}

CommandOutcome Programmer::Run(DeviceCommand command, ProgressDisplay* progress) {
  port_->ThrowIfStopped();
  relay_.Target = progress ? progress : display_;
  const bool wasIdle = boardIdle_;
  boardIdle_ = false;
  try {
    CommandOutcome outcome;
    switch (command) {
      case DeviceCommand::BlankCheck:
        outcome = operations_->BlankCheckDevice();
        break;
      case DeviceCommand::Read:
        outcome = operations_->ReadDevice();
        break;
      case DeviceCommand::Verify:
        outcome = operations_->VerifyDevice();
        break;
      case DeviceCommand::Write:
        outcome = operations_->ProgramDevice();
        break;
      case DeviceCommand::Signature:
        outcome = operations_->ReadSignature();
        break;
    }
    // Every routine ends with ResetBoard; without a device nothing was done on the board.
    boardIdle_ = outcome.Result != CommandOutcome::Kind::NoDeviceSelected || wasIdle;
    return outcome;
  } catch (...) {
    const std::exception_ptr raised = std::current_exception();
    try {
      ResetBoard();
    } catch (...) {
      // The routine's error is the one the user needs; the board stays marked as not idle.
    }
    std::rethrow_exception(raised);
  }
}

CommandOutcome Programmer::BlankCheck(ProgressDisplay* progress) {
  return Run(DeviceCommand::BlankCheck, progress);
}
CommandOutcome Programmer::Read(ProgressDisplay* progress) {
  return Run(DeviceCommand::Read, progress);
}
CommandOutcome Programmer::Verify(ProgressDisplay* progress) {
  return Run(DeviceCommand::Verify, progress);
}
CommandOutcome Programmer::Write(ProgressDisplay* progress) {
  return Run(DeviceCommand::Write, progress);
}
CommandOutcome Programmer::Signature(ProgressDisplay* progress) {
  return Run(DeviceCommand::Signature, progress);
}

SignatureVerdict Programmer::CheckSignature(ProgressDisplay* progress) {
  const CommandOutcome outcome = Run(DeviceCommand::Signature, progress);
  if (outcome.Result == CommandOutcome::Kind::NoDeviceSelected) return {};
  return JudgeSignature(state_.DeviceType, outcome.Signature.Bytes);
}

}  // namespace kaldo
