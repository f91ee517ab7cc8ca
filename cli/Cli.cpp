#include "cli/Cli.h"

#include <array>

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

const CliOption kGeneralOptions[] = {
    {"--device", "NAME", "the device whose code memory the image stands for (default 89C51)",
     ApplyDevice},
    {"--format", "ihex|srec|bin",
     "read and write every file of the command as Intel HEX, as Motorola S-records or as a raw "
     "binary image, whatever its name",
     ApplyFormat},
    {"--help", nullptr, "show this text and exit", ApplyHelp},
    {"--version", nullptr, "show the program's version and exit", ApplyVersion},
};

// The commands each option does something for; given to any other command, it is refused. An
// option missing here is taken by every command.
struct OptionScope {
  const char* Option;
  const char* Commands;
};
const OptionScope kOptionScopes[] = {
    {"--device", "load convert blank read write verify signature identify"},
    {"--format", "load convert read write verify"},
    {"--sim", "blank read write verify signature identify"},
    {"--sim-reset", "blank read write verify signature identify"},
    {"--port", "blank read write verify signature identify"},
    {"--lock", "write"},
    {"--isp", "write"},
    {"--force", "blank read write verify"},
    {"--trace", "blank read write verify signature identify"},
    {"--no-board", "blank read write verify signature identify"},
    {"--empty-socket", "blank read write verify signature identify"},
    {"--socket", "blank read write verify signature identify"},
    {"--stuck", "write"},  // only programming meets a cell that will not program
    {"--locked", "blank read write verify signature identify"},
    {"--sim-supply", "blank read write verify signature identify"},
    {"--sim-supplied", "blank read write verify signature identify"},
    {"--probe", "ports"},
};

bool OptionApplies(const std::string& option, const std::string& command) {
  const std::string commands = CommandsOfOption(option);
  if (commands.empty()) return true;
  return (" " + commands + " ").find(" " + command + " ") != std::string::npos;
}

// Every table of options and of commands the program offers.
std::array<std::span<const CliOption>, 2> OptionTables() {
  return {GeneralOptions(), DeviceOptions()};
}
std::array<std::span<const CliCommand>, 3> CommandTables() {
  return {FileCommands(), DeviceCommands(), InfoCommands()};
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
  out << "\n"
         "\n"
         "Exit status:\n"
         "  0  the command succeeded (\"OK\")\n"
         "  1  the file or the device failed the command, the chip's signature was refused,\n"
         "     or identify found no known chip (the outcome text says why)\n"
         "  2  the command line is wrong, or an error was raised (a file that cannot be read\n"
         "     or written, a field that is not a number, a damaged state file, standard output\n"
         "     that cannot be written); the message goes to stderr\n"
         "  128 + N  a device command was stopped by signal N (130 for Ctrl-C); the board was\n"
         "     reset first\n";
}

// The version the window shows, and the build's git description when it was built from a git
// checkout.
void PrintVersion(std::ostream& out) {
  out << "KALDO " << kProgramVersion;
  if (*kBuildDescription) out << " (git " << kBuildDescription << ")";
  out << "\n";
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
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
  if (options.Help || options.Version) return parsed;
  if (words.empty()) throw UsageError("no command given");
  const CliCommand* c = FindCommand(words[0]);
  if (!c) throw UsageError("unknown command '" + words[0] + "'");
  words.erase(words.begin());
  for (const std::string& name : given)
    if (!OptionApplies(name, c->Name))
      throw UsageError("option '" + name + "' does not apply to the command '" + c->Name + "'");
  if (static_cast<int>(words.size()) != c->ArgumentCount)
    throw UsageError("usage: kaldo-cli [OPTIONS] " + CommandLine(*c));
  parsed.Command = c;
  parsed.Arguments = std::move(words);
  return parsed;
}

std::string CommandsOfOption(const std::string& option) {
  for (const OptionScope& scope : kOptionScopes)
    if (option == scope.Option) return scope.Commands;
  return "";
}

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           const HostSystem& host) {
  try {
    ParsedCommandLine parsed = ParseCommandLine(arguments);
    const CliOptions& options = parsed.Options;
    if (options.Help) {
      PrintHelp(out);
      return kExitOK;
    }
    if (options.Version) {
      PrintVersion(out);
      return kExitOK;
    }
    ProgramState state;
    state.DeviceType = options.DeviceType;
    SetDeviceSize(state);
    CliContext context{options, state, out, err, host};
    try {
      return parsed.Command->Run(context, parsed.Arguments);
    } catch (const UsageError&) {
      throw;
    } catch (const StoppedError& e) {
      out.flush();
      err << kInterruptedText << "\n";
      return e.Signal() > 0 ? StopSignals::ExitStatus(e.Signal()) : kExitError;
    } catch (const std::exception& e) {
      out.flush();
      err << DetailedReportText(e) << "\n";
      return kExitError;
    }
  } catch (const UsageError& e) {
    // Usage errors quote the arguments as they were given.
    err << "kaldo-cli: " << PrintableText(e.what()) << "\nTry 'kaldo-cli --help'.\n";
    return kExitError;
  }
}

std::span<const CliOption> GeneralOptions() {
  return kGeneralOptions;
}

void PrintText(std::ostream& out, const std::string& text) {
  for (char c : text) out << (c == '\r' ? '\n' : c);
  out << "\n";
}

}  // namespace kaldo::cli
