#include "device/DeviceOperations.h"

#include "core/Convert.h"

namespace kaldo {

namespace {

constexpr int kBlockSize = 256;  // the address readout moves once per block

std::string FailureText(const char* heading, const ProgramState& s, bool withExpected) {
  std::string text = heading + IntToHex(s.FailAddress, 4) +
                     "\rData Read  =  " + IntToHex(static_cast<unsigned>(s.FailDataRead), 2);
  if (withExpected)
    text += "\rProg Data   =  " + IntToHex(static_cast<unsigned>(s.FailDataExpected), 2);
  return text;
}

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

const RoutineProfile* DeviceOperations::SelectedRoutines() {
  const RoutineProfile* p = FindRoutines(state_.DeviceType);
  if (!p) state_.ResultText = kNoDeviceText;
  return p;
}

void DeviceOperations::Wait(RoutineWaits::Wait RoutineWaits::*which) {
  (board_.port().*(Waits.*which))();
}

void DeviceOperations::LoadAddress(const RoutineProfile& p, std::uint32_t address) {
  board_.AddressLowLatch = static_cast<int>(address);
  board_.AddressHighLatch = AddressHigh(p.Address, address);
}

bool DeviceOperations::ReadingPass(const RoutineProfile& p, PassUse use) {
  const bool counter = p.Address == AddressForm::Counter;
  int block = 0;
  for (std::uint32_t a = 0; a < state_.DeviceSize; ++a) {
    if (block == kBlockSize) {
      block = 0;
      display_.UpdateAdresDisp(static_cast<int>(a));
    }
    if (counter) {
      board_.ReadDataByte();
    } else {
      LoadAddress(p, a);
      board_.ShiftOutLatches();
      board_.ShiftInData();
    }
    const int read = board_.DataLatch;
    switch (use) {
      case PassUse::Store:
        state_.DataBuffer[a] = static_cast<std::uint8_t>(read);
        break;
      case PassUse::BlankTest:
        if (read != kBlank) {
          state_.FailAddress = static_cast<std::uint16_t>(a);
          state_.FailDataRead = read;
          return false;
        }
        break;
      case PassUse::Compare:
        if (read != state_.DataBuffer[a]) {
          state_.FailAddress = static_cast<std::uint16_t>(a);
          state_.FailDataRead = read;
          state_.FailDataExpected = state_.DataBuffer[a];
          return false;
        }
        break;
    }
    ++block;
    if (counter) board_.PulseAddressHighBit0();
  }
  return true;
}

void DeviceOperations::ProgrammingPass(const RoutineProfile& p) {
  const bool counter = p.Address == AddressForm::Counter;
  int block = 0;
  for (std::uint32_t a = 0; a < state_.DeviceSize; ++a) {
    if (block == kBlockSize) {
      block = 0;
      display_.UpdateAdresDisp(static_cast<int>(a));
    }
    board_.DataLatch = state_.DataBuffer[a];
    if (board_.DataLatch != kBlank) {
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
    ++block;
    if (counter) board_.PulseAddressHighBit0();
  }
}

bool DeviceOperations::VerifyPass(const RoutineProfile& p) {
  board_.ModeLatch = p.ReadMode;
  board_.ShiftOutLatches();
  display_.UpdateCmdDisp("Verifying");
  display_.UpdateAdresDisp(0);
  return ReadingPass(p, PassUse::Compare);
}

bool DeviceOperations::ReadRoutine(const RoutineProfile& p, PassUse use) {
  board_.DataOutputEnable = false;
  display_.UpdateAdresDisp(0);
  if (p.Address == AddressForm::Counter) board_.AddressHighLatch = kCounterIdle;
  board_.BeginOperation();
  if (p.AutoFeedAround) {
    board_.SetModeBit0();
    board_.ClearAutoFeed();
  }
  board_.ModeLatch = p.ReadMode;
  board_.ShiftOutLatches();
  const bool passed = ReadingPass(p, use);
  if (passed && p.AutoFeedAround) board_.SetAutoFeed();
  board_.ResetBoard();
  return passed;
}

void DeviceOperations::BlankCheckDevice() {
  const RoutineProfile* p = SelectedRoutines();
  if (!p) return;
  state_.ResultText = ReadRoutine(*p, PassUse::BlankTest)
                          ? "OK"
                          : FailureText("Blank Check Error @ Address  ", state_, false);
}

void DeviceOperations::ReadDevice() {
  const RoutineProfile* p = SelectedRoutines();
  if (!p) return;
  ReadRoutine(*p, PassUse::Store);
}

void DeviceOperations::VerifyDevice() {
  const RoutineProfile* p = SelectedRoutines();
  if (!p) return;
  state_.ResultText = ReadRoutine(*p, PassUse::Compare)
                          ? "OK"
                          : FailureText("Buffer Verify Error @ Address  ", state_, true);
}

void DeviceOperations::ProgramDevice() {
  const RoutineProfile* p = SelectedRoutines();
  if (!p) return;
  bool verified = false;
  switch (p->Family) {
    case ProgramFamily::A:
      verified = ProgramFamilyA(*p);
      break;
    case ProgramFamily::B:
      verified = ProgramFamilyB(*p);
      break;
    case ProgramFamily::C:
      verified = ProgramFamilyC(*p);
      break;
  }
  if (verified) {
    ProgramLockBits();
    state_.ResultText = "OK";
  } else {
    state_.ResultText = FailureText("Program Verify Error @ Address  ", state_, true);
  }
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

void DeviceOperations::ReadSignature() {
  const RoutineProfile* p = SelectedRoutines();
  if (!p) return;
  switch (p->Signature) {
    case SignatureProcedure::C51:
      state_.ResultText = SignatureC51(*p);
      break;
    case SignatureProcedure::S51:
      state_.ResultText = SignatureS51(*p);
      break;
    case SignatureProcedure::S53:
      state_.ResultText = SignatureS53(*p);
      break;
    case SignatureProcedure::Pin20:
      state_.ResultText = SignaturePin20(*p);
      break;
  }
}

}  // namespace kaldo
