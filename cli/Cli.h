// The command-line program: parses the options and runs one command on a fresh program state.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "core/system/StopFlag.h"
#include "link/PortCheck.h"

namespace kaldo::cli {

struct ParsedCommandLine {
  CliOptions Options;
  const CliCommand* Command = nullptr;  // none with --help or --version
  std::vector<std::string> Arguments;   // the command's own
};

// Reads the options and the command; raises UsageError for a command line that cannot be run as
// written, an option that does nothing for the command included. Runs nothing.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The commands `option` does something for, as a list of names separated by blanks; empty for an
// option that every command takes.
std::string CommandsOfOption(const std::string& option);

// `arguments` without the program name. Returns the exit code. The kernel's ports are read from
// host; a host below a root folder other than the real one (a test tree) is only read: no port
// is ever touched then.
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           const HostSystem& host = HostSystem());
// The same, stopped by `stop`: the caller's stop signals raise it from the program's start, so
// that a signal that comes while the first file is read ends the program as any other does.
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           const HostSystem& host, StopFlag& stop);

}  // namespace kaldo::cli
