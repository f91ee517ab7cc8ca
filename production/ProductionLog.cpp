#include "production/ProductionLog.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <cerrno>

#include "core/Errors.h"
#include "core/system/RegularFile.h"
#include "core/system/TextFile.h"

namespace kaldo {

namespace {

// Lets the file's lock go when it leaves its scope.
class Unlock {
 public:
  explicit Unlock(int fd) : fd_(fd) {}
  ~Unlock() { ::flock(fd_, LOCK_UN); }
  Unlock(const Unlock&) = delete;
  Unlock& operator=(const Unlock&) = delete;

 private:
  int fd_;
};

}  // namespace

std::string CounterFileOf(const std::string& logFile) {
  return FollowLinks(logFile) + ".counter";
}

ProductionLog::ProductionLog(const std::string& fileName, const StopFlag* stop,
                             const FileCalls& calls)
    : fileName_(fileName), stop_(stop), calls_(calls) {
  if (fileName.empty()) return;
  fd_ = OpenRegularFile(fileName, O_WRONLY | O_APPEND | O_CREAT);
  try {
    // Two runs that start at once on a new log: only the one that finds it empty under the lock
    // writes the header.
    LockExclusive(fd_, fileName_, stop_);
    const Unlock unlock(fd_);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw InOutErrorFromErrno(errno).About(fileName_, "reading");
    if (st.st_size == 0) AppendLocked(kProductionLogHeader);
  } catch (...) {
    calls_.close(fd_);
    throw;
  }
}

ProductionLog::~ProductionLog() {
  if (fd_ >= 0) calls_.close(fd_);
}

void ProductionLog::Close() {
  if (fd_ < 0) return;
  const int closed = calls_.close(fd_);
  fd_ = -1;
  if (closed < 0) throw InOutErrorFromErrno(-closed).About(fileName_, "writing");
}

void ProductionLog::Append(const std::string& line) {
  if (fd_ < 0) return;
  const std::lock_guard<std::mutex> hold(mutex_);
  LockExclusive(fd_, fileName_, stop_);
  const Unlock unlock(fd_);
  AppendLocked(line);
}

void ProductionLog::AppendLocked(const std::string& line) {
  // Every run appends under the lock, so the end found here is where this line begins.
  const off_t begins = ::lseek(fd_, 0, SEEK_END);
  if (begins < 0) throw InOutErrorFromErrno(errno).About(fileName_, "writing");
  std::size_t done = 0;
  int failedWith = 0;
  while (done < line.size()) {
    const ssize_t n = calls_.write(fd_, line.data() + done, line.size() - done);
    if (n == -EINTR) continue;
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    failedWith = n < 0 ? static_cast<int>(-n) : ENOSPC;
    break;
  }
  // A line the disk may not hold is taken back too: the run asks for it to be added by hand.
  if (failedWith == 0) failedWith = -calls_.fsync(fd_);
  if (failedWith == 0) return;
  const InOutError failed = InOutErrorFromErrno(failedWith);
  if (done > 0 && calls_.ftruncate(fd_, begins) != 0) {
    throw InOutError(failed.Code(),
                     std::string(failed.what()) +
                         "; the part of the line written could not "
                         "be taken back either",
                     failed.SystemError())
        .About(fileName_, "writing");
  }
  throw failed.About(fileName_, "writing");
}

}  // namespace kaldo
