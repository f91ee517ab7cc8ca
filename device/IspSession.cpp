#include "device/IspSession.h"

#include <algorithm>

namespace kaldo {

namespace {

constexpr int kBlockSize = 256;  // the address readout moves once per block
constexpr int kPollMargin = 4;   // DATA polling gives up after this many worst-case write cycles

}  // namespace

const IspFamily* FindIspFamily(int deviceType) {
  const DeviceInfo* d = FindDevice(deviceType);
  if (!d) return nullptr;
  switch (d->RoutineSet) {
    case Device::AT89S51:
    case Device::AT89S52:
      return &kIspFamilyS51;
    case Device::AT89S53:
    case Device::AT89S8252:
      return &kIspFamilyS53;
    default:
      return nullptr;
  }
}

int HalfPeriodCount(const IspFamily& family, std::uint32_t crystalHz) {
  const std::int64_t clocks = std::max(family.PhaseClocks, (family.PeriodClocks + 1) / 2);
  const std::int64_t ns = (clocks * 1'000'000'000 + crystalHz - 1) / crystalHz;
  return std::clamp(TimerCountFor(ns), 1, kLongestShortWait);
}

std::uint32_t IspSession::JobSize() const {
  return job.Memory == DeviceMemory::DataEeprom ? Device().EepromSize : job.Size;
}

IspPlace IspSession::PlaceOf(std::uint32_t address) const {
  if (job.Memory == DeviceMemory::DataEeprom)
    return {IspMemory::DataEeprom, static_cast<std::uint16_t>(address)};
  if (address >= CodeSize())
    return {IspMemory::DataEeprom, static_cast<std::uint16_t>(address - CodeSize())};
  return {IspMemory::Code, static_cast<std::uint16_t>(address)};
}

void IspSession::AtByte(std::uint32_t address) {
  link.port().ThrowIfStopped();
  if (address != 0 && address % kBlockSize == 0) display.ShowAddress(static_cast<int>(address));
}

bool IspSession::Judge(std::uint32_t address, std::uint8_t read, PassUse use) {
  std::uint8_t& buffered = (*job.Image)[address];
  switch (use) {
    case PassUse::Store:
      buffered = read;
      return true;
    case PassUse::BlankTest:
      if (read == kBlank) return true;
      failure = {static_cast<std::uint16_t>(address), read, kBlank};
      return false;
    case PassUse::Compare:
      if (read == buffered) return true;
      failure = {static_cast<std::uint16_t>(address), read, buffered};
      return false;
  }
  return false;
}

int IspSession::ReadsWithin(std::int64_t ns, int frameBytes) const {
  const std::int64_t frameNs =
      std::int64_t{frameBytes} * 8 * family->PeriodClocks * 1'000'000'000 / crystalHz;
  return static_cast<int>(ns / std::max<std::int64_t>(frameNs, 1) + 1);
}

int IspSession::PollLimit(int frameBytes) const {
  return kPollMargin * ReadsWithin(family->ByteWriteNs(crystalHz), frameBytes);
}

void IspSession::SettleAfterReset() {
  link.port().Delay10ms();
}

void IspSession::NoAnswer(const std::string& seen) {
  const DeviceInfo& d = Device();
  const std::string name = FullName(d);
  noAnswer = "No chip answered through the cable: " + seen + ".\rRST is active high on the " +
             name +
             ": a cable wired for AVR chips holds it low (write its pin as rst=~PIN to invert "
             "it).\rThe target needs its crystal running, no slower than the one stated, and its "
             "power on, and the cable must be on this port.";
  if (d.HasIspFuse)
    noAnswer += "\rA Write on the programmer board with \"ISP Fuse\" unticked turns the " + name +
                "'s serial programming off: write it there once with the box ticked.";
}

}  // namespace kaldo
