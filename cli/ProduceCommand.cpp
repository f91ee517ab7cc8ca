// produce: a production run. The operator puts one chip after another in the socket; each is
// erased, written, verified and locked as write does, with its own serial number in the image
// when asked, and gets a line in the log.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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

// What the boards of a run share: the chip numbers, the counts, the terminal, and the end.
class ProductionLine {
 public:
  ProductionLine(std::ostream& out, int count) : out_(out), count_(count) {}

  // The number of a chip just seated; none once the run has handed out its count or is ending.
  std::optional<int> NextChip() {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (Done()) return std::nullopt;
    return ++handedOut_;
  }
  // The number the next chip seated on any board takes, unless another is seated first.
  int NextNumber() const { return handedOut_ + 1; }
  int HandedOut() const { return handedOut_; }
  bool Done() const { return ending_ || (count_ > 0 && handedOut_ >= count_); }
  // Whole lines, each board's kept together.
  void Say(const std::string& lines) {
    const std::lock_guard<std::mutex> hold(mutex_);
    out_ << lines << std::flush;
  }
  void Counted(bool good) {
    const std::lock_guard<std::mutex> hold(mutex_);
    (good ? good_ : failed_)++;
  }
  // The boards finish the chip they program and take no other.
  void End() { ending_ = true; }
  bool Ending() const { return ending_; }
  int Count() const { return count_; }
  int Good() const { return good_; }
  int Failed() const { return failed_; }

 private:
  std::mutex mutex_;
  std::ostream& out_;
  const int count_;
  std::atomic<int> handedOut_{0};
  int good_ = 0;
  int failed_ = 0;
  std::atomic<bool> ending_{false};
};

// One board's part of a run, on an image of its own.
class BoardRun {
 public:
  BoardRun(const CliContext& c, const ProductionBoard& board, ProductionLine& line,
           const std::optional<SerialSpec>& serial, SerialCounter* counter, ProductionLog& log)
      : options_(c.Options),
        image_(c.State.DataBuffer),
        job_(JobOf(c.State)),
        board_(board),
        programmer_(*board.Board),
        portText_(board.PortText),
        prefix_(board.Prefix),
        line_(line),
        serial_(serial),
        counter_(counter),
        log_(log) {
    job_.Image = &chipImage_;
  }

  void Run() {
    try {
      while (!line_.Done()) {
        waiting_ = true;
        if (!WaitForEmptySocket() || NoChipWillCome()) break;
        Say("insert chip " + std::to_string(line_.NextNumber()) +
            (line_.Count() > 0 ? " of " + std::to_string(line_.Count()) : ""));
        const std::optional<ChipIdentity> inside = WaitForChip();
        if (!inside) break;
        // The number is taken only now, so that a board that gets no chip holds none back from
        // the others; one seated after the others reached the count is left as it is.
        const std::optional<int> chip = line_.NextChip();
        if (!chip) break;
        waiting_ = false;
        const bool good = Program(*chip, *inside);
        if (serialsExhausted_) break;
        line_.Counted(good);
        if (!good && options_.StopOnFailure) line_.End();
      }
    } catch (const StoppedError& e) {
      // Ctrl-C is the way to end a run without --count while the board waits for the socket.
      if (!(waiting_ && line_.Count() == 0 && e.Signal() == SIGINT)) throw;
    }
  }

  bool SerialsExhausted() const { return serialsExhausted_; }
  bool RanOutOfChips() const { return ranOutOfChips_; }

 private:
  void Say(const std::string& text, const char* before = "") {
    line_.Say(before + prefix_ + text + "\n");
  }

  // The board's supply has no chip left: it ends its part of the run (and says so when other
  // boards may go on).
  bool NoChipWillCome() {
    if (ranOutOfChips_ || !board_.NoChipWillCome || !board_.NoChipWillCome()) return ranOutOfChips_;
    ranOutOfChips_ = true;
    if (!prefix_.empty() && !line_.Done()) Say("no chip will come to this board any more");
    return true;
  }

  // False when the run ends first (the serial numbers have run out, the others reached the count
  // or ended the run).
  bool WaitForEmptySocket() {
    if (serial_ && !serial_->Fits(counter_->Peek())) {
      RunOutOfSerials(counter_->Peek());
      return false;
    }
    bool said = false;
    while (programmer_.LookIntoSocket(options_.DeviceType).Result != ChipIdentity::Kind::NoAnswer) {
      if (!said) Say("remove the chip from the socket");
      said = true;
      if (line_.Done()) return false;
      programmer_.Pause(kPollPauseMs);
    }
    return !line_.Done();
  }

  void RunOutOfSerials(std::uint64_t number) {
    Say("The serial numbers have run out: " + std::to_string(number) + " does not fit.");
    serialsExhausted_ = true;
    line_.End();
  }

  // A chip is taken when two looks in a row find it alike, so that one still being seated is not
  // judged by a half reading. None when the run ends first, the others reach the count, or no
  // chip will come.
  std::optional<ChipIdentity> WaitForChip() {
    ChipIdentity last;
    for (;;) {
      if (line_.Done() || NoChipWillCome()) return std::nullopt;
      programmer_.Pause(kPollPauseMs);
      const ChipIdentity now = programmer_.LookIntoSocket(options_.DeviceType);
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
    const std::string name = "chip " + std::to_string(chip) + ": ";
    if (!inside.Found() || inside.DeviceType != options_.DeviceType) {
      record.Result = "wrong chip";
      Say(name + "wrong chip: " + IdentityText(inside));
      Finish(record, began);
      return false;
    }
    chipImage_ = image_;
    if (serial_) {
      record.Serial = counter_->Take();
      // Another board or run on the counter may have taken the last numbers since the look before.
      if (!serial_->Fits(*record.Serial)) {
        counter_->GiveBack(*record.Serial);
        RunOutOfSerials(*record.Serial);
        return false;
      }
      const std::vector<std::uint8_t> bytes = serial_->Encode(*record.Serial);
      std::copy(bytes.begin(), bytes.end(), chipImage_.begin() + serial_->Address);
    }
    record.Crc = Crc32(chipImage_.data(), job_.Size);
    CommandOutcome outcome;
    try {
      outcome = programmer_.Run(DeviceCommand::Write, job_);
    } catch (...) {
      try {
        if (record.Serial) counter_->GiveBack(*record.Serial);
      } catch (...) {
        // A number not given back is a gap in the numbers; the stop is what the caller needs.
      }
      record.Serial.reset();
      record.Result = "stopped";
      try {
        Finish(record, began);
      } catch (...) {
        // The stop is what the caller needs to hear of.
      }
      throw;
    }
    if (outcome.Succeeded()) {
      record.Result = "OK";
    } else {
      // The number goes back to the counter; the log keeps it only for the chip that holds it.
      if (record.Serial) counter_->GiveBack(*record.Serial);
      record.Serial.reset();
      record.Result = "failed";
      record.Failure = outcome.Failure;
    }
    std::string text = OutcomeText(outcome);
    for (char& ch : text)
      if (ch == '\r') ch = ' ';
    Say(name +
        (outcome.Succeeded() && record.Serial ? "serial " + std::to_string(*record.Serial) + ": "
                                              : "") +
        text);
    Finish(record, began);
    return outcome.Succeeded();
  }

  void Finish(ChipRecord& record, std::chrono::steady_clock::time_point began) {
    record.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const DeviceInfo* d = FindDevice(options_.DeviceType);
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
    try {
      log_.Append(line);
    } catch (const Error&) {
      Say("chip " + std::to_string(record.Number) +
          ": its line could not be written to the log; add it by hand: " +
          line.substr(0, line.size() - 1));
      throw;
    }
    if (record.Result != "stopped") Say("remove chip " + std::to_string(record.Number), "\a");
  }

  const CliOptions& options_;
  const CodeImage image_;
  CodeImage chipImage_{};
  DeviceJob job_;
  const ProductionBoard& board_;
  Programmer& programmer_;
  std::string portText_;
  std::string prefix_;
  ProductionLine& line_;
  const std::optional<SerialSpec>& serial_;
  SerialCounter* counter_;
  ProductionLog& log_;
  bool waiting_ = false;
  bool serialsExhausted_ = false;
  bool ranOutOfChips_ = false;
};

void SaySummary(ProductionLine& line, std::chrono::steady_clock::time_point began) {
  const double hours =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count() / 3600;
  char perHour[32];
  std::snprintf(perHour, sizeof perHour, "%.1f", hours > 0 ? line.Good() / hours : 0.0);
  line.Say("chips done: " + std::to_string(line.Good()) +
           ", failed: " + std::to_string(line.Failed()) + ", chips per hour: " + perHour + "\n");
}

}  // namespace

int RunProduction(CliContext& c, const std::vector<ProductionBoard>& boards,
                  const std::optional<SerialSpec>& serial, SerialCounter* counter,
                  ProductionLog& log) {
  const auto began = std::chrono::steady_clock::now();
  ProductionLine line(c.Out, c.Options.Count);
  std::vector<std::unique_ptr<BoardRun>> runs;
  for (const ProductionBoard& board : boards)
    runs.push_back(std::make_unique<BoardRun>(c, board, line, serial, counter, log));
  std::vector<std::exception_ptr> errors(runs.size());
  const auto run = [&](std::size_t i) {
    try {
      runs[i]->Run();
    } catch (...) {
      errors[i] = std::current_exception();
      line.End();
    }
  };
  {
    std::vector<std::jthread> others;
    for (std::size_t i = 1; i < runs.size(); ++i) others.emplace_back(run, i);
    if (!runs.empty()) run(0);
  }
  // The supplies ran out before the count, or, without one, on every board.
  bool allRanOut = !runs.empty();
  for (const std::unique_ptr<BoardRun>& r : runs) allRanOut = allRanOut && r->RanOutOfChips();
  const bool shortOfChips = !line.Ending() && line.Count() > 0 && line.HandedOut() < line.Count();
  if (shortOfChips || (allRanOut && !line.Ending() && line.Count() == 0)) {
    std::string text = "The supply of chips ran out after " + std::to_string(line.HandedOut());
    if (line.Count() > 0)
      text += " of " + std::to_string(line.Count()) +
              " chips: no more will come. Give --sim-supply a chip for each chip of --count (a "
              "chip in the socket when the run starts is not written).";
    else
      text += " chips: no more will come.";
    line.Say(text + "\n");
  }
  SaySummary(line, began);
  c.Report.Fields.Set("chips_done", line.Good()).Set("chips_failed", line.Failed());
  // A stop is the one to report; the board's own error otherwise.
  for (const bool stops : {true, false}) {
    for (const std::exception_ptr& error : errors) {
      if (!error) continue;
      try {
        std::rethrow_exception(error);
      } catch (const StoppedError&) {
        if (stops) throw;
      } catch (...) {
        if (!stops) throw;
      }
    }
  }
  bool exhausted = false;
  for (const std::unique_ptr<BoardRun>& r : runs) exhausted = exhausted || r->SerialsExhausted();
  return line.Failed() == 0 && !exhausted && !shortOfChips ? kExitOK : kExitFailed;
}

namespace {

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
  std::optional<SerialSpec> serial;
  std::unique_ptr<SerialCounter> counter;
  if (!c.Options.Serial.empty()) {
    serial = ParseSerialSpec(c.Options.Serial);
    if (const std::optional<std::string> problem = SerialPlaceProblem(*serial, c.State)) {
      PrintText(c.Out, *problem);
      return kExitFailed;
    }
    counter = std::make_unique<SerialCounter>(CounterFileOf(c.Options.LogFile), serial->Start,
                                              serial->Step, &stop);
    const std::uint64_t first = counter->Peek();
    const std::uint64_t chips = c.Options.Count > 0 ? c.Options.Count : 1;
    if (serial->Step > (UINT64_MAX - first) / chips ||
        !serial->Fits(first + serial->Step * (chips - 1))) {
      c.Out << "The serial numbers from " << first << " do not fit " << serial->Width
            << " bytes for " << chips << " chips.\n";
      return kExitFailed;
    }
  }
  ProductionLog log(c.Options.LogFile, &stop);
  int status;
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
      status = RunProduction(c, boards, serial, counter.get(), log);
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
  stop.Clear();  // the Ctrl-C that ends the run
  return status;
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
