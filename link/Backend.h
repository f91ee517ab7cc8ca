// The I/O space of the real-hardware programs. It picks, at its first access, how to reach the
// LPT port at PortBase: through ppdev (/dev/parportN, group lp, no root; the delay timer then runs
// on the host clock) when that works, otherwise by direct port access (root, the PC's own timer).
// The pick holds for the rest of the run; when neither works the access raises BackendError with
// both reasons, and the next access tries again.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "core/Errors.h"
#include "link/IoSpace.h"

namespace kaldo {

class BackendError : public Error {
 public:
  using Error::Error;
};

class HardwareIoSpace : public IoSpace {
 public:
  // Opens a backend for the port at portBase (read now, and at every later access by the
  // backend), or throws an Error that says why it cannot.
  using Opener = std::function<std::unique_ptr<IoSpace>(const std::uint16_t& portBase)>;

  // ppdev through the Linux system calls, then direct port access.
  explicit HardwareIoSpace(const std::uint16_t& portBase);
  HardwareIoSpace(const std::uint16_t& portBase, Opener ppdev, Opener direct);

  void write(std::uint16_t port, std::uint8_t value) override;
  std::uint8_t read(std::uint16_t port) override;

 private:
  IoSpace& chosen();

  const std::uint16_t& portBase_;
  Opener ppdev_;
  Opener direct_;
  std::unique_ptr<IoSpace> chosen_;
};

// The ppdev opener for the real system: /proc/sys/dev/parport, /dev/parportN, the steady clock.
std::unique_ptr<IoSpace> OpenLinuxPpdev(const std::uint16_t& portBase);

}  // namespace kaldo
