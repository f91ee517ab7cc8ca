// What the device routines show while they run: the address readout and the command text.
// The main window passes them to its UpdateAdresDisp and UpdateCmdDisp, tests record them, the
// command-line program prints the command text.
#pragma once

#include <string>

namespace kaldo {

class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  // The address the routine has reached, at the start of every 256-byte block (and 0 first).
  virtual void ShowAddress(int address) = 0;
  // What the routine does now: "Reading", "Verifying", ...
  virtual void ShowCommand(const std::string& text) = 0;
};

}  // namespace kaldo
