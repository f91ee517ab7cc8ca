#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliCommand.h"
#include "core/system/StopFlag.h"
#include "core/system/TextFile.h"

int main(int argc, char** argv) {
  kaldo::IgnoreFileSizeSignal();
  // From the start: a signal while the first file is read, or a reader of the output that goes
  // away, ends the program with a message, its status and the JSON object, never half-way.
  kaldo::StopFlag stop;
  const kaldo::StopSignals signals(stop);
  std::vector<std::string> arguments(argv + 1, argv + argc);
  // The tests point the port look-ups at a tree of their own; kaldo-cli then touches no port.
  const char* root = std::getenv("KALDO_SYSTEM_ROOT");
  const kaldo::HostSystem host(root ? root : "");
  const int status = kaldo::cli::RunCli(arguments, std::cout, std::cerr, host, stop);
  // What the command printed counts only once it has reached standard output.
  errno = 0;
  const bool flushed = static_cast<bool>(std::cout.flush()) && std::fflush(stdout) == 0;
  if (!flushed || std::ferror(stdout)) {
    const int err = errno;
    const bool stopped = status > kaldo::StopSignals::ExitStatus(0);
    // A stopped command has said so already.
    if (!stopped)
      std::cerr << "kaldo-cli: writing to standard output failed"
                << (err != 0 ? std::string(": ") + std::strerror(err) : std::string()) << "\n";
    // A reader that went away stopped the program as the other signals do.
    if (stopped) return status;
    return stop.Signal() > 0 ? kaldo::StopSignals::ExitStatus(stop.Signal())
                             : kaldo::cli::kExitError;
  }
  return status;
}
