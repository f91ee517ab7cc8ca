#include "sim/ProgrammerBoard.h"

namespace kaldo::sim {

namespace {

constexpr std::uint8_t kInData = 0x01;
constexpr std::uint8_t kClock = 0x02;
constexpr std::uint8_t kRelease = 0x04;
constexpr std::uint8_t kLoad = 0x08;
constexpr std::uint8_t kInLow = 0x10;
constexpr std::uint8_t kInHigh = 0x20;
constexpr std::uint8_t kInMode = 0x40;
constexpr std::uint8_t kLatch = 0x80;

constexpr std::uint8_t kStrobeLine = 0x01;
constexpr std::uint8_t kSelectInLine = 0x08;
constexpr std::uint8_t kControlLines = 0x0F;

constexpr std::uint8_t kSocketIdle = 0x80;

std::uint8_t ShiftIn(std::uint8_t reg, bool bit) {
  return static_cast<std::uint8_t>((reg << 1) | (bit ? 1 : 0));
}

}  // namespace

void ProgrammerBoard::WriteData(std::uint8_t value, std::uint64_t ns) {
  const std::uint8_t old = dataRegister_;
  dataRegister_ = value;
  if (!present) return;

  const bool latch = (old & kLatch) == 0 && (value & kLatch) != 0;
  const bool driven = (value & kRelease) == 0;
  if (latch || driven != lines_.dataDriven) {
    const BoardLines before = lines_;
    lines_.dataDriven = driven;
    if (latch) {
      lines_.data = shiftData_;
      lines_.addressLow = shiftLow_;
      lines_.addressHigh = shiftHigh_;
      lines_.mode = shiftMode_;
      if (trace_.eventsOn) {
        BoardEvent event(EventKind::Latch, ns);
        event.data = lines_.data;
        event.addressLow = lines_.addressLow;
        event.addressHigh = lines_.addressHigh;
        event.mode = lines_.mode;
        event.driven = lines_.dataDriven;
        trace_.Record(event);
      }
    }
    if (!(before == lines_)) LinesChanged(before, ns);
  }

  if ((old & kClock) == 0 && (value & kClock) != 0) {
    if (value & kLoad) {
      std::uint8_t captured = 0xFF;  // undriven lines are pulled high
      if (lines_.dataDriven) captured &= lines_.data;
      if (const auto out = chip_.Output(lines_)) captured &= *out;
      readBack_ = captured;
      if (trace_.eventsOn) {
        BoardEvent event(EventKind::Capture, ns);
        event.value = captured;
        trace_.Record(event);
      }
    } else {
      readBack_ = static_cast<std::uint8_t>(readBack_ << 1);
    }
    shiftData_ = ShiftIn(shiftData_, value & kInData);
    shiftLow_ = ShiftIn(shiftLow_, value & kInLow);
    shiftHigh_ = ShiftIn(shiftHigh_, value & kInHigh);
    shiftMode_ = ShiftIn(shiftMode_, value & kInMode);
  }
}

void ProgrammerBoard::WriteControl(std::uint8_t value, std::uint64_t ns) {
  if (!present) return;
  BoardEvent control(EventKind::Control, ns);
  control.value = value;
  trace_.Record(control);

  const BoardLines before = lines_;
  lines_.control = value & kControlLines;
  const auto edge = [&](std::uint8_t mask, PulseLine line, std::uint64_t& riseNs) {
    const bool was = (before.control & mask) != 0;
    const bool is = (lines_.control & mask) != 0;
    if (!was && is) riseNs = ns;
    if (was && !is) {
      BoardEvent pulse(EventKind::Pulse, ns);
      pulse.line = line;
      pulse.widthNs = ns - riseNs;
      trace_.Record(pulse);
    }
  };
  edge(kStrobeLine, PulseLine::Strobe, strobeRiseNs_);
  edge(kSelectInLine, PulseLine::SelectIn, selectInRiseNs_);
  if (!(before == lines_)) LinesChanged(before, ns);
}

void ProgrammerBoard::LinesChanged(const BoardLines& before, std::uint64_t ns) {
  if ((before.mode & kSocketIdle) != 0 && (lines_.mode & kSocketIdle) == 0 && beforeActivation) {
    beforeActivation();
  }
  chip_.Update(lines_, ns);
}

std::uint8_t ProgrammerBoard::ReadStatus() const {
  if (!present) return 0x7F;
  return (readBack_ & 0x80) ? 0x7F : 0xFF;
}

}  // namespace kaldo::sim
