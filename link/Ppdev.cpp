#include "link/Ppdev.h"

#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/Convert.h"
#include "core/LptPorts.h"
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

std::vector<ParportEntry> ListParports(const std::string& procRoot) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(procRoot, ec)) {
    throw PpdevError("No parallel port is known to the kernel: " + procRoot +
                     " is missing. Load the drivers with \"sudo modprobe parport_pc ppdev\"");
  }
  std::vector<ParportEntry> ports;
  for (fs::directory_iterator it(procRoot, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= 7 || name.compare(0, 7, "parport") != 0) continue;
    const std::string digits = name.substr(7);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        digits.size() > 6) {
      continue;
    }
    std::ifstream file(it->path() / "base-addr");
    unsigned long base = 0;
    if (!(file >> base)) continue;
    ports.push_back({std::stoi(digits), base});
  }
  std::sort(ports.begin(), ports.end(),
            [](const ParportEntry& a, const ParportEntry& b) { return a.number < b.number; });
  return ports;
}

PpdevIoSpace::PpdevIoSpace(PpdevSystem& system, std::uint16_t portBase, Clock& clock,
                           PpdevPaths paths)
    : system_(system), portBase_(portBase), paths_(std::move(paths)), timer_(clock) {}

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
  const std::vector<ParportEntry> ports = ListParports(paths_.procRoot);
  auto found = std::find_if(ports.begin(), ports.end(),
                            [base](const ParportEntry& p) { return p.base == base; });
  if (found == ports.end()) {
    std::string known;
    for (const ParportEntry& p : ports) {
      known += (known.empty() ? "it has parport" : ", parport") + std::to_string(p.number) +
               " at " + IoAddressText(static_cast<std::uint32_t>(p.base));
    }
    if (known.empty()) {
      known = "it lists none in " + paths_.procRoot +
              "; the module parport_pc finds the ports: \"sudo modprobe parport_pc\"";
    }
    throw PpdevError("The kernel has no parallel port at I/O address " + IoAddressText(base) +
                     " (" + known + "). Choose the port the programmer is on");
  }
  const std::string path = paths_.devDir + "/parport" + std::to_string(found->number);
  const std::string which = path + " (the port at " + IoAddressText(base) + ")";
  const int fd = system_.open(path);
  if (fd < 0) {
    const int err = -fd;
    if (err == ENOENT || err == ENODEV || err == ENXIO) {
      throw PpdevError(which + " cannot be opened: " + ErrnoText(err) +
                       ". Load the module ppdev with \"sudo modprobe ppdev\"");
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
