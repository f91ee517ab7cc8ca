// produce: a production run. The operator puts one chip after another in the socket; each is
// erased, written, verified and locked as write does, with its own serial number in the image
// when asked, and gets a line in the log.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "cli/BoardConnection.h"
#include "cli/CliCommand.h"
#include "cli/ProductionRun.h"
#include "core/Convert.h"
#include "core/SerialCounter.h"
#include "core/SerialNumber.h"
#include "core/StopFlag.h"
#include "device/CommandOutcome.h"

namespace kaldo::cli {

namespace {

// Between two looks into the socket; a look itself takes 0.72 s or more on the board's waits.
constexpr int kPollPauseMs = 250;

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

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// "2026-12-07T18:45:12+01:00"
std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
  std::string t = text;
  if (t.size() >= 5) t.insert(t.size() - 2, ":");
  return t;
}

struct ChipRecord {
  int Number = 0;
  std::optional<std::uint64_t> Serial;
  std::vector<std::uint8_t> Signature;
  std::optional<std::uint32_t> Crc;
  std::string Result;  // OK, failed, wrong chip, stopped
  std::optional<DeviceFailure> Failure;
  double Seconds = 0;
};

class ProductionRun {
 public:
  ProductionRun(CliContext& c, Programmer& programmer, const std::optional<SerialSpec>& serial,
                SerialCounter* counter, ProductionLog& log, std::string portText)
      : c_(c),
        programmer_(programmer),
        serial_(serial),
        counter_(counter),
        log_(log),
        portText_(std::move(portText)),
        image_(c.State.DataBuffer) {}

  // Returns the exit status. A stop raises StoppedError, except Ctrl-C while an open-ended run
  // waits for the socket, which ends the run.
  int Run() {
    const auto began = std::chrono::steady_clock::now();
    try {
      for (int chip = 1; c_.Options.Count == 0 || chip <= c_.Options.Count; ++chip) {
        waiting_ = true;
        if (!WaitForEmptySocket(chip)) break;
        const ChipIdentity inside = WaitForChip(chip);
        waiting_ = false;
        const bool good = Program(chip, inside);
        (good ? good_ : failed_)++;
        if (!good && c_.Options.StopOnFailure) break;
      }
    } catch (const StoppedError& e) {
      const bool endsRun = waiting_ && c_.Options.Count == 0 && e.Signal() == SIGINT;
      if (!endsRun) {
        Summary(began);
        throw;
      }
      programmer_.StopFlagInUse().Clear();
    }
    Summary(began);
    return failed_ == 0 && !serialsExhausted_ ? kExitOK : kExitFailed;
  }

 private:
  // False when the serial numbers have run out.
  bool WaitForEmptySocket(int chip) {
    if (serial_ && !serial_->Fits(counter_->Peek())) {
      c_.Out << "The serial numbers have run out: " << counter_->Peek() << " does not fit.\n";
      serialsExhausted_ = true;
      return false;
    }
    bool said = false;
    while (programmer_.LookIntoSocket(c_.State.DeviceType).Result != ChipIdentity::Kind::NoAnswer) {
      if (!said) c_.Out << "remove the chip from the socket\n" << std::flush;
      said = true;
      programmer_.Pause(kPollPauseMs);
    }
    c_.Out << "insert chip " << chip;
    if (c_.Options.Count > 0) c_.Out << " of " << c_.Options.Count;
    c_.Out << "\n" << std::flush;
    return true;
  }

  // A chip is taken when two looks in a row find it alike, so that one still being seated is not
  // judged by a half reading.
  ChipIdentity WaitForChip(int) {
    ChipIdentity last;
    for (;;) {
      programmer_.Pause(kPollPauseMs);
      const ChipIdentity now = programmer_.LookIntoSocket(c_.State.DeviceType);
      if (now.Result != ChipIdentity::Kind::NoAnswer && now.Result == last.Result &&
          now.DeviceType == last.DeviceType && now.Signature == last.Signature)
        return now;
      last = now;
    }
  }

  bool Program(int chip, const ChipIdentity& inside) {
    const auto began = std::chrono::steady_clock::now();
    ChipRecord record;
    record.Number = chip;
    record.Signature = inside.Signature;
    if (!inside.Found() || inside.DeviceType != c_.State.DeviceType) {
      record.Result = "wrong chip";
      c_.Out << "chip " << chip << ": wrong chip: " << IdentityText(inside) << "\n";
      Finish(record, began);
      return false;
    }
    if (serial_) {
      record.Serial = counter_->Take();
      const std::vector<std::uint8_t> bytes = serial_->Encode(*record.Serial);
      std::copy(bytes.begin(), bytes.end(), c_.State.DataBuffer.begin() + serial_->Address);
    }
    record.Crc = Crc32(c_.State.DataBuffer.data(), c_.State.DeviceSize);
    CommandOutcome outcome;
    try {
      outcome = programmer_.Run(DeviceCommand::Write, DeviceJob::Of(c_.State));
    } catch (...) {
      if (record.Serial) counter_->GiveBack(*record.Serial);
      c_.State.DataBuffer = image_;
      record.Serial.reset();
      record.Result = "stopped";
      try {
        Finish(record, began);
      } catch (...) {
        // The stop is what the caller needs to hear of.
      }
      throw;
    }
    c_.State.DataBuffer = image_;
    if (outcome.Succeeded()) {
      record.Result = "OK";
    } else {
      // The number goes back to the counter; the log keeps it only for the chip that holds it.
      if (record.Serial) counter_->GiveBack(*record.Serial);
      record.Serial.reset();
      record.Result = "failed";
      record.Failure = outcome.Failure;
    }
    c_.Out << "chip " << chip << ": ";
    if (outcome.Succeeded() && record.Serial) c_.Out << "serial " << *record.Serial << ": ";
    std::string text = OutcomeText(outcome);
    for (char& ch : text)
      if (ch == '\r') ch = ' ';
    c_.Out << text << "\n";
    Finish(record, began);
    return outcome.Succeeded();
  }

  void Finish(ChipRecord& record, std::chrono::steady_clock::time_point began) {
    record.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const DeviceInfo* d = FindDevice(c_.State.DeviceType);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", record.Seconds);
    std::string line = LocalTimeText() + "," + portText_ + "," + (d ? FullName(*d) : "") + "," +
                       std::to_string(record.Number) + "," +
                       (record.Serial ? std::to_string(*record.Serial) : "") + "," +
                       HexByteList(record.Signature) + "," +
                       (record.Crc ? IntToHex(*record.Crc, 8) : "") + "," + record.Result + ",";
    if (record.Failure)
      line += IntToHex(record.Failure->Address, 4) + "," + IntToHex(record.Failure->DataRead, 2) +
              "," + IntToHex(record.Failure->DataExpected, 2);
    else
      line += ",,";
    line += std::string(",") + seconds + "\n";
    log_.Append(line);
    if (record.Result != "stopped")
      c_.Out << "\a"
             << "remove chip " << record.Number << "\n"
             << std::flush;
  }

  void Summary(std::chrono::steady_clock::time_point began) {
    const double hours =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count() / 3600;
    char perHour[32];
    std::snprintf(perHour, sizeof perHour, "%.1f", hours > 0 ? good_ / hours : 0.0);
    c_.Out << "chips done: " << good_ << ", failed: " << failed_ << ", chips per hour: " << perHour
           << "\n"
           << std::flush;
  }

  CliContext& c_;
  Programmer& programmer_;
  const std::optional<SerialSpec>& serial_;
  SerialCounter* counter_;
  ProductionLog& log_;
  std::string portText_;
  const CodeImage image_;
  bool waiting_ = false;
  int good_ = 0;
  int failed_ = 0;
  bool serialsExhausted_ = false;
};

}  // namespace

int RunProduction(CliContext& c, Programmer& programmer, const std::optional<SerialSpec>& serial,
                  SerialCounter* counter, ProductionLog& log, const std::string& portText) {
  return ProductionRun(c, programmer, serial, counter, log, portText).Run();
}

namespace {

int RunProduce(CliContext& c, const std::vector<std::string>& args) {
  CheckDeviceOptions(c.Options);
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
  std::optional<SerialSpec> serial;
  std::unique_ptr<SerialCounter> counter;
  if (!c.Options.Serial.empty()) {
    serial = ParseSerialSpec(c.Options.Serial);
    if (const std::optional<std::string> problem = SerialPlaceProblem(*serial, c.State)) {
      PrintText(c.Out, *problem);
      return kExitFailed;
    }
    counter = std::make_unique<SerialCounter>(c.Options.LogFile + ".counter", serial->Start,
                                              serial->Step);
    const std::uint64_t first = counter->Peek();
    const std::uint64_t chips = c.Options.Count > 0 ? c.Options.Count : 1;
    if ((first > UINT64_MAX - serial->Step * (chips - 1)) ||
        !serial->Fits(first + serial->Step * (chips - 1))) {
      c.Out << "The serial numbers from " << first << " do not fit " << serial->Width
            << " bytes for " << chips << " chips.\n";
      return kExitFailed;
    }
  }
  ProductionLog log(c.Options.LogFile);
  StopFlag stop;
  int status;
  {
    const StopSignals signals(stop);
    std::unique_ptr<BoardConnection> board = OpenBoardConnection(c.Options, stop, c.Host);
    const std::string portText = c.Options.SimState.empty() ? c.Options.PortName : "simulator";
    try {
      status = RunProduction(c, board->Programmer(), serial, counter.get(), log, portText);
    } catch (...) {
      try {
        board->Finish();
      } catch (...) {
        // The run's own error is the one to report.
      }
      throw;
    }
    board->Finish();
  }
  if (stop.Requested()) throw StoppedError(stop.Signal());
  return status;
}

const CliOption kProduceOptions[] = {
    {"--count", "N", "produce: stop after N chips (good or failed); without it, run until Ctrl-C",
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
