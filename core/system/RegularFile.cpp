#include "core/system/RegularFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "core/Convert.h"
#include "core/system/TextFile.h"

namespace kaldo {

namespace {

Error NotRegular(const std::string& fileName) {
  return Error("'" + PrintableText(fileName) +
               "' is not a regular file: remove it, or choose another name");
}

}  // namespace

int OpenRegularFile(const std::string& fileName, int flags) {
  const std::string target = FollowLinks(fileName);
  struct stat st;
  if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) throw NotRegular(fileName);
  // Non-blocking, so that a FIFO put there meanwhile cannot hold the open up; no link that has
  // appeared at the end of the chain since is followed.
  const int fd =
      ::open(target.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, 0666);
  if (fd < 0 && errno == ENXIO) throw NotRegular(fileName);  // a FIFO with no reader
  if (fd < 0) throw InOutErrorFromErrno(errno).About(fileName, "opening");
  const auto fail = [&](const auto& error) {
    ::close(fd);
    throw error;
  };
  if (::fstat(fd, &st) != 0) fail(InOutErrorFromErrno(errno).About(fileName, "opening"));
  if (!S_ISREG(st.st_mode)) fail(NotRegular(fileName));
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    fail(InOutErrorFromErrno(errno).About(fileName, "opening"));
  return fd;
}

void LockExclusive(int fd, const std::string& fileName, const StopFlag* stop) {
  using namespace std::chrono_literals;
  const auto failed = [&] { return InOutErrorFromErrno(errno).About(fileName, "locking"); };
  if (stop == nullptr) {
    while (::flock(fd, LOCK_EX) != 0)
      if (errno != EINTR) throw failed();
    return;
  }
  // The signals that request a stop restart a blocking flock: so the lock is tried, not waited for.
  const bool stoppedBefore = stop->Requested();
  const auto began = std::chrono::steady_clock::now();
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return;
    if (errno != EWOULDBLOCK && errno != EINTR) throw failed();
    if (stop->Requested() && (!stoppedBefore || std::chrono::steady_clock::now() - began >= 1s))
      throw StoppedError(stop->Signal());
    std::this_thread::sleep_for(10ms);
  }
}

}  // namespace kaldo
