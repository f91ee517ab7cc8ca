// The command-line program: parses the options and runs one command on a fresh program state.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kaldo::cli {

// `arguments` without the program name. Returns the exit code.
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace kaldo::cli
