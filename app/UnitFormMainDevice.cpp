// The main window's device commands: the busy display, and the worker that runs each command
// while the window goes on handling its events but takes no input.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>
#include <vector>

#include "app/UnitFormMain.h"
#include "core/Convert.h"
#include "core/model/DeviceTable.h"
#include "link/PortCheck.h"

namespace kaldo {

namespace {

constexpr char kProductionCloseQuestion[] =
    "The production run is still running.\rStop it and close the program? The chip being "
    "written is then left unfinished, logged as stopped, and its serial number given back.";

std::string DeviceName(int deviceType) {
  const DeviceInfo* d = FindDevice(deviceType);
  return d ? FullName(*d) : std::string();
}

// What a user does to a window; none of it reaches the window while a device command runs.
bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

}  // namespace

// --- Busy display ------------------------------------------------------------------------------

TfrmMain::BusyDisplay::BusyDisplay(TfrmMain& form, const std::string& text) : form_(form) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  form.stsBar->hide();
  form.lblCmd->show();
  form.lblAdres->show();
  // Every routine starts in the first block: the readout shows it at once, not what the last
  // command left there.
  form.UpdateAdresDisp(0);
  form.UpdateCmdDisp(text);
}

TfrmMain::BusyDisplay::~BusyDisplay() {
  form_.stsBar->show();
  form_.lblCmd->hide();
  form_.lblAdres->hide();
  QApplication::restoreOverrideCursor();
}

// --- Device commands on the worker --------------------------------------------------------------

// Every button, the device box, the program-bits panel and every menu with its items are disabled
// for the command; each then gets back the state it had, so that a control disabled for a reason
// of its own (Reload File without a file, a lock bit the device lacks) stays so. A disabled control
// gives its focus away, and it comes back with the control. The window's close stays live: it is
// the way to stop the command.
class TfrmMain::RefusingLook {
 public:
  explicit RefusingLook(TfrmMain& form) {
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->window() == &form) focus_ = focus;
    for (QWidget* control : std::initializer_list<QWidget*>{
             form.sbtOpenFile, form.sbtSaveFile, form.sbtAbout, form.cmdRead, form.cmdWrite,
             form.cmdVerify, form.cmdOpenFile, form.cmdBlankChk, form.cmdSignature,
             form.cmdReloadFile, form.cmdSaveFile, form.cboType, form.fraProgBits}) {
      controls_.emplace_back(control, control->isEnabled());
      control->setEnabled(false);
    }
    AddItems(form.mnuMain->actions());
  }

  ~RefusingLook() {
    for (const auto& [control, enabled] : controls_) control->setEnabled(enabled);
    for (const auto& [item, enabled] : items_)
      if (item) item->setEnabled(enabled);
    if (focus_ && focus_->isEnabled()) focus_->setFocus(Qt::OtherFocusReason);
  }

  RefusingLook(const RefusingLook&) = delete;
  RefusingLook& operator=(const RefusingLook&) = delete;

 private:
  void AddItems(const QList<QAction*>& items) {
    for (QAction* item : items) {
      if (item->isSeparator()) continue;
      items_.emplace_back(item, item->isEnabled());
      item->setEnabled(false);
      if (item->menu()) AddItems(item->menu()->actions());
    }
  }

  std::vector<std::pair<QWidget*, bool>> controls_;
  // A menu the machine added may go while the command runs.
  std::vector<std::pair<QPointer<QAction>, bool>> items_;
  QPointer<QWidget> focus_;
};

class TfrmMain::WorkerProgress : public ProgressDisplay {
 public:
  explicit WorkerProgress(TfrmMain& form) : form_(form) {}

  void ShowAddress(int address) override {
    QMetaObject::invokeMethod(
        &form_, [form = &form_, address] { form->UpdateAdresDisp(address); }, Qt::QueuedConnection);
  }
  void ShowCommand(const std::string& text) override {
    QMetaObject::invokeMethod(
        &form_,
        [form = &form_, text] {
          form->runningStep_ = text;
          form->UpdateCmdDisp(text);
        },
        Qt::QueuedConnection);
  }

 private:
  TfrmMain& form_;
};

void TfrmMain::RunOnWorker(DeviceCommand command,
                           const std::function<void(ProgressDisplay&)>& work) {
  commandRunning_ = true;
  runningCommand_ = command;
  runningStep_.clear();
  qApp->installEventFilter(this);
  WorkerProgress progress(*this);
  std::exception_ptr raised;
  {
    const RefusingLook look(*this);
    try {
      worker_.RunWithEvents([&] {
        // However the command ends, a stop question still up goes before its result is shown:
        // this note travels ahead of the worker's own note that the job ended.
        const QScopeGuard ended([this] {
          QMetaObject::invokeMethod(
              this, [this] { WithdrawStopQuestion(); }, Qt::QueuedConnection);
        });
        work(progress);
      });
    } catch (...) {
      raised = std::current_exception();
    }
  }
  qApp->removeEventFilter(this);
  commandRunning_ = false;
  if (closeAfterCommand_) {
    // Now, not from the event loop: a signal that closes the window also ends that loop.
    close();
    throw StoppedError(programmer_.StopFlagInUse().Signal());
  }
  if (raised) std::rethrow_exception(raised);
}

CommandOutcome TfrmMain::RunDeviceCommand(DeviceCommand command) {
  const DeviceJob job = JobOf(state_);
  CommandOutcome outcome;
  RunOnWorker(command, [&](ProgressDisplay& progress) {
    outcome = programmer_.Run(command, job, &progress);
  });
  return outcome;
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (!commandRunning_ || !IsUserInput(event->type())) return false;
  const auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this) return false;
  // A short-cut key the window has taken away from its short-cut never starts the command.
  if (event->type() == QEvent::ShortcutOverride) event->accept();
  return true;
}

// --- Device commands ---------------------------------------------------------------------------

CommandOutcome TfrmMain::RunBusyCommand(DeviceCommand command) {
  BusyDisplay busy(*this, CommandInfo(command).BusyText);
  return RunDeviceCommand(command);
}

std::string TfrmMain::SocketRefusalText(const SocketCheck& check) {
  // Through a cable, a chip that took the programming enable but gives no signature is there:
  // its lock bits hide the signature.
  const bool silent = !check.Inside || check.Inside->Result == ChipIdentity::Kind::NoAnswer;
  if (programmer_.CableInUse() && silent && check.Note.empty() &&
      check.Verdict.Result == SignatureVerdict::Kind::NoAnswer)
    return "The chip answered through the cable but gave no signature (" +
           HexByteList(check.Verdict.Read) +
           "): its lock bits hide it. A Write erases the chip, lock bits included.";
  std::string text = SocketCheckText(check);
  if (check.WrongChip()) {
    return text + "\rPut an " + DeviceName(check.DeviceType) +
           " in the socket, or choose the type of the chip that is there.";
  }
  const std::vector<KernelPort> ports = ports_.List ? ports_.List() : std::vector<KernelPort>{};
  return text + "\rPort: " + PortLabel(state_.PortBase, ports) + ".";
}

std::optional<CommandOutcome> TfrmMain::RunCheckedCommand(DeviceCommand command) {
  if (!CrystalFitsDevice(QString::fromLatin1(CommandInfo(command).Title))) return std::nullopt;
  const DeviceJob job = JobOf(state_);
  std::optional<SocketCheck> refused;
  CommandOutcome outcome;
  {
    BusyDisplay busy(*this, CommandInfo(command).BusyText);
    RunOnWorker(command, [&](ProgressDisplay& progress) {
      const SocketCheck check = programmer_.CheckSocket(job.DeviceType, &progress);
      if (check.Passed())
        outcome = programmer_.Run(command, job, &progress);
      else
        refused = check;
    });
  }
  if (!refused) return outcome;
  const std::string question = SocketRefusalText(*refused) +
                               "\rNothing was done.\r\rGo on anyway, without this check? Only "
                               "when you know the chip is the right one.";
  if (MessageBox(QString::fromStdString(question), QString::fromLatin1(CommandInfo(command).Title),
                 MsgIcon::Warning, MsgButtons::YesNo) != MsgAnswer::Yes)
    return std::nullopt;
  return RunBusyCommand(command);
}

void TfrmMain::ShowOutcome(const CommandOutcome& outcome, MsgIcon failureIcon) {
  MessageBox(QString::fromStdString(OutcomeText(outcome)),
             QString::fromLatin1(CommandInfo(outcome.Command).Title),
             outcome.Succeeded() ? MsgIcon::Information : failureIcon);
}

void TfrmMain::cmdBlankChkClick(QObject*) {
  if (const auto outcome = RunCheckedCommand(DeviceCommand::BlankCheck))
    ShowOutcome(*outcome, MsgIcon::Warning);
}

void TfrmMain::cmdReadClick(QObject*) {
  if (!MayDropUnsavedWork(QStringLiteral("  READ"))) return;
  const std::array<std::uint8_t, kBufferSize> before = state_.DataBuffer;
  // The buffer now holds device contents, not a file.
  auto showDeviceContents = [this] {
    unsaved_ = Unsaved::Read;
    GetFilePath();
    state_.HexFileName.clear();
    UpdateHexFilename();
    UpdateGridDisp();
    RefreshCheckSum();
  };
  std::optional<CommandOutcome> outcome;
  try {
    outcome = RunCheckedCommand(DeviceCommand::Read);
  } catch (...) {
    // A read that lost the port on the way has replaced part of the buffer: the window shows
    // what is in memory before the error is reported.
    if (state_.DataBuffer != before) showDeviceContents();
    throw;
  }
  if (!outcome) return;
  // Without a device nothing was read, so the buffer and the file name stay.
  if (outcome->Succeeded()) showDeviceContents();
  ShowOutcome(*outcome, MsgIcon::Warning);
}

bool TfrmMain::GoOnWithoutDataPastDevice(const char* verb, const QString& title) {
  const std::optional<DataPastDevice> past = FindDataPastDevice(state_);
  if (!past) return true;
  const std::string question = DataPastDeviceText(state_, *past) + "\r" + verb +
                               " only its bytes 0000-" + IntToHex(state_.DeviceSize - 1u, 4) + "?";
  return MessageBox(QString::fromLatin1(question), title, MsgIcon::Warning, MsgButtons::YesNo) ==
         MsgAnswer::Yes;
}

void TfrmMain::cmdWriteClick(QObject*) {
  if (!GoOnWithoutDataPastDevice("Write", QStringLiteral("  WRITE"))) return;
  if (const auto outcome = RunCheckedCommand(DeviceCommand::Write))
    ShowOutcome(*outcome, MsgIcon::Error);
}

void TfrmMain::cmdVerifyClick(QObject*) {
  if (!GoOnWithoutDataPastDevice("Verify", QStringLiteral("  VERIFY"))) return;
  if (const auto outcome = RunCheckedCommand(DeviceCommand::Verify))
    ShowOutcome(*outcome, MsgIcon::Warning);
}

// Without the busy display and the hourglass. A signature that is not the device's is no report
// to show: the chip is identified, and the window says what is in the socket (no chip at all, or
// another device's) as the check before the other commands does.
void TfrmMain::cmdSignatureClick(QObject*) {
  if (!CrystalFitsDevice(QString::fromLatin1(CommandInfo(DeviceCommand::Signature).Title))) return;
  const DeviceJob job = JobOf(state_);
  CommandOutcome outcome;
  SocketCheck check;
  check.DeviceType = job.DeviceType;
  RunOnWorker(DeviceCommand::Signature, [&](ProgressDisplay& progress) {
    outcome = programmer_.Run(DeviceCommand::Signature, job, &progress);
    if (!outcome.Succeeded()) return;
    check.Verdict = JudgeSignature(check.DeviceType, outcome.Signature.Bytes);
    if (!check.Passed()) check.Inside = programmer_.Identify(&progress);
  });
  // Through a cable a chip that did not answer is warned of, with the likely causes.
  if (check.Passed())
    return ShowOutcome(outcome, outcome.Result == CommandOutcome::Kind::NoAnswer
                                    ? MsgIcon::Warning
                                    : MsgIcon::Information);
  MessageBox(QString::fromStdString(SocketRefusalText(check)),
             QString::fromLatin1(CommandInfo(DeviceCommand::Signature).Title), MsgIcon::Warning);
}

// The window closes once the command has stopped and the board is reset. A signal has stopped it
// already and is not asked about.
void TfrmMain::CloseWhenCommandEnds() {
  if (closeAfterCommand_) return;
  bool stop = programmer_.StopFlagInUse().Requested();
  if (!stop) {
    stopQuestionOpen_ = true;
    const std::string question = productionRunning_
                                     ? std::string(kProductionCloseQuestion)
                                     : StopQuestionText(runningCommand_, runningStep_);
    stop = MessageBox(QString::fromStdString(question), QStringLiteral("  CLOSE"),
                      MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes;
    stopQuestionOpen_ = false;
  }
  if (stop) {
    closeAfterCommand_ = true;
    programmer_.StopFlagInUse().Request();
  }
}

// The command ended while the user was asked whether to stop it: there is nothing left to stop,
// so the question goes as if unanswered and the command's result is shown.
void TfrmMain::WithdrawStopQuestion() {
  if (stopQuestionOpen_) messages_.Withdraw(this);
}

}  // namespace kaldo
