// The command-line parser on arbitrary arguments (the input split at NUL bytes): a command to run
// with its own number of arguments, or a usage error; never a crash. It runs nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/Cli.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      arguments.emplace_back();
    else
      arguments.back() += static_cast<char>(data[i]);
  }
  try {
    const kaldo::cli::ParsedCommandLine parsed = kaldo::cli::ParseCommandLine(arguments);
    if (parsed.Options.Help || parsed.Options.Version) return 0;
    if (parsed.Command == nullptr) std::abort();
    if (static_cast<int>(parsed.Arguments.size()) != parsed.Command->ArgumentCount) std::abort();
    if (parsed.Options.DeviceType < 0 || parsed.Options.DeviceType >= kaldo::kDeviceCount)
      std::abort();
  } catch (const kaldo::cli::UsageError&) {
  }
  return 0;
}
