// What the boards of a production run share: the chip numbers, the counts, the terminal, the
// front end that hears each chip's steps, and the end.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "production/ProductionRun.h"

namespace kaldo {

class ProductionLine {
 public:
  ProductionLine(std::ostream& out, int count, ProductionEvents* events = nullptr)
      : out_(out), count_(count), events_(events) {}

  // The number of a chip just seated; none once the run has handed out its count or is ending.
  std::optional<int> NextChip() {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (Done()) return std::nullopt;
    return ++handedOut_;
  }
  // The number the next chip seated on any board takes, unless another is seated first.
  int NextNumber() const { return handedOut_ + 1; }
  int HandedOut() const { return handedOut_; }
  bool Done() const { return ending_ || (count_ > 0 && handedOut_ >= count_); }
  // Whole lines, each board's kept together.
  void Say(const std::string& lines) {
    const std::lock_guard<std::mutex> hold(mutex_);
    out_ << lines << std::flush;
  }
  void Counted(bool good) {
    const std::lock_guard<std::mutex> hold(mutex_);
    (good ? good_ : failed_)++;
  }
  // The event goes out with the run's count and counts filled in.
  void Tell(ChipEvent event) {
    if (!events_) return;
    const std::lock_guard<std::mutex> hold(mutex_);
    event.Count = count_;
    event.Good = good_;
    event.Failed = failed_;
    events_->OnChip(event);
  }
  // The boards finish the chip they program and take no other.
  void End() { ending_ = true; }
  bool Ending() const { return ending_; }
  int Count() const { return count_; }
  int Good() const { return good_; }
  int Failed() const { return failed_; }

 private:
  std::mutex mutex_;
  std::ostream& out_;
  const int count_;
  ProductionEvents* events_;
  std::atomic<int> handedOut_{0};
  int good_ = 0;
  int failed_ = 0;
  std::atomic<bool> ending_{false};
};

}  // namespace kaldo
