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
};

// For each chip, on every board at once (the first in the calling thread, each other in one of
// its own): waits for an empty socket, then for a chip; writes it (with its serial number, taken
// from counter, when serial is given) and logs it. --count counts the chips of all boards. Returns
// the exit status: 0 when every chip passed, 1 otherwise. A stop raises StoppedError, except Ctrl-C
// while boards of a run without --count wait for the socket, which ends the run; an error of one
// board ends the run for the others after their chip, and is raised.
int RunProduction(CliContext& c, const std::vector<ProductionBoard>& boards,
                  const std::optional<SerialSpec>& serial, SerialCounter* counter,
                  ProductionLog& log);

}  // namespace kaldo::cli
