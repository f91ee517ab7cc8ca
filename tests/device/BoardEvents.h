// Test helper: sits between the port code and an I/O space and turns the raw register writes into
// the events the programmer board sees, decoded from the register bits on its own:
//   "L m=67 h=10 l=02 d=FF"      the four registers latched to their outputs ("drive" appended when
//                                the data outputs drive the device's pins at the latch strobe)
//   "S"                          the read-back register loads the device's data pins
//   "C 05"                       a write to the control register (Strobe 01, AutoFeed 02, Init 04,
//                                SelectIn 08)
//   "W 2ms"                      a one-shot wait on timer counter 2; runs of the same wait are
//                                collapsed to "W 10ms x50"
// With answers queued, each load of the read-back register takes the next answer instead of what
// the simulated board captured, and status bit 7 gives its bits (inverted, most significant first).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/IoSpace.h"

namespace kaldo::test {

class BoardEvents : public IoSpace {
 public:
  BoardEvents(IoSpace& inner, std::uint16_t base) : inner_(inner), base_(base) {}

  void write(std::uint16_t port, std::uint8_t value) override;
  std::uint8_t read(std::uint16_t port) override;

  bool recording = true;
  std::deque<std::uint8_t> answers;
  // The events so far, with runs of one wait collapsed.
  std::vector<std::string> Events() const;
  void Clear() { events_.clear(); }

 private:
  void Add(std::string event);

  IoSpace& inner_;
  std::uint16_t base_;
  std::uint8_t data_ = 0;
  std::uint8_t shift_[4] = {};  // data, address low, address high, mode
  std::uint16_t count_ = 0;
  int countBytes_ = 0;
  bool answering_ = false;
  std::uint8_t readBack_ = 0;
  std::vector<std::string> events_;
};

}  // namespace kaldo::test
