// An I/O space that records every access and answers reads from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "link/IoSpace.h"

namespace kaldo::test {

struct IoAccess {
  bool write;
  std::uint16_t port;
  std::uint8_t value;
  bool operator==(const IoAccess&) const = default;
};

class FakeIo : public IoSpace {
 public:
  void write(std::uint16_t port, std::uint8_t value) override {
    log.push_back({true, port, value});
  }
  std::uint8_t read(std::uint16_t port) override {
    std::uint8_t value = 0xFF;
    auto& queue = scripted[port];
    if (!queue.empty()) {
      value = queue.front();
      queue.pop_front();
    } else if (reader) {
      value = reader(port);
    } else if (auto it = constant.find(port); it != constant.end()) {
      value = it->second;
    }
    log.push_back({false, port, value});
    return value;
  }
  void selectLpt(std::uint16_t base) override { selected.push_back(base); }

  std::vector<std::uint8_t> Writes(std::uint16_t port) const {
    std::vector<std::uint8_t> out;
    for (const auto& a : log) {
      if (a.write && a.port == port) out.push_back(a.value);
    }
    return out;
  }
  std::vector<IoAccess> WritesOnly() const {
    std::vector<IoAccess> out;
    for (const auto& a : log) {
      if (a.write) out.push_back(a);
    }
    return out;
  }
  int Reads(std::uint16_t port) const {
    int n = 0;
    for (const auto& a : log) n += !a.write && a.port == port;
    return n;
  }

  std::vector<IoAccess> log;
  std::map<std::uint16_t, std::deque<std::uint8_t>> scripted;  // answered first, in order
  std::map<std::uint16_t, std::uint8_t> constant;
  std::function<std::uint8_t(std::uint16_t)> reader;
  std::vector<std::uint16_t> selected;  // the LPT bases it was told, in order
};

}  // namespace kaldo::test
