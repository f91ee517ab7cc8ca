#include "core/system/FileCalls.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

namespace kaldo {

int SystemFileCalls::open(const std::string& path, int flags, mode_t mode) const {
  const int fd = ::open(path.c_str(), flags, mode);
  return fd < 0 ? -errno : fd;
}

ssize_t SystemFileCalls::write(int fd, const void* data, std::size_t size) const {
  const ssize_t n = ::write(fd, data, size);
  return n < 0 ? -errno : n;
}

ssize_t SystemFileCalls::pwrite(int fd, const void* data, std::size_t size, off_t offset) const {
  const ssize_t n = ::pwrite(fd, data, size, offset);
  return n < 0 ? -errno : n;
}

int SystemFileCalls::ftruncate(int fd, off_t length) const {
  return ::ftruncate(fd, length) != 0 ? -errno : 0;
}

int SystemFileCalls::fsync(int fd) const {
  return ::fsync(fd) != 0 ? -errno : 0;
}

// On Linux the descriptor is gone even when close fails; it is never closed twice.
int SystemFileCalls::close(int fd) const {
  return ::close(fd) != 0 ? -errno : 0;
}

int SystemFileCalls::rename(const std::string& from, const std::string& to) const {
  return ::rename(from.c_str(), to.c_str()) != 0 ? -errno : 0;
}

const FileCalls& SystemFiles() {
  static const SystemFileCalls calls;
  return calls;
}

}  // namespace kaldo
