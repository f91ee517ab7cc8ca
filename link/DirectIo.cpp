#include "link/DirectIo.h"

#include <cerrno>
#include <cstring>

#include "core/Convert.h"
#include "core/model/LptPorts.h"
#include "link/LinkErrors.h"
#include "link/PcPorts.h"

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#include <sys/io.h>
#include <unistd.h>
#define KALDO_HAVE_IOPERM 1
#endif

namespace kaldo {

namespace {

// The timer's two ports stand side by side: counter 2 data, then the command port.
static_assert(kTimerCommand == kTimer2Data + 1);

class RealSyscalls : public PortSyscalls {
 public:
#ifdef KALDO_HAVE_IOPERM
  int Ioperm(unsigned long from, unsigned long count, bool on) override {
    return ioperm(from, count, on ? 1 : 0) == 0 ? 0 : errno;
  }
  bool IsRoot() override {
    return geteuid() == 0;
  }
  void Out(std::uint16_t port, std::uint8_t value) override {
    outb(value, port);
  }
  std::uint8_t In(std::uint16_t port) override {
    return inb(port);
  }
#else
  int Ioperm(unsigned long, unsigned long, bool) override {
    return ENOSYS;
  }
  bool IsRoot() override {
    return false;
  }
  void Out(std::uint16_t, std::uint8_t) override {}
  std::uint8_t In(std::uint16_t) override {
    return 0xFF;
  }
#endif
};

std::string PortList(std::uint16_t base) {
  return IoAddressText(base) + "-" + IoAddressText(base + kLptRegisterCount - 1) + ", " +
         IoAddressText(kTimer2Data, 2) + "-" + IoAddressText(kTimerCommand, 2) + " and " +
         IoAddressText(kSystemControl, 2);
}

}  // namespace

PortSyscalls& RealPortSyscalls() {
  static RealSyscalls real;
  return real;
}

std::string LowPortBaseText(std::uint16_t base) {
  return "The LPT port address " + IoAddressText(base) + " is below " +
         IoAddressText(kLowestLptBase, 3) +
         ", where the PC's own devices live, and was not used: choose LPT1, LPT2 "
         "or LPT3 in the Port menu";
}

DirectIo::DirectIo(std::uint16_t portBase, PortSyscalls& sys) : portBase_(portBase), sys_(sys) {}

void DirectIo::Refused(int err, std::uint16_t base) const {
  const std::string ports = PortList(base);
  if (err == EPERM && sys_.IsRoot()) {
    throw PortAccessError("The kernel refused the I/O ports " + ports +
                          " although kaldo runs as root: the kernel is locked down (Secure Boot "
                          "lockdown); turn Secure Boot off or use the ppdev backend");
  }
  if (err == EPERM || err == EACCES) {
    throw PortAccessError("No permission to use the I/O ports " + ports +
                          ": run kaldo as root (sudo kaldo) or use the ppdev backend");
  }
  throw PortAccessError("The I/O ports " + ports + " cannot be used: " + std::strerror(err));
}

void DirectIo::GrantTimer() {
  if (timerGranted_ && timerThread_ == std::this_thread::get_id()) return;
  int err = sys_.Ioperm(kTimer2Data, 2, true);
  if (err == 0) err = sys_.Ioperm(kSystemControl, 1, true);
  if (err != 0) Refused(err, portBase_);
  timerGranted_ = true;
  timerThread_ = std::this_thread::get_id();
}

void DirectIo::GrantLpt(std::uint16_t base) {
  if (base < kLowestLptBase) throw PortAccessError(LowPortBaseText(base));
  if (lptGranted_ && lptBase_ == base && lptThread_ == std::this_thread::get_id()) return;
  if (lptGranted_ && lptThread_ == std::this_thread::get_id()) {
    sys_.Ioperm(lptBase_, kLptRegisterCount, false);
  }
  lptGranted_ = false;
  const int err = sys_.Ioperm(base, kLptRegisterCount, true);
  if (err != 0) Refused(err, base);
  lptGranted_ = true;
  lptBase_ = base;
  lptThread_ = std::this_thread::get_id();
}

void DirectIo::Permit(std::uint16_t port) {
  if (IsTimerPort(port)) return GrantTimer();
  const std::uint16_t base = portBase_;
  if (port >= base && port - base < kLptRegisterCount) return GrantLpt(base);
  throw PortAccessError("The I/O port " + IoAddressText(port) + " is not one kaldo uses");
}

void DirectIo::Open() {
  GrantLpt(portBase_);
  GrantTimer();
}

std::unique_ptr<IoSpace> OpenDirectIo(std::uint16_t portBase) {
  auto io = std::make_unique<DirectIo>(portBase);
  io->Open();
  return io;
}

void DirectIo::write(std::uint16_t port, std::uint8_t value) {
  Permit(port);
  sys_.Out(port, value);
}

std::uint8_t DirectIo::read(std::uint16_t port) {
  Permit(port);
  return sys_.In(port);
}

}  // namespace kaldo
