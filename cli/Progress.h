// How a device command shows its progress on stderr: a one-line bar on a terminal, JSON lines for
// a script, or nothing. The routines report the address they have reached at the start of every
// 256-byte block and the name of each pass ("Programming", then "Verifying"). Like the window, the
// displays show the end of the block being worked on (03FF), and the percent is that readout over
// the device's size, from the start again in each pass.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "device/ProgressDisplay.h"

namespace kaldo::cli {

enum class ProgressStyle {
  Auto,  // the bar when stderr is a terminal, otherwise nothing
  Bar,
  Json,
  None,
};

// Seconds since any fixed moment; the tests pass a clock of their own.
using ProgressClock = std::function<double()>;

// "Programming  03FF  [#####...............]  25%  0:03 left", redrawn in place. The time left is
// the pass's pace so far carried on to its end; it is shown once the pass has moved.
class ProgressBar : public ProgressDisplay {
 public:
  ProgressBar(std::ostream& out, int deviceSize, ProgressClock clock);
  // Ends the line, when one was drawn.
  ~ProgressBar() override;
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void ShowAddress(int address) override;
  void ShowCommand(const std::string& text) override;

  // The line as it is drawn now, without the carriage return in front and the blanks behind.
  std::string Line() const;

 private:
  void Draw();

  std::ostream& out_;
  int size_;
  ProgressClock clock_;
  std::string operation_;
  int address_ = 0;
  double passStarted_ = 0;
  bool drawn_ = false;
};

// One JSON object a line for every address report:
// {"operation": "Programming", "address": 511, "percent": 12}
class ProgressLines : public ProgressDisplay {
 public:
  ProgressLines(std::ostream& out, int deviceSize) : out_(out), size_(deviceSize) {}

  void ShowAddress(int address) override;
  void ShowCommand(const std::string& text) override { operation_ = text; }

 private:
  std::ostream& out_;
  int size_;
  std::string operation_;
};

// The readout of the block that begins at `address`: its last address.
int ReadoutAddress(int address);
// The whole percent of the device's code memory up to the readout of `address`.
int ProgressPercent(int address, int deviceSize);

// The display of `style` on `out`; null when nothing is to be shown. stderr's being a terminal
// decides for ProgressStyle::Auto.
std::unique_ptr<ProgressDisplay> MakeProgress(ProgressStyle style, bool terminal, std::ostream& out,
                                              int deviceSize);

}  // namespace kaldo::cli
