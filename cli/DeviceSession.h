// What a device command runs on: the simulated PC (its chips kept in a state file) or a real
// parallel port. The session owns the I/O space, the port and the board for one command.
#pragma once

#include <memory>
#include <string>

#include "cli/CliCommand.h"
#include "link/Board.h"
#include "link/Port.h"

namespace kaldo::cli {

class DeviceSession {
 public:
  virtual ~DeviceSession() = default;
  virtual Port& port() = 0;
  virtual Board& board() = 0;
  // After the command: the simulated chips go back to their state file. Raises on a failed save.
  virtual void Finish() {}
};

// Raises UsageError for a command line that names no backend, or both, or asks the real port for
// what only the simulated PC has.
void CheckDeviceOptions(const CliOptions& options);

// Checks the options as above; the start-up steps of the window (timer set-up, board reset) have
// run when it returns.
std::unique_ptr<DeviceSession> OpenDeviceSession(const CliOptions& options, ProgramState& state);

}  // namespace kaldo::cli
