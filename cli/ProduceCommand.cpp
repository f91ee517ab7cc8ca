// produce: a production run. The operator puts one chip after another in the socket; each is
// erased, written, verified and locked as write does, with its own serial number in the image
// when asked, and gets a line in the log.
#include <csignal>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/BoardConnection.h"
#include "cli/CliCommand.h"
#include "core/system/StopFlag.h"
#include "production/ProductionRun.h"
#include "production/SerialCounter.h"
#include "production/SerialNumber.h"

namespace kaldo::cli {

namespace {

void ApplyCount(CliOptions& o, const std::string& value) {
  if (value.empty() || value.size() > 9 ||
      value.find_first_not_of("0123456789") != std::string::npos || std::stoi(value) == 0)
    throw UsageError("--count takes a number of chips, 1 or more: '" + value + "'");
  o.Count = std::stoi(value);
}

void ApplySerial(CliOptions& o, const std::string& value) {
  try {
    ParseSerialSpec(value);
  } catch (const SerialSpecError& e) {
    throw UsageError(e.what());
  }
  o.Serial = value;
}

void ApplyLog(CliOptions& o, const std::string& value) {
  if (value.empty()) throw UsageError("option '--log' needs a file name");
  o.LogFile = value;
}

void ApplyStopOnFailure(CliOptions& o, const std::string&) {
  o.StopOnFailure = true;
}

int RunProduce(CliContext& c, const std::vector<std::string>& args) {
  const std::vector<CliOptions> boardOptions = BoardOptions(c.Options, c.Host);
  if (!c.Options.Serial.empty() && c.Options.LogFile.empty())
    throw UsageError("--serial needs --log FILE: the next serial number is kept beside the log");
  const LoadOutcome loaded = LoadImageFile(c, args[0]);
  if (!loaded.Loaded()) {
    PrintText(c.Out, std::string(loaded.Text));
    return kExitFailed;
  }
  if (const std::optional<DataPastDevice> past = FindDataPastDevice(c.State)) {
    PrintText(c.Out, DataPastDeviceText(c.State, *past) +
                         "\rGive the --device the program was built for.");
    return kExitFailed;
  }
  c.State.ProgBits = c.Options.ProgBits;
  // A stop signal ends a wait for the counter's or the log's lock too.
  StopFlag& stop = c.Stop;
  ProductionPlan plan;
  plan.Chip = JobOf(c.State);
  plan.Count = c.Options.Count;
  plan.StopOnFailure = c.Options.StopOnFailure;
  plan.ShortOfChipsAdvice =
      "Give --sim-supply a chip for each chip of --count (a chip in the socket when the run starts "
      "is not written).";
  std::optional<SerialSpec>& serial = plan.Serial;
  std::unique_ptr<SerialCounter> counter;
  if (!c.Options.Serial.empty()) {
    serial = ParseSerialSpec(c.Options.Serial);
    if (const std::optional<std::string> problem = SerialPlaceProblem(*serial, c.State)) {
      PrintText(c.Out, *problem);
      return kExitFailed;
    }
    counter = std::make_unique<SerialCounter>(CounterFileOf(c.Options.LogFile), serial->Start,
                                              serial->Step, &stop);
    if (const std::optional<std::string> problem =
            SerialRangeProblem(*serial, counter->Peek(), c.Options.Count)) {
      PrintText(c.Out, *problem);
      return kExitFailed;
    }
  }
  ProductionLog log(c.Options.LogFile, &stop);
  ProductionResult result;
  {
    // Every board is opened before the first chip, and each is finished whatever ends the run.
    std::vector<std::unique_ptr<BoardConnection>> connections;
    std::vector<ProductionBoard> boards;
    const auto finishAll = [&connections] {
      std::exception_ptr failed;
      for (const std::unique_ptr<BoardConnection>& connection : connections) {
        try {
          connection->Finish();
        } catch (...) {
          if (!failed) failed = std::current_exception();
        }
      }
      connections.clear();
      if (failed) std::rethrow_exception(failed);
    };
    try {
      for (const CliOptions& o : boardOptions) {
        connections.push_back(OpenBoardConnection(o, stop, c.Host));
        const bool several = boardOptions.size() > 1;
        BoardConnection* connection = connections.back().get();
        boards.push_back({&connection->Programmer(),
                          !several && !o.SimState.empty() ? "simulator" : o.PortName,
                          several ? o.PortName + ": " : "",
                          [connection] { return connection->NoChipWillCome(); }});
      }
      result = RunProduction(plan, boards, counter.get(), log, c.Out);
      c.Report.Fields.Set("chips_done", result.Good).Set("chips_failed", result.Failed);
      if (result.Error) std::rethrow_exception(result.Error);
    } catch (...) {
      try {
        finishAll();
      } catch (...) {
        // The run's own error is the one to report.
      }
      throw;
    }
    finishAll();
  }
  // Ctrl-C ends a run without --count; any other stop is reported as one.
  if (stop.Requested() && !(c.Options.Count == 0 && stop.Signal() == SIGINT))
    throw StoppedError(stop.Signal());
  log.Close();
  stop.Clear();  // the Ctrl-C that ends the run
  return result.Passed ? kExitOK : kExitFailed;
}

const CliOption kProduceOptions[] = {
    {"--count", "N",
     "produce: stop after N chips (good or failed, of all boards together); without it, run "
     "until Ctrl-C",
     ApplyCount},
    {"--serial", "ADDR:FORM:START[:STEP]",
     "produce: put a serial number into the image at hexadecimal ADDR before each chip, as FORM: "
     "bin-leN or bin-beN (binary, N bytes, 4 unless given), bcdN (packed BCD, N bytes) or asciiN "
     "(N decimal digits); the numbers count from START in steps of STEP (1), and the next one is "
     "kept in LOG.counter (needs --log)",
     ApplySerial},
    {"--log", "FILE", "produce: append one CSV line for each chip to FILE", ApplyLog},
    {"--stop-on-failure", nullptr, "produce: end the run at the first chip that fails",
     ApplyStopOnFailure},
};

const CliCommand kProduceCommands[] = {
    {"produce", "IN", 1,
     "a production run: load IN, then for each chip put in the socket erase, write, verify and "
     "lock it as write does, report it with the terminal bell and ask for the next",
     RunProduce},
};

}  // namespace

std::span<const CliOption> ProduceOptions() {
  return kProduceOptions;
}

std::span<const CliCommand> ProduceCommands() {
  return kProduceCommands;
}

}  // namespace kaldo::cli
