// The command-line program's tables, as the parser, the help text and the runner look them up:
// every option and command, the commands each option does something for, and the outcomes.
#pragma once

#include <array>
#include <span>
#include <string>

#include "cli/CliCommand.h"

namespace kaldo::cli {

// Every table of options and of commands the program offers.
std::array<std::span<const CliOption>, 3> OptionTables();
std::array<std::span<const CliCommand>, 4> CommandTables();

// None for a name the program does not know.
const CliOption* FindOption(const std::string& name);
const CliCommand* FindCommand(const std::string& name);

// True when the option does something for the command.
bool OptionApplies(const std::string& option, const std::string& command);

// "read OUT": the command and its arguments.
std::string CommandLine(const CliCommand& c);

}  // namespace kaldo::cli
