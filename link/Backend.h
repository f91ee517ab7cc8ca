// The I/O space of the real-hardware programs. It picks how to reach the LPT port at PortBase:
// through ppdev (/dev/parportN, group lp, no root; the delay timer then runs on the host clock)
// when that works, otherwise by direct port access (root, the PC's own timer). The pick holds for
// the rest of the run.
//
// An access to an LPT register when neither way works raises BackendError with both reasons, and
// the next one tries again. A port that another driver holds (lp printing, another program's
// claim) is not taken by direct access either. The timer ports (0x42, 0x43, 0x61) never raise it:
// their first access tries the pick too and, when no port can be reached yet, settles them on a
// timer of their own on the host clock for the whole run. So the start-up and exit set-up of the
// timer pass quietly on a PC without a reachable port, and the waits of an operation that picks a
// port later still run on the timer whose state the start-up saved.
//
// Several boards driven at once cannot share the PC's one interval timer (each programs counter 2
// for its own waits): with TimerSource::HostClock the timer ports always go to a timer of this
// port's own on the host clock, whichever way the port is reached, and the PC's timer is never
// touched.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "core/Errors.h"
#include "link/ClockTimer.h"
#include "link/HostSystem.h"
#include "link/IoSpace.h"

namespace kaldo {

class BackendError : public Error {
 public:
  using Error::Error;
};

enum class TimerSource { Picked, HostClock };

class HardwareIoSpace : public IoSpace {
 public:
  // Opens a backend for the port at portBase, or throws an Error that says why it cannot.
  using Opener = std::function<std::unique_ptr<IoSpace>(std::uint16_t portBase)>;

  // ppdev through the Linux system calls, then direct port access.
  explicit HardwareIoSpace(std::uint16_t portBase, TimerSource timer = TimerSource::Picked);
  // The same on the system below host's root. Below a test tree (KALDO_SYSTEM_ROOT) the port is
  // reached only through the tree's ppdev node, which a preloaded simulated PC answers; direct
  // port access is never tried there.
  HardwareIoSpace(std::uint16_t portBase, const HostSystem& host,
                  TimerSource timer = TimerSource::Picked);
  // hostClock runs the timer ports when no port could be reached at their first access, or always
  // with TimerSource::HostClock.
  HardwareIoSpace(std::uint16_t portBase, Opener ppdev, Opener direct, Clock& hostClock,
                  TimerSource timer = TimerSource::Picked);
  HardwareIoSpace(const HardwareIoSpace&) = delete;
  HardwareIoSpace& operator=(const HardwareIoSpace&) = delete;

  void write(std::uint16_t port, std::uint8_t value) override;
  std::uint8_t read(std::uint16_t port) override;
  // The pick stays; the picked backend moves to the new port.
  void selectLpt(std::uint16_t base) override;

 private:
  IoSpace& chosen();
  IoSpace& timer();

  std::uint16_t portBase_;
  Opener ppdev_;
  Opener direct_;
  SteadyClock steadyClock_;
  Clock& hostClock_;
  TimerSource timerSource_;
  std::unique_ptr<IoSpace> chosen_;
  std::unique_ptr<ClockTimer> ownTimer_;
  IoSpace* timer_ = nullptr;
};

// The ppdev opener for the system below host's root: /proc/sys/dev/parport, /dev/parportN, the
// steady clock.
std::unique_ptr<IoSpace> OpenLinuxPpdev(std::uint16_t portBase,
                                        const HostSystem& host = HostSystem());

}  // namespace kaldo
