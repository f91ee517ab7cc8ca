// The stop signals: each of them only raises the flag and notes itself on the pipe, the first
// one is kept; the handlers that stood before come back, unless a signal stopped the program; and a
// signal that was ignored stays ignored.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <stdexcept>

#include "core/system/StopFlag.h"

namespace kaldo {
namespace {

volatile std::sig_atomic_t gEarlierHandlerRan = 0;
extern "C" void EarlierHandler(int signal) {
  gEarlierHandlerRan = signal;
}

// Puts `handler` in place for the signal, and what stood before back at the end of the scope.
class HandlerFor {
 public:
  HandlerFor(int signal, void (*handler)(int)) : signal_(signal) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigaction(signal, &action, &before_);
  }
  ~HandlerFor() { sigaction(signal_, &before_, nullptr); }
  HandlerFor(const HandlerFor&) = delete;
  HandlerFor& operator=(const HandlerFor&) = delete;

 private:
  int signal_;
  struct sigaction before_;
};

void (*HandlerOf(int signal))(int) {
  struct sigaction now {};
  sigaction(signal, nullptr, &now);
  return now.sa_handler;
}

TEST(StopSignals, RaiseTheFlagNoteThemselvesAndGiveBackTheEarlierHandlers) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    SCOPED_TRACE(signal);
    const int other = signal == SIGINT ? SIGTERM : SIGINT;
    const HandlerFor earlier(signal, EarlierHandler), earlierOther(other, EarlierHandler);
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    StopFlag flag;
    {
      const StopSignals signals(flag, fds[1]);
      EXPECT_THROW(StopSignals second(flag), std::logic_error);
      raise(signal);
      raise(other);  // a second signal does not replace the first
      unsigned char noted[4] = {};
      ASSERT_EQ(read(fds[0], noted, sizeof noted), 2);
      EXPECT_EQ(noted[0], signal);
      EXPECT_TRUE(flag.Requested());
      EXPECT_EQ(flag.Signal(), signal);
      EXPECT_EQ(gEarlierHandlerRan, 0);
    }
    // Stopped by a signal: the program is on its way out with that signal's status, and later
    // signals neither end it nor reach the earlier handlers.
    raise(other);
    raise(signal);
    EXPECT_EQ(gEarlierHandlerRan, 0);
    EXPECT_EQ(flag.Signal(), signal);

    close(fds[0]);
    close(fds[1]);
  }
}

TEST(StopSignals, WithoutASignalTheEarlierHandlersComeBack) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    SCOPED_TRACE(signal);
    const HandlerFor earlier(signal, EarlierHandler);
    StopFlag flag;
    {
      const StopSignals signals(flag);
      flag.Request();  // a stop the program asked for itself
    }
    raise(signal);
    EXPECT_EQ(gEarlierHandlerRan, signal);
    gEarlierHandlerRan = 0;
  }
}

// nohup and the background jobs of a script start the program with some of these ignored.
TEST(StopSignals, ASignalIgnoredBeforeStaysIgnored) {
  const HandlerFor ignoredHangUp(SIGHUP, SIG_IGN), earlier(SIGTERM, EarlierHandler);
  StopFlag flag;
  {
    const StopSignals signals(flag);
    EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
    raise(SIGHUP);
    EXPECT_FALSE(flag.Requested());
    raise(SIGTERM);
    EXPECT_EQ(flag.Signal(), SIGTERM);
  }
  EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
  EXPECT_EQ(gEarlierHandlerRan, 0);
}

// A reader that went away: the write fails instead of ending the program, and the run stops.
TEST(StopSignals, ABrokenPipeFailsTheWriteAndStops) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  StopFlag flag;
  {
    const StopSignals signals(flag);
    errno = 0;
    EXPECT_EQ(write(fds[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    EXPECT_EQ(flag.Signal(), SIGPIPE);
  }
  close(fds[1]);
}

TEST(StopFlag, KeepsTheFirstRequestUntilCleared) {
  StopFlag flag;
  EXPECT_FALSE(flag.Requested());
  flag.Request();
  EXPECT_TRUE(flag.Requested());
  EXPECT_EQ(flag.Signal(), 0);  // asked for by the program, not by a signal
  flag.Request(SIGTERM);
  EXPECT_EQ(flag.Signal(), 0);
  flag.Clear();
  flag.Request(SIGHUP);
  EXPECT_EQ(flag.Signal(), SIGHUP);
  EXPECT_EQ(StopSignals::ExitStatus(SIGINT), 130);
}

}  // namespace
}  // namespace kaldo
