#include "app/UnitFormMain.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <algorithm>
#include <array>

#include "core/Convert.h"
#include "core/Errors.h"
#include "core/model/LptPorts.h"
#include "dialogs/DialogCommon.h"

namespace kaldo {

namespace {

QString Hex(unsigned value, int digits) {
  return QString::fromLatin1(IntToHex(value, digits));
}

// The texts of the bytes 00..FF, made once: a grid refresh then only copies shared strings.
const QString& ByteText(unsigned value) {
  static const auto texts = [] {
    std::array<QString, 256> t;
    for (unsigned i = 0; i < 256; ++i) t[i] = Hex(i, 2);
    return t;
  }();
  return texts[value & 0xFF];
}

// What the ISP Fuse box says of itself on the AT89S53 and S8252.
constexpr char kIspFuseBoardHint[] =
    "Ticked: serial programming stays on. A Write with this box unticked turns the chip's "
    "serial programming off, and an ISP cable gets no answer from it afterwards.";
constexpr char kIspFuseCableHint[] =
    "The ISP fuse is written on the programmer board only: a cable cannot reach it. The tick "
    "is kept for the board's next Write.";

// The address readout is painted at once, except when it was painted less than this long ago:
// nobody can follow faster changes, and a fast board is not held up by paints nobody sees.
constexpr qint64 kReadoutFrameMs = 10;

QString FromBytes(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

// --- Creation ----------------------------------------------------------------------------------

TfrmMain::TfrmMain(const MainWindowParts& parts, QWidget* parent)
    : QMainWindow(parent),
      dlgOpenDialog(FileDialogRequest::Kind::Open, parts.FileDialogs, this),
      dlgSaveDialog(FileDialogRequest::Kind::Save, parts.FileDialogs, this),
      state_(parts.State),
      programmer_(parts.Session),
      settings_(parts.State, parts.SettingsFolder),
      messages_(parts.Messages),
      fileDialogs_(parts.FileDialogs),
      ports_(parts.Ports) {
  CreateControls();
  CreateMenu();
  ConnectHandlers();
  // Placed before the start-up steps run, so that a start-up error stands over the window's place.
  CentreOnScreen();
  FormCreate();
}

void TfrmMain::CentreOnScreen() {
  adjustSize();
  kaldo::CentreOnScreen(this);
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::ConnectHandlers() {
  using Handler = void (TfrmMain::*)(QObject*);
  auto onClick = [this](QAbstractButton* control, Handler handler) {
    connect(control, &QAbstractButton::clicked, this,
            [this, control, handler] { Command([&] { (this->*handler)(control); }); });
  };
  auto onToggle = [this](QCheckBox* box, Handler handler) {
    connect(box, &QCheckBox::toggled, this,
            [this, box, handler] { Command([&] { (this->*handler)(box); }); });
  };
  auto onMenu = [this](QAction* action, Handler handler) {
    connect(action, &QAction::triggered, this, [this, action, handler] {
      // A checkable item toggles itself before it reports the click; the handler decides the mark.
      if (action->isCheckable()) action->setChecked(!action->isChecked());
      Command([&] { (this->*handler)(action); });
    });
  };

  onClick(sbtOpenFile, &TfrmMain::sbtOpenFileClick);
  onClick(sbtSaveFile, &TfrmMain::sbtSaveFileClick);
  onClick(sbtAbout, &TfrmMain::sbtAboutClick);
  onClick(cmdRead, &TfrmMain::cmdReadClick);
  onClick(cmdWrite, &TfrmMain::cmdWriteClick);
  onClick(cmdVerify, &TfrmMain::cmdVerifyClick);
  onClick(cmdOpenFile, &TfrmMain::cmdOpenFileClick);
  onClick(cmdBlankChk, &TfrmMain::cmdBlankChkClick);
  onClick(cmdSignature, &TfrmMain::cmdSignatureClick);
  onClick(cmdReloadFile, &TfrmMain::cmdReloadFileClick);
  onClick(cmdSaveFile, &TfrmMain::cmdSaveFileClick);

  onToggle(chkLB1, &TfrmMain::chkLB1Click);
  onToggle(chkLB2, &TfrmMain::chkLB2Click);
  onToggle(chkLB3, &TfrmMain::chkLB3Click);
  onToggle(chkISP, &TfrmMain::chkISPClick);

  connect(cboType, &QComboBox::currentIndexChanged, this,
          [this] { Command([&] { cboTypeChange(cboType); }); });
  connect(strGrid, &TStringGrid::TopLeftChanged, this,
          [this] { Command([&] { strGridTopLeftChanged(strGrid); }); });

  onMenu(mnuFileOpenHex, &TfrmMain::mnuFileOpenHexClick);
  onMenu(mnuFileSaveHex, &TfrmMain::mnuFileSaveHexClick);
  onMenu(mnuFileProductionRun, &TfrmMain::mnuFileProductionRunClick);
  onMenu(mnuFileExit, &TfrmMain::mnuFileExitClick);
  onMenu(mnuEditClrBuffer, &TfrmMain::mnuEditClrBufferClick);
  onMenu(mnuEditEdtBuffer, &TfrmMain::mnuEditEdtBufferClick);
  onMenu(mnuEditFillBuffer, &TfrmMain::mnuEditFillBufferClick);
  onMenu(mnuPortLPT1, &TfrmMain::mnuPortLPT1Click);
  onMenu(mnuPortLPT2, &TfrmMain::mnuPortLPT2Click);
  onMenu(mnuPortLPT3, &TfrmMain::mnuPortLPT3Click);
  for (QAction* item : mnuPortListed) onMenu(item, &TfrmMain::mnuPortListedClick);
  onMenu(mnuPortOther, &TfrmMain::mnuPortOtherClick);
  onMenu(mnuPortBoard, &TfrmMain::mnuPortBoardClick);
  for (QAction* item : mnuPortCables) onMenu(item, &TfrmMain::mnuPortCableClick);
  onMenu(mnuPortOwnCable, &TfrmMain::mnuPortOwnCableClick);
  onMenu(mnuPortCrystal, &TfrmMain::mnuPortCrystalClick);
  onMenu(mnuHelpPortCheck, &TfrmMain::mnuHelpPortCheckClick);
  onMenu(mnuHelpAbout, &TfrmMain::mnuHelpAboutClick);
  onMenu(mnuSignature, &TfrmMain::mnuSignatureClick);
}

// --- Start-up and end --------------------------------------------------------------------------

void TfrmMain::FormCreate() {
  InitProgramState();
  InitDataGrid();
  InitForm1();
}

void TfrmMain::InitProgramState() {
  BlankBuffer(state_);
  state_.DeviceType = 0;
  state_.PortBase = kLpt1Base;
  // A bad settings file is reported, and the timer, the board and the displays are still set up.
  // The board's own start values (ModeBits 0x81, data outputs released) stand from its creation.
  Guarded([&] { LoadProgramSettings(); });
  programmerChoice_ = ProgrammerChoiceFromKeys(settings_.Keys());
  programmer_.UseCable(CableUseOf(programmerChoice_));
  if (programmerChoice_.UseCable && !FindIspFamily(state_.DeviceType))
    state_.DeviceType = FirstIspDeviceType();
  programmer_.SetPort(state_.PortBase);
  RunSessionStep(&Programmer::Open);
}

void TfrmMain::CloseSession() {
  RunSessionStep(&Programmer::Close);
}

void TfrmMain::RunSessionStep(void (Programmer::*step)(const Programmer::StepFailed&)) {
  std::vector<std::exception_ptr> failed;
  worker_.Run([&] {
    (programmer_.*step)([&failed](std::exception_ptr raised) { failed.push_back(raised); });
  });
  for (const std::exception_ptr& raised : failed) ReportOnce(raised);
}

void TfrmMain::LoadProgramSettings() {
  if (const std::optional<LoadOutcome> outcome = settings_.LoadSettings())
    state_.ResultText = outcome->Text;
}

void TfrmMain::SaveProgramSettings() {
  settings_.SaveSettings();
}

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // The focus ring shows on Open File from the start, as after a Tab key (showing clears it).
  setAttribute(Qt::WA_KeyboardFocusChange);
  Guarded([&] { FormShow(); });
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (commandRunning_) {
    event->ignore();
    CloseWhenCommandEnds();
    return;
  }
  // A signal cannot answer a question: the work goes with the program it stopped.
  const bool ask =
      !closed_ && !dropAgreed_ && !closeAfterCommand_ && !programmer_.StopFlagInUse().Requested();
  // A save that failed keeps the window open, with the work.
  bool goOn = !ask;
  if (ask) Guarded([&] { goOn = MayDropUnsavedWork(QStringLiteral("  EXIT")); });
  if (!goOn) {
    event->ignore();
    return;
  }
  if (!closed_) FormClose();
  event->accept();
}

bool TfrmMain::SaveSettingsOfferingAnotherPlace() {
  std::string target = settings_.FileName();
  for (;;) {
    try {
      if (target == settings_.FileName())
        SaveProgramSettings();
      else
        WriteFileReplacing(target, SettingsText(state_, settings_.Keys()));
      return true;
    } catch (const std::exception& e) {
      const auto* io = dynamic_cast<const InOutError*>(&e);
      const std::string why = ErrorReportText(io ? Error(io->About(target, "writing").FullText())
                                                 : Error("The settings cannot be written to " +
                                                         PrintableText(target) + ": " + e.what()));
      const QString question =
          FromBytes(why) +
          QStringLiteral(
              "\rThe device, program bits, port and file of this run are lost unless "
              "they are saved. Save them in another file?");
      if (MessageBox(question, QStringLiteral("  SETTINGS"), MsgIcon::Error, MsgButtons::YesNo) !=
          MsgAnswer::Yes)
        return false;
      FileDialogRequest request;
      request.Mode = FileDialogRequest::Kind::Save;
      request.Title = QStringLiteral("Save Settings");
      request.InitialDir = FromBytes(state_.FilePath);
      request.FileName = QString::fromLatin1(kSettingsFileName);
      request.Filters = {{QStringLiteral("Settings File (*.set)"), QStringLiteral("*.set")}};
      request.DefaultExt = QStringLiteral("set");
      const std::optional<QString> chosen = fileDialogs_.Run(this, request);
      if (!chosen || chosen->isEmpty()) return false;
      target = chosen->toStdString();
    }
  }
}

void TfrmMain::FormClose() {
  // After Exit's save, or on a signal, which cannot answer, a failure is only reported.
  if (exitSavedSettings_ || programmer_.StopFlagInUse().Requested()) {
    try {
      SaveProgramSettings();
    } catch (const std::exception& e) {
      if (!exitSavedSettings_) ShowErrorReport(e);
    }
  } else {
    SaveSettingsOfferingAnotherPlace();
  }
  CloseSession();
  closed_ = true;
}

// --- Displays ----------------------------------------------------------------------------------

void TfrmMain::InitDataGrid() {
  TGridCells& cells = strGrid->Cells();
  strGrid->SetColWidth0(2 * strGrid->DefaultColWidth());
  for (int i = 0; i <= 15; ++i) cells.SetCell(i + 1, 0, Hex(static_cast<unsigned>(i), 2));
  cells.SetCell(0, 1, QStringLiteral(" 0000"));
  for (int r = 2; r < kGridRows; ++r)
    cells.SetCell(0, r, QLatin1Char(' ') + Hex(static_cast<unsigned>((r - 1) * 16), 4));
  cells.HeadingsChanged();
}

void TfrmMain::InitForm1() {
  UpdateHexFilename();
  SetDeviceSize(state_);
  UpdatePort();
  UpdateProgrammer();
  UpdateGridDisp();
  UpdateLbDisp();
  GetFilePath();
  lblCmd->hide();
  lblAdres->hide();
  {
    const QSignalBlocker quiet(cboType);
    cboType->setCurrentIndex(FindDevice(state_.DeviceType) ? state_.DeviceType : -1);
  }
  RefreshCheckSum();
}

void TfrmMain::UpdateGridDisp() {
  TGridCells& cells = strGrid->Cells();
  const int top = std::clamp(strGrid->TopRow(), 1, kGridRows - kVisibleDataRows);
  const int last = top + kVisibleDataRows - 1;
  std::size_t i = static_cast<std::size_t>(top - 1) * 16;
  // The view hears of the 128 new texts once, after the last one is written.
  for (int r = top; r <= last; ++r)
    for (int c = 1; c <= 16; ++c) cells.SetCell(c, r, ByteText(state_.DataBuffer[i++]));
  cells.Changed(top, last);
}

void TfrmMain::UpdateHexFilename() {
  cmdReloadFile->setEnabled(!state_.HexFileName.empty());
  if (state_.HexFileName.empty()) {
    stsBar->SetPanel(0, QStringLiteral(" ATMEL 89 Series Flash Programmer"));
    return;
  }
  const QString name = FromBytes(state_.HexFileName);
  const QString shown = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1).toUpper();
  stsBar->SetPanel(0,
                   QStringLiteral(" Hex File :  ") + FromBytes(PrintableText(shown.toStdString())));
}

void TfrmMain::GetFilePath() {
  KeepFolderOfHexFile(state_);
}

// The item whose port is PortBase carries the mark; none does for a base the menu does not list.
void TfrmMain::UpdatePort() {
  const QList<QAction*> items = mnuPortGroup->actions();
  const bool listed = std::any_of(items.begin(), items.end(), [this](const QAction* item) {
    return item != mnuPortChosen && item->data().toUInt() == state_.PortBase;
  });
  if (!listed && !mnuPortChosen) {
    mnuPortChosen = new QAction(mnuPort);
    mnuPortChosen->setCheckable(true);
    mnuPortGroup->addAction(mnuPortChosen);
    mnuPort->insertAction(mnuPortOther, mnuPortChosen);
    connect(mnuPortChosen, &QAction::triggered, this, [this] {
      mnuPortChosen->setChecked(!mnuPortChosen->isChecked());
      Command([&] { mnuPortListedClick(mnuPortChosen); });
    });
  }
  if (!listed) {
    mnuPortChosen->setText(QString::fromLatin1(IoAddressText(state_.PortBase)));
    mnuPortChosen->setData(static_cast<uint>(state_.PortBase));
  }
  if (mnuPortChosen) mnuPortChosen->setVisible(!listed);
  for (QAction* item : mnuPortGroup->actions())
    item->setChecked(item->isVisible() && item->data().toUInt() == state_.PortBase);
  UpdateTitle();
}

void TfrmMain::RefreshCheckSum() {
  shownCheckSum_ = BufferChecksum(state_);
  lblCSdata->setText(Hex(shownCheckSum_, 4));
}

void TfrmMain::UpdateAdresDisp(int address) {
  lblAdres->setText(Hex(static_cast<unsigned>(address | 0x00FF) & 0xFFFF, 4));
  if (adresPainted_.isValid() && !adresPainted_.hasExpired(kReadoutFrameMs)) return;
  lblAdres->repaint();
  adresPainted_.start();
}

void TfrmMain::UpdateCmdDisp(const std::string& text) {
  lblCmd->setText(FromBytes(text));
  lblCmd->repaint();
}

// --- The general error report and the message boxes --------------------------------------------

void TfrmMain::ReportOnce(std::exception_ptr raised) {
  try {
    std::rethrow_exception(raised);
  } catch (const std::exception& e) {
    if (!shownReports_.contains(ErrorReportText(e))) ShowErrorReport(e);
  }
}

void TfrmMain::ShowErrorReport(const std::exception& e) {
  // A stopped command is no error to report: whoever stopped it says what happens next.
  if (dynamic_cast<const StoppedError*>(&e)) return;
  const std::string text = ErrorReportText(e);
  shownReports_.insert(text);
  MessageBox(FromBytes(text), QString::fromLatin1(kAppTitle), MsgIcon::Error);
}

MsgAnswer TfrmMain::MessageBox(const QString& text, const QString& title, MsgIcon icon,
                               MsgButtons buttons) {
  return messages_.Show(this, MessageRequest{title, text, icon, buttons});
}

// --- Device box and program-bits panel -----------------------------------------------------

void TfrmMain::cboTypeChange(QObject*) {
  state_.DeviceType = cboType->currentIndex();
  SetDeviceSize(state_);
  UpdateLbDisp();
  RefreshCheckSum();
}

void TfrmMain::chkLB1Click(QObject*) {
  BoxClick(chkLB1, kLockBit1);
}

void TfrmMain::chkLB2Click(QObject*) {
  BoxClick(chkLB2, kLockBit2);
}

void TfrmMain::chkLB3Click(QObject*) {
  BoxClick(chkLB3, kLockBit3);
}

void TfrmMain::chkISPClick(QObject*) {
  BoxClick(chkISP, kIspFuse);
}

void TfrmMain::BoxClick(const QCheckBox* box, int bit) {
  if (box->isChecked())
    state_.ProgBits |= bit;
  else
    state_.ProgBits &= ~bit;
  UpdateLbDisp();
}

// Setting a box to a state other than the one it shows runs its click handler at once (nested);
// each box changes at most once, so the nesting ends.
void TfrmMain::UpdateLbDisp() {
  chkLB1->setChecked(state_.ProgBits & kLockBit1);
  chkLB2->setChecked(state_.ProgBits & kLockBit2);
  const DeviceInfo* device = FindDevice(state_.DeviceType);
  if (!device) return;
  chkISP->setToolTip(
      device->HasIspFuse
          ? QString::fromLatin1(programmer_.CableInUse() ? kIspFuseCableHint : kIspFuseBoardHint)
          : QString());
  if (device->HasIspFuse) {
    chkLB3->setEnabled(true);
    // A cable cannot reach the fuse: the box keeps the board's choice, greyed.
    chkISP->setEnabled(!programmer_.CableInUse());
    chkLB3->setChecked(state_.ProgBits & kLockBit3);
    chkISP->setChecked(state_.ProgBits & kIspFuse);
  } else if (device->HasLockBit3) {
    chkLB3->setEnabled(true);
    chkLB3->setChecked(state_.ProgBits & kLockBit3);
    chkISP->setChecked(false);
    chkISP->setEnabled(false);
  } else {
    chkLB3->setChecked(false);
    chkLB3->setEnabled(false);
    chkISP->setChecked(false);
    chkISP->setEnabled(false);
  }
}

void TfrmMain::strGridTopLeftChanged(QObject*) {
  UpdateGridDisp();
}

}  // namespace kaldo
