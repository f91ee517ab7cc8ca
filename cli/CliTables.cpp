#include "cli/CliTables.h"

#include "cli/Cli.h"
#include "core/model/DeviceTable.h"
#include "core/system/StopFlag.h"

namespace kaldo::cli {

namespace {

void ApplyDevice(CliOptions& options, const std::string& value) {
  const int type = FindDeviceType(value);
  if (type < 0) throw UsageError("unknown device '" + value + "'");
  options.DeviceType = type;
}

void ApplyFormat(CliOptions& options, const std::string& value) {
  if (value == "ihex")
    options.Format = FileFormat::IntelHex;
  else if (value == "bin")
    options.Format = FileFormat::Binary;
  else if (value == "srec")
    options.Format = FileFormat::SRecord;
  else
    throw UsageError("unknown file format '" + value + "' (ihex, srec or bin)");
}

void ApplyHelp(CliOptions& options, const std::string&) {
  options.Help = true;
}

void ApplyVersion(CliOptions& options, const std::string&) {
  options.Version = true;
}

void ApplyJson(CliOptions& options, const std::string&) {
  options.Json = true;
}

void ApplyProgress(CliOptions& options, const std::string& value) {
  if (value == "auto")
    options.Progress = ProgressStyle::Auto;
  else if (value == "bar")
    options.Progress = ProgressStyle::Bar;
  else if (value == "json")
    options.Progress = ProgressStyle::Json;
  else if (value == "none")
    options.Progress = ProgressStyle::None;
  else
    throw UsageError("unknown progress display '" + value + "' (auto, bar, json or none)");
}

const CliOption kGeneralOptions[] = {
    {"--device", "NAME", "the device whose code memory the image stands for (default 89C51)",
     ApplyDevice},
    {"--format", "ihex|srec|bin",
     "read and write every file of the command as Intel HEX, as Motorola S-records or as a raw "
     "binary image, whatever its name",
     ApplyFormat},
    {"--help", nullptr, "show this text and exit", ApplyHelp},
    {"--version", nullptr, "show the program's version and exit", ApplyVersion},
    {"--json", nullptr,
     "print one JSON object on stdout instead of the texts, also for a usage error or an "
     "error: \"command\", \"device\", \"port\" and \"simulator\" (null where they do not "
     "apply), \"outcome\" and \"exit_status\" (see Exit status), then what the command found: "
     "\"address\", \"read\" and \"expected\" for the failing byte, \"checksum\" of the "
     "image, \"signature\" (and \"lock_bits\", the lock bits read as programmed, and \"fuse\" "
     "where the device reports them), \"expected_signature\" for a refused chip, \"signal\" "
     "when stopped; \"devices\", \"usable\", \"version\" for the information commands; "
     "then \"seconds\" taken and \"message\", the text that would have been printed. Numbers "
     "are decimal. Messages on stderr stay as they are",
     ApplyJson},
    {"--progress", "auto|bar|json|none",
     "how blank, read, verify and write show their progress on stderr: a one-line bar with the "
     "pass (\"Programming\", \"Verifying\", ...), its address readout, percent of the device "
     "and time left; JSON lines such as {\"operation\": \"Programming\", \"address\": 511, "
     "\"percent\": 12}, one each 256 bytes; or nothing. auto (the default): the bar when stderr "
     "is a terminal, nothing otherwise",
     ApplyProgress},
};

// clang-format off
constexpr OutcomeInfo kOutcomes[] = {
    {Outcome::Ok, "ok", "0", "the command succeeded"},
    {Outcome::Failed, "failed", "1",
     "the file or the device failed the command (the message says why: a file format error, "
     "which stderr names with its file, line and reason, a field that is not hexadecimal "
     "among them; a byte that is not blank or does not verify; a locked chip that blank or "
     "read cannot see into); ports: no port can be reached"},
    {Outcome::WrongChip, "wrong-chip", "1",
     "blank, read, verify, write: the chip answered with another device's signature, or an "
     "unknown one; it was left untouched"},
    {Outcome::NoChip, "no-chip", "1",
     "blank, read, verify, write: no chip answered (signature all FF or all 00: no board, no "
     "power or no chip in the socket); nothing was done"},
    {Outcome::UsageError, "usage-error", "2", "the command line is wrong; nothing was run"},
    {Outcome::Error, "error", "2",
     "an error was raised: a file that cannot be read or written, a damaged state file, a port "
     "that cannot be reached; also standard output that cannot be written for another reason "
     "than a broken pipe (no JSON then)"},
    {Outcome::Stopped, "stopped", "128+N",
     "stopped by signal N (130 for Ctrl-C, 143 for SIGTERM, 141 for SIGPIPE: the reader of "
     "stdout or stderr went away): a device command stops at its next byte and resets the "
     "board, a file being saved is completed first, a file being read is read to its end and "
     "then nothing more is done"},
};
// clang-format on
static_assert(
    [] {
      for (std::size_t i = 0; i < std::size(kOutcomes); ++i)
        if (static_cast<std::size_t>(kOutcomes[i].Kind) != i) return false;
      return true;
    }(),
    "each outcome stands at its key");

// The commands each option does something for; given to any other command, it is refused. An
// option missing here is taken by every command.
struct OptionScope {
  const char* Option;
  const char* Commands;
};
const OptionScope kOptionScopes[] = {
    {"--progress", "blank read write verify"},
    {"--device", "load convert blank read write verify signature identify produce"},
    {"--format", "load convert read write verify produce"},
    {"--sim", "blank read write verify signature identify produce"},
    {"--sim-reset", "blank read write verify signature identify produce"},
    {"--port", "blank read write verify signature identify produce"},
    {"--lock", "write produce"},
    {"--isp", "write produce"},
    {"--force", "blank read write verify"},
    {"--trace", "blank read write verify signature identify produce"},
    {"--no-board", "blank read write verify signature identify produce"},
    {"--empty-socket", "blank read write verify signature identify produce"},
    {"--socket", "blank read write verify signature identify produce"},
    {"--stuck", "write produce"},  // only programming meets a cell that will not program
    {"--locked", "blank read write verify signature identify produce"},
    {"--sim-supply", "blank read write verify signature identify produce"},
    {"--sim-supplied", "blank read write verify signature identify"},
    {"--cable", "blank read write verify signature identify produce"},
    {"--crystal", "blank read write verify signature identify produce"},
    {"--eeprom", "blank read write verify"},
    {"--byte-mode", "blank read write verify produce"},
    {"--sim-crystal", "blank read write verify signature identify produce"},
    {"--sim-reset-inverted", "blank read write verify signature identify produce"},
    {"--sim-no-crystal", "blank read write verify signature identify produce"},
    {"--sim-miso-stuck", "blank read write verify signature identify produce"},
    {"--sim-fuse-off", "blank read write verify signature identify produce"},
    {"--sim-other-port", "blank read write verify signature identify produce"},
    {"--probe", "ports"},
    {"--count", "produce"},
    {"--serial", "produce"},
    {"--log", "produce"},
    {"--stop-on-failure", "produce"},
};

}  // namespace

bool OptionApplies(const std::string& option, const std::string& command) {
  const std::string commands = CommandsOfOption(option);
  if (commands.empty()) return true;
  return (" " + commands + " ").find(" " + command + " ") != std::string::npos;
}

std::array<std::span<const CliOption>, 3> OptionTables() {
  return {GeneralOptions(), DeviceOptions(), ProduceOptions()};
}
std::array<std::span<const CliCommand>, 4> CommandTables() {
  return {FileCommands(), DeviceCommands(), ProduceCommands(), InfoCommands()};
}

const CliOption* FindOption(const std::string& name) {
  for (auto table : OptionTables())
    for (const CliOption& o : table)
      if (name == o.Name) return &o;
  return nullptr;
}

const CliCommand* FindCommand(const std::string& name) {
  for (auto table : CommandTables())
    for (const CliCommand& c : table)
      if (name == c.Name) return &c;
  return nullptr;
}

std::string CommandLine(const CliCommand& c) {
  return *c.Arguments ? std::string(c.Name) + " " + c.Arguments : c.Name;
}

std::string CommandsOfOption(const std::string& option) {
  for (const OptionScope& scope : kOptionScopes)
    if (option == scope.Option) return scope.Commands;
  return "";
}

std::span<const OutcomeInfo> Outcomes() {
  return kOutcomes;
}

const OutcomeInfo& InfoOf(Outcome outcome) {
  return kOutcomes[static_cast<std::size_t>(outcome)];
}

Outcome OutcomeOfStatus(int status) {
  if (status == kExitOK) return Outcome::Ok;
  if (status == kExitFailed) return Outcome::Failed;
  if (status > StopSignals::ExitStatus(0)) return Outcome::Stopped;
  return Outcome::Error;
}

std::span<const CliOption> GeneralOptions() {
  return kGeneralOptions;
}

}  // namespace kaldo::cli
