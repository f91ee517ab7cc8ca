// The 20-pin AT89C1051, C1051U, C2051, C4051. No address pins: the device counts addresses
// itself, stepped once per byte, programmed or skipped; data travels bit-reversed. Two lock bits.
#include "device/RoutineContext.h"

namespace kaldo {

namespace {

constexpr int kSelectableLockBits[2] = {kLockBit1, kLockBit2};

bool EraseWriteVerify(RoutineContext& c, const RoutineSet& p) {
  Board& board = c.board;
  board.EnableDataOutputs(false);
  c.display.ShowAddress(0);
  board.SetModeBit0();
  board.SetAddressHigh(kCounterIdle);
  board.BeginOperation();
  board.LatchMode(kModeErase20);
  board.ClearAutoFeed();
  board.SetStrobe();
  c.Wait(&RoutineWaits::EraseStrobe);
  board.ClearStrobe();

  board.LatchMode(kModeWrite20);
  board.EnableDataOutputs(true);
  c.ProgrammingPass(p, WritePulse::Strobe);
  board.SetAutoFeed();
  board.SetAddressHigh(kCounterIdle);
  board.port().Delay500ms();
  board.EnableDataOutputs(false);
  board.ClearStrobe();

  const bool verified = c.VerifyPass(p);
  board.ResetBoard();
  return verified;
}

// One mode-coded Strobe pulse and 2 ms per lock bit.
void WriteLockBits(RoutineContext& c, const RoutineSet&) {
  Board& board = c.board;
  board.SetModeBit0();
  board.SetAddressHigh(kCounterIdle);
  board.EnableDataOutputs(false);
  board.BeginOperation();
  board.ClearAutoFeed();
  c.PulseSelectedLockBits(kSelectableLockBits, kModeLock20, [&] {
    board.PulseStrobe();
    c.Wait(&RoutineWaits::LockStrobe);
  });
  board.SetAutoFeed();
}

// Two bytes from the address counter under mode 0x00.
SignatureReading ReadSignature(RoutineContext& c, const RoutineSet& p) {
  Board& board = c.board;
  board.SetAddressHigh(kCounterIdle);
  board.BeginOperation();
  board.LatchMode(kModeSignature20);
  SignatureReading s;
  for (int i = 0; i < 2; ++i) {
    board.ReadDataByte();
    s.Bytes.push_back(static_cast<std::uint8_t>(board.ReadBack()));
    board.PulseAddressHighBit0();
  }
  board.ResetBoard();
  s.Report = std::string("Signature Bytes Info For ") + p.SignatureName() +
             "\rByte-1  = " + ReportByte(s.Bytes[0]) + "\rByte-2  = " + ReportByte(s.Bytes[1]);
  return s;
}

}  // namespace

const DeviceFamily kFamilyC1051 = {.Read = shared_steps::ReadPass,
                                   .EraseWriteVerify = EraseWriteVerify,
                                   .WriteLockBits = WriteLockBits,
                                   .ReadSignature = ReadSignature};

}  // namespace kaldo
