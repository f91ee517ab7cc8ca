#include "link/Ppdev.h"

#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "core/Convert.h"
#include "core/model/LptPorts.h"
#include "link/PcPorts.h"

namespace kaldo {

namespace {

std::string ErrnoText(int err) {
  return std::generic_category().message(err);
}

const char* RegisterName(int offset) {
  static const char* const kNames[] = {"data", "status", "control"};
  return kNames[offset];
}

}  // namespace

std::vector<KernelPort> ListParports(const HostSystem& host) {
  if (!host.HasParportDriver()) {
    std::string text =
        "No parallel port is known to the kernel: /proc/sys/dev/parport is missing. Load the "
        "drivers with \"sudo modprobe parport_pc ppdev\"";
    const std::vector<std::string> usb = host.UsbPrinters();
    if (!usb.empty()) text += ". " + UsbPrintersText(usb);
    throw PpdevError(text);
  }
  return host.Parports();
}

std::string UsbPrintersText(const std::vector<std::string>& printers) {
  std::string names;
  for (const std::string& p : printers) names += (names.empty() ? "" : ", ") + p;
  return names +
         (printers.size() == 1 ? " is a USB printer adapter" : " are USB printer adapters") +
         ", which cannot drive a programmer board: it needs a parallel port on the main board or "
         "on "
         "a PCI or PCIe card";
}

std::string HeldPortText(const std::string& which, const std::string& rawHolder) {
  const std::string holder = PrintableText(rawHolder);
  if (holder.compare(0, 2, "lp") == 0) {
    return which + " is held by the printer driver lp (" + holder +
           "). Stop the print job, or unload the driver with \"sudo rmmod lp\"; to keep it from "
           "loading at boot, remove lp from /etc/modules and run \"echo blacklist lp | sudo tee "
           "/etc/modprobe.d/no-lp.conf\"";
  }
  return which + " is held by " + holder +
         ": another program has claimed it. Close that program (\"sudo fuser -v /dev/parport*\" "
         "names it), then try again";
}

std::string MissingNodeRemedy(const HostSystem& host, const std::string& node) {
  if (!host.ModuleLoaded("ppdev"))
    return "the module ppdev is not loaded (\"sudo modprobe ppdev\")";
  const std::size_t digits = node.find_first_of("0123456789");
  const std::string number = digits == std::string::npos ? "N" : node.substr(digits);
  return "the module ppdev is loaded, but nothing made the node: \"sudo udevadm trigger\" makes "
         "it, or \"sudo mknod -m 0660 " +
         node + " c 99 " + number + " && sudo chgrp lp " + node + "\"";
}

PpdevIoSpace::PpdevIoSpace(PpdevSystem& system, std::uint16_t portBase, Clock& clock,
                           HostSystem host)
    : system_(system), portBase_(portBase), host_(std::move(host)), timer_(clock) {}

PpdevIoSpace::~PpdevIoSpace() {
  try {
    close();
  } catch (const PpdevError&) {
    // Nothing is left to do at the end: the kernel releases a port whose descriptor is gone.
  }
}

void PpdevIoSpace::write(std::uint16_t port, std::uint8_t value) {
  if (IsTimerPort(port)) {
    timer_.write(port, value);
    return;
  }
  int offset = 0;
  Device& device = deviceAt(port, offset);
  if (offset == 1) return;  // the status register cannot be written
  request(device, offset == 0 ? PPWDATA : PPWCONTROL, &value, "Writing", offset);
}

std::uint8_t PpdevIoSpace::read(std::uint16_t port) {
  if (IsTimerPort(port)) return timer_.read(port);
  int offset = 0;
  Device& device = deviceAt(port, offset);
  static const unsigned long kReads[] = {PPRDATA, PPRSTATUS, PPRCONTROL};
  unsigned char value = 0;
  request(device, kReads[offset], &value, "Reading", offset);
  return value;
}

void PpdevIoSpace::attach(std::uint16_t base) {
  if (!devices_.count(base)) open(base);
}

void PpdevIoSpace::close() {
  std::string failure;
  for (auto& [base, device] : devices_) {
    int r = system_.ioctl(device.fd, PPRELEASE, nullptr);
    if (r < 0 && failure.empty())
      failure = "Releasing " + device.path + " failed: " + ErrnoText(-r);
    r = system_.close(device.fd);
    if (r < 0 && failure.empty()) failure = "Closing " + device.path + " failed: " + ErrnoText(-r);
  }
  devices_.clear();
  if (!failure.empty()) throw PpdevError(failure);
}

PpdevIoSpace::Device& PpdevIoSpace::deviceAt(std::uint16_t port, int& offset) {
  const std::uint16_t base = portBase_;
  if (port < base || port - base >= kLptRegisterCount) {
    throw PpdevError("I/O address " + IoAddressText(port) +
                     " is not a register of the parallel port at " + IoAddressText(base));
  }
  offset = port - base;
  auto it = devices_.find(base);
  return it != devices_.end() ? it->second : open(base);
}

PpdevIoSpace::Device& PpdevIoSpace::open(std::uint16_t base) {
  const std::vector<KernelPort> ports = ListParports(host_);
  const KernelPort* found = FindPortAt(ports, base);
  if (found == nullptr) {
    std::string known;
    for (const KernelPort& p : ports) {
      known += (known.empty() ? "it has parport" : ", parport") + std::to_string(p.number) +
               " at " + IoAddressText(static_cast<std::uint32_t>(p.base));
    }
    if (known.empty()) {
      known =
          "it lists none in /proc/sys/dev/parport"
          "; the module parport_pc finds the ports: \"sudo modprobe parport_pc\"";
    }
    throw PpdevError("The kernel has no parallel port at I/O address " + IoAddressText(base) +
                     " (" + known + "). Choose the port the programmer is on");
  }
  const std::string path = found->Node();
  const std::string which = path + " (the port at " + IoAddressText(base) + ")";
  if (!found->holder.empty()) throw PortBusyError(HeldPortText(which, found->holder));
  const int fd = system_.open(path);
  if (fd < 0) {
    const int err = -fd;
    if (err == ENOENT)
      throw PpdevError(which + " cannot be opened: " + ErrnoText(err) + ": " +
                       MissingNodeRemedy(host_, path));
    if (err == ENODEV || err == ENXIO) {
      throw PpdevError(which + " cannot be opened: " + ErrnoText(err) +
                       ". Load the module ppdev with \"sudo modprobe ppdev\"");
    }
    if ((err == EACCES || err == EPERM) && host_.ListedInGroup("lp") && !host_.HasGroup("lp")) {
      throw PpdevError("No permission to open " + which +
                       ": you are in the group lp, but this login began before you were added. "
                       "Log out and in again (or start a shell in the group with \"newgrp lp\")");
    }
    if (err == EACCES || err == EPERM) {
      throw PpdevError("No permission to open " + which +
                       ". Add your user to the group lp with \"sudo usermod -aG lp $USER\" and "
                       "log in again");
    }
    throw PpdevError(
        "Cannot open " + which + ": " + ErrnoText(err) +
        ". Check that the module ppdev is loaded and that your user is in the group lp");
  }
  const int r = system_.ioctl(fd, PPCLAIM, nullptr);
  if (r < 0) {
    system_.close(fd);
    throw PpdevError("Cannot claim " + which + ": " + ErrnoText(-r) +
                     ". Another program or driver may be using the port: close it, and check "
                     "that the module ppdev is loaded");
  }
  return devices_.emplace(base, Device{fd, path}).first->second;
}

void PpdevIoSpace::request(Device& device, unsigned long request, unsigned char* value,
                           const char* what, int offset) {
  const int r = system_.ioctl(device.fd, request, value);
  if (r < 0) {
    throw PpdevError(std::string(what) + " the " + RegisterName(offset) + " register of " +
                     device.path + " failed: " + ErrnoText(-r));
  }
}

}  // namespace kaldo
