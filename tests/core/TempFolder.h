// A fresh folder for one test, removed with everything in it at the end.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/system/FileCalls.h"

namespace kaldo {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kaldo-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_))
      names.push_back(e.path().filename().string());
    return names;
  }

 private:
  std::string path_;
};

// Inside its scope a test that runs as root runs as "nobody", so that folder permissions bind.
class WithoutRoot {
 public:
  WithoutRoot() {
    if (::geteuid() == 0) dropped_ = ::setresuid(65534, 65534, 0) == 0;
  }
  ~WithoutRoot() {
    if (dropped_ && ::setresuid(0, 0, 0) != 0) std::abort();
  }
  WithoutRoot(const WithoutRoot&) = delete;
  WithoutRoot& operator=(const WithoutRoot&) = delete;
  bool ok() const { return dropped_ || ::geteuid() != 0; }

 private:
  bool dropped_ = false;
};

// Inside its scope files may grow to `bytes` only; a write past the limit fails with EFBIG instead
// of ending the test with SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : handler_(::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    struct rlimit small = saved_;
    small.rlim_cur = bytes;
    set_ = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool ok() const { return set_; }

 private:
  sighandler_t handler_;
  struct rlimit saved_;
  bool set_ = false;
};

// The system's file calls, but one of them ("write", "fsync", "close" or "rename") fails with
// `err`; a failing close still lets the descriptor go, as on Linux.
class FailingFileCall : public SystemFileCalls {
 public:
  FailingFileCall(std::string call, int err) : call_(std::move(call)), err_(err) {}
  ssize_t write(int fd, const void* data, std::size_t size) const override {
    return call_ == "write" ? -err_ : SystemFileCalls::write(fd, data, size);
  }
  int fsync(int fd) const override { return call_ == "fsync" ? -err_ : SystemFileCalls::fsync(fd); }
  int close(int fd) const override {
    const int closed = SystemFileCalls::close(fd);
    return call_ == "close" ? -err_ : closed;
  }
  int rename(const std::string& from, const std::string& to) const override {
    return call_ == "rename" ? -err_ : SystemFileCalls::rename(from, to);
  }

 private:
  std::string call_;
  int err_;
};

inline void WriteBytes(const std::string& fileName, const std::string& bytes) {
  std::ofstream(fileName, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kaldo
