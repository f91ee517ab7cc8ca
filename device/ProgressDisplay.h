// What the device routines show while they run: the address readout and the command text.
// The main window implements it, tests record it, the command-line program prints it.
#pragma once

#include <string>

namespace kaldo {

class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void UpdateAdresDisp(int address) = 0;
  virtual void UpdateCmdDisp(const std::string& text) = 0;
};

}  // namespace kaldo
