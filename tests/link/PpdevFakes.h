// Stand-ins for the ppdev backend's system calls, its /proc tree and the host clock.
#pragma once

#include <linux/ppdev.h>
#include <stdlib.h>
#include <sys/ioctl.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/Convert.h"
#include "link/ClockTimer.h"
#include "link/PpdevSystem.h"

namespace kaldo::test {

// Time moves only when the test says so, by `step` at every reading, and by every sleep.
class FakeClock : public Clock {
 public:
  std::chrono::nanoseconds now() override {
    const auto t = time;
    time += step;
    return t;
  }
  void sleepFor(std::chrono::nanoseconds duration) override {
    sleeps.push_back(duration);
    time += duration;
  }
  std::chrono::nanoseconds time{1000000000};
  std::chrono::nanoseconds step{0};
  std::vector<std::chrono::nanoseconds> sleeps;
};

// Records every call as a line of text: "open /dev/parport0", "PPCLAIM 3", "PPWDATA 3 04",
// "PPRSTATUS 3", "close 3". Failures are set per call kind ("open", "PPCLAIM", "PPWDATA", ...).
class FakePpdevSystem : public PpdevSystem {
 public:
  int open(const std::string& path) override {
    log.push_back("open " + path);
    if (fails.count("open")) return -fails["open"];
    return nextFd++;
  }
  int ioctl(int fd, unsigned long request, void* arg) override {
    const std::string name = Name(request);
    std::string line = name + " " + std::to_string(fd);
    auto* byte = static_cast<unsigned char*>(arg);
    if (request == PPWDATA || request == PPWCONTROL) line += " " + Hex(*byte);
    log.push_back(line);
    if (fails.count(name)) return -fails[name];
    if (request == PPRSTATUS || request == PPRDATA || request == PPRCONTROL) {
      *byte = 0x7F;
      if (!statusReads.empty() && request == PPRSTATUS) {
        *byte = statusReads.front();
        statusReads.pop_front();
      }
    }
    return 0;
  }
  int close(int fd) override {
    log.push_back("close " + std::to_string(fd));
    return fails.count("close") ? -fails["close"] : 0;
  }

  static std::string Hex(unsigned value) { return IntToHex(value, 2); }
  static std::string Name(unsigned long request) {
    static const std::map<unsigned long, std::string> kNames = {
        {PPCLAIM, "PPCLAIM"},       {PPRELEASE, "PPRELEASE"}, {PPWDATA, "PPWDATA"},
        {PPRDATA, "PPRDATA"},       {PPRSTATUS, "PPRSTATUS"}, {PPWCONTROL, "PPWCONTROL"},
        {PPRCONTROL, "PPRCONTROL"}, {PPEXCL, "PPEXCL"},       {PPDATADIR, "PPDATADIR"}};
    auto it = kNames.find(request);
    return it == kNames.end() ? "ioctl?" : it->second;
  }

  std::vector<std::string> log;
  std::map<std::string, int> fails;  // call kind -> errno
  std::deque<unsigned char> statusReads;
  int nextFd = 3;
};

// A system root in a fresh temporary folder, removed at the end: /proc/sys/dev/parport and
// whatever else a test writes into it.
class FakeProcTree {
 public:
  FakeProcTree() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kaldo-parport-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
  }
  ~FakeProcTree() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  // Adds /proc/sys/dev/parport/parportN (or any entry name) with the given base-addr text.
  void add(const std::string& name, const std::string& baseAddr) {
    file("/proc/sys/dev/parport/" + name + "/base-addr", baseAddr);
  }
  // Writes a file at an absolute path below the root, making its folders.
  void file(const std::string& path, const std::string& text) {
    const std::filesystem::path where = root_.string() + path;
    std::filesystem::create_directories(where.parent_path());
    std::ofstream(where) << text;
  }
  std::string root() const { return root_.string(); }

 private:
  std::filesystem::path root_;
};

}  // namespace kaldo::test
