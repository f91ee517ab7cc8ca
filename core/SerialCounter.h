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
// is lost: a gap in the numbers, never a number twice.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "core/Errors.h"

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
// Raises SerialCounterError naming the first line that is wrong.
SerialCounterState CounterFromText(const std::string& text);

class SerialCounter {
 public:
  // A missing or empty file starts at start. An existing one must have been made with the same
  // start and step (SerialCounterError otherwise). Nothing is written yet.
  SerialCounter(std::string fileName, std::uint64_t start, std::uint64_t step);

  // The number the next Take would hand out, as the file stands now.
  std::uint64_t Peek() const;
  // Hands out the smallest number handed back, or else the next (and advances it); raises
  // SerialCounterError when the next has no number after it below 2^64.
  std::uint64_t Take();
  // A number taken that was not used: the next steps back when it was the last handed out.
  void GiveBack(std::uint64_t number);

  const std::string& FileName() const { return fileName_; }

 private:
  class Lock;
  SerialCounterState Read(int fd) const;

  std::string fileName_;
  std::uint64_t start_;
  std::uint64_t step_;
};

}  // namespace kaldo
