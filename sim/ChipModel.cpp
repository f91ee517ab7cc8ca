#include "sim/ChipModel.h"

namespace kaldo::sim {

namespace {

// Control register lines.
constexpr std::uint8_t kLineStrobe = 0x01;
constexpr std::uint8_t kLineAutoFeed = 0x02;  // cleared: programming voltage on
constexpr std::uint8_t kLineInit = 0x04;
constexpr std::uint8_t kLineSelectIn = 0x08;

// Mode register: bits 1-6 the code, bit 0 held at 1, bit 7 = 1 while the socket is idle.
constexpr std::uint8_t kModeCode = 0x7E;
constexpr std::uint8_t kModeHeld = 0x01;
constexpr std::uint8_t kModeIdle = 0x80;

// 20-pin: address-high bit 0 steps the counter; bits 1-7 select programming mode.
constexpr std::uint8_t kStepLine = 0x01;
constexpr std::uint8_t kProgramSelect = 0xFE;

constexpr std::uint8_t LineMask(PulseLine line) {
  return line == PulseLine::Strobe ? kLineStrobe : kLineSelectIn;
}

bool VoltageOn(const BoardLines& lines) {
  return (lines.control & kLineAutoFeed) == 0;
}

}  // namespace

std::uint8_t ReverseBits(std::uint8_t value) {
  std::uint8_t r = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if (value & (1 << bit)) r |= static_cast<std::uint8_t>(0x80 >> bit);
  }
  return r;
}

void ChipModel::Attach(Chip* chip, std::uint64_t ns) {
  if (chip == chip_) return;
  Settle(ns);
  pending_.reset();
  chip_ = chip;
  entered_ = false;
  counter_ = 0;
}

bool ChipModel::Powered(const BoardLines& lines) const {
  return (lines.mode & kModeIdle) == 0 && (lines.mode & kModeHeld) != 0;
}

std::optional<std::uint16_t> ChipModel::Address(const BoardLines& lines) const {
  const ChipSpec& spec = Spec();
  if (spec.family->twentyPin) {
    if (!entered_ || (lines.addressHigh & kProgramSelect) != kProgramSelect) return std::nullopt;
    return static_cast<std::uint16_t>(counter_);
  }
  const std::uint8_t high = lines.addressHigh;
  const std::uint8_t allowed = spec.highAddressBits | spec.a14Bit | spec.highRequiredBits;
  if ((high & ~allowed) != 0) return std::nullopt;
  if ((high & spec.highRequiredBits) != spec.highRequiredBits) return std::nullopt;
  std::uint32_t address = lines.addressLow | (high & spec.highAddressBits) << 8;
  if (spec.a14Bit != 0 && (high & spec.a14Bit) != 0) address |= 0x4000;
  if (address >= spec.size) return std::nullopt;
  return static_cast<std::uint16_t>(address);
}

std::uint8_t ChipModel::PinData(const BoardLines& lines) const {
  return Spec().family->twentyPin ? ReverseBits(lines.data) : lines.data;
}

std::optional<std::uint8_t> ChipModel::Output(const BoardLines& lines) const {
  if (chip_ == nullptr || !Powered(lines)) return std::nullopt;
  const ChipSpec& spec = Spec();
  const ChipFamily& family = *spec.family;
  if (family.readsNeedProgrammingVoltage && !VoltageOn(lines)) return std::nullopt;
  if (family.twentyPin && (!entered_ || (lines.addressHigh & kProgramSelect) != kProgramSelect)) {
    return std::nullopt;
  }
  const std::uint8_t code = lines.mode & kModeCode;
  ChipOp op = ChipOp::None;
  for (const ReadSpec& r : family.reads) {
    if (r.mode == code) op = r.op;
  }
  std::uint8_t value = 0xFF;
  if (op == ChipOp::ReadSignature)
    ++activity_.signatureReads;
  else if (op != ChipOp::None)
    ++activity_.otherReads;
  switch (op) {
    case ChipOp::ReadCode: {
      const auto address = Address(lines);
      if (!address) return std::nullopt;
      value = (chip_->lockBits & (kChipLock2 | kChipLock3)) ? kLockedReadPattern
                                                            : chip_->memory[*address];
      break;
    }
    case ChipOp::ReadSignature: {
      int index = -1;
      if (family.twentyPin) {
        index = static_cast<int>(counter_);
      } else {
        const auto address = Address(lines);
        if (!address) return std::nullopt;
        if (family.signatureAtPages) {
          if ((*address & 0xFF) == 0) index = *address >> 8;
        } else {
          index = *address - 0x30;
        }
      }
      if (index >= 0 && index < spec.signatureCount) value = spec.signature[index];
      break;
    }
    case ChipOp::ReadLock: {
      const int lock = chip_->lockBits;
      if (family.lockFormat == LockFormat::SetBitsFrom2) {
        value = static_cast<std::uint8_t>(((lock & kChipLock1) ? 0x04 : 0) |
                                          ((lock & kChipLock2) ? 0x08 : 0) |
                                          ((lock & kChipLock3) ? 0x10 : 0));
      } else {
        value = static_cast<std::uint8_t>(0xFF & ~(((lock & kChipLock1) ? 0x04 : 0) |
                                                   ((lock & kChipLock2) ? 0x02 : 0) |
                                                   ((lock & kChipLock3) ? 0x01 : 0)));
      }
      break;
    }
    case ChipOp::ReadFuse:
      value = chip_->ispFuse ? 0xFE : 0xFF;
      break;
    default:
      return std::nullopt;
  }
  return family.twentyPin ? ReverseBits(value) : value;
}

void ChipModel::Settle(std::uint64_t ns) {
  if (pending_ && pending_->pulseEnded && ns - pending_->endNs >= pending_->spec->minHoldNs) {
    Commit(ns);
  }
}

void ChipModel::Update(const BoardLines& lines, std::uint64_t ns) {
  const BoardLines old = last_;
  last_ = lines;
  if (chip_ == nullptr) return;
  Settle(ns);

  const bool twentyPin = Spec().family->twentyPin;
  const bool wasIdle = (old.mode & kModeIdle) != 0;
  const bool isIdle = (lines.mode & kModeIdle) != 0;
  if (wasIdle && !isIdle) {
    counter_ = 0;
    entered_ = twentyPin && (lines.addressHigh & kProgramSelect) == kProgramSelect;
  } else if (!wasIdle && isIdle) {
    entered_ = false;
  }
  if (twentyPin && Powered(lines) && (old.addressHigh & kStepLine) == 0 &&
      (lines.addressHigh & kStepLine) != 0) {
    counter_ = (counter_ + 1) % Spec().size;
  }

  if (pending_) {
    const std::uint8_t mask = LineMask(pending_->spec->line);
    BoardLines a = old;
    BoardLines b = lines;
    a.control &= ~mask;
    b.control &= ~mask;
    const bool fell = (old.control & mask) != 0 && (lines.control & mask) == 0;
    const bool rose = (old.control & mask) == 0 && (lines.control & mask) != 0;
    if (fell && !pending_->pulseEnded) {
      if (ns - pending_->startNs < pending_->spec->minPulseNs) {
        Lose(*pending_->spec, pending_->address, pending_->data, ns, "pulse too short");
      } else {
        pending_->pulseEnded = true;
        pending_->endNs = ns;
        Settle(ns);
      }
    }
    if (pending_ && (!(a == b) || rose)) {
      Lose(*pending_->spec, pending_->address, pending_->data, ns,
           pending_->pulseEnded ? "wait too short" : "interrupted");
    }
  }

  for (PulseLine line : {PulseLine::Strobe, PulseLine::SelectIn}) {
    const std::uint8_t mask = LineMask(line);
    if ((old.control & mask) == 0 && (lines.control & mask) != 0) StartCycle(line, lines, ns);
  }
}

void ChipModel::StartCycle(PulseLine line, const BoardLines& lines, std::uint64_t ns) {
  if (!Powered(lines)) return;
  const ChipFamily& family = *Spec().family;
  const std::uint8_t code = lines.mode & kModeCode;
  const CycleSpec* spec = nullptr;
  for (const CycleSpec& c : family.cycles) {
    if (c.mode == code && c.line == line) spec = &c;
  }
  if (spec == nullptr) return;
  const std::uint8_t data = PinData(lines);
  std::uint16_t address = 0;
  if (spec->op == ChipOp::WriteByte) {
    const auto a = Address(lines);
    if (!a) {
      Lose(*spec, 0, data, ns, "no such address");
      return;
    }
    address = *a;
  }
  if (!VoltageOn(lines)) return Lose(*spec, address, data, ns, "no programming voltage");
  if (spec->needsInitLow && (lines.control & kLineInit) != 0) {
    return Lose(*spec, address, data, ns, "Init not cleared");
  }
  if (spec->needsData && !lines.dataDriven) {
    return Lose(*spec, address, data, ns, "data not driven");
  }
  if (family.twentyPin && !entered_) {
    return Lose(*spec, address, data, ns, "not in programming mode");
  }
  pending_ = Pending{spec, ns, ns, false, address, data};
  if (spec->minPulseNs == 0 && spec->minHoldNs == 0) {
    pending_->pulseEnded = true;
  }
}

void ChipModel::Commit(std::uint64_t ns) {
  const Pending p = *pending_;
  pending_.reset();
  BoardEvent event(EventKind::Cycle, ns);
  event.op = p.spec->op;
  event.address = p.address;
  event.value = p.data;
  Chip& chip = *chip_;
  ++activity_.programmingCycles;
  switch (p.spec->op) {
    case ChipOp::Erase:
      chip.Erase();
      break;
    case ChipOp::WriteByte:
      if (chip.lockBits != 0) {
        event.lost = "locked";
      } else if (chip.wontProgram.count(p.address) != 0) {
        event.lost = "cell will not program";
      } else {
        chip.memory[p.address] &= p.data;
      }
      break;
    case ChipOp::WriteLock1:
      chip.lockBits |= kChipLock1;
      break;
    case ChipOp::WriteLock2:
      chip.lockBits |= kChipLock2;
      break;
    case ChipOp::WriteLock3:
      chip.lockBits |= kChipLock3;
      break;
    case ChipOp::WriteLockByte:
      if ((p.data & 0x80) == 0) chip.lockBits |= kChipLock1;
      if ((p.data & 0x40) == 0) chip.lockBits |= kChipLock2;
      if ((p.data & 0x20) == 0) chip.lockBits |= kChipLock3;
      break;
    case ChipOp::WriteFuse:
      chip.ispFuse = (p.data & 0x01) == 0;
      break;
    default:
      break;
  }
  trace_.Record(event);
}

void ChipModel::Lose(const CycleSpec& spec, std::uint16_t address, std::uint8_t data,
                     std::uint64_t ns, const char* why) {
  pending_.reset();
  BoardEvent event(EventKind::Cycle, ns);
  event.op = spec.op;
  event.address = address;
  event.value = data;
  event.lost = why;
  trace_.Record(event);
}

}  // namespace kaldo::sim
