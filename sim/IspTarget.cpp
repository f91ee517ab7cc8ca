#include "sim/IspTarget.h"

#include <cstdio>
#include <string_view>

namespace kaldo::sim {

namespace {

constexpr std::uint64_t kNsPerSecond = 1'000'000'000;

std::string Hex2(unsigned v) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
  return buf;
}

// "AC 53 00 00"; a long frame as its first bytes and the count of the rest, "50 12 +256".
std::string FrameText(const std::vector<std::uint8_t>& frame) {
  std::string text;
  const std::size_t shown = frame.size() > 4 ? 2 : frame.size();
  for (std::size_t i = 0; i < shown; ++i) text += (i ? " " : "") + Hex2(frame[i]);
  if (shown < frame.size()) text += " +" + std::to_string(frame.size() - shown);
  return text;
}

}  // namespace

const IspInstructions* IspInstructionsOf(const Chip& chip) {
  const std::string_view name = SpecOf(chip.type).name;
  if (name == "AT89S51") return &IspS51Instructions(0x1000);
  if (name == "AT89S52") return &IspS51Instructions(0x2000);
  if (name == "AT89S53") return &IspS53Instructions();
  if (name == "AT89S8252") return &IspS8252Instructions();
  return nullptr;
}

IspTarget::IspTarget(Trace& trace, const Setup& setup, Host host)
    : trace_(trace), setup_(setup), host_(std::move(host)) {
  frame_.reserve(258);
}

void IspTarget::Note(const std::string& text, EventKind kind) {
  if (!trace_.eventsOn) return;
  BoardEvent event(kind, nowNs_);
  event.note = text;
  trace_.Record(event);
}

void IspTarget::Pins(bool rst, bool sck, bool mosi, std::uint64_t ns) {
  nowNs_ = ns;
  const bool rstRose = rst && !rst_;
  const bool sckWasHigh = sck_;
  const bool sckRose = sck && !sck_;
  const bool sckFell = !sck && sck_;
  const bool mosiChanged = mosi != mosi_;
  rst_ = rst;
  sck_ = sck;
  mosi_ = mosi;
  if (!rst) {
    answering_ = false;
    return;
  }
  if (rstRose) {
    StartSession();
    return;
  }
  if (!answering_) return;
  if (host_.chip() != chip_) {  // the socket's chip was changed under the session
    answering_ = false;
    return;
  }
  if (mosiChanged && sckWasHigh && bitPending_ && !Lasted(riseNs_, 2)) {
    TimingFault("MOSI held after SCK rose", riseNs_, 2);
    corrupt_ = true;
  }
  if (sckRose) Rise(mosiChanged);
  if (sckFell) Fall();
}

void IspTarget::StartSession() {
  if (host_.sessionStarts) host_.sessionStarts();
  chip_ = host_.chip();
  set_ = chip_ != nullptr ? IspInstructionsOf(*chip_) : nullptr;
  enabled_ = risen_ = bitPending_ = corrupt_ = false;
  shiftIn_ = shiftOut_ = 0;
  bitsIn_ = 0;
  frame_.clear();
  lowSinceNs_ = nowNs_;
  answering_ = false;
  if (set_ == nullptr)
    Note("no answer: no chip with a serial programming interface", EventKind::Isp);
  else if (setup_.noCrystal || setup_.crystalHz == 0)
    Note("no answer: the chip has no clock", EventKind::Isp);
  else if (set_->Facts().hasFuse && !chip_->ispFuse)
    Note("no answer: the serial programming fuse is off", EventKind::Isp);
  else
    answering_ = true;
}

std::optional<bool> IspTarget::Miso() const {
  if (!answering_) return std::nullopt;
  return (shiftOut_ & 0x80) != 0;
}

bool IspTarget::Lasted(std::uint64_t fromNs, std::uint32_t clocks) const {
  const std::uint64_t elapsed = nowNs_ - fromNs;
  if (elapsed >= kNsPerSecond) return true;
  return elapsed * setup_.crystalHz >= clocks * kNsPerSecond;
}

void IspTarget::TimingFault(const std::string& what, std::uint64_t fromNs, std::uint32_t clocks) {
  ++flags_.timing;
  if (!trace_.eventsOn) return;
  const std::uint64_t needNs = (clocks * kNsPerSecond + setup_.crystalHz - 1) / setup_.crystalHz;
  Note(what + " " + std::to_string(nowNs_ - fromNs) + " ns, needs " + std::to_string(clocks) +
           " tCLCL = " + std::to_string(needNs) + " ns",
       EventKind::IspFlag);
}

void IspTarget::Rise(bool mosiChanged) {
  const IspInstructions::Family& f = set_->Facts();
  corrupt_ = false;
  if (!risen_ && f.entryClocks != 0 && !Lasted(lowSinceNs_, f.entryClocks)) {
    TimingFault("SCK low after RST rose", lowSinceNs_, f.entryClocks);
    Note("out of step until RST falls", EventKind::Isp);
    answering_ = false;
    return;
  }
  if (!Lasted(lowSinceNs_, f.phaseClocks)) {
    TimingFault("SCK low", lowSinceNs_, f.phaseClocks);
    corrupt_ = true;
  }
  if (risen_ && !Lasted(riseNs_, f.periodClocks)) {
    TimingFault("SCK period", riseNs_, f.periodClocks);
    corrupt_ = true;
  }
  if (mosiChanged) {
    TimingFault("MOSI set up before SCK rose", nowNs_, 1);
    corrupt_ = true;
  }
  risen_ = true;
  riseNs_ = nowNs_;
  bit_ = mosi_;
  bitPending_ = true;
}

void IspTarget::Fall() {
  lowSinceNs_ = nowNs_;
  if (!bitPending_) return;  // SCK was high when RST rose
  bitPending_ = false;
  if (!Lasted(riseNs_, set_->Facts().phaseClocks)) {
    TimingFault("SCK high", riseNs_, set_->Facts().phaseClocks);
    corrupt_ = true;
  }
  const bool bit = bit_ != corrupt_;
  shiftIn_ = static_cast<std::uint8_t>((shiftIn_ << 1) | (bit ? 1 : 0));
  shiftOut_ = static_cast<std::uint8_t>(shiftOut_ << 1);
  if (++bitsIn_ == 8) {
    bitsIn_ = 0;
    ByteIn(shiftIn_);
  }
}

void IspTarget::ByteIn(std::uint8_t byte) {
  frame_.push_back(byte);
  if (frame_.size() == 1)
    frameLength_ = enabled_ ? set_->FrameLength(byte) : set_->Facts().plainLength;
  if (frame_.size() >= frameLength_) {
    EndFrame();
    shiftOut_ = 0x00;
    return;
  }
  std::optional<std::uint8_t> out;
  if (frame_.size() >= 2 && (enabled_ || set_->IsEnable(frame_))) out = set_->Output(frame_, *this);
  shiftOut_ = out.value_or(byte);
}

void IspTarget::EndFrame() {
  ++flags_.frames;
  Note(FrameText(frame_), EventKind::Isp);
  if (enabled_ || set_->IsEnable(frame_))
    set_->Execute(frame_, *this);
  else
    Ignore("before Programming Enable");
  frame_.clear();
}

IspTarget::BusyKind IspTarget::Busy() const {
  if (busyChip_ != chip_ || nowNs_ >= busyUntilNs_) return BusyKind::None;
  return busy_;
}

std::optional<std::uint8_t> IspTarget::ReadCell(std::size_t index) {
  if (host_.note) host_.note({.otherReads = 1});
  switch (Busy()) {
    case BusyKind::Erase:
      return 0x00;
    case BusyKind::Write:
      if (index == pollIndex_) return static_cast<std::uint8_t>(pollWritten_ ^ 0x80);
      ++flags_.lostBusy;
      Note("read lost: a write cycle is under way", EventKind::IspFlag);
      return std::nullopt;
    case BusyKind::None:
      break;
  }
  if (chip_->lockBits & (kChipLock2 | kChipLock3)) return kLockedReadPattern;
  return chip_->memory.at(index);
}

std::optional<std::uint8_t> IspTarget::ReadRegister(std::uint8_t value, bool signature) {
  if (host_.note)
    host_.note({.signatureReads = signature ? 1u : 0u, .otherReads = signature ? 0u : 1u});
  switch (Busy()) {
    case BusyKind::Erase:
      return 0x00;
    case BusyKind::Write:
      ++flags_.lostBusy;
      Note("read lost: a write cycle is under way", EventKind::IspFlag);
      return std::nullopt;
    case BusyKind::None:
      break;
  }
  return value;
}

bool IspTarget::Idle(const char* what) {
  if (Busy() == BusyKind::None) return true;
  ++flags_.lostBusy;
  Note(std::string(what) + " lost: the chip is busy", EventKind::IspFlag);
  return false;
}

std::uint64_t IspTarget::WriteCycleNs() const {
  if (setup_.writeCycleUs != 0) return std::uint64_t{setup_.writeCycleUs} * 1000;
  const IspInstructions::Family& f = set_->Facts();
  return f.writeNs + (f.writeClocks * kNsPerSecond + setup_.crystalHz - 1) / setup_.crystalHz;
}

void IspTarget::StartWrite(std::size_t pollIndex, std::uint8_t written) {
  if (host_.note) host_.note({.programmingCycles = 1});
  busyChip_ = chip_;
  busy_ = BusyKind::Write;
  busyUntilNs_ = nowNs_ + WriteCycleNs();
  pollIndex_ = pollIndex;
  pollWritten_ = written;
}

void IspTarget::StartErase() {
  if (host_.note) host_.note({.programmingCycles = 1});
  busyChip_ = chip_;
  busy_ = BusyKind::Erase;
  busyUntilNs_ = nowNs_ + set_->Facts().eraseNs;
  pollIndex_ = kNoPoll;
}

void IspTarget::Ignore(const std::string& why) {
  ++flags_.ignored;
  Note("ignored " + FrameText(frame_) + ": " + why, EventKind::IspFlag);
}

}  // namespace kaldo::sim
