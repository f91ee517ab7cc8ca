// A request to stop the device command that runs, and the signals that make it.
//
// The front end owns one StopFlag and hands it to the programmer; the routines look at it at every
// byte and the waits while they poll, and raise StoppedError. StopSignals turns SIGINT, SIGTERM,
// SIGHUP, SIGQUIT and SIGPIPE (a reader of the program's output that went away) into such a
// request for as long as it lives.
#pragma once

#include <atomic>
#include <csignal>
#include <cstddef>
#include <iterator>
#include <string>

#include "core/Errors.h"

namespace kaldo {

// What a program stopped by a signal says on stderr once the board is safe again.
inline constexpr char kInterruptedText[] = "Interrupted: the board was reset";
// The same when the commands go through an ISP cable: RST, SCK and MOSI low, the buffer off.
inline constexpr char kInterruptedCableText[] = "Interrupted: the cable was left idle";
// What it says when the signal came before it touched a board, or in a command that has none.
inline constexpr char kInterruptedEarlyText[] = "Interrupted";

// Set from a signal handler or another thread, read by the thread that drives the board. The
// first request is kept: a second signal does not change which one stopped the command.
class StopFlag {
 public:
  // Async-signal-safe.
  void Request(int signal = kNoSignal) noexcept {
    int none = 0;
    request_.compare_exchange_strong(none, signal > 0 ? signal : kNoSignal);
  }
  bool Requested() const noexcept { return request_.load(std::memory_order_relaxed) != 0; }
  // The signal that asked for the stop; 0 when none did.
  int Signal() const noexcept {
    const int r = request_.load(std::memory_order_relaxed);
    return r > 0 ? r : 0;
  }
  // Ready for the next command.
  void Clear() noexcept { request_.store(0); }

 private:
  static constexpr int kNoSignal = -1;  // a stop asked for by the program itself
  static_assert(std::atomic<int>::is_always_lock_free);
  std::atomic<int> request_{0};
};

// A command that stopped on request; a board it used has been reset when it reaches the caller.
// `said` is what the program tells the user.
class StoppedError : public Error {
 public:
  explicit StoppedError(int signal, const char* said = kInterruptedText)
      : Error(signal > 0 ? "Interrupted by signal " + std::to_string(signal) : "Stopped"),
        signal_(signal),
        said_(said) {}
  int Signal() const { return signal_; }
  const char* Said() const { return said_; }

 private:
  int signal_;
  const char* said_;
};

// While an object lives, SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE do nothing but request a
// stop on the flag and, when a descriptor is given, write the signal's number as one byte to it
// (the write end of a pipe that an event loop watches). A signal that was ignored when the object
// was made (nohup, a background job of a script) stays ignored; an ignored SIGPIPE leaves a
// broken pipe to the writes, which fail with EPIPE. When it goes, the handlers that stood
// before come back; unless a signal stopped the program: then later ones do nothing, so that the
// program ends with the status of the first. One at a time; the flag must outlive it.
class StopSignals {
 public:
  explicit StopSignals(StopFlag& flag, int notifyFd = -1);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // 128 + the signal: the exit status of a program that the signal stopped.
  static int ExitStatus(int signal) { return 128 + signal; }

 private:
  // A broken pipe is one too: a write to it then fails with EPIPE, and the stream that made it
  // stays failed, so that the rest of the output is dropped rather than killing the program.
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
  static constexpr std::size_t kSignalCount = std::size(kSignals);
  const StopFlag& flag_;
  struct sigaction previous_[kSignalCount];
  bool installed_[kSignalCount] = {};
};

}  // namespace kaldo
