#include "device/RoutineContext.h"

#include "core/Convert.h"

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

void RoutineContext::Wait(RoutineWaits::Wait RoutineWaits::*which) {
  (board.port().*(waits_.*which))();
}

void RoutineContext::LoadAddress(const RoutineSet& p, std::uint32_t address) {
  board.SetAddress(static_cast<int>(address), AddressHigh(p.Address, address));
}

int RoutineContext::ReadLatched() {
  board.ShiftOutLatches();
  board.ShiftInData();
  return board.ReadBack();
}

void RoutineContext::AtByte(std::uint32_t address) {
  board.port().ThrowIfStopped();
  if (address != 0 && address % kBlockSize == 0) display.ShowAddress(static_cast<int>(address));
}

bool RoutineContext::ReadingPass(const RoutineSet& p, PassUse use) {
  const bool counter = p.Address == AddressForm::Counter;
  for (std::uint32_t a = 0; a < job.Size; ++a) {
    AtByte(a);
    if (counter) {
      board.ReadDataByte();
    } else {
      LoadAddress(p, a);
      board.ShiftOutLatches();
      board.ShiftInData();
    }
    const int read = board.ReadBack();
    switch (use) {
      case PassUse::Store:
        (*job.Image)[a] = static_cast<std::uint8_t>(read);
        break;
      case PassUse::BlankTest:
        if (read != kBlank) {
          failure = {static_cast<std::uint16_t>(a), static_cast<std::uint8_t>(read), kBlank};
          return false;
        }
        break;
      case PassUse::Compare:
        if (read != (*job.Image)[a]) {
          failure = {static_cast<std::uint16_t>(a), static_cast<std::uint8_t>(read),
                     (*job.Image)[a]};
          return false;
        }
        break;
    }
    if (counter) board.PulseAddressHighBit0();
  }
  return true;
}

void RoutineContext::ProgrammingPass(const RoutineSet& p, WritePulse pulse) {
  const bool counter = p.Address == AddressForm::Counter;
  for (std::uint32_t a = 0; a < job.Size; ++a) {
    AtByte(a);
    const int value = (*job.Image)[a];
    board.SetData(value);  // blank bytes too: the 20-pin counter steps shift the latch out
    if (value != kBlank) {
      if (counter) {
        board.WriteDataByte();
      } else {
        LoadAddress(p, a);
        board.ShiftOutLatches();
      }
      if (pulse == WritePulse::SelectIn)
        board.PulseSelectIn();
      else
        board.PulseStrobe();
      Wait(p.ByteWait);
    }
    if (counter) board.PulseAddressHighBit0();
  }
}

bool RoutineContext::VerifyPass(const RoutineSet& p) {
  board.LatchMode(p.ReadMode);
  display.ShowCommand("Verifying");
  display.ShowAddress(0);
  return ReadingPass(p, PassUse::Compare);
}

bool RoutineContext::ReadRoutine(const RoutineSet& p, PassUse use) {
  board.EnableDataOutputs(false);
  display.ShowAddress(0);
  if (p.Address == AddressForm::Counter) board.SetAddressHigh(kCounterIdle);
  board.BeginOperation();
  if (p.AutoFeedAround) {
    board.SetModeBit0();
    board.ClearAutoFeed();
  }
  board.LatchMode(p.ReadMode);
  const bool passed = ReadingPass(p, use);
  if (passed && p.AutoFeedAround) board.SetAutoFeed();
  board.ResetBoard();
  return passed;
}

std::string ReportByte(int value) {
  return IntToHex(static_cast<unsigned>(value), 2);
}

int LockBitsOn(int lockByte, const int (&bits)[3], bool setMeansOn) {
  int on = 0;
  for (int i = 0; i < 3; ++i)
    if (((lockByte & bits[i]) != 0) == setMeansOn) on |= kLockBits40[i];
  return on;
}

std::string LockBitLines(int lockByte, const int (&bits)[3], bool setMeansOn) {
  const int on = LockBitsOn(lockByte, bits, setMeansOn);
  std::string text;
  for (int i = 0; i < 3; ++i)
    text += "\rLock Bit-" + std::to_string(i + 1) + ((on & kLockBits40[i]) ? "    ON" : "    OFF");
  return text;
}

void ProgramLockBits(RoutineContext& c, const RoutineSet& p) {
  p.Family->WriteLockBits(c, p);
  c.board.ResetBoard();
}

namespace shared_steps {

bool ReadPass(RoutineContext& c, const RoutineSet& p, PassUse use) {
  return c.ReadRoutine(p, use);
}

void OnePulsePerLockBit(RoutineContext& c, WritePulse pulse,
                        RoutineWaits::Wait RoutineWaits::*wait) {
  Board& board = c.board;
  board.EnableDataOutputs(false);
  board.BeginOperation();
  board.SetModeBit0();
  board.ClearAutoFeed();
  c.PulseSelectedLockBits(kLockBits40, kModeLock40, [&] {
    if (pulse == WritePulse::SelectIn)
      board.PulseSelectIn();
    else
      board.PulseStrobe();
    c.Wait(wait);
  });
  board.SetAutoFeed();
}

bool StrobeEraseWriteVerify(RoutineContext& c, const RoutineSet& p, bool autoFeedAround) {
  Board& board = c.board;
  board.EnableDataOutputs(false);
  c.display.ShowAddress(0);
  board.BeginOperation();
  board.SetModeBit0();
  if (autoFeedAround) board.ClearAutoFeed();
  board.LatchMode(kModeErase40);
  if (!autoFeedAround) board.ClearAutoFeed();
  board.SetStrobe();
  c.Wait(&RoutineWaits::EraseStrobe);
  board.ClearStrobe();

  board.LatchMode(kModeWrite40);
  board.EnableDataOutputs(true);
  c.ProgrammingPass(p, WritePulse::Strobe);
  if (!autoFeedAround) board.SetAutoFeed();

  board.EnableDataOutputs(false);
  const bool verified = c.VerifyPass(p);
  if (verified && autoFeedAround) board.SetAutoFeed();
  board.ResetBoard();
  return verified;
}

namespace {
constexpr int kEraseCycles = 2;
constexpr int kEraseSteps = 15;  // 15 x 10 ms after the SelectIn erase pulse
}  // namespace

bool SelectInEraseWriteVerify(RoutineContext& c, const RoutineSet& p, bool eraseClearsInit) {
  Board& board = c.board;
  Port& port = board.port();
  board.EnableDataOutputs(false);
  c.display.ShowAddress(0);
  for (int cycle = 0; cycle < kEraseCycles; ++cycle) {
    board.BeginOperation();
    board.SetModeBit0();
    if (eraseClearsInit) board.ClearInit();
    board.LatchMode(kModeErase40);
    board.ClearAutoFeed();
    board.PulseSelectIn();
    for (int step = 0; step < kEraseSteps; ++step) c.Wait(&RoutineWaits::EraseSelectInStep);
    board.SetAutoFeed();
    board.ResetBoard();
    if (p.EraseSettles) port.Delay500ms();
  }

  // Init stays as the last ResetBoard left it.
  board.BeginOperation();
  board.SetModeBit0();
  board.LatchMode(kModeWrite40);
  board.ClearAutoFeed();
  board.EnableDataOutputs(true);
  c.ProgrammingPass(p, WritePulse::SelectIn);
  board.SetAutoFeed();
  port.Delay500ms();

  board.EnableDataOutputs(false);
  const bool verified = c.VerifyPass(p);
  board.ResetBoard();
  return verified;
}

// The lock byte: bits 2, 3, 4 are Lock Bit-1, -2, -3, 1 = programmed.
constexpr int kLockBitsInLockByte[3] = {0x04, 0x08, 0x10};

SignatureReading SignatureWithLockByte(RoutineContext& c, const RoutineSet& p) {
  Board& board = c.board;
  int bytes[3];
  board.BeginOperation();
  board.LatchMode(kModeSignatureS51);
  for (int i = 0; i < 3; ++i) {
    board.SetAddress(0, i);
    bytes[i] = c.ReadLatched();
  }
  board.SetMode(kModeLockReadS51);  // at the last signature address
  const int lockByte = c.ReadLatched();
  board.ResetBoard();
  SignatureReading s;
  for (int b : bytes) s.Bytes.push_back(static_cast<std::uint8_t>(b));
  s.LockByte = static_cast<std::uint8_t>(lockByte);
  s.ProgrammedBits = LockBitsOn(lockByte, kLockBitsInLockByte, true);
  s.Report = std::string("Signature & Program Bits Info For ") + p.SignatureName() +
             "\rByte-1         " + ReportByte(bytes[0]) + "\rByte-2         " +
             ReportByte(bytes[1]) + "\rByte-3         " + ReportByte(bytes[2]) +
             LockBitLines(lockByte, kLockBitsInLockByte, true);
  return s;
}

}  // namespace shared_steps

}  // namespace kaldo
