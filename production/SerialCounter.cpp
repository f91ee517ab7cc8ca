#include "production/SerialCounter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <sstream>
#include <vector>

#include "core/Convert.h"
#include "core/system/RegularFile.h"
#include "core/system/TextFile.h"

namespace kaldo {

namespace {

constexpr char kHeading[] = "kaldo-cli serial counter";

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Decimal digits only, and a value that fits 64 bits.
bool Number(const std::string& text, std::uint64_t& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string CounterText(const SerialCounterState& s) {
  std::string text = std::string(kHeading) + "\nstart " + std::to_string(s.Start) + "\nstep " +
                     std::to_string(s.Step) + "\nnext " + std::to_string(s.Next) + "\nreturned";
  for (std::uint64_t n : s.Returned) text += " " + std::to_string(n);
  return text + "\n";
}

SerialCounterState CounterFromText(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  SerialCounterState s;
  const char* keys[] = {kHeading, "start", "step", "next", "returned"};
  for (int n = 0; n < 5; ++n) {
    const auto bad = [&](const std::string& what) {
      return SerialCounterError("line " + std::to_string(n + 1) + ": '" +
                                PrintableText(line.substr(0, 60)) + "' " + what);
    };
    const auto notKey = [&] { return bad(std::string("is not '") + keys[n] + " ...'"); };
    if (!std::getline(in, line)) {
      line.clear();
      throw notKey();
    }
    if (n == 0) {
      if (line != kHeading)
        throw SerialCounterError(std::string("line 1 is not '") + kHeading + "'");
      continue;
    }
    const std::vector<std::string> words = Words(line);
    if (words.empty() || words[0] != keys[n]) throw notKey();
    // Every number handed out is start + k * step.
    const auto inSeries = [&](std::uint64_t value) {
      return value >= s.Start && (value - s.Start) % s.Step == 0;
    };
    const std::string series = "is not a number from " + std::to_string(s.Start) + " in steps of " +
                               std::to_string(s.Step);
    if (n < 4) {
      std::uint64_t value = 0;
      if (words.size() != 2 || !Number(words[1], value) || (n == 2 && value == 0)) throw notKey();
      if (n == 3 && !inSeries(value)) throw bad(series);
      (n == 1 ? s.Start : n == 2 ? s.Step : s.Next) = value;
    } else {
      for (std::size_t i = 1; i < words.size(); ++i) {
        std::uint64_t value = 0;
        if (!Number(words[i], value)) throw notKey();
        if (!inSeries(value)) throw bad("holds " + words[i] + ", which " + series);
        if (value >= s.Next) throw bad("holds " + words[i] + ", which is not below the next");
        s.Returned.insert(value);
      }
    }
  }
  for (int n = 6; std::getline(in, line); ++n) {
    if (!Words(line).empty())
      throw SerialCounterError("line " + std::to_string(n) + ": '" +
                               PrintableText(line.substr(0, 60)) +
                               "' follows the returned numbers");
  }
  return s;
}

// The file opened and locked; a lock taken on a file that another run has since replaced is let
// go and taken again on the new one. A missing file is made when `create` is given, and otherwise
// leaves fd() at -1.
class SerialCounter::Lock {
 public:
  Lock(const SerialCounter& counter, bool create) {
    const std::string& name = counter.fileName_;
    for (;;) {
      try {
        fd_ = OpenRegularFile(name, O_RDWR | (create ? O_CREAT : 0));
      } catch (const InOutError& e) {
        if (create || e.Code() != kFileNotFound) throw;
        return;
      }
      try {
        LockExclusive(fd_, name, counter.stop_);
      } catch (...) {
        ::close(fd_);
        throw;
      }
      struct stat held {
      }, named{};
      if (::fstat(fd_, &held) == 0 && ::stat(name.c_str(), &named) == 0 &&
          held.st_ino == named.st_ino && held.st_dev == named.st_dev)
        return;
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Lock() {
    if (fd_ >= 0) ::close(fd_);
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

SerialCounter::SerialCounter(std::string fileName, std::uint64_t start, std::uint64_t step,
                             const StopFlag* stop)
    : fileName_(std::move(fileName)), start_(start), step_(step), stop_(stop) {
  const Lock lock(*this, false);
  Read(lock);
}

SerialCounterError SerialCounter::Problem(const std::string& what) const {
  return SerialCounterError("The counter file " + PrintableText(fileName_) + " " + what);
}

SerialCounterState SerialCounter::Read(const Lock& lock) {
  const SerialCounterState fresh{start_, step_, start_, {}};
  const char* again =
      ": set its next above every serial number in the log before the next run, "
      "so that none is handed out twice";
  if (lock.fd() < 0) {
    if (seen_) throw Problem(std::string("is gone") + again);
    return fresh;
  }
  seen_ = true;
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(lock.fd(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw InOutErrorFromErrno(errno).About(fileName_, "reading");
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > (1 << 20)) throw Problem("is too long");
  }
  if (text.empty()) {
    if (seenText_) throw Problem(std::string("has been emptied") + again);
    return fresh;
  }
  SerialCounterState s;
  try {
    s = CounterFromText(text);
  } catch (const SerialCounterError& e) {
    throw Problem(std::string("is damaged: ") + e.what());
  }
  seenText_ = true;
  if (s.Start != start_ || s.Step != step_)
    throw Problem("counts from " + std::to_string(s.Start) + " in steps of " +
                  std::to_string(s.Step) + ", not from " + std::to_string(start_) +
                  " in steps of " + std::to_string(step_) + ": give those, or another --log");
  for (std::uint64_t number : held_) {
    if (number >= s.Next || s.Returned.count(number) != 0)
      throw Problem("has moved backwards: it would hand out " + std::to_string(number) +
                    " again, which this run holds" + again);
  }
  return s;
}

void SerialCounter::Write(const SerialCounterState& s) {
  try {
    WriteFileReplacing(fileName_, CounterText(s));
  } catch (const InOutError& e) {
    throw e.About(fileName_, "writing");
  }
  seenText_ = true;
}

std::uint64_t SerialCounter::Peek() {
  const std::lock_guard<std::mutex> hold(mutex_);
  const Lock lock(*this, false);
  const SerialCounterState s = Read(lock);
  return s.Returned.empty() ? s.Next : *s.Returned.begin();
}

std::uint64_t SerialCounter::Take() {
  const std::lock_guard<std::mutex> hold(mutex_);
  const Lock lock(*this, !seen_);
  SerialCounterState s = Read(lock);
  std::uint64_t number;
  if (!s.Returned.empty()) {
    number = *s.Returned.begin();
    s.Returned.erase(s.Returned.begin());
  } else {
    if (s.Next > UINT64_MAX - s.Step)
      throw Problem("has no number after " + std::to_string(s.Next));
    number = s.Next;
    s.Next += s.Step;
  }
  Write(s);
  held_.insert(number);
  return number;
}

void SerialCounter::GiveBack(std::uint64_t number) {
  const std::lock_guard<std::mutex> hold(mutex_);
  const Lock lock(*this, false);
  SerialCounterState s = Read(lock);
  if (number + s.Step == s.Next) {
    s.Next = number;
    // Numbers handed back just below the next are now simply the next ones again.
    while (s.Next >= s.Start + s.Step && s.Returned.erase(s.Next - s.Step) == 1) s.Next -= s.Step;
  } else {
    s.Returned.insert(number);
  }
  Write(s);
  held_.erase(number);
}

}  // namespace kaldo
