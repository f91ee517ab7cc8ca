#include "production/BoardRun.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <vector>

#include "core/Convert.h"
#include "core/Crc32.h"
#include "core/Errors.h"
#include "core/model/DeviceTable.h"

namespace kaldo {

namespace {

// Between two looks into the socket; a look itself takes 0.72 s or more on the board's waits.
constexpr int kPollPauseMs = 250;

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

}  // namespace

struct BoardRun::ChipRecord {
  int Number = 0;
  std::optional<std::uint64_t> Serial;
  std::vector<std::uint8_t> Signature;
  std::optional<std::uint32_t> Crc;
  std::string Result;  // OK, failed, wrong chip, stopped
  std::optional<DeviceFailure> Failure;
  double Seconds = 0;
};

BoardRun::BoardRun(const ProductionPlan& plan, const ProductionBoard& board, ProductionLine& line,
                   SerialCounter* counter, ProductionLog& log)
    : plan_(plan),
      image_(*plan.Chip.Image),
      job_(plan.Chip),
      board_(board),
      programmer_(*board.Programmer),
      line_(line),
      counter_(counter),
      log_(log) {
  job_.Image = &chipImage_;
}

void BoardRun::Run() {
  try {
    while (!line_.Done()) {
      waiting_ = true;
      if (!WaitForEmptySocket() || NoChipWillCome()) break;
      Say("insert chip " + std::to_string(line_.NextNumber()) +
          (line_.Count() > 0 ? " of " + std::to_string(line_.Count()) : ""));
      Tell(ChipEvent::Step::Insert, line_.NextNumber());
      const std::optional<ChipIdentity> inside = WaitForChip();
      if (!inside) break;
      // The number is taken only now, so that a board that gets no chip holds none back from
      // the others; one seated after the others reached the count is left as it is.
      const std::optional<int> chip = line_.NextChip();
      if (!chip) break;
      waiting_ = false;
      const bool good = Program(*chip, *inside);
      if (serialsExhausted_) break;
      if (!good && plan_.StopOnFailure) line_.End();
    }
  } catch (const StoppedError& e) {
    // Ctrl-C is the way to end a run without a count while the board waits for the socket.
    if (!(waiting_ && line_.Count() == 0 && e.Signal() == SIGINT)) throw;
  }
}

void BoardRun::Say(const std::string& text, const char* before) {
  line_.Say(before + board_.Prefix + text + "\n");
}

void BoardRun::Tell(ChipEvent::Step step, int chip, ChipEvent event) {
  event.What = step;
  event.Board = &board_;
  event.Chip = chip;
  line_.Tell(std::move(event));
}

// The board's supply has no chip left: it ends its part of the run (and says so when other
// boards may go on).
bool BoardRun::NoChipWillCome() {
  if (ranOutOfChips_ || !board_.NoChipWillCome || !board_.NoChipWillCome()) return ranOutOfChips_;
  ranOutOfChips_ = true;
  if (!board_.Prefix.empty() && !line_.Done()) Say("no chip will come to this board any more");
  return true;
}

// False when the run ends first (the serial numbers have run out, the others reached the count
// or ended the run).
bool BoardRun::WaitForEmptySocket() {
  if (plan_.Serial && !plan_.Serial->Fits(counter_->Peek())) {
    RunOutOfSerials(counter_->Peek());
    return false;
  }
  bool said = false;
  while (programmer_.LookIntoSocket(job_.DeviceType).Result != ChipIdentity::Kind::NoAnswer) {
    if (!said) {
      Say("remove the chip from the socket");
      // After a chip of the run, its Remove has said so already.
      if (!toldRemove_) Tell(ChipEvent::Step::RemoveFirst, 0);
    }
    said = true;
    if (line_.Done()) return false;
    programmer_.Pause(kPollPauseMs);
  }
  return !line_.Done();
}

void BoardRun::RunOutOfSerials(std::uint64_t number) {
  Say("The serial numbers have run out: " + std::to_string(number) + " does not fit.");
  serialsExhausted_ = true;
  line_.End();
}

// A chip is taken when two looks in a row find it alike, so that one still being seated is not
// judged by a half reading. None when the run ends first, the others reach the count, or no
// chip will come.
std::optional<ChipIdentity> BoardRun::WaitForChip() {
  ChipIdentity last;
  for (;;) {
    if (line_.Done() || NoChipWillCome()) return std::nullopt;
    programmer_.Pause(kPollPauseMs);
    const ChipIdentity now = programmer_.LookIntoSocket(job_.DeviceType);
    if (now.Result != ChipIdentity::Kind::NoAnswer && now.Result == last.Result &&
        now.DeviceType == last.DeviceType && now.Signature == last.Signature)
      return now;
    last = now;
  }
}

bool BoardRun::Program(int chip, const ChipIdentity& inside) {
  const auto began = std::chrono::steady_clock::now();
  ChipRecord record;
  record.Number = chip;
  record.Signature = inside.Signature;
  const std::string name = "chip " + std::to_string(chip) + ": ";
  if (!inside.Found() || inside.DeviceType != job_.DeviceType) {
    record.Result = "wrong chip";
    line_.Counted(false);
    Say(name + "wrong chip: " + IdentityText(inside));
    ChipEvent event;
    event.Inside = inside;
    Tell(ChipEvent::Step::WrongChip, chip, event);
    Finish(record, began);
    return false;
  }
  chipImage_ = image_;
  if (plan_.Serial) {
    record.Serial = counter_->Take();
    // Another board or run on the counter may have taken the last numbers since the look before.
    if (!plan_.Serial->Fits(*record.Serial)) {
      counter_->GiveBack(*record.Serial);
      RunOutOfSerials(*record.Serial);
      return false;
    }
    const std::vector<std::uint8_t> bytes = plan_.Serial->Encode(*record.Serial);
    std::copy(bytes.begin(), bytes.end(), chipImage_.begin() + plan_.Serial->Address);
  }
  record.Crc = Crc32(chipImage_.data(), job_.Size);
  ChipEvent writing;
  writing.Serial = record.Serial;
  Tell(ChipEvent::Step::Writing, chip, writing);
  CommandOutcome outcome;
  try {
    outcome = programmer_.Run(DeviceCommand::Write, job_, board_.Progress);
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
    Tell(ChipEvent::Step::Stopped, chip);
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
  line_.Counted(outcome.Succeeded());
  std::string text = OutcomeText(outcome);
  for (char& ch : text)
    if (ch == '\r') ch = ' ';
  Say(name +
      (outcome.Succeeded() && record.Serial ? "serial " + std::to_string(*record.Serial) + ": "
                                            : "") +
      text);
  ChipEvent result;
  result.Serial = record.Serial;
  result.Outcome = outcome;
  Tell(outcome.Succeeded() ? ChipEvent::Step::Good : ChipEvent::Step::Failed, chip, result);
  Finish(record, began);
  return outcome.Succeeded();
}

void BoardRun::Finish(ChipRecord& record, std::chrono::steady_clock::time_point began) {
  record.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  const DeviceInfo* d = FindDevice(job_.DeviceType);
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", record.Seconds);
  std::string line = LocalTimeText() + "," + board_.PortText + "," + (d ? FullName(*d) : "") + "," +
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
  if (record.Result != "stopped") {
    Say("remove chip " + std::to_string(record.Number), "\a");
    Tell(ChipEvent::Step::Remove, record.Number);
    toldRemove_ = true;
  }
}

}  // namespace kaldo
