// The system calls that write the program's files, as a seam: the program uses the system's own,
// tests a stand-in that makes one of them fail. Each call returns its result or -errno, never
// throws, and is not repeated after EINTR (the caller decides).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace kaldo {

class FileCalls {
 public:
  virtual ~FileCalls() = default;
  // A descriptor, or -errno.
  virtual int open(const std::string& path, int flags, mode_t mode) const = 0;
  // The bytes written, or -errno.
  virtual ssize_t write(int fd, const void* data, std::size_t size) const = 0;
  virtual ssize_t pwrite(int fd, const void* data, std::size_t size, off_t offset) const = 0;
  // 0, or -errno.
  virtual int ftruncate(int fd, off_t length) const = 0;
  virtual int fsync(int fd) const = 0;
  virtual int close(int fd) const = 0;
  virtual int rename(const std::string& from, const std::string& to) const = 0;
};

class SystemFileCalls : public FileCalls {
 public:
  int open(const std::string& path, int flags, mode_t mode) const override;
  ssize_t write(int fd, const void* data, std::size_t size) const override;
  ssize_t pwrite(int fd, const void* data, std::size_t size, off_t offset) const override;
  int ftruncate(int fd, off_t length) const override;
  int fsync(int fd) const override;
  int close(int fd) const override;
  int rename(const std::string& from, const std::string& to) const override;
};

// The system's own calls: what every save uses unless it is given others.
const FileCalls& SystemFiles();

}  // namespace kaldo
