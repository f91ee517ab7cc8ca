// The signature and program-bits report. The bytes are shown as read, never checked.
#include <string>

#include "core/Convert.h"
#include "device/DeviceOperations.h"

namespace kaldo {

namespace {

std::string Byte(int value) {
  return IntToHex(static_cast<unsigned>(value), 2);
}

// Lock-bit lines: bit is the mask of Lock Bit-1, -2, -3 in the lock byte; setMeansOn tells which
// state the device reports for a programmed bit.
std::string LockLines(int lockByte, const int (&bits)[3], bool setMeansOn) {
  std::string text;
  for (int i = 0; i < 3; ++i) {
    const bool on = ((lockByte & bits[i]) != 0) == setMeansOn;
    text += "\rLock Bit-" + std::to_string(i + 1) + (on ? "    ON" : "    OFF");
  }
  return text;
}

// AT89S51 group lock byte: bits 2, 3, 4 are Lock Bit-1, -2, -3, 1 = programmed.
constexpr int kLockBitsS51[3] = {0x04, 0x08, 0x10};
// AT89S53 group lock byte: bits 2, 1, 0 are Lock Bit-1, -2, -3, 0 = programmed; fuse bit 0
// likewise.
constexpr int kLockBitsS53[3] = {0x04, 0x02, 0x01};
constexpr int kFuseBitS53 = 0x01;
// Signature bytes of the 40-pin devices read at 0x30 upward, except the AT89S51 group's.
constexpr std::uint32_t kSignatureAddress = 0x30;

// One byte through the latched mode and address.
int ReadLatched(Board& board) {
  board.ShiftOutLatches();
  board.ShiftInData();
  return board.ReadBack();
}

}  // namespace

void DeviceOperations::ReadSignatureBytes(const RoutineProfile& p, int count) {
  for (int i = 0; i < count; ++i) {
    LoadAddress(p, kSignatureAddress + static_cast<std::uint32_t>(i));
    SignatureBytes[static_cast<std::size_t>(i)] = ReadLatched(board_);
  }
}

std::string DeviceOperations::SignatureC51(const RoutineProfile& p) {
  board_.BeginOperation();
  board_.LatchMode(kModeSignatureC51);
  ReadSignatureBytes(p, 3);  // the AT89C51 keeps its address-high bit 4 set
  board_.ResetBoard();
  return std::string("Signature Bytes Info For ") + p.SignatureName() +
         "\rByte-1  = " + Byte(SignatureBytes[0]) + "\rByte-2  = " + Byte(SignatureBytes[1]) +
         "\rByte-3  = " + Byte(SignatureBytes[2]);
}

std::string DeviceOperations::SignatureS51(const RoutineProfile& p) {
  board_.BeginOperation();
  board_.LatchMode(kModeSignatureS51);
  for (int i = 0; i < 3; ++i) {
    board_.SetAddress(0, i);
    SignatureBytes[static_cast<std::size_t>(i)] = ReadLatched(board_);
  }
  board_.SetMode(kModeLockReadS51);  // at the last signature address
  SignatureBytes[3] = ReadLatched(board_);
  board_.ResetBoard();
  return std::string("Signature & Program Bits Info For ") + p.SignatureName() +
         "\rByte-1         " + Byte(SignatureBytes[0]) + "\rByte-2         " +
         Byte(SignatureBytes[1]) + "\rByte-3         " + Byte(SignatureBytes[2]) +
         LockLines(SignatureBytes[3], kLockBitsS51, true);
}

std::string DeviceOperations::SignatureS53(const RoutineProfile& p) {
  board_.BeginOperation();
  board_.SetModeBit0();
  board_.ClearAutoFeed();
  board_.LatchMode(kModeSignatureC51);
  ReadSignatureBytes(p, 2);
  board_.SetMode(kModeLockReadS53);  // at the last signature address
  SignatureBytes[2] = ReadLatched(board_);
  board_.SetMode(kModeFuseReadS53);
  SignatureBytes[3] = ReadLatched(board_);
  board_.SetAutoFeed();
  board_.ResetBoard();
  return std::string("Signature & Program Bits Info For ") + p.SignatureName() +
         "\rByte-1          " + Byte(SignatureBytes[0]) + "\rByte-2          " +
         Byte(SignatureBytes[1]) + LockLines(SignatureBytes[2], kLockBitsS53, false) +
         ((SignatureBytes[3] & kFuseBitS53) ? "\rISP Bit         OFF" : "\rISP Bit         ON");
}

std::string DeviceOperations::SignaturePin20(const RoutineProfile& p) {
  board_.SetAddressHigh(kCounterIdle);
  board_.BeginOperation();
  board_.LatchMode(kModeSignature20);
  for (int i = 0; i < 2; ++i) {
    board_.ReadDataByte();
    SignatureBytes[i] = board_.ReadBack();
    board_.PulseAddressHighBit0();
  }
  board_.ResetBoard();
  return std::string("Signature Bytes Info For ") + p.SignatureName() +
         "\rByte-1  = " + Byte(SignatureBytes[0]) + "\rByte-2  = " + Byte(SignatureBytes[1]);
}

}  // namespace kaldo
