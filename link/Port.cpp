#include "link/Port.h"

#include <chrono>
#include <string>

#include "link/LinkErrors.h"

namespace kaldo {

namespace {

std::int64_t SteadyNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The host clock is looked at once every so many polls, so that polling stays cheap.
constexpr int kPollsPerClockCheck = 1024;

std::string TimeoutText(std::int64_t timeoutNs) {
  const std::int64_t ms = timeoutNs / 1'000'000;
  const std::string bound =
      ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
  return "The interval timer did not end a wait: counter 2 gave no end of count on port 0x61 "
         "within " +
         bound + " (no access to the timer ports 0x42, 0x43 and 0x61?)";
}

}  // namespace

Port::Port(IoSpace& io) : Port(io, SteadyNowNs) {}

Port::Port(IoSpace& io, HostClock clock) : io_(io), clock_(std::move(clock)) {}

void Port::PortOut(std::uint16_t port, int value) {
  io_.write(port, static_cast<std::uint8_t>(value & 0xFF));
}

int Port::PortIn(std::uint16_t port) {
  io_.read(port);
  io_.read(port);
  return io_.read(port);
}

void Port::SetPortBase(std::uint16_t base) {
  portBase_ = base;
  io_.selectLpt(base);
}

void Port::InitDelayTimer() {
  SavedPort61 = PortIn(kSystemControl);
  Port61Image = SavedPort61 & ~(kTimer2Gate | kSpeakerEnable) & 0xFF;
  PortOut(kSystemControl, Port61Image);
  SaveTimer2Mode();
}

void Port::SaveTimer2Mode() {
  PortOut(kTimerCommand, kReadBackTimer2Status);
  // The latched status comes back on the first read only; further reads of port 0x42 return the
  // running count, so the status is taken from a single read.
  const int status = io_.read(kTimer2Data);
  SavedTimer2Mode = (status & 0x3F) | 0x80;
}

void Port::RestoreDelayTimer() {
  shortWaitsReady_ = false;
  PortOut(kSystemControl, SavedPort61);
  PortOut(kTimerCommand, SavedTimer2Mode);
  PortOut(kTimer2Data, 0);
  PortOut(kTimer2Data, 0);
}

void Port::OneShotWait(int count) {
  ThrowIfStopped();
  shortWaitsReady_ = false;
  PortOut(kTimerCommand, kTimer2OneShot);
  PortOut(kTimer2Data, count & 0xFF);
  PortOut(kTimer2Data, (count >> 8) & 0xFF);
  PortOut(kSystemControl, Port61Image | kTimer2Gate);
  const std::int64_t start = clock_();
  for (int polls = 1; (PortIn(kSystemControl) & kTimer2Output) == 0; ++polls) {
    if (stopsIgnored_ == 0 && stop_ && stop_->Requested()) {
      PortOut(kSystemControl, Port61Image & ~kTimer2Gate);
      ThrowIfStopped();
    }
    if (polls % kPollsPerClockCheck == 0 && clock_() - start > WaitTimeoutNs) {
      PortOut(kSystemControl, Port61Image & ~kTimer2Gate);
      throw TimerWaitError(TimeoutText(WaitTimeoutNs));
    }
  }
  PortOut(kSystemControl, Port61Image & ~kTimer2Gate);
}

int Port::PortInOnce(std::uint16_t port) {
  return io_.read(port);
}

void Port::StartShortWait(int count) {
  if (!shortWaitsReady_) {
    PortOut(kTimerCommand, kTimer2ShortOneShot);
    PortOut(kSystemControl, Port61Image | kTimer2Gate);
    shortWaitsReady_ = true;
  }
  PortOut(kTimer2Data, count < 1 ? 1 : count > kLongestShortWait ? kLongestShortWait : count);
}

void Port::EndShortWait() {
  const std::int64_t start = clock_();
  for (int polls = 1; (io_.read(kSystemControl) & kTimer2Output) == 0; ++polls) {
    if (polls % kPollsPerClockCheck == 0 && clock_() - start > WaitTimeoutNs) {
      StopShortWaits();
      throw TimerWaitError(TimeoutText(WaitTimeoutNs));
    }
  }
}

void Port::StopShortWaits() {
  if (!shortWaitsReady_) return;
  shortWaitsReady_ = false;
  PortOut(kSystemControl, Port61Image & ~kTimer2Gate);
}

void Port::Delay50us() {
  OneShotWait(kCount50us);
}
void Port::Delay100us() {
  OneShotWait(kCount100us);
}
void Port::Delay2ms() {
  OneShotWait(kCount2ms);
}
void Port::Delay10ms() {
  OneShotWait(kCount10ms);
}
void Port::Delay55ms() {
  OneShotWait(kCount55ms);
}

void Port::Delay500ms() {
  for (int i = 0; i < kTenMsWaitsIn500ms; ++i) Delay10ms();
}

}  // namespace kaldo
