// The system calls behind the ppdev backend, as a seam: the program uses the Linux ones, tests a
// fake that records every call. Each call returns its result or -errno; none throws.
#pragma once

#include <string>

namespace kaldo {

class PpdevSystem {
 public:
  virtual ~PpdevSystem() = default;
  // A descriptor opened for reading and writing, or -errno.
  virtual int open(const std::string& path) = 0;
  // 0 or -errno; arg points at the request's operand (unsigned char for the register requests).
  virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
  virtual int close(int fd) = 0;
};

class LinuxPpdevSystem : public PpdevSystem {
 public:
  int open(const std::string& path) override;
  int ioctl(int fd, unsigned long request, void* arg) override;
  int close(int fd) override;
};

}  // namespace kaldo
