#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliCommand.h"
#include "core/TextFile.h"

int main(int argc, char** argv) {
  kaldo::IgnoreFileSizeSignal();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  // The tests point the port look-ups at a tree of their own; kaldo-cli then touches no port.
  const char* root = std::getenv("KALDO_SYSTEM_ROOT");
  const kaldo::HostSystem host(root ? root : "");
  const int status = kaldo::cli::RunCli(arguments, std::cout, std::cerr, host);
  // What the command printed counts only once it has reached standard output.
  errno = 0;
  const bool flushed = static_cast<bool>(std::cout.flush()) && std::fflush(stdout) == 0;
  if (!flushed || std::ferror(stdout)) {
    const int err = errno;
    std::cerr << "kaldo-cli: writing to standard output failed"
              << (err != 0 ? std::string(": ") + std::strerror(err) : std::string()) << "\n";
    return kaldo::cli::kExitError;
  }
  return status;
}
