// The main window: the buffer grid, the device box and program-bits panel, the command buttons,
// the status bar and the busy display that shows the device routines' progress.
//
// The board's I/O runs on a worker thread of the window's own (DeviceWorker). While a device
// command runs there, the window goes on painting and answering the desktop, but takes no input:
// clicks, keys, the wheel and drops on it are refused, and so is every command, and every control
// that would refuse looks disabled. Closing it then asks whether to stop the command; stopping
// resets the board and closes the window. A command that ends while the question is up takes the
// question away and shows its result.
//
// Every handler runs guarded: an error it raises is shown by the general error report (the message
// with "." under the title " KALDO", error icon) and the window carries on.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/DeviceWorker.h"
#include "app/HexGrid.h"
#include "app/ProgrammerChoice.h"
#include "app/Seams.h"
#include "core/Errors.h"
#include "core/formats/Settings.h"
#include "core/model/ProgramState.h"
#include "device/Programmer.h"
#include "device/ProgressDisplay.h"
#include "link/PortCheck.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QToolButton;

namespace kaldo {

// The other windows; their units fill in the classes. TfrmMain only keeps the pointers, which
// CreateDialogWindows sets.
class TfrmAbout;
class TfrmSplash;
class TfrmEditBuffer;
class TfrmFillBuffer;
class TfrmSignature;
class TfrmProductionRun;
struct ProductionChoices;

// Title of the application: the task-bar entry and the general error report.
inline constexpr const char* kAppTitle = " KALDO";
// Caption of the main window.
inline constexpr const char* kMainCaption = "  KALDO Flash Programmer";

// The status bar: two sunken text panels, the first width0 wide, the second up to the right edge.
class TStatusBar : public QWidget {
 public:
  TStatusBar(int width0, const QRect& place, QWidget* parent);
  QString Panel(int i) const;
  void SetPanel(int i, const QString& text);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PlacePanels();

  int width0_;
  QLabel* panels_[2];
};

// The machine's ports for the Port menu and the port check of the Help menu: the kernel's for the
// real port, the simulated PC's for the simulated one. Either may be missing (no list, no check).
// A production run's log names the board's port by LogName, or else by the port's label; it
// ends early once NoChipWillCome says so (a simulated supply with no chip left; missing: a person
// feeds the socket).
struct MachinePorts {
  std::function<std::vector<KernelPort>()> List;
  std::function<std::vector<std::string>()> Check;
  std::string LogName = {};
  std::function<bool()> NoChipWillCome = {};
};

// A device command's job: the selected device, the buffer and the program bits of the state.
inline DeviceJob JobOf(ProgramState& state) {
  return {state.DeviceType, &state.DataBuffer, state.DeviceSize, state.ProgBits};
}

// What the window works on; one owner creates all of it before the window.
struct MainWindowParts {
  ProgramState& State;
  Programmer& Session;         // the board's session: opened by the start-up steps, closed at exit
  std::string SettingsFolder;  // the folder of the settings file
  MessageSeam& Messages;
  FileDialogSeam& FileDialogs;
  MachinePorts Ports = {};
};

class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 554;
  static constexpr int kClientHeight = 374;
  static constexpr int kGridCols = 17;
  static constexpr int kGridRows = 2049;
  static constexpr int kVisibleDataRows = 8;

  // Runs FormCreate: program state, settings, timer, board, grid headings and displays.
  explicit TfrmMain(const MainWindowParts& parts, QWidget* parent = nullptr);
  ~TfrmMain() override;

  ProgramState& State() { return state_; }
  Programmer& Session() { return programmer_; }
  MessageSeam& Messages() { return messages_; }
  FileDialogSeam& FileDialogs() { return fileDialogs_; }
  Settings& SettingsFile() { return settings_; }

  // --- Start-up and end --------------------------------------------------------------------------
  void FormCreate();
  void InitProgramState();
  // Creates frmAbout, frmSplash, frmEditBuffer, frmFillBuffer and frmSignature, hidden, in that
  // order. Called by the program right after the main window is made.
  void CreateDialogWindows();
  // Show handler: shows the splash window. Runs on the first show only.
  void FormShow();
  // Close handler: saves the settings and puts the timer back; a failed save names the file and
  // why, and offers another file (a signal's close only reports it). The window still closes.
  void FormClose();

  // --- Displays ----------------------------------------------------------------------------------
  void InitDataGrid();
  void InitForm1();
  void UpdateGridDisp();
  void UpdateHexFilename();
  void GetFilePath();
  void UpdatePort();
  void UpdateLbDisp();
  void RefreshCheckSum();
  // The checksum lblCSdata shows.
  std::uint16_t ShownCheckSum() const { return shownCheckSum_; }
  void UpdateAdresDisp(int address);
  void UpdateCmdDisp(const std::string& text);

  // --- The general error report and the message boxes --------------------------------------------
  // Runs a handler; an error it raises goes to the general error report.
  template <class F>
  void Guarded(F&& handler) {
    try {
      handler();
    } catch (const std::exception& e) {
      ShowErrorReport(e);
    }
  }
  // Runs a command's handler as Guarded does; refused while a device command runs.
  template <class F>
  void Command(F&& handler) {
    if (!commandRunning_) Guarded(std::forward<F>(handler));
  }
  bool CommandRunning() const { return commandRunning_; }
  // The buffer holds edits or a read that no file has.
  bool HoldsUnsavedWork() const { return unsaved_ != Unsaved::Nothing; }
  void ShowErrorReport(const std::exception& e);
  // The timer and board steps at the start and the end of the run: an error they raise is shown
  // unless this run has already shown the same report. A port that cannot be reached fails every
  // one of them for the same reason, and the user needs to hear it once.
  void ReportOnce(std::exception_ptr raised);
  MsgAnswer MessageBox(const QString& text, const QString& title, MsgIcon icon,
                       MsgButtons buttons = MsgButtons::Ok);

  // --- Handlers: device commands and the program-bits panel ----------------------------------
  void cmdBlankChkClick(QObject* Sender = nullptr);
  void cmdReadClick(QObject* Sender = nullptr);
  void cmdWriteClick(QObject* Sender = nullptr);
  void cmdVerifyClick(QObject* Sender = nullptr);
  void cmdSignatureClick(QObject* Sender = nullptr);
  void cboTypeChange(QObject* Sender = nullptr);
  void chkLB1Click(QObject* Sender = nullptr);
  void chkLB2Click(QObject* Sender = nullptr);
  void chkLB3Click(QObject* Sender = nullptr);
  void chkISPClick(QObject* Sender = nullptr);
  void strGridTopLeftChanged(QObject* Sender = nullptr);

  // --- Handlers: file commands (UnitFormMainFile.cpp) --------------------------------------------
  void mnuFileOpenHexClick(QObject* Sender = nullptr);
  // Open without its dialog, for the file dropped on the window: the same steps and messages.
  void OpenHexFile(const QString& path);
  void cmdOpenFileClick(QObject* Sender = nullptr);
  void sbtOpenFileClick(QObject* Sender = nullptr);
  void mnuFileSaveHexClick(QObject* Sender = nullptr);
  void cmdSaveFileClick(QObject* Sender = nullptr);
  void sbtSaveFileClick(QObject* Sender = nullptr);
  void cmdReloadFileClick(QObject* Sender = nullptr);
  void mnuFileExitClick(QObject* Sender = nullptr);

  // --- Production runs (UnitFormMainProduction.cpp) ----------------------------------------------
  // Asks for the run's choices, remembers them in the settings and runs it.
  void mnuFileProductionRunClick(QObject* Sender = nullptr);
  // A run of the loaded image on chip after chip, as kaldo-cli produce runs it, shown in
  // frmProductionRun while the window takes no input. A run the choices do not allow is refused
  // with the reason.
  void ProductionRun(const ProductionChoices& choices);

  // --- Handlers: buffer commands (UnitFormMainBuffer.cpp) ----------------------------------------
  void mnuEditClrBufferClick(QObject* Sender = nullptr);
  void mnuEditEdtBufferClick(QObject* Sender = nullptr);
  void mnuEditFillBufferClick(QObject* Sender = nullptr);

  // --- Handlers: port commands and the port check (UnitFormMainPort.cpp) -------------------------
  void mnuPortLPT1Click(QObject* Sender = nullptr);
  void mnuPortLPT2Click(QObject* Sender = nullptr);
  void mnuPortLPT3Click(QObject* Sender = nullptr);
  // One of the machine's other ports; Sender is its item.
  void mnuPortListedClick(QObject* Sender = nullptr);
  void mnuPortOtherClick(QObject* Sender = nullptr);
  void mnuHelpPortCheckClick(QObject* Sender = nullptr);
  // Beside the port: the programmer board, a cable of the table (Sender is its item), a cable of
  // the user's own wiring (asked, and checked as the command line checks it), and the target
  // board's crystal (asked, and checked against what the chips allow).
  void mnuPortBoardClick(QObject* Sender = nullptr);
  void mnuPortCableClick(QObject* Sender = nullptr);
  void mnuPortOwnCableClick(QObject* Sender = nullptr);
  void mnuPortCrystalClick(QObject* Sender = nullptr);
  // The programmer the device commands go through, and the crystal a cable is timed for.
  const ProgrammerChoice& ChosenProgrammer() const { return programmerChoice_; }
  // The session goes through the choice's programmer from now on, and the window shows it: the
  // Port menu's marks, the devices and program bits the programmer has, the title. A device the
  // cable cannot program gives way to the first one it can.
  void ChooseProgrammer(const ProgrammerChoice& choice);

  // --- Handlers: help commands (UnitFormMainHelp.cpp) --------------------------------------------
  void mnuHelpAboutClick(QObject* Sender = nullptr);
  void sbtAboutClick(QObject* Sender = nullptr);
  void mnuSignatureClick(QObject* Sender = nullptr);

  // --- What the machine adds: the simulated PC's Socket menu -----------------------------------
  // Puts the machine's menu on the menu bar, before Help.
  void AddMachineMenu(QMenu* menu);
  // The title shows the machine's condition while it has one ("Socket: empty").
  void ShowMachineCondition(const QString& condition);
  // The caption, then the cable in use with its port and crystal, then the machine's condition.
  void UpdateTitle();

 signals:
  // The programmer or the crystal changed (the simulated PC puts the same on its port).
  void ProgrammerChanged();

 public:
  // --- Controls ----------------------------------------------------------------------------------
  QWidget* Client = nullptr;  // the 554 x 374 client area
  QToolButton* sbtOpenFile = nullptr;
  QToolButton* sbtSaveFile = nullptr;
  QToolButton* sbtAbout = nullptr;
  QLabel* lblType = nullptr;
  QComboBox* cboType = nullptr;
  QFrame* Bevel1 = nullptr;
  QFrame* Bevel2 = nullptr;
  QLabel* lblProgMem = nullptr;
  TStringGrid* strGrid = nullptr;
  QGroupBox* fraProgBits = nullptr;
  QCheckBox* chkLB1 = nullptr;
  QCheckBox* chkLB2 = nullptr;
  QCheckBox* chkLB3 = nullptr;
  QCheckBox* chkISP = nullptr;
  QLabel* lblCheckSum = nullptr;
  QLabel* lblCSdata = nullptr;
  QPushButton* cmdRead = nullptr;
  QPushButton* cmdWrite = nullptr;
  QPushButton* cmdVerify = nullptr;
  QPushButton* cmdOpenFile = nullptr;
  QPushButton* cmdBlankChk = nullptr;
  QPushButton* cmdSignature = nullptr;
  QPushButton* cmdReloadFile = nullptr;
  QPushButton* cmdSaveFile = nullptr;
  QLabel* lblCmd = nullptr;
  QLabel* lblAdres = nullptr;
  TStatusBar* stsBar = nullptr;

  QMenuBar* mnuMain = nullptr;
  QMenu* mnuFile = nullptr;
  QAction* mnuFileOpenHex = nullptr;
  QAction* mnuFileSaveHex = nullptr;
  QAction* mnuFileProductionRun = nullptr;
  QAction* mnuFileExit = nullptr;
  QMenu* mnuEdit = nullptr;
  QAction* mnuEditClrBuffer = nullptr;
  QAction* mnuEditEdtBuffer = nullptr;
  QAction* mnuEditFillBuffer = nullptr;
  QMenu* mnuPort = nullptr;
  QAction* mnuPortLPT1 = nullptr;
  QAction* mnuPortLPT2 = nullptr;
  QAction* mnuPortLPT3 = nullptr;
  std::vector<QAction*> mnuPortListed;  // the machine's ports at other bases, "parport1  0xD010"
  // The base chosen by "Other Address..." that no other item has, "0xE800"; null until one is.
  QAction* mnuPortChosen = nullptr;
  QAction* mnuPortOther = nullptr;
  QActionGroup* mnuPortGroup = nullptr;
  QAction* mnuPortBoard = nullptr;
  std::vector<QAction*> mnuPortCables;  // one a cable of the table; its data is the cable's name
  QAction* mnuPortOwnCable = nullptr;
  QAction* mnuPortCrystal = nullptr;
  QActionGroup* mnuProgrammerGroup = nullptr;
  QMenu* mnuHelp = nullptr;
  QAction* mnuHelpAbout = nullptr;
  QAction* mnuSignature = nullptr;
  QAction* mnuHelpPortCheck = nullptr;

  TFileDialog dlgOpenDialog;
  TFileDialog dlgSaveDialog;

  // The other windows (null until CreateDialogWindows made them).
  TfrmAbout* frmAbout = nullptr;
  QPointer<TfrmSplash> frmSplash;  // null again once the splash has freed itself
  TfrmEditBuffer* frmEditBuffer = nullptr;
  TfrmFillBuffer* frmFillBuffer = nullptr;
  TfrmSignature* frmSignature = nullptr;
  // The window of the production run that runs or ran last; null before the first.
  QPointer<TfrmProductionRun> frmProductionRun;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // While a device command runs: refuses the user's input to this window.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void CreateMenu();
  void ConnectHandlers();
  void CentreOnScreen();
  void LoadProgramSettings();
  // A program-bits box's click: its bit follows the box, then the panel follows the bits.
  void BoxClick(const QCheckBox* box, int bit);
  void SaveProgramSettings();
  // Saves the settings at exit. When the file cannot be written, says which file and why, and
  // offers to save them in another file, as often as the user tries. False when not saved.
  bool SaveSettingsOfferingAnotherPlace();
  // The item takes the mark from the others and the board's port moves to base; choosing the
  // marked item changes nothing. The board is not reset and nothing is saved until exit.
  void ChoosePort(QAction* chosen, std::uint16_t base);
  // The Port menu's programmer marks and crystal, the device box's list and the panel follow
  // the programmer in use.
  void UpdateProgrammer();
  // Through a cable, a crystal the selected chip cannot run on refuses the command: told under
  // the command's title, and false.
  bool CrystalFitsDevice(const QString& title);

  // The busy display around Blank Check, Read, Write and Verify: hourglass, status bar hidden,
  // busy labels shown. It goes again however the operation ends.
  class BusyDisplay {
   public:
    BusyDisplay(TfrmMain& form, const std::string& text);
    ~BusyDisplay();

   private:
    TfrmMain& form_;
  };

  // Closes the board's session: the board idle, the timer put back. Its errors are reported once.
  void CloseSession();
  // Runs one of the session's start-up or close steps on the worker; its errors are reported
  // once, here.
  void RunSessionStep(void (Programmer::*step)(const Programmer::StepFailed&));
  // The window was closed while a command runs: asks whether to stop it, naming the step that
  // runs, unless a signal has stopped it.
  void CloseWhenCommandEnds();
  void WithdrawStopQuestion();
  // The production run's Stop and close: asks, and stops the run on Yes.
  void AskToStopProduction();
  // Runs `work` on the worker as the device command `command` while events go on being handled
  // and input is refused. When the window was closed meanwhile, it closes now and StoppedError is
  // raised: the command's outcome is not shown.
  void RunOnWorker(DeviceCommand command, const std::function<void(ProgressDisplay&)>& work);
  // The device command on the worker.
  CommandOutcome RunDeviceCommand(DeviceCommand command);
  // The same, with the busy display around it.
  CommandOutcome RunBusyCommand(DeviceCommand command);
  // Blank Check, Read, Verify and Write touch the chip only when it answers with the selected
  // device's signature: the socket is checked first, under the command's busy display, as
  // kaldo-cli's guard does. When it is refused, the user is told why and may go on anyway (No by
  // default). Nothing when the command did not run.
  std::optional<CommandOutcome> RunCheckedCommand(DeviceCommand command);
  // Why the socket check refused the chip; for a chip that did not answer, the port it was read on.
  std::string SocketRefusalText(const SocketCheck& check);
  // The command's message box: its outcome text, the information icon on success.
  void ShowOutcome(const CommandOutcome& outcome, MsgIcon failureIcon);
  // Before a write, verify or save of an image with data past the device's end: asks whether to
  // go on with the part that fits (No by default). True to go on.
  bool GoOnWithoutDataPastDevice(const char* verb, const QString& title);
  // Save's steps; true when the buffer was written to a file.
  bool SaveBufferToFile();
  // Before a command that replaces the buffer or ends the program: when the buffer holds work no
  // file has, asks whether to save it first (Save, Discard or Cancel). True to go on.
  bool MayDropUnsavedWork(const QString& title);
  // Takes the routines' progress on the worker to the busy display.
  class WorkerProgress;
  // While a device command runs, the controls it refuses look disabled.
  class RefusingLook;

  ProgramState& state_;
  Programmer& programmer_;
  Settings settings_;
  MessageSeam& messages_;
  FileDialogSeam& fileDialogs_;
  MachinePorts ports_;
  ProgrammerChoice programmerChoice_;
  QString machineCondition_;
  // When the address readout was last painted.
  QElapsedTimer adresPainted_;
  std::uint16_t shownCheckSum_ = 0;
  bool shown_ = false;
  bool closed_ = false;
  // Exit has saved the settings, or asked about a failed save; the close handler saves quietly.
  bool exitSavedSettings_ = false;
  // What the buffer holds that no file has: edits (Edit, Fill) or what a read brought.
  enum class Unsaved { Nothing, Edits, Read };
  Unsaved unsaved_ = Unsaved::Nothing;
  // Exit has asked about the unsaved work already; closing does not ask again.
  bool dropAgreed_ = false;
  // Every text the general error report has shown in this run.
  std::set<std::string> shownReports_;

  DeviceWorker worker_;
  bool commandRunning_ = false;
  DeviceCommand runningCommand_ = DeviceCommand::BlankCheck;
  // The step the worker's progress showed last; empty until the command's first one.
  std::string runningStep_;
  // The window is to close once the command has stopped (the user chose so, or a signal came).
  bool closeAfterCommand_ = false;
  // The question whether to stop the command is up; the command's end takes it back.
  bool stopQuestionOpen_ = false;
  // A production run is what runs; the user has stopped it.
  bool productionRunning_ = false;
  bool productionStopped_ = false;
};

}  // namespace kaldo
