#include "app/KaldoProgram.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <cerrno>
#include <iostream>

#include "app/Seams.h"
#include "app/UnitFormMain.h"
#include "core/Errors.h"
#include "core/formats/Settings.h"
#include "device/Programmer.h"

namespace kaldo {

namespace {

constexpr int kStartUpFailed = 1;

// The last line of defence: an error that no handler caught still reaches the general error
// report, and the program goes on waiting for input.
class KaldoApplication : public QApplication {
 public:
  KaldoApplication(int& argc, char** argv, MessageSeam& messages)
      : QApplication(argc, argv), messages_(messages) {}

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const StoppedError&) {
      // A stopped command is no error: the signal that stopped it closes the window next.
    } catch (const std::exception& e) {
      messages_.Show(activeWindow(), {QString::fromLatin1(kAppTitle),
                                      QString::fromStdString(ErrorReportText(e)), MsgIcon::Error});
    }
    return false;
  }

 private:
  MessageSeam& messages_;
};

}  // namespace

SignalCloser::SignalCloser(StopFlag& stop) : stop_(stop) {
  if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) throw InOutErrorFromErrno(errno);
  signals_ = std::make_unique<StopSignals>(stop_, pipe_[1]);
  notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { SignalArrived(); });
}

SignalCloser::~SignalCloser() {
  notifier_.reset();
  signals_.reset();
  close(pipe_[0]);
  close(pipe_[1]);
}

void SignalCloser::Watch(QWidget& window) {
  window_ = &window;
  window.installEventFilter(this);
  // A signal that ended a message box of the start-up steps closes the window once it stands.
  if (exitPending_)
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (window_) window_->close();
          ExitIfClosed();
        },
        Qt::QueuedConnection);
}

void SignalCloser::SignalArrived() {
  unsigned char bytes[16];
  while (read(pipe_[0], bytes, sizeof bytes) > 0) {
  }
  exitPending_ = true;
  if (window_) window_->close();
  ExitIfClosed();
}

bool SignalCloser::eventFilter(QObject* watched, QEvent* event) {
  // A close put off until the running command had stopped has now happened.
  if (exitPending_ && watched == window_ && event->type() == QEvent::Hide)
    QMetaObject::invokeMethod(
        this, [this] { ExitIfClosed(); }, Qt::QueuedConnection);
  return false;
}

void SignalCloser::ExitIfClosed() {
  if (window_ && window_->isVisible()) return;
  QCoreApplication::exit(StopSignals::ExitStatus(stop_.Signal()));
}

int RunKaldo(int argc, char** argv, const MachineFactory& makeMachine) {
  QtMessageSeam messages;
  KaldoApplication app(argc, argv, messages);
  QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
  QtFileDialogSeam fileDialogs;
  StopFlag stop;
  int status = 0;
  bool throughCable = false;  // the session ended on an ISP cable
  {
    // Installed before the board is first touched, and kept until the programmer has closed.
    SignalCloser signalCloser(stop);
    ProgramState state;
    MachineParts machine;
    std::string folder;
    try {
      folder = ChooseSettingsFolder(CurrentSettingsEnvironment());
      machine = makeMachine(state, folder);
    } catch (const std::exception& e) {
      // A signal ends the box as it ends the window.
      messages.Show(nullptr, {QString::fromLatin1(kAppTitle),
                              QString::fromStdString(ErrorReportText(e)), MsgIcon::Error});
      status = kStartUpFailed;
    }
    // The user chose to quit at a question of the start-up: it said so.
    if (!machine.Io) status = kStartUpFailed;
    if (machine.Io) {
      Programmer programmer(std::move(machine.Io));
      programmer.UseStopFlag(stop);

      TfrmMain frmMain({state, programmer, folder, messages, fileDialogs, machine.Ports});
      frmMain.CreateDialogWindows();
      if (machine.AddToWindow) machine.AddToWindow(frmMain);
      signalCloser.Watch(frmMain);
      frmMain.show();
      status = app.exec();
      throughCable = programmer.CableInUse() != nullptr;
    }
  }
  // The window has closed, the programmer too (board idle, timer put back), and the simulated
  // chips are saved; or the start-up steps failed before the board was touched.
  if (stop.Signal() > 0) {
    if (status != kStartUpFailed)
      std::cerr << (throughCable ? kInterruptedCableText : kInterruptedText) << "\n";
    return StopSignals::ExitStatus(stop.Signal());
  }
  return status;
}

}  // namespace kaldo
