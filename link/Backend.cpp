#include "link/Backend.h"

#include <string>

#include "core/Convert.h"
#include "link/DirectIo.h"
#include "link/PcPorts.h"
#include "link/Ppdev.h"
#include "link/PpdevSystem.h"

namespace kaldo {

namespace {

// The ppdev I/O space together with the system calls and the clock it runs on.
class LinuxPpdev : public IoSpace {
 public:
  LinuxPpdev(std::uint16_t portBase, const HostSystem& host)
      : system_(host.Root()), io_(system_, portBase, clock_, host) {}
  void write(std::uint16_t port, std::uint8_t value) override { io_.write(port, value); }
  std::uint8_t read(std::uint16_t port) override { return io_.read(port); }
  void selectLpt(std::uint16_t base) override { io_.selectLpt(base); }
  void attach(std::uint16_t base) { io_.attach(base); }

 private:
  LinuxPpdevSystem system_;
  SteadyClock clock_;
  PpdevIoSpace io_;
};

std::string Sentence(std::string text) {
  if (text.empty() || text.back() != '.') text += '.';
  return text;
}

// Direct port access on the real system; below a test tree a refusal.
HardwareIoSpace::Opener DirectOpener(const HostSystem& host) {
  if (host.Root().empty()) return OpenDirectIo;
  return [root = PrintableText(host.Root())](std::uint16_t) -> std::unique_ptr<IoSpace> {
    throw Error("not tried, since the ports are read from the test tree " + root +
                " (KALDO_SYSTEM_ROOT), where no real port is touched.");
  };
}

}  // namespace

std::unique_ptr<IoSpace> OpenLinuxPpdev(std::uint16_t portBase, const HostSystem& host) {
  auto io = std::make_unique<LinuxPpdev>(portBase, host);
  io->attach(portBase);
  return io;
}

HardwareIoSpace::HardwareIoSpace(std::uint16_t portBase, TimerSource timer)
    : HardwareIoSpace(portBase, HostSystem(), timer) {}

HardwareIoSpace::HardwareIoSpace(std::uint16_t portBase, const HostSystem& host, TimerSource timer)
    : HardwareIoSpace(
          portBase, [host](std::uint16_t base) { return OpenLinuxPpdev(base, host); },
          DirectOpener(host), steadyClock_, timer) {}

HardwareIoSpace::HardwareIoSpace(std::uint16_t portBase, Opener ppdev, Opener direct,
                                 Clock& hostClock, TimerSource timer)
    : portBase_(portBase),
      ppdev_(std::move(ppdev)),
      direct_(std::move(direct)),
      hostClock_(hostClock),
      timerSource_(timer) {}

void HardwareIoSpace::write(std::uint16_t port, std::uint8_t value) {
  (IsTimerPort(port) ? timer() : chosen()).write(port, value);
}

std::uint8_t HardwareIoSpace::read(std::uint16_t port) {
  return (IsTimerPort(port) ? timer() : chosen()).read(port);
}

void HardwareIoSpace::selectLpt(std::uint16_t base) {
  portBase_ = base;
  if (chosen_) chosen_->selectLpt(base);
}

IoSpace& HardwareIoSpace::timer() {
  if (timer_ != nullptr) return *timer_;
  if (timerSource_ == TimerSource::Picked) {
    try {
      timer_ = &chosen();
      return *timer_;
    } catch (const BackendError&) {
      // No port yet: the host clock times the whole run.
    }
  }
  ownTimer_ = std::make_unique<ClockTimer>(hostClock_);
  timer_ = ownTimer_.get();
  return *timer_;
}

IoSpace& HardwareIoSpace::chosen() {
  if (chosen_) return *chosen_;
  std::string viaPpdev;
  try {
    chosen_ = ppdev_(portBase_);
    return *chosen_;
  } catch (const PortBusyError& e) {
    throw BackendError("The parallel port at " + IoAddressText(portBase_) +
                       " cannot be reached.\n" + "Through ppdev: " + Sentence(e.what()) +
                       "\nBy direct port access: not tried, since another driver holds the port.");
  } catch (const Error& e) {
    viaPpdev = e.what();
  }
  try {
    chosen_ = direct_(portBase_);
    return *chosen_;
  } catch (const Error& e) {
    throw BackendError("The parallel port at " + IoAddressText(portBase_) +
                       " cannot be reached.\n" + "Through ppdev: " + Sentence(viaPpdev) +
                       "\nBy direct port access: " + e.what());
  }
}

}  // namespace kaldo
