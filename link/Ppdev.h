// The ppdev backend: the LPT registers reached through the kernel's /dev/parportN, without root
// and without port permissions, and the delay timer on the host's clock (ClockTimer).
//
// The kernel lists its parallel ports under /proc/sys/dev/parport/parportN (read through
// HostSystem). /dev/parportN is the ppdev character device of the same port N; it belongs to group
// lp. A claim waits for as long as another driver (lp printing, another program's claim) holds the
// port, so a port the kernel names a holder for is refused before the claim. The port must be
// claimed (PPCLAIM) before any register request and is released (PPRELEASE) before the close.
// PPWDATA, PPRSTATUS and PPWCONTROL carry the raw register bytes, with no line inverted, as a port
// instruction would (the kernel keeps the control register's direction and interrupt bits).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/Errors.h"
#include "link/ClockTimer.h"
#include "link/HostSystem.h"
#include "link/IoSpace.h"
#include "link/PpdevSystem.h"

namespace kaldo {

// The port cannot be reached, or a request on it failed; the message names the device file.
class PpdevError : public Error {
 public:
  using Error::Error;
};

// Another driver or program holds the port; the other way to the port must not be tried either.
class PortBusyError : public PpdevError {
 public:
  using PpdevError::PpdevError;
};

// The ports the kernel lists; throws PpdevError when no parallel-port driver is loaded, naming
// the USB printer adapters when those are all the machine has.
std::vector<KernelPort> ListParports(const HostSystem& host);

// "/dev/usb/lp0 is a USB printer adapter, which cannot drive a programmer board: ..."
std::string UsbPrintersText(const std::vector<std::string>& printers);
// The refusal for a port another driver holds, with what to do about it; which is
// "/dev/parport0 (the port at 0x0378)".
std::string HeldPortText(const std::string& which, const std::string& holder);
// Why the ppdev node of a port is missing and what makes it: the module ppdev is not loaded, or
// it is and the node was never made (no udev, as in a container).
std::string MissingNodeRemedy(const HostSystem& host, const std::string& node);

class PpdevIoSpace : public IoSpace {
 public:
  // The registers are portBase + 0, + 1, + 2, until selectLpt names another port. A port is
  // opened and claimed at the first access to it and kept until close() or destruction.
  PpdevIoSpace(PpdevSystem& system, std::uint16_t portBase, Clock& clock,
               HostSystem host = HostSystem());
  ~PpdevIoSpace() override;
  PpdevIoSpace(const PpdevIoSpace&) = delete;
  PpdevIoSpace& operator=(const PpdevIoSpace&) = delete;

  void write(std::uint16_t port, std::uint8_t value) override;
  std::uint8_t read(std::uint16_t port) override;
  // Nothing is opened before the first access to the new port.
  void selectLpt(std::uint16_t base) override { portBase_ = base; }

  // Opens and claims the port at base now; throws PpdevError with the reason and the remedy.
  void attach(std::uint16_t base);
  // Releases and closes every port; throws PpdevError after trying all if any step failed.
  void close();

 private:
  struct Device {
    int fd;
    std::string path;
  };
  Device& deviceAt(std::uint16_t port, int& offset);
  Device& open(std::uint16_t base);
  void request(Device& device, unsigned long request, unsigned char* value, const char* what,
               int offset);

  PpdevSystem& system_;
  std::uint16_t portBase_;
  HostSystem host_;
  ClockTimer timer_;
  std::map<std::uint16_t, Device> devices_;
};

}  // namespace kaldo
