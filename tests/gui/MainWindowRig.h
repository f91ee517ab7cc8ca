// A main window on its own simulated PC, with message boxes and file dialogs that record what they
// would show and answer from a queue.
#pragma once

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/SimulatedMachine.h"
#include "app/UnitFormMain.h"
#include "core/Errors.h"
#include "device/Programmer.h"
#include "link/Port.h"

namespace kaldo::test {

struct ShownMessage {
  MessageRequest Request;
  bool StatusBarVisible;
  bool Hourglass;
  QWidget* Parent;
};

class RecordingMessages : public MessageSeam {
 public:
  MsgAnswer Show(QWidget* parent, const MessageRequest& request) override {
    Shown.push_back({request, Form && Form->stsBar->isVisible(),
                     QApplication::overrideCursor() != nullptr, parent});
    if (RealQuestions && request.Buttons == MsgButtons::YesNo) return real_.Show(parent, request);
    // Unanswered: No to a question, Discard to the question about unsaved work.
    if (Answers.empty()) {
      if (request.Buttons == MsgButtons::SaveDiscardCancel) return MsgAnswer::Discard;
      return request.Buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    }
    MsgAnswer a = Answers.front();
    Answers.pop_front();
    return a;
  }

  std::optional<QString> Ask(QWidget*, const TextRequest& request) override {
    Asked.push_back(request);
    if (TextAnswers.empty()) return std::nullopt;
    const bool cancel = !TextAnswers.front().has_value();
    const QString text = cancel ? QString() : *TextAnswers.front();
    TextAnswers.pop_front();
    if (cancel) return std::nullopt;
    return text;
  }

  void Withdraw(QWidget* parent) override { real_.Withdraw(parent); }

  const MessageRequest& Last() const { return Shown.back().Request; }

  std::vector<ShownMessage> Shown;
  std::deque<MsgAnswer> Answers;
  std::vector<TextRequest> Asked;
  std::deque<std::optional<QString>> TextAnswers;  // nothing: the question is cancelled
  TfrmMain* Form = nullptr;
  // Questions go to a real message box, which waits for the user or for being taken back.
  bool RealQuestions = false;

 private:
  QtMessageSeam real_;
};

class RecordingFileDialogs : public FileDialogSeam {
 public:
  std::optional<QString> Run(QWidget*, const FileDialogRequest& request) override {
    Runs.push_back(request);
    if (Answers.empty()) return std::nullopt;
    const bool cancel = !Answers.front().has_value();
    const QString path = cancel ? QString() : *Answers.front();
    Answers.pop_front();
    if (cancel) return std::nullopt;
    return path;
  }

  std::vector<FileDialogRequest> Runs;
  std::deque<std::optional<QString>> Answers;  // nothing: the dialog is cancelled
};

// Whether each control a running command refuses is enabled: the buttons, the device box, the
// program-bits panel with its boxes, then every menu with its items.
inline std::vector<bool> EnabledStates(TfrmMain& f) {
  const std::vector<QWidget*> controls = {
      f.sbtOpenFile, f.sbtSaveFile, f.sbtAbout,     f.cmdRead,       f.cmdWrite,    f.cmdVerify,
      f.cmdOpenFile, f.cmdBlankChk, f.cmdSignature, f.cmdReloadFile, f.cmdSaveFile, f.cboType,
      f.fraProgBits, f.chkLB1,      f.chkLB2,       f.chkLB3,        f.chkISP};
  std::vector<bool> states;
  for (QWidget* w : controls) states.push_back(w->isEnabled());
  for (QAction* menu : f.mnuMain->actions()) {
    states.push_back(menu->isEnabled());
    for (QAction* item : menu->menu() ? menu->menu()->actions() : QList<QAction*>{})
      if (!item->isSeparator()) states.push_back(item->isEnabled());
  }
  return states;
}

// The error every access raises while the port cannot be reached.
inline constexpr char kUnreachableText[] = "The parallel port at 0x0378 cannot be reached";

// Sits between the port code and the simulated PC, notes how the window looked while the board was
// driven, and can make the port unreachable or stop the timer. It runs on the window's device
// worker: it reads only what the window does not change while a command runs.
class ProbeIo : public IoSpace {
 public:
  explicit ProbeIo(IoSpace& inner) : inner_(inner) {}

  void write(std::uint16_t port, std::uint8_t value) override {
    Note(port);
    if (port == 0x43) {
      LastTimerCommand = value;
      TimerCommands.push_back(value);
    }
    inner_.write(port, value);
  }
  void selectLpt(std::uint16_t base) override { inner_.selectLpt(base); }
  std::uint8_t read(std::uint16_t port) override {
    Note(port);
    const std::uint8_t v = inner_.read(port);
    // Counter 2's output never rises: every wait runs into its time-out.
    return DeadTimer && port == 0x61 ? static_cast<std::uint8_t>(v & ~0x20) : v;
  }

  void Reset() { Accesses = BusyAccesses = HourglassAccesses = LookChecks = DisabledLooks = 0; }

  TfrmMain* Form = nullptr;
  int LastTimerCommand = -1;       // 0xB6 once the timer is back in the BIOS's mode 3
  std::vector<int> TimerCommands;  // every control word written, in order
  long Accesses = 0;
  long BusyAccesses = 0;                  // with the status bar hidden and both busy labels shown
  long HourglassAccesses = 0;             // with the hourglass cursor
  std::vector<std::uint16_t> FirstPorts;  // the first accesses of the run, in order
  bool Unreachable = false;               // every access raises kUnreachableText
  std::function<bool()> LoseWhen;         // the port goes once this holds (asked on every access)
  int Refused = 0;
  bool DeadTimer = false;
  std::function<void()> OnAccess;  // runs before every access
  // Looks at the refusing controls now and then: how often, and how often all were disabled.
  bool WatchLook = false;
  long LookChecks = 0;
  long DisabledLooks = 0;

 private:
  void Note(std::uint16_t port) {
    if (OnAccess) OnAccess();
    if (FirstPorts.size() < 256) FirstPorts.push_back(port);
    if (LoseWhen && LoseWhen()) Unreachable = true;
    if (Unreachable) {
      ++Refused;
      throw Error(kUnreachableText);
    }
    if (!Form) return;
    ++Accesses;
    if (!Form->stsBar->isVisibleTo(Form) && Form->lblCmd->isVisibleTo(Form) &&
        Form->lblAdres->isVisibleTo(Form))
      ++BusyAccesses;
    if (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor)
      ++HourglassAccesses;
    // The look is checked on the first access and every 1024th after it: a write makes a
    // million accesses.
    if (!WatchLook || Accesses % 1024 != 1) return;
    ++LookChecks;
    const std::vector<bool> enabled = EnabledStates(*Form);
    if (std::find(enabled.begin(), enabled.end(), true) == enabled.end()) ++DisabledLooks;
  }

  IoSpace& inner_;
};

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

// The settings file lines, written before the window starts (nothing written when empty).
struct Rig {
  explicit Rig(const std::vector<std::string>& settingsLines = {}, const QString& folder = {},
               bool portUnreachable = false, SimSpeed speed = SimSpeed::Fast,
               MachinePorts ports = {})
      : folderPath(folder.isEmpty() ? dir.path() : folder),
        machine(state, folderPath.toStdString(), speed),
        probe(machine),
        programmer(probe),
        port(programmer.PortAccess()) {
    if (!settingsLines.empty()) {
      std::ofstream out((folderPath + "/Kaldo.set").toStdString(), std::ios::binary);
      for (const std::string& line : settingsLines) out << line << "\r\n";
    }
    probe.Unreachable = portUnreachable;
    form = std::make_unique<TfrmMain>(
        MainWindowParts{state, programmer, folderPath.toStdString(), messages, files, ports});
    messages.Form = form.get();
    probe.Form = form.get();
  }

  // The window goes first; the programmer then closes on the probe alone.
  ~Rig() {
    form.reset();
    probe.Form = nullptr;
    messages.Form = nullptr;
  }

  void Show() {
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
  }

  QTemporaryDir dir;
  QString folderPath;
  ProgramState state;
  SimulatedMachine machine;
  ProbeIo probe;
  Programmer programmer;
  Port& port;
  RecordingMessages messages;
  RecordingFileDialogs files;
  std::unique_ptr<TfrmMain> form;
};

}  // namespace kaldo::test
