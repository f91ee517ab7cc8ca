#include "link/PpdevSystem.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/Convert.h"
#include "link/Ppdev.h"

namespace kaldo {

int LinuxPpdevSystem::open(const std::string& path) {
  const std::string file = root_ + path;
  int fd;
  do {
    fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -errno;
  struct stat st {};
  if (!root_.empty() && (::fstat(fd, &st) != 0 || S_ISCHR(st.st_mode))) {
    ::close(fd);
    throw PpdevError(PrintableText(file) + " is a device node, and the ports are read from the " +
                     "test tree " + PrintableText(root_) + " (KALDO_SYSTEM_ROOT), where no real " +
                     "port is touched. Make the tree's nodes plain files");
  }
  return fd;
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
