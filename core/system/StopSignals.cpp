#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "core/system/StopFlag.h"

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

// Takes the signals that come after the one that stopped the program, which is on its way out.
extern "C" void OnLateSignal(int) {}

bool IsIgnored(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN;
}

}  // namespace

StopSignals::StopSignals(StopFlag& flag, int notifyFd) : flag_(flag) {
  StopFlag* none = nullptr;
  if (!gStopFlag.compare_exchange_strong(none, &flag))
    throw std::logic_error("the stop signals are already taken");
  gNotifyFd = notifyFd;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  // One handler at a time: a second signal cannot overtake the first one's request.
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
  // Interrupted system calls resume: the routine notices the flag at its next byte or poll.
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    // A signal ignored when the program started (nohup, a background job) stays ignored.
    installed_[i] = sigaction(kSignals[i], nullptr, &previous_[i]) == 0 &&
                    !IsIgnored(previous_[i]) && sigaction(kSignals[i], &action, nullptr) == 0;
  }
}

StopSignals::~StopSignals() {
  // Blocked while the handlers change hands, so that none is taken by the wrong one.
  sigset_t stopSignals, before;
  sigemptyset(&stopSignals);
  for (int signal : kSignals) sigaddset(&stopSignals, signal);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &before);
  struct sigaction late {};
  late.sa_handler = OnLateSignal;
  sigemptyset(&late.sa_mask);
  late.sa_flags = SA_RESTART;
  const bool stoppedBySignal = flag_.Signal() > 0;
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    if (installed_[i]) sigaction(kSignals[i], stoppedBySignal ? &late : &previous_[i], nullptr);
  }
  gNotifyFd = -1;
  gStopFlag = nullptr;
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

}  // namespace kaldo
