// The program: application title, the program-wide objects, the main window and the other windows,
// then the message loop. The two programs differ only in the machine they hand in: its I/O space,
// and what it adds to the window (the simulated PC's Socket menu).
#pragma once

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/UnitFormMain.h"
#include "core/model/ProgramState.h"
#include "core/system/StopFlag.h"
#include "link/IoSpace.h"

namespace kaldo {

struct MachineParts {
  std::unique_ptr<IoSpace> Io;
  // Its ports, for the Port menu and the port check.
  MachinePorts Ports;
  // Called once the window stands, when the machine has something to add to it.
  std::function<void(TfrmMain& window)> AddToWindow;
};

// Makes the machine the program works on. It may keep the state (the simulated socket follows
// the selected device) and the settings folder (other files that belong with the settings).
using MachineFactory =
    std::function<MachineParts(ProgramState& state, const std::string& settingsFolder)>;

int RunKaldo(int argc, char** argv, const MachineFactory& makeMachine);

// SIGINT, SIGTERM, SIGHUP and SIGQUIT for the window programs. From its creation on, a signal
// only raises the stop flag (which stops a device command at its next byte or wait, the board
// then reset) and wakes the event loop through a pipe; there the watched window is closed as its
// close handler closes it (once a running command has stopped), and then the message loop ends
// with 128 + the signal, also from within a message box that was open.
class SignalCloser : public QObject {
 public:
  explicit SignalCloser(StopFlag& stop);
  ~SignalCloser() override;
  SignalCloser(const SignalCloser&) = delete;
  SignalCloser& operator=(const SignalCloser&) = delete;

  // The window to close; signals that came before are acted on once the event loop runs.
  void Watch(QWidget& window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SignalArrived();
  void ExitIfClosed();

  StopFlag& stop_;
  int pipe_[2] = {-1, -1};
  std::unique_ptr<StopSignals> signals_;
  std::unique_ptr<QSocketNotifier> notifier_;
  QPointer<QWidget> window_;
  bool exitPending_ = false;  // a signal came: the loop ends once the window has closed
};

}  // namespace kaldo
