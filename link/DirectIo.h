// Direct I/O for real hardware on Linux/x86: the process asks the kernel (ioperm) for exactly the
// ports the program uses — the LPT registers PortBase..PortBase+2, timer ports 0x42-0x43 and
// system control port 0x61 — and then executes in/out instructions on them.
//
// ioperm holds for the calling thread only, so permission is asked for on the thread that does
// the I/O, at its first access (again if another thread, or a new PortBase, comes along). A port
// is never touched without permission: a refusal raises PortAccessError naming the ports and the
// remedy. A PortBase below 0x100 (the PC's own devices) is refused before anything is asked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "link/IoSpace.h"

namespace kaldo {

// The system calls behind DirectIo; tests give it a fake, so no test ever executes them.
class PortSyscalls {
 public:
  virtual ~PortSyscalls() = default;
  // ioperm(from, count, on): 0 on success, else the errno value.
  virtual int Ioperm(unsigned long from, unsigned long count, bool on) = 0;
  virtual bool IsRoot() = 0;
  virtual void Out(std::uint16_t port, std::uint8_t value) = 0;
  virtual std::uint8_t In(std::uint16_t port) = 0;
};

// The real calls (Linux on x86; elsewhere Ioperm fails with ENOSYS).
PortSyscalls& RealPortSyscalls();

class DirectIo : public IoSpace {
 public:
  // The LPT registers are portBase + 0, + 1, + 2, until selectLpt names another port.
  explicit DirectIo(std::uint16_t portBase, PortSyscalls& sys = RealPortSyscalls());

  void write(std::uint16_t port, std::uint8_t value) override;
  std::uint8_t read(std::uint16_t port) override;
  // The new port is asked for at its first access.
  void selectLpt(std::uint16_t base) override { portBase_ = base; }

  // Asks for every permission now, on the calling thread; raises PortAccessError if refused.
  void Open();

 private:
  void Permit(std::uint16_t port);
  void GrantTimer();
  void GrantLpt(std::uint16_t base);
  [[noreturn]] void Refused(int err, std::uint16_t base) const;

  std::uint16_t portBase_;
  PortSyscalls& sys_;
  bool timerGranted_ = false;
  std::thread::id timerThread_;
  bool lptGranted_ = false;
  std::uint16_t lptBase_ = 0;
  std::thread::id lptThread_;
};

// A DirectIo on the real system calls with every permission granted (on the calling thread), for
// the hardware backend's choice; raises PortAccessError when the kernel refuses.
std::unique_ptr<IoSpace> OpenDirectIo(std::uint16_t portBase);

// The text of the error for a PortBase below 0x100.
std::string LowPortBaseText(std::uint16_t base);

}  // namespace kaldo
