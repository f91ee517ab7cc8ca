// A production run on opened programmers: the loop over the chips on every board at once, its log
// and its summary. The front end opens the boards, loads the image and reports the result.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "device/DeviceJob.h"
#include "device/Programmer.h"
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
};

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
