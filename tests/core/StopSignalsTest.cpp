// The stop signals: each of them only raises the flag and notes itself on the pipe, the first
// one is kept, and the handlers that stood before come back.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>

#include "core/StopFlag.h"

namespace kaldo {
namespace {

volatile std::sig_atomic_t gEarlierHandlerRan = 0;
extern "C" void EarlierHandler(int signal) {
  gEarlierHandlerRan = signal;
}

TEST(StopSignals, RaiseTheFlagNoteThemselvesAndGiveBackTheEarlierHandlers) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    SCOPED_TRACE(signal);
    struct sigaction earlier {};
    earlier.sa_handler = EarlierHandler;
    struct sigaction before {};
    ASSERT_EQ(sigaction(signal, &earlier, &before), 0);
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    StopFlag flag;
    {
      const StopSignals signals(flag, fds[1]);
      EXPECT_THROW(StopSignals second(flag), std::logic_error);
      raise(signal);
      raise(signal == SIGINT ? SIGTERM : SIGINT);  // a second signal does not replace the first
      unsigned char noted[4] = {};
      ASSERT_EQ(read(fds[0], noted, sizeof noted), 2);
      EXPECT_EQ(noted[0], signal);
      EXPECT_TRUE(flag.Requested());
      EXPECT_EQ(flag.Signal(), signal);
      EXPECT_EQ(gEarlierHandlerRan, 0);
    }
    raise(signal);
    EXPECT_EQ(gEarlierHandlerRan, signal);
    gEarlierHandlerRan = 0;
    sigaction(signal, &before, nullptr);
    close(fds[0]);
    close(fds[1]);
  }
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
