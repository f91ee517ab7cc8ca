#include "cli/Cli.h"

#include <array>
#include <chrono>
#include <sstream>

#include "cli/CliCommand.h"
#include "core/Convert.h"
#include "core/ProgramInfo.h"
#include "core/StopFlag.h"

namespace kaldo::cli {

namespace {

#ifdef KALDO_GIT_DESCRIPTION
constexpr char kBuildDescription[] = KALDO_GIT_DESCRIPTION;
#else
constexpr char kBuildDescription[] = "";
#endif

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
    {"--probe", "ports"},
    {"--count", "produce"},
    {"--serial", "produce"},
    {"--log", "produce"},
    {"--stop-on-failure", "produce"},
};

bool OptionApplies(const std::string& option, const std::string& command) {
  const std::string commands = CommandsOfOption(option);
  if (commands.empty()) return true;
  return (" " + commands + " ").find(" " + command + " ") != std::string::npos;
}

// Every table of options and of commands the program offers.
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

// "read OUT": the command and its arguments.
std::string CommandLine(const CliCommand& c) {
  return *c.Arguments ? std::string(c.Name) + " " + c.Arguments : c.Name;
}

// "  head" and then the help text on lines of its own, indented and wrapped at 80 columns.
void PrintEntry(std::ostream& out, const std::string& head, const std::string& help) {
  out << "  " << head << "\n";
  const std::string indent = "      ";
  std::string line = indent;
  std::size_t pos = 0;
  while (pos < help.size()) {
    std::size_t end = help.find(' ', pos);
    if (end == std::string::npos) end = help.size();
    const std::string word = help.substr(pos, end - pos);
    if (line.size() > indent.size() && line.size() + 1 + word.size() > 80) {
      out << line << "\n";
      line = indent;
    }
    if (line.size() > indent.size()) line += ' ';
    line += word;
    pos = end + 1;
  }
  out << line << "\n";
}

void PrintHelp(std::ostream& out) {
  out << "Usage: kaldo-cli [OPTIONS] COMMAND [ARGUMENTS]\n"
         "\n"
         "Works on an image of a device's code memory (32 KiB, blank bytes read FF), with the\n"
         "same files and texts as the KALDO window. The device commands (blank, read, write,\n"
         "verify, signature, identify) work on the chip in the programmer's socket, on the\n"
         "simulated PC (--sim STATE) or on a real parallel port (--port PORT).\n"
         "\n"
         "Before blank, read, verify and write, the chip's signature is read and compared\n"
         "with the device's (see 'devices'). A chip that answers with another device's\n"
         "signature, or with none (all FF or all 00: no board, no power or no chip), is\n"
         "refused with exit status 1 and left untouched; --force goes on without the\n"
         "check. The check takes 0.72 s (1.44 s on the AT89S53 and AT89S8252); a refusal\n"
         "names the chip that is there, found as 'identify' finds it (up to 4.3 s more).\n"
         "\n"
         "write and verify refuse, with exit status 1, an image that holds data past the\n"
         "device's last address (a program built for a larger device); --force goes on\n"
         "with the part that fits and says how many bytes it leaves out.\n"
         "\n"
         "Files are Intel HEX unless their name ends (in any case) in .s19, .s28, .s37,\n"
         ".srec or .mot, which are Motorola S-records, or in .bin, which is a raw binary\n"
         "image; --format names the format of every file of the command instead. A binary\n"
         "image holds byte i of the code memory at offset i; one longer than the device's\n"
         "code memory is \"Address out of range . . .\", a shorter one leaves the rest\n"
         "blank, and one that is written has exactly the device's size. S-records are\n"
         "written as an S0 header, 16-byte S1 records, an S5 count and an S9 start;\n"
         "S2 and S3 records, and S6, S7 and S8, are read too.\n"
         "\n"
         "Commands:\n";
  for (auto table : CommandTables()) {
    for (const CliCommand& c : table) PrintEntry(out, CommandLine(c), c.Help);
  }
  out << "\nOptions (before or after the command; a command refuses those it has no use for):\n";
  for (auto table : OptionTables()) {
    for (const CliOption& o : table)
      PrintEntry(out, std::string(o.Name) + (o.ValueName ? std::string(" ") + o.ValueName : ""),
                 o.Help);
  }
  out << "\nDevices (NAME for --device, any case, with or without a leading AT):\n ";
  for (const DeviceInfo& d : DeviceTable) out << " " << d.PartName;
  out << "\n\nExit status (and the \"outcome\" that --json reports):\n";
  for (const OutcomeInfo& o : kOutcomes) {
    const std::string identify = IdentifyCases(o.Kind);
    PrintEntry(out, std::string(o.Status) + "  " + o.Name,
               o.Meaning + (identify.empty() ? "" : "; identify: " + identify));
  }
}

// The version the window shows, and the build's git description when it was built from a git
// checkout.
void PrintVersion(std::ostream& out) {
  out << "KALDO " << kProgramVersion;
  if (*kBuildDescription) out << " (git " << kBuildDescription << ")";
  out << "\n";
}

}  // namespace

namespace {

// Fills `parsed` as far as the command line goes; a usage error leaves what was read before it.
void ParseInto(const std::vector<std::string>& arguments, ParsedCommandLine& parsed) {
  CliOptions& options = parsed.Options;
  std::vector<std::string> words;
  std::vector<std::string> given;  // the options, in the order given
  bool optionsEnd = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (optionsEnd || a.size() < 2 || a[0] != '-') {
      words.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnd = true;
      continue;
    }
    std::string name = a;
    std::string value;
    bool hasValue = false;
    if (std::size_t eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      hasValue = true;
    }
    if (name == "-h") name = "--help";
    const CliOption* o = FindOption(name);
    if (!o) throw UsageError("unknown option '" + name + "'");
    if (o->ValueName && !hasValue) {
      if (i + 1 == arguments.size()) throw UsageError("option '" + name + "' needs a value");
      value = arguments[++i];
    } else if (!o->ValueName && hasValue) {
      throw UsageError("option '" + name + "' takes no value");
    }
    o->Apply(options, value);
    given.push_back(name);
  }
  if (options.Help || options.Version) return;
  if (words.empty()) throw UsageError("no command given");
  const CliCommand* c = FindCommand(words[0]);
  if (!c) throw UsageError("unknown command '" + words[0] + "'");
  parsed.Command = c;
  words.erase(words.begin());
  for (const std::string& name : given)
    if (!OptionApplies(name, c->Name))
      throw UsageError("option '" + name + "' does not apply to the command '" + c->Name + "'");
  if (static_cast<int>(words.size()) != c->ArgumentCount)
    throw UsageError("usage: kaldo-cli [OPTIONS] " + CommandLine(*c));
  parsed.Arguments = std::move(words);
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  ParseInto(arguments, parsed);
  return parsed;
}

std::string CommandsOfOption(const std::string& option) {
  for (const OptionScope& scope : kOptionScopes)
    if (option == scope.Option) return scope.Commands;
  return "";
}

namespace {

// --json among the options, for a command line that could not be read to its end.
bool AsksForJson(const std::vector<std::string>& arguments) {
  for (const std::string& a : arguments) {
    if (a == "--") break;
    if (a == "--json") return true;
  }
  return false;
}

// How a command ended, for the JSON object: its exit status and the message of the error that
// ended it, if one did.
struct CommandEnd {
  int Status = kExitOK;
  std::string ErrorText;
};

// Runs the command of a command line that was read whole; errors become the status and the text
// on err. Usage errors go on to the caller. A signal that the command did not stop for ends it
// all the same, with the signal's status.
CommandEnd RunCommand(const ParsedCommandLine& parsed, std::ostream& out, std::ostream& err,
                      const HostSystem& host, CommandReport& report, StopFlag& stop) {
  const CliOptions& options = parsed.Options;
  ProgramState state;
  state.DeviceType = options.DeviceType;
  SetDeviceSize(state);
  CliContext context{options, state, out, err, host, report, stop};
  try {
    int status = kExitOK;
    if (options.Help) {
      PrintHelp(out);
    } else if (options.Version) {
      PrintVersion(out);
      report.Fields.Set("version", kProgramVersion)
          .Set("git", *kBuildDescription ? Json(kBuildDescription) : Json());
    } else {
      status = parsed.Command->Run(context, parsed.Arguments);
    }
    if (stop.Signal() > 0 && status <= StopSignals::ExitStatus(0))
      throw StoppedError(stop.Signal(), kInterruptedEarlyText);
    return {status, ""};
  } catch (const UsageError&) {
    throw;
  } catch (const StoppedError& e) {
    out.flush();
    err << e.Said() << "\n";
    report.Result = Outcome::Stopped;
    return {e.Signal() > 0 ? StopSignals::ExitStatus(e.Signal()) : kExitError, e.Said()};
  } catch (const std::exception& e) {
    out.flush();
    const std::string text = DetailedReportText(e);
    err << text << "\n";
    report.Result = Outcome::Error;
    return {kExitError, text};
  }
}

// "help", "version" or the command's name; empty when the command line names none.
std::string CommandName(const ParsedCommandLine& parsed,
                        const std::vector<std::string>& arguments) {
  if (parsed.Command) return parsed.Command->Name;
  if (parsed.Options.Help) return "help";
  if (parsed.Options.Version) return "version";
  // A usage error before the command was read: the first word that names one.
  for (const std::string& a : arguments)
    if (const CliCommand* c = FindCommand(a)) return c->Name;
  return "";
}

JsonObject ResultObject(const ParsedCommandLine& parsed, const std::vector<std::string>& arguments,
                        const CommandReport& report, const CommandEnd& end,
                        const std::string& printed, double seconds) {
  const CliOptions& o = parsed.Options;
  const std::string command = CommandName(parsed, arguments);
  const auto takes = [&](const char* option) {
    return !command.empty() && OptionApplies(option, command);
  };
  const Outcome outcome = report.Result.value_or(OutcomeOfStatus(end.Status));
  // A command line that could not be read names no device or port: nothing was run on them.
  const bool ran = outcome != Outcome::UsageError;
  const DeviceInfo* device = ran ? FindDevice(o.DeviceType) : nullptr;
  const bool onDevice = ran && takes("--sim");
  std::string message = printed;
  if (!message.empty() && message.back() == '\n') message.pop_back();
  if (!end.ErrorText.empty()) message += (message.empty() ? "" : "\n") + end.ErrorText;
  JsonObject result;
  result.Set("command", command.empty() ? Json() : Json(command))
      .Set("device", device && takes("--device") ? Json(FullName(*device)) : Json())
      .Set("port", onDevice && !o.PortName.empty() ? Json(o.PortName) : Json())
      .Set("simulator", onDevice && !o.SimState.empty() ? Json(o.SimState) : Json())
      .Set("outcome", InfoOf(outcome).Name)
      .Set("exit_status", end.Status)
      .Merge(report.Fields);
  // A signal's status: the command was stopped, before its end or while it saved its file.
  if (end.Status > StopSignals::ExitStatus(0))
    result.Set("signal", end.Status - StopSignals::ExitStatus(0));
  result.Set("seconds", Json::Fixed(seconds, 3)).Set("message", message);
  return result;
}

}  // namespace

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           const HostSystem& host) {
  StopFlag stop;
  return RunCli(arguments, out, err, host, stop);
}

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           const HostSystem& host, StopFlag& stop) {
  const auto started = std::chrono::steady_clock::now();
  ParsedCommandLine parsed;
  CommandReport report;
  std::ostringstream printed;  // what the command prints, with --json
  bool json = false;
  CommandEnd end;
  try {
    ParseInto(arguments, parsed);
    json = parsed.Options.Json;
    end = RunCommand(parsed, json ? printed : out, err, host, report, stop);
  } catch (const UsageError& e) {
    // Usage errors quote the arguments as they were given.
    end = {kExitError, "kaldo-cli: " + PrintableText(e.what()) + "\nTry 'kaldo-cli --help'."};
    err << end.ErrorText << "\n";
    report.Result = Outcome::UsageError;
    json = json || AsksForJson(arguments);
  }
  if (json) {
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
    out << ResultObject(parsed, arguments, report, end, printed.str(), seconds.count()).Text()
        << "\n";
  }
  return end.Status;
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

void PrintText(std::ostream& out, const std::string& text) {
  for (char c : text) out << (c == '\r' ? '\n' : c);
  out << "\n";
}

}  // namespace kaldo::cli
