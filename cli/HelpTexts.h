// kaldo-cli --help and --version.
#pragma once

#include <ostream>

namespace kaldo::cli {

// The usage, the commands, the options, the devices and the exit statuses.
void PrintHelp(std::ostream& out);
// The version the window shows, and the build's git description when it was built from a git
// checkout.
void PrintVersion(std::ostream& out);
// That git description; empty for a build from a source tree without git.
const char* BuildDescription();

}  // namespace kaldo::cli
