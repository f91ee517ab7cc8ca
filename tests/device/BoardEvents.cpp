#include "tests/device/BoardEvents.h"

#include "core/Convert.h"

namespace kaldo::test {

namespace {

std::string Hex2(unsigned v) {
  return IntToHex(v & 0xFF, 2);
}

std::string WaitName(std::uint16_t count) {
  switch (count) {
    case 60:
      return "50us";
    case 119:
      return "100us";
    case 2387:
      return "2ms";
    case 11932:
      return "10ms";
    case 65535:
      return "55ms";
  }
  return "count " + std::to_string(count);
}

}  // namespace

void BoardEvents::Add(std::string event) {
  if (recording) events_.push_back(std::move(event));
}

void BoardEvents::write(std::uint16_t port, std::uint8_t value) {
  inner_.write(port, value);
  if (port == base_) {
    const bool clockRise = !(data_ & 0x02) && (value & 0x02);
    const bool latchRise = !(data_ & 0x80) && (value & 0x80);
    if (clockRise) {
      if (value & 0x08) {
        Add("S");
        answering_ = !answers.empty();
        if (answering_) {
          readBack_ = answers.front();
          answers.pop_front();
        }
      } else {
        readBack_ = static_cast<std::uint8_t>(readBack_ << 1);
      }
      const int serial[4] = {0x01, 0x10, 0x20, 0x40};
      for (int r = 0; r < 4; ++r)
        shift_[r] = static_cast<std::uint8_t>((shift_[r] << 1) | ((value & serial[r]) ? 1 : 0));
    }
    if (latchRise) {
      std::string e = "L m=" + Hex2(shift_[3]) + " h=" + Hex2(shift_[2]) + " l=" + Hex2(shift_[1]) +
                      " d=" + Hex2(shift_[0]);
      if (!(value & 0x04)) e += " drive";
      Add(e);
    }
    data_ = value;
  } else if (port == base_ + 2) {
    Add("C " + Hex2(value));
  } else if (port == 0x43) {
    countBytes_ = value == 0xB0 ? 0 : -1;
  } else if (port == 0x42 && countBytes_ >= 0) {
    if (countBytes_ == 0) {
      count_ = value;
      countBytes_ = 1;
    } else {
      count_ = static_cast<std::uint16_t>(count_ | (value << 8));
      countBytes_ = -1;
      Add("W " + WaitName(count_));
    }
  }
}

std::uint8_t BoardEvents::read(std::uint16_t port) {
  const std::uint8_t value = inner_.read(port);
  if (port != base_ + 1 || !answering_) return value;
  return static_cast<std::uint8_t>((value & 0x7F) | ((readBack_ & 0x80) ? 0x00 : 0x80));
}

std::vector<std::string> BoardEvents::Events() const {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < events_.size()) {
    std::size_t j = i + 1;
    if (events_[i][0] == 'W')
      while (j < events_.size() && events_[j] == events_[i]) ++j;
    out.push_back(j - i > 1 ? events_[i] + " x" + std::to_string(j - i) : events_[i]);
    i = j;
  }
  return out;
}

}  // namespace kaldo::test
