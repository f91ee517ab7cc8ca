// The production run of kaldo-cli produce, on an opened programmer: the loop over the chips, its
// log and its summary.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/ProductionLog.h"
#include "core/SerialCounter.h"
#include "core/SerialNumber.h"
#include "device/Programmer.h"

namespace kaldo::cli {

// A board of the run: its programmer, opened, and how its lines name it.
struct ProductionBoard {
  Programmer* Board = nullptr;
  std::string PortText;  // the log's port column
  std::string Prefix;    // before each line it prints: empty for a run of one board, else "lpt2: "
  // True once no chip will come to its socket any more (none: one may always come).
  std::function<bool()> NoChipWillCome;
};

// For each chip, on every board at once (the first in the calling thread, each other in one of
// its own): waits for an empty socket, then for a chip; writes it (with its serial number, taken
// from counter, when serial is given) and logs it. --count counts the chips of all boards; a chip
// takes its number once it is seated, so a board that gets no chip takes none, and each board
// stops as soon as the others reach the count or no chip will come to it. Returns the exit
// status: 0 when every chip passed, 1 otherwise, or when no chip will come to any board before
// --count is reached. A stop raises StoppedError, except Ctrl-C while boards of a run without
// --count wait for the socket, which ends the run; an error of one board ends the run for the
// others after their chip, and is raised.
int RunProduction(CliContext& c, const std::vector<ProductionBoard>& boards,
                  const std::optional<SerialSpec>& serial, SerialCounter* counter,
                  ProductionLog& log);

}  // namespace kaldo::cli
