// A production run on opened programmers: the loop over the chips on every board at once, its log
// and its summary. The front end opens the boards, loads the image and reports the result.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "device/CommandOutcome.h"
#include "device/DeviceJob.h"
#include "device/Identification.h"
#include "device/Programmer.h"
#include "device/ProgressDisplay.h"
#include "production/ProductionLog.h"
#include "production/SerialCounter.h"
#include "production/SerialNumber.h"

namespace kaldo {

// A programmer board of the run: its programmer, opened, and how its lines name it.
struct ProductionBoard {
  kaldo::Programmer* Programmer = nullptr;
  std::string PortText;  // the log's port column
  std::string Prefix;    // before each line it prints: empty for a run of one board, else "lpt2: "
  // True once no chip will come to its socket any more (none: one may always come).
  std::function<bool()> NoChipWillCome;
  // Shows each write's blocks and steps (none: nothing).
  ProgressDisplay* Progress = nullptr;
};

// A step of one chip on a board, as a front end that shows more than the run's lines hears of it.
struct ChipEvent {
  enum class Step {
    RemoveFirst,  // the socket holds a chip the run did not write: it must go first
    Insert,       // waiting for chip Chip (the next number, unless another board takes it)
    Writing,      // chip Chip is the device's and is being written
    Good,         // written and verified, with Serial when the run gives numbers
    Failed,       // Outcome says how
    WrongChip,    // Inside says what it is
    Stopped,      // stopped while it was written; its number went back
    Remove,       // done: the operator takes it out
  };
  Step What = Step::Insert;
  const ProductionBoard* Board = nullptr;
  int Chip = 0;
  int Count = 0;  // of the run; 0: no limit
  std::optional<std::uint64_t> Serial = {};
  CommandOutcome Outcome = {};
  ChipIdentity Inside = {};
  // The run's counts once this step is taken.
  int Good = 0;
  int Failed = 0;
};

// Hears every chip's steps, one at a time, on the thread of the board that takes them.
class ProductionEvents {
 public:
  virtual ~ProductionEvents() = default;
  virtual void OnChip(const ChipEvent& event) = 0;
};

// "chips done: 5, failed: 1, chips per hour: 312.4": the counts after `seconds` of a run.
std::string ProductionCountsText(int good, int failed, double seconds);

// What every chip of the run gets.
struct ProductionPlan {
  // The device, the image loaded (each chip is written from a copy of it), its size and the
  // program bits.
  DeviceJob Chip;
  int Count = 0;  // chips of all boards together; 0: until Ctrl-C
  bool StopOnFailure = false;
  std::optional<SerialSpec> Serial;  // with the counter that hands out its numbers
  // Said after "The supply of chips ran out after N of COUNT chips: no more will come."
  std::string ShortOfChipsAdvice;
  // Hears each chip's steps besides the lines (none: only the lines).
  ProductionEvents* Events = nullptr;
};

struct ProductionResult {
  int Good = 0;
  int Failed = 0;
  // Every chip passed, the serial numbers did not run out and the chips did not run out before
  // the count.
  bool Passed = false;
  // What ended the run, when something was raised: a stop, else a board's error.
  std::exception_ptr Error;
};

// For each chip, on every board at once (the first in the calling thread, each other in one of
// its own): waits for an empty socket, then for a chip; writes it (with its serial number, taken
// from counter, when the plan has one) and logs it; says every step on out, and the summary at the
// end. Count counts the chips of all boards; a chip takes its number once it is seated, so a board
// that gets no chip takes none, and each board stops as soon as the others reach the count or no
// chip will come to it. The run has not passed when no chip will come to any board before the
// count is reached. A stop ends the run with StoppedError as its Error, except Ctrl-C while boards
// of a run without a count wait for the socket, which ends the run; an error of one board ends
// the run for the others after their chip, and is the run's Error.
ProductionResult RunProduction(const ProductionPlan& plan,
                               const std::vector<ProductionBoard>& boards, SerialCounter* counter,
                               ProductionLog& log, std::ostream& out);

}  // namespace kaldo
