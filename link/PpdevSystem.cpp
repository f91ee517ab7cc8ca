#include "link/PpdevSystem.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace kaldo {

int LinuxPpdevSystem::open(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? -errno : fd;
}

// A claim may wait for another driver to let go of the port; a signal then interrupts it.
int LinuxPpdevSystem::ioctl(int fd, unsigned long request, void* arg) {
  int r;
  do {
    r = ::ioctl(fd, request, arg);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? -errno : 0;
}

// close is not repeated after EINTR: on Linux the descriptor is gone either way.
int LinuxPpdevSystem::close(int fd) {
  return ::close(fd) < 0 ? -errno : 0;
}

}  // namespace kaldo
