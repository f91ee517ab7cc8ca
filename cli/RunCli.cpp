#include "cli/Cli.h"

#include <chrono>
#include <sstream>
#include <string_view>

#include "cli/CliCommand.h"
#include "cli/CliTables.h"
#include "cli/CommandLineParser.h"
#include "cli/HelpTexts.h"
#include "core/Convert.h"
#include "core/ProgramInfo.h"
#include "core/system/StopFlag.h"

namespace kaldo::cli {

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
  // The files of --eeprom hold the data EEPROM from address 0, as a code file holds the code.
  if (options.Eeprom && FindDevice(options.DeviceType))
    state.DeviceSize = FindDevice(options.DeviceType)->EepromSize;
  CliContext context{options, state, out, err, host, report, stop};
  try {
    int status = kExitOK;
    if (options.Help) {
      PrintHelp(out);
    } else if (options.Version) {
      PrintVersion(out);
      report.Fields.Set("version", kProgramVersion)
          .Set("git", *BuildDescription() ? Json(BuildDescription()) : Json());
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
    const std::string said = options.Cable && std::string_view(e.Said()) == kInterruptedText
                                 ? kInterruptedCableText
                                 : e.Said();
    err << said << "\n";
    report.Result = Outcome::Stopped;
    return {e.Signal() > 0 ? StopSignals::ExitStatus(e.Signal()) : kExitError, said};
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

void PrintText(std::ostream& out, const std::string& text) {
  for (char c : text) out << (c == '\r' ? '\n' : c);
  out << "\n";
}

}  // namespace kaldo::cli
