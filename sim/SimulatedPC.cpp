#include "sim/SimulatedPC.h"

#include <algorithm>

#include "sim/LptPins.h"

namespace kaldo::sim {

namespace {
// The simulated PC decodes its ports with its own constants, never link/PcPorts.h or
// core/model/LptPorts.h: a wrong address there must fail the tests, not pass in both.
constexpr std::uint16_t kCounter2 = 0x42;
constexpr std::uint16_t kTimerControl = 0x43;
constexpr std::uint16_t kPortB = 0x61;
constexpr std::uint8_t kPortBWritable = 0x0F;
constexpr std::uint8_t kGate2 = 0x01;
constexpr std::uint8_t kOut2 = 0x20;
}  // namespace

SimulatedPC::SimulatedPC(std::uint16_t lptBase) : SimulatedPC(SimOptions{.lptBase = lptBase}) {}

SimulatedPC::SimulatedPC(const SimOptions& options)
    : options_(options),
      timer_(options.timer2Status, options.timer2Count),
      board_(trace_),
      port61_(options.port61 & kPortBWritable) {
  board_.present = options.boardPresent;
  timer_.SetGate((port61_ & kGate2) != 0, 0);
}

std::uint64_t SimulatedPC::BeginAccess() {
  if (followed_) return lastAccessNs_ = nowNs_ = std::max(nowNs_, followed_());
  lastAccessNs_ = nowNs_;
  nowNs_ += options_.ioCycleNs;
  return lastAccessNs_;
}

void SimulatedPC::write(std::uint16_t port, std::uint8_t value) {
  const std::uint64_t t = BeginAccess();
  if (trace_.accessesOn) trace_.accesses.push_back({t, port, value, true});
  if (cable_ && (port == IspCableBase() || port == IspCableBase() + 2)) {
    const bool data = port == IspCableBase();
    if (IspCableBase() == options_.lptBase) (data ? dataRegister_ : controlRegister_) = value;
    return data ? cable_->WriteData(value, t) : cable_->WriteControl(value, t);
  }
  const std::uint16_t offset = static_cast<std::uint16_t>(port - options_.lptBase);
  if (offset == 0) {
    dataRegister_ = value;
    if (!cable_) board_.WriteData(value, t);
    return;
  }
  if (offset == 2) {
    controlRegister_ = value;
    if (!cable_) board_.WriteControl(value, t);
    return;
  }
  switch (port) {
    case kCounter2:
      if (timer_.WriteData(value, t) && timer_.Mode() == 0) {
        BoardEvent event(EventKind::Wait, t);
        event.count = timer_.Reload();
        trace_.Record(event);
      }
      break;
    case kTimerControl:
      timer_.WriteControl(value, t);
      break;
    case kPortB:
      port61_ = value & kPortBWritable;
      timer_.SetGate((value & kGate2) != 0, t);
      break;
    default:
      break;
  }
}

std::uint8_t SimulatedPC::read(std::uint16_t port) {
  const std::uint64_t t = BeginAccess();
  std::uint8_t value = 0xFF;
  const std::uint16_t offset = static_cast<std::uint16_t>(port - options_.lptBase);
  const std::uint16_t cableOffset = static_cast<std::uint16_t>(port - IspCableBase());
  if (cable_ && cableOffset <= 2) {
    value = cableOffset == 0   ? cable_->DataRegister()
            : cableOffset == 1 ? cable_->ReadStatus()
                               : cable_->ControlRegister();
  } else if (port == kPortB) {
    value = static_cast<std::uint8_t>(port61_ | (timer_.Output(t) ? kOut2 : 0));
  } else if (offset == 1) {
    value = cable_ ? kFloatingStatus : board_.ReadStatus();
  } else if (offset == 0) {
    value = dataRegister_;
  } else if (offset == 2) {
    value = controlRegister_;
  } else if (port == kCounter2) {
    value = timer_.ReadData(t);
  }
  if (trace_.accessesOn) trace_.accesses.push_back({t, port, value, false});
  return value;
}

void SimulatedPC::Seat(Chip* chip) {
  board_.Socket().Attach(chip, nowNs_);
}

Chip& SimulatedPC::InsertChip(int type) {
  return InsertChip(Chip::Fresh(type));
}

Chip& SimulatedPC::InsertChip(Chip chip) {
  drawer_ = nullptr;
  board_.beforeActivation = nullptr;
  Seat(nullptr);
  ownChip_ = std::make_unique<Chip>(std::move(chip));
  Seat(ownChip_.get());
  return *ownChip_;
}

void SimulatedPC::RemoveChip() {
  drawer_ = nullptr;
  board_.beforeActivation = nullptr;
  Seat(nullptr);
  ownChip_.reset();
}

Chip* SimulatedPC::Socket() {
  board_.Socket().Settle(nowNs_);
  return board_.Socket().Attached();
}

void SimulatedPC::UseDrawer(Drawer& drawer, std::function<int()> selectedType) {
  drawer_ = &drawer;
  selectedType_ = std::move(selectedType);
  const auto seatSelected = [this] {
    const int type = selectedType_ ? selectedType_() : -1;
    Seat(type >= 0 && type < kChipTypeCount ? &drawer_->chip(type) : nullptr);
  };
  board_.beforeActivation = seatSelected;
  seatSelected();
  ownChip_.reset();
}

std::uint16_t SimulatedPC::IspCableBase() const {
  if (cable_ == nullptr || !cableOnOtherPort_) return options_.lptBase;
  return options_.lptBase == kMainBoardLpt ? kCardLpt : kMainBoardLpt;
}

void SimulatedPC::AttachIspCable(const IspConnection& connection) {
  cable_.reset();
  cableOnOtherPort_ = connection.faults.otherPort;
  IspTarget::Host host{
      .sessionStarts =
          [this] {
            if (board_.beforeActivation) board_.beforeActivation();
          },
      .chip = [this] { return board_.Socket().Attached(); },
      .note = [this](const ChipActivity& activity) { board_.Socket().AddActivity(activity); }};
  cable_ = std::make_unique<IspCable>(connection, trace_, std::move(host), dataRegister_,
                                      controlRegister_, nowNs_);
}

void SimulatedPC::UseSupplier(Supplier supplier) {
  drawer_ = nullptr;
  Seat(nullptr);
  ownChip_.reset();
  board_.Socket().TakeActivity();
  board_.beforeActivation = [this, supplier = std::move(supplier)] {
    board_.Socket().Settle(nowNs_);
    Seat(supplier(nowNs_, board_.Socket().TakeActivity()));
  };
}

}  // namespace kaldo::sim
