// The AT89C51, C52 and C55: erase, byte and lock pulses on Strobe; three signature bytes at 0x30.
#include "device/RoutineContext.h"

namespace kaldo {

namespace {

constexpr std::uint32_t kSignatureAddress = 0x30;

bool EraseWriteVerify(RoutineContext& c, const RoutineSet& p) {
  return shared_steps::StrobeEraseWriteVerify(c, p, false);
}

// One mode-coded Strobe pulse and 2 ms per lock bit.
void WriteLockBits(RoutineContext& c, const RoutineSet&) {
  shared_steps::OnePulsePerLockBit(c, WritePulse::Strobe, &RoutineWaits::LockStrobe);
}

SignatureReading ReadSignature(RoutineContext& c, const RoutineSet& p) {
  Board& board = c.board;
  board.BeginOperation();
  board.LatchMode(kModeSignatureC51);
  SignatureReading s;
  for (std::uint32_t i = 0; i < 3; ++i) {
    c.LoadAddress(p, kSignatureAddress + i);  // the AT89C51 keeps its address-high bit 4 set
    s.Bytes.push_back(static_cast<std::uint8_t>(c.ReadLatched()));
  }
  board.ResetBoard();
  s.Report = std::string("Signature Bytes Info For ") + p.SignatureName() +
             "\rByte-1  = " + ReportByte(s.Bytes[0]) + "\rByte-2  = " + ReportByte(s.Bytes[1]) +
             "\rByte-3  = " + ReportByte(s.Bytes[2]);
  return s;
}

}  // namespace

const DeviceFamily kFamilyC51 = {.Read = shared_steps::ReadPass,
                                 .EraseWriteVerify = EraseWriteVerify,
                                 .WriteLockBits = WriteLockBits,
                                 .ReadSignature = ReadSignature,
                                 .SignatureFollowsAddressForm = true};

}  // namespace kaldo
