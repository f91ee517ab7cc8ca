// Lock bits and the ISP fuse, written after a verified write. Nothing is read back.
#include "device/DeviceOperations.h"

namespace kaldo {

namespace {
constexpr int kSelectable40[3] = {kLockBit1, kLockBit2, kLockBit3};
constexpr int kSelectable20[2] = {kLockBit1, kLockBit2};

// AT89S53, S8252: the fuse byte is 0xFF, or 0xFE to write the ISP fuse; in the lock-bit byte a
// selected lock bit is a 0: bit 7 Lock Bit-1, bit 6 Lock Bit-2, bit 5 Lock Bit-3.
constexpr int kFuseByteIsp = 0xFE;
constexpr int kLockByteClear[3] = {0x7F, 0xBF, 0xDF};

// For each lock bit selected in progBits, in the order lock bit 1, 2, 3: its mode code latched,
// then the device's pulse.
template <std::size_t N, typename Pulse>
void PulseSelected(Board& board, int progBits, const int (&bits)[N], const int (&modes)[N],
                   Pulse pulse) {
  for (std::size_t i = 0; i < N; ++i) {
    if (!(progBits & bits[i])) continue;
    board.LatchMode(modes[i]);
    pulse();
  }
}
}  // namespace

// AT89C51, C52, C55 (Strobe, 2 ms) and AT89S51, S52 (SelectIn, 50 us): one pulse per lock bit.
void DeviceOperations::LockBitsL1(bool selectIn) {
  board_.EnableDataOutputs(false);
  board_.BeginOperation();
  board_.SetModeBit0();
  board_.ClearAutoFeed();
  PulseSelected(board_, state_.ProgBits, kSelectable40, kModeLock40, [&] {
    if (selectIn) {
      board_.PulseSelectIn();
      Wait(&RoutineWaits::LockSelectIn);
    } else {
      board_.PulseStrobe();
      Wait(&RoutineWaits::LockStrobe);
    }
  });
  board_.SetAutoFeed();
}

// AT89S53, S8252: the ISP fuse byte, then the lock bits as one byte; both always written.
void DeviceOperations::LockBitsL2() {
  board_.SetData((state_.ProgBits & kIspFuse) ? kFuseByteIsp : kBlank);
  board_.BeginOperation();
  board_.SetModeBit0();
  board_.ClearAutoFeed();
  board_.EnableDataOutputs(true);
  board_.LatchMode(kModeFuseWriteS53);
  board_.SetStrobe();
  Wait(&RoutineWaits::FuseS53);
  board_.ClearStrobe();
  board_.SetAutoFeed();

  int lockByte = kBlank;
  for (int i = 0; i < 3; ++i)
    if (state_.ProgBits & kSelectable40[i]) lockByte &= kLockByteClear[i];
  board_.SetData(lockByte);
  board_.ClearAutoFeed();
  board_.LatchMode(kModeLockWriteS53);
  board_.PulseStrobe();
  Wait(&RoutineWaits::LockByteS53);
  board_.EnableDataOutputs(false);
  board_.SetAutoFeed();
}

// AT89C55WD, C51RC: Init held low, one timed Strobe pulse per lock bit.
void DeviceOperations::LockBitsL3() {
  board_.EnableDataOutputs(false);
  board_.BeginOperation();
  board_.ClearInit();
  board_.SetModeBit0();
  board_.ClearAutoFeed();
  PulseSelected(board_, state_.ProgBits, kSelectable40, kModeLock40, [&] {
    board_.SetStrobe();
    Wait(&RoutineWaits::LockC55WD);
    board_.ClearStrobe();
  });
  board_.SetInit();
  board_.SetAutoFeed();
}

// The 20-pin devices: lock bits 1 and 2 only.
void DeviceOperations::LockBitsL4() {
  board_.SetModeBit0();
  board_.SetAddressHigh(kCounterIdle);
  board_.EnableDataOutputs(false);
  board_.BeginOperation();
  board_.ClearAutoFeed();
  PulseSelected(board_, state_.ProgBits, kSelectable20, kModeLock20, [&] {
    board_.PulseStrobe();
    Wait(&RoutineWaits::LockStrobe);
  });
  board_.SetAutoFeed();
}

}  // namespace kaldo
