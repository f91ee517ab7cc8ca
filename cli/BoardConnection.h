// The programmer board as one device command reaches it: a Programmer on a real parallel port or
// on the simulated PC (its chips kept in a state file), opened for the command and finished after
// it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "device/Programmer.h"
#include "link/IoSpace.h"

namespace kaldo::cli {

class BoardConnection {
 public:
  // putAway runs after the programmer has closed (the simulated PC's trace and state file);
  // noChipWillCome tells when whoever feeds the socket has no chip left (the simulated supply).
  explicit BoardConnection(std::unique_ptr<IoSpace> io, std::function<void()> putAway = {},
                           std::function<bool()> noChipWillCome = {});

  kaldo::Programmer& Programmer() { return programmer_; }
  // True once no chip will come to the socket any more: a simulated supply at the end of its
  // list. Never on a real board, where a person feeds the socket for as long as the run asks.
  bool NoChipWillCome() const { return noChipWillCome_ && noChipWillCome_(); }
  // After the command, also one that raised: the programmer closes (the timer is put back), then
  // the trace file is completed and the simulated chips, as far as they were written, go back to
  // their state file. Raises on a failed close or save.
  void Finish();

 private:
  kaldo::Programmer programmer_;
  std::function<void()> putAway_;
  std::function<bool()> noChipWillCome_;
};

// Raises UsageError saying what is wrong with a --sim-supply list.
void CheckSupplyList(const std::string& list);

// Raises UsageError for a command line that names no backend, or asks the real port for what
// only the simulated PC has.
void CheckDeviceOptions(const CliOptions& options);
// Raises UsageError for the options of --cable that do not go together or with the device: a
// device that cannot be programmed in the circuit is refused by name.
void CheckCableOptions(const CliOptions& options);

// The options of each board of a production run, one for every --port given (or the one board of
// --sim without a port): each names one port. With several, each simulated board is a PC of its
// own that keeps its chips, and its trace, in files of its own (STATE.parport1, TRACE.parport1 for
// the simulated PC's second port), and the waits of a real one run on the host clock. Raises
// UsageError for a port named twice.
std::vector<CliOptions> BoardOptions(const CliOptions& options, const HostSystem& host);

// Checks the options as above and finds the port of --port (in host's list of ports, or the
// simulated PC's); the start-up steps of the window (timer set-up, board reset) have run when it
// returns. The programmer's commands stop when `stop` is raised.
std::unique_ptr<BoardConnection> OpenBoardConnection(const CliOptions& options, StopFlag& stop,
                                                     const HostSystem& host);

// Opens the connection, runs work(programmer) and finishes the connection whatever ends the work
// (when both fail, the work's error is the one raised). Returns what the work returns.
template <typename Work>
auto OnBoard(const CliOptions& options, StopFlag& stop, const HostSystem& host, Work work) {
  const std::unique_ptr<BoardConnection> connection = OpenBoardConnection(options, stop, host);
  decltype(work(connection->Programmer())) result;
  try {
    result = work(connection->Programmer());
  } catch (...) {
    try {
      connection->Finish();
    } catch (...) {
      // The work's own error is the one to report.
    }
    throw;
  }
  connection->Finish();
  return result;
}

}  // namespace kaldo::cli
