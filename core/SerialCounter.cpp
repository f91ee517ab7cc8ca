#include "core/SerialCounter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>
#include <vector>

#include "core/Convert.h"
#include "core/TextFile.h"

namespace kaldo {

namespace {

constexpr char kHeading[] = "kaldo-cli serial counter";

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

bool Number(const std::string& text, std::uint64_t& value) {
  if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  errno = 0;
  value = std::stoull(text);
  return errno == 0;
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
    const auto bad = [&] {
      return SerialCounterError("line " + std::to_string(n + 1) + ": '" +
                                PrintableText(line.substr(0, 60)) + "' is not '" + keys[n] +
                                " ...'");
    };
    if (!std::getline(in, line)) {
      line.clear();
      throw bad();
    }
    if (n == 0) {
      if (line != kHeading) throw bad();
      continue;
    }
    const std::vector<std::string> words = Words(line);
    if (words.empty() || words[0] != keys[n]) throw bad();
    if (n < 4) {
      std::uint64_t value = 0;
      if (words.size() != 2 || !Number(words[1], value) || (n == 2 && value == 0)) throw bad();
      (n == 1 ? s.Start : n == 2 ? s.Step : s.Next) = value;
    } else {
      for (std::size_t i = 1; i < words.size(); ++i) {
        std::uint64_t value = 0;
        if (!Number(words[i], value) || value >= s.Next) throw bad();
        s.Returned.insert(value);
      }
    }
  }
  return s;
}

// The file opened and locked; a lock taken on a file that another run has since replaced is let
// go and taken again on the new one.
class SerialCounter::Lock {
 public:
  explicit Lock(const std::string& fileName) {
    for (;;) {
      fd_ = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
      if (fd_ < 0) throw InOutErrorFromErrno(errno).About(fileName, "opening");
      while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
          const int e = errno;
          ::close(fd_);
          throw InOutErrorFromErrno(e).About(fileName, "locking");
        }
      }
      struct stat held {
      }, named{};
      if (::fstat(fd_, &held) == 0 && ::stat(fileName.c_str(), &named) == 0 &&
          held.st_ino == named.st_ino && held.st_dev == named.st_dev)
        return;
      ::close(fd_);
    }
  }
  ~Lock() { ::close(fd_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

SerialCounter::SerialCounter(std::string fileName, std::uint64_t start, std::uint64_t step)
    : fileName_(std::move(fileName)), start_(start), step_(step) {
  const Lock lock(fileName_);
  const SerialCounterState s = Read(lock.fd());
  if (s.Start != start_ || s.Step != step_)
    throw SerialCounterError("The counter file " + PrintableText(fileName_) + " counts from " +
                             std::to_string(s.Start) + " in steps of " + std::to_string(s.Step) +
                             ", not from " + std::to_string(start_) + " in steps of " +
                             std::to_string(step_) + ": give those, or another --log.");
}

SerialCounterState SerialCounter::Read(int fd) const {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw InOutErrorFromErrno(errno).About(fileName_, "reading");
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > (1 << 20))
      throw SerialCounterError("The counter file " + PrintableText(fileName_) + " is too long.");
  }
  if (text.empty()) return {start_, step_, start_, {}};
  try {
    return CounterFromText(text);
  } catch (const SerialCounterError& e) {
    throw SerialCounterError("The counter file " + PrintableText(fileName_) +
                             " is damaged: " + e.what());
  }
}

std::uint64_t SerialCounter::Peek() const {
  const Lock lock(fileName_);
  const SerialCounterState s = Read(lock.fd());
  return s.Returned.empty() ? s.Next : *s.Returned.begin();
}

std::uint64_t SerialCounter::Take() {
  const Lock lock(fileName_);
  SerialCounterState s = Read(lock.fd());
  std::uint64_t number;
  if (!s.Returned.empty()) {
    number = *s.Returned.begin();
    s.Returned.erase(s.Returned.begin());
  } else {
    if (s.Next > UINT64_MAX - s.Step)
      throw SerialCounterError("The counter file " + PrintableText(fileName_) +
                               " has no number after " + std::to_string(s.Next) + ".");
    number = s.Next;
    s.Next += s.Step;
  }
  WriteFileReplacing(fileName_, CounterText(s));
  return number;
}

void SerialCounter::GiveBack(std::uint64_t number) {
  const Lock lock(fileName_);
  SerialCounterState s = Read(lock.fd());
  if (number + s.Step == s.Next) {
    s.Next = number;
    // Numbers handed back just below the next are now simply the next ones again.
    while (s.Next >= s.Start + s.Step && s.Returned.erase(s.Next - s.Step) == 1) s.Next -= s.Step;
  } else {
    s.Returned.insert(number);
  }
  WriteFileReplacing(fileName_, CounterText(s));
}

}  // namespace kaldo
