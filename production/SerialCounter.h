// The next serial number of a production run, kept in a small text file that several runs may
// share: each takes its numbers under an exclusive lock (flock) on the file, so two runs never
// hand out the same number.
//
// The file holds the start and step it was made with, the next number never handed out, and the
// numbers handed back (a chip that failed gives its number back, and the next chip of any run
// takes the smallest of them first):
//
//   kaldo-cli serial counter
//   start 1000
//   step 1
//   next 1007
//   returned 1003 1005
//
// It is rewritten whole through a temporary file and a rename, so a crash leaves the old or the
// new one. A number taken by a run that is killed before it gives it back (kill -9, power loss)
// is lost: a gap in the numbers, never a number twice. The file is made by the first number
// taken; once a run has seen it, finding it gone, emptied, or offering again a number the run
// holds (moved backwards) ends that run with SerialCounterError rather than hand out a number
// twice.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "core/Errors.h"
#include "core/system/StopFlag.h"

namespace kaldo {

// A counter file that cannot be read, or one made for another start or step.
class SerialCounterError : public Error {
 public:
  using Error::Error;
};

struct SerialCounterState {
  std::uint64_t Start = 0;
  std::uint64_t Step = 1;
  std::uint64_t Next = 0;
  std::set<std::uint64_t> Returned;

  bool operator==(const SerialCounterState&) const = default;
};

std::string CounterText(const SerialCounterState& state);
// Raises SerialCounterError naming the first line that is wrong: one that does not read as it
// should, a next or returned number that is not start + k * step, a returned one not below the
// next, and anything after the returned line. A first line that is not the counter's heading is
// not quoted (the file may be another one entirely).
SerialCounterState CounterFromText(const std::string& text);

class SerialCounter {
 public:
  // A missing or empty file starts at start. An existing one must have been made with the same
  // start and step (SerialCounterError otherwise). Nothing is written or made yet. The file is
  // opened as OpenRegularFile opens it, and a wait for its lock ends with StoppedError when a
  // stop is requested on `stop`. Several threads may share one counter.
  SerialCounter(std::string fileName, std::uint64_t start, std::uint64_t step,
                const StopFlag* stop = nullptr);

  // The number the next Take would hand out, as the file stands now.
  std::uint64_t Peek();
  // Hands out the smallest number handed back, or else the next (and advances it); raises
  // SerialCounterError when the next has no number after it below 2^64.
  std::uint64_t Take();
  // A number taken that was not used: the next steps back when it was the last handed out.
  void GiveBack(std::uint64_t number);

  const std::string& FileName() const { return fileName_; }

 private:
  class Lock;
  // The file as it stands, checked against what this counter has seen and holds.
  SerialCounterState Read(const Lock& lock);
  void Write(const SerialCounterState& state);
  SerialCounterError Problem(const std::string& what) const;

  std::string fileName_;
  std::uint64_t start_;
  std::uint64_t step_;
  const StopFlag* stop_;
  std::mutex mutex_;       // one thread of the run at a time, as the lock is one run at a time
  bool seen_ = false;      // the file has existed since this counter was made
  bool seenText_ = false;  // ... and held numbers
  std::set<std::uint64_t> held_;  // taken and not given back: on a chip or being written
};

}  // namespace kaldo
