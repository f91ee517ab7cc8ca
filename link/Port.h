// Port access and the delay timer: PortOut/PortIn over an IoSpace, and the one-shot waits on
// counter 2 of the PC's 8254 interval timer, polled through system control port 0x61.
#pragma once

#include <cstdint>
#include <functional>

#include "core/model/LptPorts.h"
#include "core/system/StopFlag.h"
#include "link/IoSpace.h"
#include "link/PcPorts.h"

namespace kaldo {

// Control word: counter 2 (bits 7-6 = 10), LSB then MSB (bits 5-4 = 11), mode 0, binary.
inline constexpr int kTimer2OneShot = 0xB0;
// Read-back command: bits 7-6 = 11, bit 5 = 1 (count not latched), bit 4 = 0 (latch status),
// bit 3 = counter 2.
inline constexpr int kReadBackTimer2Status = 0xE8;

// One-shot counts at the 1,193,182 Hz timer clock (N / 1.193182 MHz).
inline constexpr int kCount50us = 60;     // 50.3 us
inline constexpr int kCount100us = 119;   // 99.7 us
inline constexpr int kCount2ms = 2387;    // 2.0005 ms
inline constexpr int kCount10ms = 11932;  // 10.0002 ms
inline constexpr int kCount55ms = 65535;  // 54.9 ms (65535, not the full 65536)
inline constexpr int kTenMsWaitsIn500ms = 50;

// Short waits: counter 2 in mode 0, LSB only (bits 5-4 = 01), so that one byte to port 0x42
// starts each one; they last 1 to 255 timer clocks (up to 213 us).
inline constexpr int kTimer2ShortOneShot = 0x90;
inline constexpr int kLongestShortWait = 255;
inline constexpr std::int64_t kTimerClockHz = 1'193'182;

// The timer clocks a wait needs to last at least `ns` nanoseconds.
constexpr int TimerCountFor(std::int64_t ns) {
  return static_cast<int>((ns * kTimerClockHz + 999'999'999) / 1'000'000'000);
}

class Port {
 public:
  // Host monotonic time in nanoseconds. Only the wait's time-out reads it, so that a counter that
  // never ends is noticed in real time, whatever time the I/O space itself keeps.
  using HostClock = std::function<std::int64_t()>;

  explicit Port(IoSpace& io);
  Port(IoSpace& io, HostClock clock);

  // Only the low 8 bits of value are written.
  void PortOut(std::uint16_t port, int value);
  // Three reads in a row; the third is returned (0..255).
  int PortIn(std::uint16_t port);

  // The LPT port the board is on: its registers are base + 0, + 1, + 2 from now on, and the I/O
  // space is told so. Nothing is written and the board is not reset.
  void SetPortBase(std::uint16_t base);
  std::uint16_t PortBase() const { return portBase_; }

  void InitDelayTimer();
  void SaveTimer2Mode();
  void RestoreDelayTimer();

  void Delay50us();
  void Delay100us();
  void Delay2ms();
  void Delay10ms();
  void Delay55ms();
  void Delay500ms();

  // A short wait that runs while the caller goes on: StartShortWait(count) starts counter 2 (1 to
  // kLongestShortWait clocks; the first one after another wait sets the counter's mode and opens
  // its gate), EndShortWait polls port 0x61 once a read until the count has run out. The gate
  // stays open until StopShortWaits or the next long wait.
  void StartShortWait(int count);
  void EndShortWait();
  void StopShortWaits();

  // One read of the port, for a line that needs no settling (0..255).
  int PortInOnce(std::uint16_t port);

  int Port61Image = 0;
  int SavedPort61 = 0;
  int SavedTimer2Mode = 0;

  // A single wait lasts at most 55 ms on a PC; one that has not ended after this much host time
  // never will (no access to the timer), and raises TimerWaitError.
  std::int64_t WaitTimeoutNs = 5'000'000'000;

  // The flag that stops a wait (at its next poll of the timer, gate turned off) and the device
  // routines (at their next byte); null: nothing stops them.
  void WatchStop(const StopFlag* flag) { stop_ = flag; }
  // Raises StoppedError when a stop is asked for, unless stops are being ignored.
  void ThrowIfStopped() const {
    if (stop_ && stopsIgnored_ == 0 && stop_->Requested()) throw StoppedError(stop_->Signal());
  }
  // While one lives, the port runs as if no stop were asked: a board reset runs to its end
  // however many signals arrive meanwhile.
  class StopsIgnored {
   public:
    explicit StopsIgnored(Port& port) : port_(port) { ++port_.stopsIgnored_; }
    ~StopsIgnored() { --port_.stopsIgnored_; }
    StopsIgnored(const StopsIgnored&) = delete;
    StopsIgnored& operator=(const StopsIgnored&) = delete;

   private:
    Port& port_;
  };

 private:
  void OneShotWait(int count);

  IoSpace& io_;
  HostClock clock_;
  std::uint16_t portBase_ = kLpt1Base;  // until told another
  const StopFlag* stop_ = nullptr;
  int stopsIgnored_ = 0;
  bool shortWaitsReady_ = false;  // counter 2 is in the short waits' mode with its gate open
};

}  // namespace kaldo
