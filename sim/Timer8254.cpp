#include "sim/Timer8254.h"

#include <algorithm>

namespace kaldo::sim {

namespace {
constexpr std::uint64_t kNsPerSecond = 1'000'000'000;
}

std::uint64_t TicksAt(std::uint64_t ns) {
  return (ns / kNsPerSecond) * kTimerHz + ((ns % kNsPerSecond) * kTimerHz) / kNsPerSecond;
}

std::uint64_t NsAtTick(std::uint64_t ticks) {
  const std::uint64_t q = ticks / kTimerHz;
  const std::uint64_t r = ticks % kTimerHz;
  return q * kNsPerSecond + (r * kNsPerSecond + kTimerHz - 1) / kTimerHz;
}

Timer2::Timer2(std::uint8_t status, std::uint16_t count)
    : control_(status & 0x3F),
      access_((status >> 4) & 3),
      mode_((status >> 1) & 7),
      initialOut_((status & 0x80) != 0),
      initialNull_((status & 0x40) != 0),
      reload_(count == 0 ? 65536u : count) {
  if (access_ == 0) access_ = 3;
  if (mode_ > 5) mode_ -= 4;
}

std::uint64_t Timer2::Counted(std::uint64_t tick) const {
  if (!armed_ || tick < loadTick_) return 0;
  std::uint64_t counted = countedBefore_;
  if (gate_ && tick > stretchStart_) counted += tick - stretchStart_;
  return counted;
}

std::uint16_t Timer2::CountAt(std::uint64_t ns) const {
  const std::uint64_t tick = TicksAt(ns);
  if (!armed_ || tick < loadTick_) return static_cast<std::uint16_t>(reload_);
  const std::uint64_t counted = Counted(tick);
  if (mode_ == 3) return static_cast<std::uint16_t>(reload_ - counted % reload_);
  return static_cast<std::uint16_t>(reload_ - counted);
}

std::uint8_t Timer2::Status(std::uint64_t ns) const {
  bool null = initial_ ? initialNull_ : nullCount_;
  if (!initial_ && armed_ && TicksAt(ns) >= loadTick_) null = false;
  return static_cast<std::uint8_t>((Output(ns) ? 0x80 : 0) | (null ? 0x40 : 0) | control_);
}

bool Timer2::Output(std::uint64_t ns) const {
  if (initial_) return initialOut_;
  switch (mode_) {
    case 0:
      if (terminal_) return true;
      if (!armed_ || !gate_) return false;
      return ns >= outHighNs_;
    case 3: {
      if (!armed_ || !gate_) return true;
      const std::uint64_t tick = TicksAt(ns);
      if (tick < loadTick_) return true;
      return Counted(tick) % reload_ < (reload_ + 1) / 2;
    }
    default:
      return true;
  }
}

void Timer2::UpdateOutputTime() {
  if (mode_ != 0 || !armed_ || !gate_ || terminal_) return;
  outHighNs_ =
      NsAtTick(stretchStart_ + (reload_ - std::min<std::uint64_t>(countedBefore_, reload_)));
}

void Timer2::WriteControl(std::uint8_t word, std::uint64_t ns) {
  const int select = word >> 6;
  if (select == 3) {
    if ((word & 0x08) == 0) return;
    if ((word & 0x20) == 0 && countLatchBytes_ == 0) {
      latchedCount_ = CountAt(ns);
      countLatchBytes_ = access_ == 3 ? 2 : 1;
    }
    if ((word & 0x10) == 0 && !statusLatched_) {
      latchedStatus_ = Status(ns);
      statusLatched_ = true;
    }
    return;
  }
  if (select != 2) return;
  const int access = (word >> 4) & 3;
  if (access == 0) {
    if (countLatchBytes_ == 0) {
      latchedCount_ = CountAt(ns);
      countLatchBytes_ = access_ == 3 ? 2 : 1;
    }
    return;
  }
  control_ = word & 0x3F;
  access_ = access;
  mode_ = (word >> 1) & 7;
  if (mode_ > 5) mode_ -= 4;
  initial_ = false;
  armed_ = false;
  terminal_ = false;
  nullCount_ = true;
  msbNext_ = false;
  readMsbNext_ = false;
  countedBefore_ = 0;
}

void Timer2::Arm(std::uint64_t ns) {
  loadTick_ = TicksAt(ns) + 1;
  armed_ = true;
  nullCount_ = true;
  terminal_ = false;
  countedBefore_ = 0;
  if (gate_) stretchStart_ = loadTick_;
  UpdateOutputTime();
}

bool Timer2::WriteData(std::uint8_t value, std::uint64_t ns) {
  if (initial_) {
    // No control word since power-on: the BIOS's access mode applies.
    initial_ = false;
    nullCount_ = true;
  }
  switch (access_) {
    case 1:
      reload_ = value == 0 ? 65536u : value;
      break;
    case 2:
      reload_ = value == 0 ? 65536u : static_cast<std::uint32_t>(value) << 8;
      break;
    default:
      if (!msbNext_) {
        lsb_ = value;
        msbNext_ = true;
        if (mode_ == 0) {
          // Writing the first byte stops the count; OUT is low again.
          armed_ = false;
          terminal_ = false;
        }
        return false;
      }
      msbNext_ = false;
      {
        const std::uint32_t count = lsb_ | static_cast<std::uint32_t>(value) << 8;
        reload_ = count == 0 ? 65536u : count;
      }
      break;
  }
  Arm(ns);
  return true;
}

std::uint8_t Timer2::ReadData(std::uint64_t ns) {
  if (statusLatched_) {
    statusLatched_ = false;
    return latchedStatus_;
  }
  std::uint16_t count;
  if (countLatchBytes_ > 0) {
    --countLatchBytes_;
    count = latchedCount_;
  } else {
    count = CountAt(ns);
  }
  bool msb = access_ == 2;
  if (access_ == 3) {
    msb = readMsbNext_;
    readMsbNext_ = !readMsbNext_;
  }
  return static_cast<std::uint8_t>(msb ? count >> 8 : count & 0xFF);
}

void Timer2::SetGate(bool gate, std::uint64_t ns) {
  if (gate == gate_) return;
  const std::uint64_t tick = TicksAt(ns);
  if (!gate) {
    if (armed_) {
      const std::uint64_t counted = Counted(tick);
      if (mode_ == 0 && counted >= reload_) terminal_ = true;
      countedBefore_ = counted;
    }
    gate_ = false;
    return;
  }
  gate_ = true;
  if (mode_ == 3) countedBefore_ = 0;
  stretchStart_ = std::max(tick, loadTick_);
  UpdateOutputTime();
}

}  // namespace kaldo::sim
