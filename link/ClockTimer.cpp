#include "link/ClockTimer.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <thread>

#include "link/PcPorts.h"

namespace kaldo {

std::chrono::nanoseconds SteadyClock::now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

void SteadyClock::sleepFor(std::chrono::nanoseconds duration) {
  std::this_thread::sleep_for(duration);
}

ClockTimer::ClockTimer(Clock& clock) : clock_(clock) {}

void ClockTimer::write(std::uint16_t port, std::uint8_t value) {
  switch (port) {
    case kTimerCommand:
      writeCommand(value);
      return;
    case kTimer2Data:
      writeCount(value);
      return;
    case kSystemControl:
      port61_ = value & 0x0F;
      setGate(value & kTimer2Gate);
      return;
    default:
      throw std::invalid_argument("the clock-backed timer has no port " + std::to_string(port));
  }
}

std::uint8_t ClockTimer::read(std::uint16_t port) {
  switch (port) {
    case kTimer2Data:
      return readCount();
    case kSystemControl:
      if (const auto left = timeLeft(); left > kSleepAbove)
        clock_.sleepFor(std::min(left - kSpinLast, kSleepAtMost));
      return port61_ | (output() ? kTimer2Output : 0x00);
    case kTimerCommand:
      return 0xFF;  // the command register cannot be read
    default:
      throw std::invalid_argument("the clock-backed timer has no port " + std::to_string(port));
  }
}

// Control word: bits 7-6 counter (2 = counter 2, 3 = read-back), bits 5-4 access mode
// (0 = counter latch), bits 3-1 mode, bit 0 BCD. Read-back: bit 5 = 0 latches the count, bit 4 = 0
// latches the status, bit 3 selects counter 2.
void ClockTimer::writeCommand(std::uint8_t value) {
  const int counter = value >> 6;
  if (counter == 3) {
    if (!(value & 0x08)) return;
    if (!(value & 0x20) && !latchedCount_) {
      latchedCount_ = currentCount();
      latchedHighNext_ = false;
    }
    if (!(value & 0x10) && !latchedStatus_) latchedStatus_ = status();
    return;
  }
  if (counter != 2) return;  // counters 0 and 1 belong to the system
  const int access = (value >> 4) & 3;
  if (access == 0) {
    if (!latchedCount_) {
      latchedCount_ = currentCount();
      latchedHighNext_ = false;
    }
    return;
  }
  access_ = access;
  mode_ = (value >> 1) & 7;
  if (mode_ > 5) mode_ -= 4;  // 6 and 7 are aliases of 2 and 3
  bcd_ = value & 0x01;
  counting_ = false;
  nullCount_ = true;
  writeHigh_ = false;
  readHigh_ = false;
}

void ClockTimer::writeCount(std::uint8_t value) {
  std::uint32_t count = 0;
  if (access_ == 1) {
    count = value;
  } else if (access_ == 2) {
    count = std::uint32_t{value} << 8;
  } else if (!writeHigh_) {
    pendingLow_ = value;
    writeHigh_ = true;
    counting_ = false;  // the first byte stops a mode-0 count
    return;
  } else {
    count = pendingLow_ | (std::uint32_t{value} << 8);
    writeHigh_ = false;
  }
  count_ = count == 0 ? 0x10000 : count;
  nullCount_ = false;
  counting_ = mode_ == 0;
  runBefore_ = std::chrono::nanoseconds{0};
  gateOnAt_ = clock_.now();
}

std::uint8_t ClockTimer::readCount() {
  if (latchedStatus_) {
    const std::uint8_t s = *latchedStatus_;
    latchedStatus_.reset();
    return s;
  }
  if (latchedCount_) {
    const std::uint16_t c = *latchedCount_;
    if (access_ == 1) {
      latchedCount_.reset();
      return c & 0xFF;
    }
    if (access_ == 2) {
      latchedCount_.reset();
      return c >> 8;
    }
    if (!latchedHighNext_) {
      latchedHighNext_ = true;
      return c & 0xFF;
    }
    latchedCount_.reset();
    return c >> 8;
  }
  const std::uint16_t c = currentCount();
  if (access_ == 1) return c & 0xFF;
  if (access_ == 2) return c >> 8;
  readHigh_ = !readHigh_;
  return readHigh_ ? (c & 0xFF) : (c >> 8);
}

void ClockTimer::setGate(bool on) {
  if (on == gate_) return;
  const auto now = clock_.now();
  if (on) {
    gateOnAt_ = now;
  } else {
    runBefore_ += now - gateOnAt_;
  }
  gate_ = on;
}

std::chrono::nanoseconds ClockTimer::elapsed() {
  return gate_ ? runBefore_ + (clock_.now() - gateOnAt_) : runBefore_;
}

std::int64_t ClockTimer::elapsedTicks() {
  const std::int64_t ns = elapsed().count();
  if (ns <= 0) return 0;
  constexpr std::int64_t kNsPerSecond = 1000000000;
  // Split so that hours of counting cannot overflow.
  return ns / kNsPerSecond * kHz + ns % kNsPerSecond * kHz / kNsPerSecond;
}

std::chrono::nanoseconds ClockTimer::timeLeft() {
  if (mode_ != 0 || !counting_ || !gate_) return std::chrono::nanoseconds{0};
  const std::int64_t endNs = (static_cast<std::int64_t>(count_) * 1000000000 + kHz - 1) / kHz;
  return std::chrono::nanoseconds{endNs} - elapsed();
}

std::uint16_t ClockTimer::currentCount() {
  if (!counting_) return count_ & 0xFFFF;
  // After terminal count a mode-0 counter wraps and goes on counting down.
  return static_cast<std::uint16_t>((static_cast<std::int64_t>(count_) - elapsedTicks()) & 0xFFFF);
}

bool ClockTimer::output() {
  if (mode_ != 0) return true;
  if (!counting_) return false;
  return elapsedTicks() >= static_cast<std::int64_t>(count_);
}

// Read-back status: bit 7 output, bit 6 null count, bits 5-4 access mode, bits 3-1 mode, bit 0 BCD.
std::uint8_t ClockTimer::status() {
  return (output() ? 0x80 : 0) | (nullCount_ ? 0x40 : 0) | (access_ << 4) | (mode_ << 1) |
         (bcd_ ? 1 : 0);
}

}  // namespace kaldo
