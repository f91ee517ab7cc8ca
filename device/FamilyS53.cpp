// The AT89S53 and S8252: Strobe pulses like the AT89C51, with AutoFeed dropped around the work, an
// ISP fuse, and the lock bits written as one byte.
#include "device/RoutineContext.h"

namespace kaldo {

namespace {

// The fuse byte is 0xFF, or 0xFE to write the ISP fuse; in the lock-bit byte a selected lock bit
// is a 0: bit 7 Lock Bit-1, bit 6 Lock Bit-2, bit 5 Lock Bit-3.
constexpr int kFuseByteIsp = 0xFE;
constexpr int kLockByteClear[3] = {0x7F, 0xBF, 0xDF};
// As read back: bits 2, 1, 0 of the lock byte are Lock Bit-1, -2, -3, 0 = programmed; fuse bit
// 0 likewise.
constexpr int kLockBitsRead[3] = {0x04, 0x02, 0x01};
constexpr int kFuseBitRead = 0x01;
constexpr std::uint32_t kSignatureAddress = 0x30;

bool EraseWriteVerify(RoutineContext& c, const RoutineSet& p) {
  return shared_steps::StrobeEraseWriteVerify(c, p, true);
}

// The ISP fuse byte, then the lock bits as one byte; both always written.
void WriteLockBits(RoutineContext& c, const RoutineSet&) {
  Board& board = c.board;
  const int progBits = c.job.ProgramBits;
  board.SetData((progBits & kIspFuse) ? kFuseByteIsp : kBlank);
  board.BeginOperation();
  board.SetModeBit0();
  board.ClearAutoFeed();
  board.EnableDataOutputs(true);
  board.LatchMode(kModeFuseWriteS53);
  board.SetStrobe();
  c.Wait(&RoutineWaits::FuseS53);
  board.ClearStrobe();
  board.SetAutoFeed();

  int lockByte = kBlank;
  for (int i = 0; i < 3; ++i)
    if (progBits & kLockBits40[i]) lockByte &= kLockByteClear[i];
  board.SetData(lockByte);
  board.ClearAutoFeed();
  board.LatchMode(kModeLockWriteS53);
  board.PulseStrobe();
  c.Wait(&RoutineWaits::LockByteS53);
  board.EnableDataOutputs(false);
  board.SetAutoFeed();
}

// Two signature bytes at 0x30 and 0x31, the lock byte under 0x1E, the fuse under 0x5E.
SignatureReading ReadSignature(RoutineContext& c, const RoutineSet& p) {
  Board& board = c.board;
  board.BeginOperation();
  board.SetModeBit0();
  board.ClearAutoFeed();
  board.LatchMode(kModeSignatureC51);
  SignatureReading s;
  for (std::uint32_t i = 0; i < 2; ++i) {
    c.LoadAddress(p, kSignatureAddress + i);
    s.Bytes.push_back(static_cast<std::uint8_t>(c.ReadLatched()));
  }
  board.SetMode(kModeLockReadS53);  // at the last signature address
  const int lockByte = c.ReadLatched();
  board.SetMode(kModeFuseReadS53);
  const int fuseByte = c.ReadLatched();
  board.SetAutoFeed();
  board.ResetBoard();
  s.LockByte = static_cast<std::uint8_t>(lockByte);
  s.FuseByte = static_cast<std::uint8_t>(fuseByte);
  s.ProgrammedBits =
      LockBitsOn(lockByte, kLockBitsRead, false) | ((fuseByte & kFuseBitRead) ? 0 : kIspFuse);
  s.Report = std::string("Signature & Program Bits Info For ") + p.SignatureName() +
             "\rByte-1          " + ReportByte(s.Bytes[0]) + "\rByte-2          " +
             ReportByte(s.Bytes[1]) + LockBitLines(lockByte, kLockBitsRead, false) +
             ((fuseByte & kFuseBitRead) ? "\rISP Bit         OFF" : "\rISP Bit         ON");
  return s;
}

}  // namespace

const DeviceFamily kFamilyS53 = {.Read = shared_steps::ReadPass,
                                 .EraseWriteVerify = EraseWriteVerify,
                                 .WriteLockBits = WriteLockBits,
                                 .ReadSignature = ReadSignature,
                                 .SignatureFollowsAddressForm = true,
                                 .SignatureRaisesVoltage = true,
                                 .SignatureReadsLockBits = true};

}  // namespace kaldo
