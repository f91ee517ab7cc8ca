// The simulated PC behind /dev/parportN, for LD_PRELOAD: any dynamically linked program that drives
// a parallel port through ppdev finds the programmer board and its chips there, on a machine with
// no parallel port and no kernel driver.
//
// open/openat of /dev/parportN (and of $KALDO_SYSTEM_ROOT/dev/parportN, the nodes of a test tree)
// are answered by the simulated PC of the state file named in KALDO_SIMPORT_STATE, the same file
// as kaldo-cli --sim STATE, held under its lock from the first open to the last close and then
// saved. ioctl on such a descriptor answers the ppdev requests as the kernel's driver does;
// close releases a claim. Every other path and descriptor goes to the real libc untouched. ioperm
// and iopl are refused with EPERM without reaching the kernel, so that a program under this
// library can never touch a real port, even by direct access.
//
// The PC has the ports parport0 (0x378) and parport1 (0xD010); the board follows the port the
// program claims, as it follows the port kaldo-cli --sim selects. Its clock follows the host's
// monotonic clock (each access takes place at the host's time), so a program that waits with
// nanosleep is judged by the chips' timing rules as on hardware. The socket holds the state file's
// chip of the part in KALDO_SIMPORT_SOCKET
// ("89C2051"), none for "empty" or when unset; KALDO_SIMPORT_BOARD=none takes the board off the
// port; KALDO_SIMPORT_TRACE names a trace file as kaldo-cli --trace does. KALDO_SIMPORT_MARKER
// names a file the library creates when it is loaded, so that a caller can prove it is.
//
// A claim while another descriptor holds the port fails with EBUSY (the kernel would wait).
// read, write and poll on the port (the IEEE 1284 transfers) are not simulated.

#undef _FORTIFY_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/ioctl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/Errors.h"
#include "core/model/DeviceTable.h"
#include "sim/SimulatedSetup.h"

namespace {

using kaldo::sim::SimulatedSetup;
using kaldo::sim::SocketContents;

template <typename Fn>
Fn Next(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

using OpenFn = int (*)(const char*, int, ...);
using OpenAtFn = int (*)(int, const char*, int, ...);
using CloseFn = int (*)(int);
using IoctlFn = int (*)(int, unsigned long, ...);

int RealOpen(const char* path, int flags, mode_t mode) {
  static const OpenFn next = Next<OpenFn>("open");
  return next(path, flags, mode);
}

std::uint64_t HostNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000u +
         static_cast<std::uint64_t>(ts.tv_nsec);
}

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

void Complain(const std::string& text) {
  const std::string line = "kaldo simport: " + text + "\n";
  [[maybe_unused]] ssize_t n = ::write(2, line.data(), line.size());
}

// The number N of a path /dev/parportN or $KALDO_SYSTEM_ROOT/dev/parportN; -1 for any other path.
int PortNumber(const char* path) {
  if (path == nullptr) return -1;
  std::string p = path;
  const char* root = Env("KALDO_SYSTEM_ROOT");
  if (root != nullptr && p.compare(0, std::strlen(root), root) == 0 &&
      p.compare(std::strlen(root), 5, "/dev/") == 0)
    p.erase(0, std::strlen(root));
  constexpr char kPrefix[] = "/dev/parport";
  constexpr std::size_t kLength = sizeof kPrefix - 1;
  if (p.compare(0, kLength, kPrefix) != 0 || p.size() == kLength || p.size() > kLength + 3)
    return -1;
  for (std::size_t i = kLength; i < p.size(); ++i)
    if (p[i] < '0' || p[i] > '9') return -1;
  return std::atoi(p.c_str() + kLength);
}

// One open file of a port, as the driver keeps it.
struct OpenPort {
  int number;
  bool registered = false;  // claimed once: too late for PPEXCL
  bool exclusive = false;
  bool claimed = false;
  int mode = IEEE1284_MODE_COMPAT;
  int phase = 0;
  int flags = 0;
};

class SimulatedPorts {
 public:
  ~SimulatedPorts() {
    std::lock_guard lock(mutex_);
    if (setup_) PutAway();
  }

  int Open(int number, int flags) {
    std::lock_guard lock(mutex_);
    if (number >= static_cast<int>(std::size(kaldo::sim::kSimulatedLpts))) return Fail(ENXIO);
    if (!setup_ && !TakeBench()) return Fail(EIO);
    // A descriptor of the process's own for the port: an empty memory file.
    const int fd = memfd_create("kaldo-simport", (flags & O_CLOEXEC) != 0 ? MFD_CLOEXEC : 0);
    if (fd < 0) return -1;
    files_[fd] = OpenPort{number};
    return fd;
  }

  bool Owns(int fd) {
    std::lock_guard lock(mutex_);
    return files_.count(fd) != 0;
  }

  // -1 with errno for a failed save of the chips, as a driver reports a failed release.
  int Close(int fd) {
    std::lock_guard lock(mutex_);
    auto it = files_.find(fd);
    if (it == files_.end()) return 0;
    Release(it->second, fd);
    files_.erase(it);
    if (files_.empty() && setup_ && !PutAway()) return Fail(EIO);
    return 0;
  }

  int Ioctl(int fd, unsigned long request, void* arg) {
    std::lock_guard lock(mutex_);
    auto it = files_.find(fd);
    if (it == files_.end()) return Fail(EBADF);
    const int r = Request(it->second, fd, request, arg);
    return r < 0 ? Fail(-r) : 0;
  }

 private:
  static int Fail(int err) {
    errno = err;
    return -1;
  }

  static std::uint16_t Base(int number) { return kaldo::sim::kSimulatedLpts[number]; }

  bool TakeBench() {
    const char* state = Env("KALDO_SIMPORT_STATE");
    if (state == nullptr) {
      Complain("KALDO_SIMPORT_STATE names no state file for the simulated PC");
      return false;
    }
    SocketContents contents;
    contents.empty = true;
    if (const char* part = Env("KALDO_SIMPORT_SOCKET"); part && std::strcmp(part, "empty") != 0) {
      const int type = kaldo::FindDeviceType(part);
      if (type < 0) {
        Complain(std::string("KALDO_SIMPORT_SOCKET names no device: ") + part);
        return false;
      }
      contents.empty = false;
      contents.chipType = type;
    }
    const char* board = Env("KALDO_SIMPORT_BOARD");
    contents.boardPresent = board == nullptr || std::strcmp(board, "none") != 0;
    try {
      const char* trace = Env("KALDO_SIMPORT_TRACE");
      kaldo::sim::DrawerFileOptions options;
      options.onLongWait = [state] {
        Complain(std::string("waiting for ") + state + ", which another program is using");
      };
      setup_ = std::make_unique<SimulatedSetup>(
          state, options, [type = contents.chipType] { return type; }, trace ? trace : "");
      setup_->PutInSocket(contents);
    } catch (const std::exception& e) {
      Complain(std::string(state) + ": " + e.what());
      setup_.reset();
      return false;
    }
    // The PC's time goes on from where the setup has put it, at the host's pace.
    const std::uint64_t origin = HostNs() - setup_->Pc().NowNs();
    setup_->Pc().FollowClock([origin] { return HostNs() - origin; });
    return true;
  }

  bool PutAway() {
    bool saved = true;
    try {
      setup_->PutAway();
    } catch (const std::exception& e) {
      Complain(e.what());
      saved = false;
    }
    setup_.reset();
    return saved;
  }

  void Release(OpenPort& file, int fd) {
    if (file.claimed && holders_[file.number] == fd) holders_.erase(file.number);
    file.claimed = false;
  }

  void WriteRegister(int number, int offset, std::uint8_t value) {
    setup_->write(static_cast<std::uint16_t>(Base(number) + offset), value);
  }

  std::uint8_t ReadRegister(int number, int offset) {
    return setup_->read(static_cast<std::uint16_t>(Base(number) + offset));
  }

  // The driver keeps the control register's direction and interrupt bits; the program writes
  // and reads only Strobe, AutoFeed, Init and SelectIn.
  static constexpr std::uint8_t kWritableControl = 0x0F;
  static constexpr std::uint8_t kReverse = 0x20;

  void FrobControl(int number, std::uint8_t mask, std::uint8_t value) {
    std::uint8_t& control = control_[number];
    control = static_cast<std::uint8_t>((control & ~mask) | (value & mask));
    WriteRegister(number, 2, control);
  }

  int Request(OpenPort& file, int fd, unsigned long request, void* arg) {
    auto* byte = static_cast<unsigned char*>(arg);
    auto* word = static_cast<int*>(arg);
    switch (request) {
      case PPCLAIM: {
        if (file.claimed) return -EINVAL;
        if (holders_.count(file.number)) return -EBUSY;
        holders_[file.number] = fd;
        file.claimed = file.registered = true;
        setup_->selectLpt(Base(file.number));
        return 0;
      }
      case PPEXCL:
        if (file.registered) return file.exclusive ? 0 : -EINVAL;
        file.exclusive = true;
        return 0;
      case PPSETMODE:
        file.mode = *word;
        return 0;
      case PPGETMODE:
        *word = file.mode;
        return 0;
      case PPSETPHASE:
        file.phase = *word;
        return 0;
      case PPGETPHASE:
        *word = file.phase;
        return 0;
      case PPGETMODES:
        *static_cast<unsigned*>(arg) = PARPORT_MODE_PCSPP | PARPORT_MODE_TRISTATE;
        return 0;
      case PPSETFLAGS:
        file.flags = *word & PP_FLAGMASK;
        return 0;
      case PPGETFLAGS:
        *word = file.flags;
        return 0;
      default:
        break;
    }
    if (!file.claimed) return -EINVAL;  // every other request needs the port claimed first
    switch (request) {
      case PPRSTATUS:
        *byte = ReadRegister(file.number, 1);
        return 0;
      case PPRDATA:
        *byte = ReadRegister(file.number, 0);
        return 0;
      case PPRCONTROL:
        *byte = control_[file.number] & kWritableControl;
        return 0;
      case PPYIELD:
        return 0;
      case PPRELEASE:
        Release(file, fd);
        return 0;
      case PPWCONTROL:
        FrobControl(file.number, kWritableControl, *byte);
        return 0;
      case PPWDATA:
        WriteRegister(file.number, 0, *byte);
        return 0;
      case PPFCONTROL: {
        const auto* frob = static_cast<const ppdev_frob_struct*>(arg);
        FrobControl(file.number, frob->mask & kWritableControl, frob->val);
        return 0;
      }
      case PPDATADIR:
        FrobControl(file.number, kReverse, *word ? kReverse : 0);
        return 0;
      case PPNEGOT:
        // The board is no IEEE 1284 peripheral: only compatibility mode needs no handshake.
        return *word == IEEE1284_MODE_COMPAT ? 0 : -EIO;
      default:
        return -EINVAL;
    }
  }

  // Recursive: the state file's own open and close come back through this library.
  std::recursive_mutex mutex_;
  std::unique_ptr<SimulatedSetup> setup_;
  std::map<int, OpenPort> files_;
  std::map<int, int> holders_;  // port number: the descriptor that has claimed it
  std::uint8_t control_[std::size(kaldo::sim::kSimulatedLpts)] = {};
};

// The one simulated PC of the process: what LD_PRELOAD puts in front of libc cannot be handed
// down, so it lives here, made at the first use and saved at exit if still open.
SimulatedPorts& Ports() {
  static SimulatedPorts ports;
  return ports;
}

bool TakesMode(int flags) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

__attribute__((constructor)) void MarkLoaded() {
  if (const char* marker = Env("KALDO_SIMPORT_MARKER")) {
    const int fd = RealOpen(marker, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
      const std::string pid = std::to_string(getpid()) + "\n";
      [[maybe_unused]] ssize_t n = ::write(fd, pid.data(), pid.size());
      ::close(fd);
    }
  }
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (TakesMode(flags)) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  const int number = PortNumber(path);
  if (number >= 0) return Ports().Open(number, flags);
  return RealOpen(path, flags, mode);
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (TakesMode(flags)) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  const int number = PortNumber(path);
  if (number >= 0) return Ports().Open(number, flags);
  static const OpenFn next = Next<OpenFn>("open64");
  return next(path, flags, mode);
}

__attribute__((visibility("default"))) int openat(int dirfd, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (TakesMode(flags)) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  const int number = PortNumber(path);
  if (number >= 0) return Ports().Open(number, flags);
  static const OpenAtFn next = Next<OpenAtFn>("openat");
  return next(dirfd, path, flags, mode);
}

__attribute__((visibility("default"))) int openat64(int dirfd, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (TakesMode(flags)) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  const int number = PortNumber(path);
  if (number >= 0) return Ports().Open(number, flags);
  static const OpenAtFn next = Next<OpenAtFn>("openat64");
  return next(dirfd, path, flags, mode);
}

// The fortified forms of open without a mode.
__attribute__((visibility("default"))) int __open_2(const char* path, int flags) {
  return open(path, flags);
}
__attribute__((visibility("default"))) int __open64_2(const char* path, int flags) {
  return open64(path, flags);
}
__attribute__((visibility("default"))) int __openat_2(int dirfd, const char* path, int flags) {
  return openat(dirfd, path, flags);
}

__attribute__((visibility("default"))) int close(int fd) {
  static const CloseFn next = Next<CloseFn>("close");
  if (fd >= 0 && Ports().Owns(fd)) {
    const int r = Ports().Close(fd);
    const int err = errno;
    next(fd);
    errno = err;
    return r;
  }
  return next(fd);
}

__attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  static const IoctlFn next = Next<IoctlFn>("ioctl");
  // Requests of other drivers get what the placeholder descriptor answers (the file-descriptor
  // requests work, the rest fail with ENOTTY).
  if (fd >= 0 && _IOC_TYPE(request) == PP_IOCTL && Ports().Owns(fd))
    return Ports().Ioctl(fd, request, arg);
  return next(fd, request, arg);
}

// No program under this library reaches a real port by direct access.
__attribute__((visibility("default"))) int ioperm(unsigned long, unsigned long, int) {
  errno = EPERM;
  return -1;
}
__attribute__((visibility("default"))) int iopl(int) {
  errno = EPERM;
  return -1;
}

}  // extern "C"
