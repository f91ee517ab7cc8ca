#include "device/DeviceOperations.h"

namespace kaldo {

namespace {

constexpr int kBlockSize = 256;  // the address readout moves once per block

int AddressHigh(AddressForm form, std::uint32_t a) {
  int high = static_cast<int>(a >> 8);
  switch (form) {
    case AddressForm::Bit4Set:
      return high | 0x10;
    case AddressForm::A14ToBit7:
      return (high & 0x40) ? ((high & ~0x40) | 0x80) : high;
    case AddressForm::Plain:
    case AddressForm::Counter:
      break;
  }
  return high;
}

}  // namespace

DeviceOperations::DeviceOperations(ProgramState& state, Board& board, ProgressDisplay& display)
    : state_(state), board_(board), display_(display) {}

template <typename Routine>
CommandOutcome DeviceOperations::Dispatch(DeviceCommand command, Routine routine) {
  CommandOutcome outcome;
  outcome.Command = command;
  if (const RoutineProfile* p = FindRoutines(state_.DeviceType)) {
    if (!routine(*p, outcome)) {
      outcome.Result = CommandOutcome::Kind::DeviceFailed;
      outcome.Failure = failure_;
    }
  } else {
    outcome.Result = CommandOutcome::Kind::NoDeviceSelected;
  }
  RecordOutcome(state_, outcome);
  return outcome;
}

void DeviceOperations::Wait(RoutineWaits::Wait RoutineWaits::*which) {
  (board_.port().*(Waits.*which))();
}

void DeviceOperations::LoadAddress(const RoutineProfile& p, std::uint32_t address) {
  board_.SetAddress(static_cast<int>(address), AddressHigh(p.Address, address));
}

void DeviceOperations::AtByte(std::uint32_t address) {
  board_.port().ThrowIfStopped();
  if (address != 0 && address % kBlockSize == 0)
    display_.UpdateAdresDisp(static_cast<int>(address));
}

bool DeviceOperations::ReadingPass(const RoutineProfile& p, PassUse use) {
  const bool counter = p.Address == AddressForm::Counter;
  for (std::uint32_t a = 0; a < state_.DeviceSize; ++a) {
    AtByte(a);
    if (counter) {
      board_.ReadDataByte();
    } else {
      LoadAddress(p, a);
      board_.ShiftOutLatches();
      board_.ShiftInData();
    }
    const int read = board_.ReadBack();
    switch (use) {
      case PassUse::Store:
        state_.DataBuffer[a] = static_cast<std::uint8_t>(read);
        break;
      case PassUse::BlankTest:
        if (read != kBlank) {
          failure_ = {static_cast<std::uint16_t>(a), static_cast<std::uint8_t>(read), kBlank};
          return false;
        }
        break;
      case PassUse::Compare:
        if (read != state_.DataBuffer[a]) {
          failure_ = {static_cast<std::uint16_t>(a), static_cast<std::uint8_t>(read),
                      state_.DataBuffer[a]};
          return false;
        }
        break;
    }
    if (counter) board_.PulseAddressHighBit0();
  }
  return true;
}

void DeviceOperations::ProgrammingPass(const RoutineProfile& p) {
  const bool counter = p.Address == AddressForm::Counter;
  for (std::uint32_t a = 0; a < state_.DeviceSize; ++a) {
    AtByte(a);
    const int value = state_.DataBuffer[a];
    board_.SetData(value);  // blank bytes too: the 20-pin counter steps shift the latch out
    if (value != kBlank) {
      if (counter) {
        board_.WriteDataByte();
        board_.PulseStrobe();
      } else {
        LoadAddress(p, a);
        board_.ShiftOutLatches();
        if (p.Family == ProgramFamily::B)
          board_.PulseSelectIn();
        else
          board_.PulseStrobe();
      }
      Wait(p.ByteWait);
    }
    if (counter) board_.PulseAddressHighBit0();
  }
}

bool DeviceOperations::VerifyPass(const RoutineProfile& p) {
  board_.LatchMode(p.ReadMode);
  display_.UpdateCmdDisp("Verifying");
  display_.UpdateAdresDisp(0);
  return ReadingPass(p, PassUse::Compare);
}

bool DeviceOperations::ReadRoutine(const RoutineProfile& p, PassUse use) {
  board_.EnableDataOutputs(false);
  display_.UpdateAdresDisp(0);
  if (p.Address == AddressForm::Counter) board_.SetAddressHigh(kCounterIdle);
  board_.BeginOperation();
  if (p.AutoFeedAround) {
    board_.SetModeBit0();
    board_.ClearAutoFeed();
  }
  board_.LatchMode(p.ReadMode);
  const bool passed = ReadingPass(p, use);
  if (passed && p.AutoFeedAround) board_.SetAutoFeed();
  board_.ResetBoard();
  return passed;
}

CommandOutcome DeviceOperations::BlankCheckDevice() {
  return Dispatch(DeviceCommand::BlankCheck, [this](const RoutineProfile& p, CommandOutcome&) {
    return ReadRoutine(p, PassUse::BlankTest);
  });
}

CommandOutcome DeviceOperations::ReadDevice() {
  return Dispatch(DeviceCommand::Read, [this](const RoutineProfile& p, CommandOutcome&) {
    ReadRoutine(p, PassUse::Store);
    return true;
  });
}

CommandOutcome DeviceOperations::VerifyDevice() {
  return Dispatch(DeviceCommand::Verify, [this](const RoutineProfile& p, CommandOutcome&) {
    return ReadRoutine(p, PassUse::Compare);
  });
}

CommandOutcome DeviceOperations::ProgramDevice() {
  return Dispatch(DeviceCommand::Write, [this](const RoutineProfile& p, CommandOutcome& outcome) {
    bool verified = false;
    switch (p.Family) {
      case ProgramFamily::A:
        verified = ProgramFamilyA(p);
        break;
      case ProgramFamily::B:
        verified = ProgramFamilyB(p);
        break;
      case ProgramFamily::C:
        verified = ProgramFamilyC(p);
        break;
    }
    if (!verified) return false;
    ProgramLockBits();
    outcome.LockBitsSelected = state_.ProgBits != 0;
    return true;
  });
}

void DeviceOperations::ProgramLockBits() {
  if (const RoutineProfile* p = FindRoutines(state_.DeviceType)) {
    switch (p->Lock) {
      case LockSequence::L1Strobe:
        LockBitsL1(false);
        break;
      case LockSequence::L1SelectIn:
        LockBitsL1(true);
        break;
      case LockSequence::L2:
        LockBitsL2();
        break;
      case LockSequence::L3:
        LockBitsL3();
        break;
      case LockSequence::L4:
        LockBitsL4();
        break;
    }
  }
  board_.ResetBoard();
}

CommandOutcome DeviceOperations::ReadSignature() {
  return Dispatch(DeviceCommand::Signature, [this](const RoutineProfile& p, CommandOutcome& o) {
    SignatureReading& s = o.Signature;
    auto bytes = [this](std::size_t from, std::size_t to) {
      return std::vector<std::uint8_t>(SignatureBytes.begin() + from, SignatureBytes.begin() + to);
    };
    switch (p.Signature) {
      case SignatureProcedure::C51:
        s.Report = SignatureC51(p);
        s.Bytes = bytes(0, 3);
        break;
      case SignatureProcedure::S51:
        s.Report = SignatureS51(p);
        s.Bytes = bytes(0, 3);
        s.LockByte = static_cast<std::uint8_t>(SignatureBytes[3]);
        break;
      case SignatureProcedure::S53:
        s.Report = SignatureS53(p);
        s.Bytes = bytes(0, 2);
        s.LockByte = static_cast<std::uint8_t>(SignatureBytes[2]);
        s.FuseByte = static_cast<std::uint8_t>(SignatureBytes[3]);
        break;
      case SignatureProcedure::Pin20:
        s.Report = SignaturePin20(p);
        s.Bytes = bytes(0, 2);
        break;
    }
    return true;
  });
}

}  // namespace kaldo
