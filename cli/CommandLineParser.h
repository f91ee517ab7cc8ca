// Reads kaldo-cli's command line: the options, each applied as it comes, and the command with its
// arguments.
#pragma once

#include <string>
#include <vector>

#include "cli/Cli.h"

namespace kaldo::cli {

// Fills `parsed` as far as the command line goes; a usage error leaves what was read before it.
void ParseInto(const std::vector<std::string>& arguments, ParsedCommandLine& parsed);

}  // namespace kaldo::cli
