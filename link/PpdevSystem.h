// The system calls behind the ppdev backend, as a seam: the program uses the Linux ones, tests a
// fake that records every call. Each call returns its result or -errno; none throws, except that
// below a test tree a device node is refused with PpdevError.
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
  // root "" is the real system. Below a test tree (KALDO_SYSTEM_ROOT) the node is the tree's file,
  // root + path, which a preloaded simulated PC may answer; a device node there is never opened,
  // so that no real port is touched.
  explicit LinuxPpdevSystem(std::string root = {}) : root_(std::move(root)) {}
  int open(const std::string& path) override;
  int ioctl(int fd, unsigned long request, void* arg) override;
  int close(int fd) override;

 private:
  std::string root_;
};

}  // namespace kaldo
