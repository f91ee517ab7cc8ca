#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "core/StopFlag.h"

namespace kaldo {

namespace {

// What the signal handler reaches. A handler can be given nothing but globals, so these two are
// the program's only ones: set while a StopSignals lives, null and -1 otherwise.
std::atomic<StopFlag*> gStopFlag{nullptr};
std::atomic<int> gNotifyFd{-1};
static_assert(std::atomic<StopFlag*>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal) {
  const int savedErrno = errno;
  if (StopFlag* flag = gStopFlag.load()) flag->Request(signal);
  if (const int fd = gNotifyFd.load(); fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

StopSignals::StopSignals(StopFlag& flag, int notifyFd) {
  StopFlag* none = nullptr;
  if (!gStopFlag.compare_exchange_strong(none, &flag))
    throw std::logic_error("the stop signals are already taken");
  gNotifyFd = notifyFd;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls resume: the routine notices the flag at its next byte or poll.
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

StopSignals::~StopSignals() {
  for (std::size_t i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &previous_[i], nullptr);
  gNotifyFd = -1;
  gStopFlag = nullptr;
}

}  // namespace kaldo
