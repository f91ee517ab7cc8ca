// The delay timer for backends that cannot reach the PC's own 8254: counter 2 (data port 0x42,
// command port 0x43) and system control port 0x61, emulated on the host's monotonic clock. The
// waits of Port program and poll it exactly as they would the real chip, and each one lasts at
// least its count at 1,193,182 Hz.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "link/IoSpace.h"

namespace kaldo {

// A monotonic time source that can also sleep; tests substitute their own.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::chrono::nanoseconds now() = 0;
  virtual void sleepFor(std::chrono::nanoseconds duration) = 0;
};

class SteadyClock : public Clock {
 public:
  std::chrono::nanoseconds now() override;
  void sleepFor(std::chrono::nanoseconds duration) override;
};

// Counter 2 as the program uses it: control words for counter 2 (access mode LSB, MSB or LSB then
// MSB), the counter-latch command and the read-back command (status and count). Mode 0 (one-shot,
// output high at terminal count) is timed; counting runs while the gate (port 0x61 bit 0) is on.
// In the other modes the output stays high: the speaker is never driven. Counting is binary.
// Port 0x61: bits 0..3 keep what was written, bit 5 is the counter's output.
// A read of port 0x61 while more than kSleepAbove of a one-shot remains sleeps until kSpinLast
// before its end, kSleepAtMost at a time: a wait then leaves the processor to others, the busy
// polls of its last stretch end it on time even when the sleep wakes late, and the poller looks
// at its stop flag at least every kSleepAtMost.
class ClockTimer : public IoSpace {
 public:
  static constexpr std::int64_t kHz = 1193182;  // the PC timer clock
  static constexpr std::chrono::nanoseconds kSleepAbove{1000000};
  static constexpr std::chrono::nanoseconds kSpinLast{300000};
  static constexpr std::chrono::nanoseconds kSleepAtMost{5000000};

  explicit ClockTimer(Clock& clock);

  void write(std::uint16_t port, std::uint8_t value) override;
  std::uint8_t read(std::uint16_t port) override;

 private:
  void writeCommand(std::uint8_t value);
  void writeCount(std::uint8_t value);
  std::uint8_t readCount();
  void setGate(bool on);
  std::chrono::nanoseconds elapsed();
  std::int64_t elapsedTicks();
  std::chrono::nanoseconds timeLeft();
  std::uint16_t currentCount();
  bool output();
  std::uint8_t status();

  Clock& clock_;
  int mode_ = 3;
  int access_ = 3;  // 1 LSB only, 2 MSB only, 3 LSB then MSB
  bool bcd_ = false;
  std::uint32_t count_ = 0x10000;  // a loaded 0 counts 65536
  bool counting_ = false;          // a count is loaded in mode 0
  bool nullCount_ = false;
  std::uint8_t pendingLow_ = 0;
  bool writeHigh_ = false;  // next count byte written is the MSB
  bool readHigh_ = false;   // next unlatched count byte read is the MSB
  std::optional<std::uint8_t> latchedStatus_;
  std::optional<std::uint16_t> latchedCount_;
  bool latchedHighNext_ = false;
  bool gate_ = false;
  std::uint8_t port61_ = 0;
  std::chrono::nanoseconds runBefore_{0};  // counting time before the gate last went on
  std::chrono::nanoseconds gateOnAt_{0};
};

}  // namespace kaldo
