// kaldo-vm-probe: the emulated PC's side of the kernel rig. It is put into the guest beside
// kaldo-cli and is no part of the installed program.
//
//   kaldo-vm-probe run [--term-after MS] CMD ARGS...
//       runs CMD, waits for it and prints "@@ exit=N wall_ms=T" (N is 128 + the signal's number
//       when a signal ended it). With --term-after, CMD gets SIGTERM after MS milliseconds.
//   kaldo-vm-probe waits [clock|direct]
//       times each wait of the delay timer on the guest's monotonic clock, on the clock-backed
//       timer (as ppdev runs them) or on the PC's own interval timer through direct port access,
//       and prints one line per wait: "@@ wait NAME nominal_us=.. min_us=.. median_us=..
//       max_us=..".
//   kaldo-vm-probe claim NODE [excl] [wait MS] [hold MS]
//       opens NODE, asks for exclusive access first with excl (PPEXCL), claims the port (PPCLAIM),
//       giving up after MS milliseconds with wait (a claim sleeps while another driver holds the
//       port), keeps it for MS milliseconds with hold, and prints "@@ claim result=ok ms=T" or
//       "@@ claim result=ERRNAME ms=T" (EINTR: still waiting when the time was up).
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/Errors.h"
#include "link/ClockTimer.h"
#include "link/DirectIo.h"
#include "link/Port.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int Usage() {
  std::fprintf(stderr,
               "usage: kaldo-vm-probe run [--term-after MS] CMD ARGS...\n"
               "       kaldo-vm-probe waits [clock|direct]\n"
               "       kaldo-vm-probe claim NODE [excl] [wait MS] [hold MS]\n");
  return 2;
}

int Run(int argc, char** argv) {
  int first = 0;
  long termAfterMs = -1;
  if (argc >= 2 && std::strcmp(argv[0], "--term-after") == 0) {
    termAfterMs = std::strtol(argv[1], nullptr, 10);
    first = 2;
  }
  if (first >= argc) return Usage();
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return 2;
  }
  if (child == 0) {
    execvp(argv[first], argv + first);
    std::perror(argv[first]);
    _exit(127);
  }
  // Without --term-after the wait blocks; with it, it polls until the signal has been sent.
  int status = 0;
  bool sent = termAfterMs < 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, sent ? 0 : WNOHANG);
    if (done == child) break;
    if (done < 0 && errno != EINTR) {
      std::perror("waitpid");
      return 2;
    }
    if (done == 0 && MsSince(start) >= static_cast<double>(termAfterMs)) {
      kill(child, SIGTERM);
      std::printf("@@ term_ms=%.3f\n", MsSince(start));
      sent = true;
    } else if (done == 0) {
      usleep(1000);
    }
  }
  const double ms = MsSince(start);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("@@ exit=%d wall_ms=%.3f\n", code, ms);
  return 0;
}

struct Wait {
  const char* name;
  void (kaldo::Port::*wait)();
  double nominalUs;
  int runs;
};

double CountUs(int count) {
  return count * 1e6 / kaldo::ClockTimer::kHz;
}

void TimeWaits(kaldo::Port& port) {
  const Wait waits[] = {
      {"Delay50us", &kaldo::Port::Delay50us, CountUs(kaldo::kCount50us), 200},
      {"Delay100us", &kaldo::Port::Delay100us, CountUs(kaldo::kCount100us), 200},
      {"Delay2ms", &kaldo::Port::Delay2ms, CountUs(kaldo::kCount2ms), 50},
      {"Delay10ms", &kaldo::Port::Delay10ms, CountUs(kaldo::kCount10ms), 20},
      {"Delay55ms", &kaldo::Port::Delay55ms, CountUs(kaldo::kCount55ms), 6},
      {"Delay500ms", &kaldo::Port::Delay500ms,
       kaldo::kTenMsWaitsIn500ms * CountUs(kaldo::kCount10ms), 2},
  };
  port.InitDelayTimer();
  for (const Wait& w : waits) {
    std::vector<double> us;
    for (int i = 0; i < w.runs; ++i) {
      const Clock::time_point start = Clock::now();
      (port.*w.wait)();
      us.push_back(MsSince(start) * 1000);
    }
    std::sort(us.begin(), us.end());
    std::printf("@@ wait %s nominal_us=%.1f min_us=%.1f median_us=%.1f max_us=%.1f runs=%d\n",
                w.name, w.nominalUs, us.front(), us[us.size() / 2], us.back(), w.runs);
  }
  port.RestoreDelayTimer();
}

int Waits(const std::string& on) {
  try {
    if (on == "clock") {
      kaldo::SteadyClock clock;
      kaldo::ClockTimer timer(clock);
      kaldo::Port port(timer);
      TimeWaits(port);
    } else if (on == "direct") {
      // Only the timer ports are reached; the LPT base given here is never written.
      static const std::uint16_t kBase = 0x378;
      std::unique_ptr<kaldo::IoSpace> io = kaldo::OpenDirectIo(kBase);
      kaldo::Port port(*io);
      TimeWaits(port);
    } else {
      return Usage();
    }
  } catch (const kaldo::Error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

void Woken(int) {}

const char* ErrnoName(int err) {
  switch (err) {
    case EINTR:
      return "EINTR";
    case ENXIO:
      return "ENXIO";
    case EBUSY:
      return "EBUSY";
    case EACCES:
      return "EACCES";
    case ENOENT:
      return "ENOENT";
    case EINVAL:
      return "EINVAL";
    default:
      return "other";
  }
}

int Claim(int argc, char** argv) {
  bool excl = false;
  long waitMs = 0, holdMs = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "excl") == 0) {
      excl = true;
    } else if (std::strcmp(argv[i], "wait") == 0 && i + 1 < argc) {
      waitMs = std::strtol(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "hold") == 0 && i + 1 < argc) {
      holdMs = std::strtol(argv[++i], nullptr, 10);
    } else {
      return Usage();
    }
  }
  const Clock::time_point start = Clock::now();
  const int fd = open(argv[0], O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    std::printf("@@ claim result=%s step=open ms=%.0f\n", ErrnoName(errno), MsSince(start));
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = Woken;  // no SA_RESTART: the claim returns with EINTR
  sigaction(SIGALRM, &action, nullptr);
  if (waitMs > 0) {
    itimerval timer{};
    timer.it_value.tv_sec = waitMs / 1000;
    timer.it_value.tv_usec = (waitMs % 1000) * 1000;
    setitimer(ITIMER_REAL, &timer, nullptr);
  }
  int r = excl ? ioctl(fd, PPEXCL) : 0;
  const char* step = "PPEXCL";
  if (r == 0) {
    r = ioctl(fd, PPCLAIM);
    step = "PPCLAIM";
  }
  const int err = errno;
  const itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
  if (r != 0) {
    std::printf("@@ claim result=%s step=%s ms=%.0f\n", ErrnoName(err), step, MsSince(start));
    close(fd);
    return 1;
  }
  std::printf("@@ claim result=ok ms=%.0f\n", MsSince(start));
  if (holdMs > 0) usleep(static_cast<useconds_t>(holdMs) * 1000);
  ioctl(fd, PPRELEASE);
  close(fd);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc >= 3 && std::strcmp(argv[1], "run") == 0) return Run(argc - 2, argv + 2);
  if (argc >= 3 && std::strcmp(argv[1], "claim") == 0) return Claim(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "waits") == 0) return Waits(argc >= 3 ? argv[2] : "clock");
  return Usage();
}
