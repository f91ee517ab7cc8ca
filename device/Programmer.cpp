#include "device/Programmer.h"

#include <algorithm>

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

Programmer::Programmer(std::unique_ptr<IoSpace> io)
    : ownedIo_(std::move(io)),
      io_(*ownedIo_),
      port_(std::make_unique<Port>(io_)),
      board_(std::make_unique<Board>(*port_)),
      operations_(std::make_unique<DeviceOperations>(*board_, relay_)) {
  port_->WatchStop(stop_);
}

Programmer::Programmer(IoSpace& io)
    : io_(io),
      port_(std::make_unique<Port>(io_)),
      board_(std::make_unique<Board>(*port_)),
      operations_(std::make_unique<DeviceOperations>(*board_, relay_)) {
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
  if (cable_) {
    cable_->Idle();
  } else {
    board_->EnableDataOutputs(false);
    board_->ResetBoard();
  }
  boardIdle_ = true;
}

void Programmer::UseCable(const std::optional<CableUse>& cable) {
  cable_ = cable ? std::make_unique<IspOperations>(*port_, *cable, relay_) : nullptr;
  boardIdle_ = false;
  if (opened_ && !closed_) ResetBoard();
}

const CableUse* Programmer::CableInUse() const {
  return cable_ ? &cable_->Use() : nullptr;
}

void Programmer::UseStopFlag(StopFlag& flag) {
  stop_ = &flag;
  port_->WatchStop(stop_);
}

void Programmer::SetPort(std::uint16_t base) {
  port_->SetPortBase(base);
}

void Programmer::SetProgressDisplay(ProgressDisplay* display) {
  display_ = display;
}

CommandOutcome Programmer::Run(DeviceCommand command, const DeviceJob& job,
                               ProgressDisplay* progress) {
  port_->ThrowIfStopped();
  relay_.Target = progress ? progress : display_;
  if (const char* busy = CommandInfo(command).BusyText) relay_.ShowCommand(busy);
  const bool wasIdle = boardIdle_;
  boardIdle_ = false;
  try {
    if (job.Memory == DeviceMemory::DataEeprom && !cable_)
      throw Error(
          "The programmer board reaches the data EEPROM only with the code memory: "
          "the data EEPROM alone needs a cable");
    const CommandOutcome outcome =
        cable_ ? cable_->Run(command, job) : operations_->Run(command, job);
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

SignatureVerdict Programmer::CheckSignature(int deviceType, ProgressDisplay* progress) {
  lastNote_.clear();
  if (cable_ && FindDevice(deviceType)) {
    const IspFamily* family = FindIspFamily(deviceType);
    if (family && !family->ReadSignature) {
      SignatureVerdict v;
      v.Result = SignatureVerdict::Kind::NotReadable;
      v.Expected = ExpectedSignature(deviceType);
      return v;
    }
  }
  const CommandOutcome outcome =
      Run(DeviceCommand::Signature, DeviceJob{deviceType, nullptr, 0, 0}, progress);
  if (outcome.Result == CommandOutcome::Kind::NoDeviceSelected) return {};
  lastNote_ = outcome.Note;
  SignatureVerdict verdict = JudgeSignature(deviceType, outcome.Signature.Bytes);
  // The chip answered the cable's enable, but in lock modes 3 and 4 it gives no signature.
  const std::optional<int> locks = outcome.Signature.ProgrammedBits;
  if (cable_ && outcome.Succeeded() && verdict.Result == SignatureVerdict::Kind::NoAnswer &&
      locks && (*locks & (kLockBit2 | kLockBit3))) {
    verdict.Result = SignatureVerdict::Kind::NotReadable;
    lastNote_ = "hides its signature behind its lock bits";
  }
  return verdict;
}

ChipIdentity Programmer::IdentifyThroughCable(ProgressDisplay* progress) {
  const SignatureProcedure procedure{DeviceTypeOf(Device::AT89S51),
                                     {DeviceTypeOf(Device::AT89S51), DeviceTypeOf(Device::AT89S52)},
                                     false};
  const std::vector<std::uint8_t> read =
      Run(DeviceCommand::Signature, DeviceJob{procedure.DeviceType, nullptr, 0, 0}, progress)
          .Signature.Bytes;
  if (const std::optional<int> device = DeviceOfReading(procedure, read))
    return {ChipIdentity::Kind::Known, *device, read};
  if (JudgeSignature(procedure.DeviceType, read).Result != SignatureVerdict::Kind::NoAnswer)
    return {ChipIdentity::Kind::Unknown, -1, read};
  return {};
}

ChipIdentity Programmer::Identify(ProgressDisplay* progress) {
  if (cable_) return IdentifyThroughCable(progress);
  ChipIdentity identity;
  for (const SignatureProcedure& procedure : SignatureProcedures()) {
    const std::vector<std::uint8_t> read =
        Run(DeviceCommand::Signature, DeviceJob{procedure.DeviceType, nullptr, 0, 0}, progress)
            .Signature.Bytes;
    if (const std::optional<int> device = DeviceOfReading(procedure, read))
      return {ChipIdentity::Kind::Known, *device, read};
    const bool answered =
        JudgeSignature(procedure.DeviceType, read).Result != SignatureVerdict::Kind::NoAnswer;
    if (answered && identity.Result == ChipIdentity::Kind::NoAnswer)
      identity = {ChipIdentity::Kind::Unknown, -1, read};
  }
  return identity;
}

SocketCheck Programmer::CheckSocket(int deviceType, ProgressDisplay* progress) {
  SocketCheck check;
  check.DeviceType = deviceType;
  check.Verdict = CheckSignature(deviceType, progress);
  check.Note = lastNote_;
  if (!check.Passed()) check.Inside = Identify(progress);
  lastSocketCheck_ = check;
  return check;
}

ChipIdentity Programmer::LookIntoSocket(int deviceType) {
  if (cable_) return IdentifyThroughCable(nullptr);
  const auto serves = [deviceType](const SignatureProcedure& p) {
    return std::find(p.Serves.begin(), p.Serves.end(), deviceType) != p.Serves.end();
  };
  std::vector<SignatureProcedure> procedures = SignatureProcedures();
  // The device's own procedure first when it keeps the voltage off; it stays last otherwise.
  const auto own = std::find_if(procedures.begin(), procedures.end(), serves);
  if (own != procedures.end() && !own->RaisesVoltage) std::rotate(procedures.begin(), own, own + 1);
  for (const SignatureProcedure& procedure : procedures) {
    if (procedure.RaisesVoltage && !serves(procedure)) continue;
    const std::vector<std::uint8_t> read =
        Run(DeviceCommand::Signature, DeviceJob{procedure.DeviceType, nullptr, 0, 0})
            .Signature.Bytes;
    if (const std::optional<int> device = DeviceOfReading(procedure, read))
      return {ChipIdentity::Kind::Known, *device, read};
    if (JudgeSignature(procedure.DeviceType, read).Result != SignatureVerdict::Kind::NoAnswer)
      return {ChipIdentity::Kind::Unknown, -1, read};
  }
  return {};
}

void Programmer::Pause(int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 10) port_->Delay10ms();
}

}  // namespace kaldo
