// The main window's file, buffer, port and help commands, and the making of the other windows.
//
// The commands forget the current file whenever the buffer is replaced or changed other than by
// loading that file: GetFilePath first (the dialogs keep opening in its folder), then HexFileName
// is emptied and the status bar falls back to its banner. An edit or fill counts only when it
// moves the checksum.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <optional>

#include "app/UnitFormMain.h"
#include "core/Convert.h"
#include "core/Errors.h"
#include "core/ImageFile.h"
#include "core/LptPorts.h"
#include "dialogs/UnitFormAbout.h"
#include "dialogs/UnitFormEditBuffer.h"
#include "dialogs/UnitFormFillBuffer.h"
#include "dialogs/UnitFormSignature.h"
#include "dialogs/UnitFormSplash.h"
#include "link/PortCheck.h"

namespace kaldo {

namespace {

MsgIcon IconOf(QMessageBox::Icon icon) {
  switch (icon) {
    case QMessageBox::Information:
      return MsgIcon::Information;
    case QMessageBox::Warning:
      return MsgIcon::Warning;
    case QMessageBox::Critical:
      return MsgIcon::Error;
    case QMessageBox::Question:
      return MsgIcon::Question;
    default:
      return MsgIcon::None;
  }
}

QString Text(const std::string& bytes) {
  return QString::fromStdString(bytes);
}

// A file name as a message quotes it: its control characters escaped.
QString Printable(const QString& name) {
  return Text(PrintableText(name.toStdString()));
}

// The file-name part of a path: everything after the last "/".
QString FileNamePart(const std::string& path) {
  const QString text = Text(path);
  return text.mid(text.lastIndexOf(QLatin1Char('/')) + 1);
}

// After a load that failed, rejected or stopped by a raised error: the window shows the buffer that
// is in memory and no file, before the failure is reported.
void ForgetFileAfterFailedLoad(TfrmMain& form) {
  form.GetFilePath();
  form.State().HexFileName.clear();
  form.UpdateHexFilename();
  form.UpdateGridDisp();
  form.RefreshCheckSum();
}

// BlankBuffer, then the reader that the name of HexFileName picks; true when the file loaded. The
// outcome's text is left in ResultText for the warning. A raised error still leaves the window
// showing the buffer in memory and no file.
bool LoadCurrentFile(TfrmMain& form) {
  ProgramState& state = form.State();
  BlankBuffer(state);
  LoadOutcome outcome;
  try {
    outcome = LoadFileInFormat(state, FormatOfFileName(state.HexFileName));
  } catch (...) {
    ForgetFileAfterFailedLoad(form);
    throw;
  }
  state.ResultText = outcome.Text;
  return outcome.Loaded();
}

// After an edit or fill that wrote the buffer: the file is forgotten only when the checksum the
// window shows is no longer the buffer's.
void ForgetFileIfChecksumMoved(TfrmMain& form) {
  if (form.ShownCheckSum() == BufferChecksum(form.State())) return;
  form.GetFilePath();
  form.State().HexFileName.clear();
  form.RefreshCheckSum();
  form.UpdateHexFilename();
}

// What a drag brings, when it is something the window opens: one local file (not a folder).
QString DroppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().front();
  if (!url.isLocalFile() || QFileInfo(url.toLocalFile()).isDir()) return {};
  return url.toLocalFile();
}

}  // namespace

// --- The other windows -------------------------------------------------------------------------

void TfrmMain::CreateDialogWindows() {
  // The dialogs speak through the window's own message boxes and general error report, shown over
  // the dialog that speaks: it stays on top, and would hide a box that stood over the main window.
  const auto over = [this] {
    QWidget* dialog = QApplication::activeModalWidget();
    return dialog ? dialog : this;
  };
  const DialogMessages messages{
      [this, over](const QString& title, const QString& text, QMessageBox::Icon icon) {
        Messages().Show(over(), MessageRequest{title, text, IconOf(icon)});
      },
      [this, over](const std::exception& error) {
        Messages().Show(over(), MessageRequest{QString::fromLatin1(kAppTitle),
                                               Text(ErrorReportText(error)), MsgIcon::Error});
      }};
  frmAbout = new TfrmAbout(this);
  frmSplash = new TfrmSplash(this);
  frmEditBuffer = new TfrmEditBuffer(state_, messages, this);
  frmFillBuffer = new TfrmFillBuffer(state_, messages, this);
  frmSignature = new TfrmSignature(this);
}

void TfrmMain::FormShow() {
  if (frmSplash) frmSplash->show();
}

// --- File commands -----------------------------------------------------------------------------

bool TfrmMain::MayDropUnsavedWork(const QString& title) {
  if (unsaved_ == Unsaved::Nothing) return true;
  const QString what = unsaved_ == Unsaved::Read ? QStringLiteral("what was read from the chip")
                                                 : QStringLiteral("edits");
  const MsgAnswer answer = MessageBox(
      QStringLiteral("The buffer holds %1 that no file has.\rSave the buffer to a file first?")
          .arg(what),
      title, MsgIcon::Warning, MsgButtons::SaveDiscardCancel);
  if (answer == MsgAnswer::Discard) return true;
  return answer == MsgAnswer::Save && SaveBufferToFile();
}

void TfrmMain::mnuFileOpenHexClick(QObject*) {
  if (!MayDropUnsavedWork(QStringLiteral("  OPEN FILE"))) return;
  dlgOpenDialog.InitialDir() = Text(state_.FilePath);
  dlgOpenDialog.FileName().clear();
  if (!dlgOpenDialog.Execute() || dlgOpenDialog.FileName().isEmpty()) return;
  OpenHexFile(dlgOpenDialog.FileName());
}

void TfrmMain::OpenHexFile(const QString& path) {
  state_.HexFileName = path.toStdString();
  unsaved_ = Unsaved::Nothing;
  if (LoadCurrentFile(*this)) {
    GetFilePath();
    UpdateGridDisp();
    UpdateHexFilename();
    RefreshCheckSum();
    return;
  }
  // What the loader placed before it stopped stays on top of the 0xFF fill.
  ForgetFileAfterFailedLoad(*this);
  MessageBox(Text(state_.ResultText), QStringLiteral("  OPEN FILE"), MsgIcon::Warning);
}

// A file dropped on the window opens as if the Open dialog had chosen it, in the format its name
// says.
void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  Command([&] {
    if (MayDropUnsavedWork(QStringLiteral("  OPEN FILE"))) OpenHexFile(path);
  });
}

void TfrmMain::cmdOpenFileClick(QObject*) {
  mnuFileOpenHexClick(cmdOpenFile);
}

void TfrmMain::sbtOpenFileClick(QObject*) {
  mnuFileOpenHexClick(sbtOpenFile);
}

void TfrmMain::mnuFileSaveHexClick(QObject*) {
  SaveBufferToFile();
}

// The file is written in the format its extension names. The current file changes only when the
// buffer was written: after "No" to the overwrite question, or a raised error, HexFileName is what
// it was before.
bool TfrmMain::SaveBufferToFile() {
  if (!GoOnWithoutDataPastDevice("Save", QStringLiteral("  SAVE FILE"))) return false;
  dlgSaveDialog.InitialDir() = Text(state_.FilePath);
  dlgSaveDialog.FileName().clear();
  if (!dlgSaveDialog.Execute() || dlgSaveDialog.FileName().isEmpty()) return false;
  QString chosen = dlgSaveDialog.FileName();
  if (!FileNamePart(chosen.toStdString()).contains(QLatin1Char('.')))
    chosen += QStringLiteral(".hex");
  if (QFileInfo(chosen).isFile() &&
      MessageBox(QStringLiteral("Over-write exiting file"), QStringLiteral("  SAVE FILE"),
                 MsgIcon::Warning, MsgButtons::YesNo) != MsgAnswer::Yes)
    return false;
  const std::string previous = state_.HexFileName;
  state_.HexFileName = chosen.toStdString();
  try {
    SaveFileInFormat(state_, FormatOfFileName(state_.HexFileName));
  } catch (...) {
    state_.HexFileName = previous;
    throw;
  }
  unsaved_ = Unsaved::Nothing;
  GetFilePath();
  UpdateHexFilename();
  return true;
}

void TfrmMain::cmdSaveFileClick(QObject*) {
  mnuFileSaveHexClick(cmdSaveFile);
}

void TfrmMain::sbtSaveFileClick(QObject*) {
  mnuFileSaveHexClick(sbtSaveFile);
}

void TfrmMain::cmdReloadFileClick(QObject*) {
  if (state_.HexFileName.empty()) return;
  if (!MayDropUnsavedWork(QStringLiteral("  RELOAD FILE"))) return;
  unsaved_ = Unsaved::Nothing;
  if (LoadCurrentFile(*this)) {
    UpdateGridDisp();
    RefreshCheckSum();
    MessageBox(
        Printable(FileNamePart(state_.HexFileName).toUpper()) + QStringLiteral("  reload Ok"),
        QStringLiteral("  RELOAD HEX FILE"), MsgIcon::None);
    return;
  }
  // Unlike Open, a rejected reload leaves a blank buffer.
  BlankBuffer(state_);
  ForgetFileAfterFailedLoad(*this);
  MessageBox(Text(state_.ResultText), QStringLiteral("  RELOAD FILE"), MsgIcon::Warning);
}

// --- Buffer commands ---------------------------------------------------------------------------

void TfrmMain::mnuEditClrBufferClick(QObject*) {
  if (MessageBox(QStringLiteral("Clear Data Buffer"), QStringLiteral("  CLEAR BUFFER"),
                 MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes)
    return;
  BlankBuffer(state_);
  unsaved_ = Unsaved::Nothing;
  GetFilePath();
  state_.HexFileName.clear();
  RefreshCheckSum();
  UpdateGridDisp();
  UpdateHexFilename();
  MessageBox(QStringLiteral("Data Buffer Cleared"), QStringLiteral("  CLEAR BUFFER"),
             MsgIcon::Information);
}

void TfrmMain::mnuEditEdtBufferClick(QObject*) {
  state_.BufferChanged = false;
  frmEditBuffer->edtAdr->setText(QStringLiteral("0000"));
  frmEditBuffer->edtData->setText(Text(IntToHex(state_.DataBuffer[0], 2)));
  frmEditBuffer->exec();
  UpdateGridDisp();
  if (!state_.BufferChanged) return;
  unsaved_ = Unsaved::Edits;
  ForgetFileIfChecksumMoved(*this);
}

void TfrmMain::mnuEditFillBufferClick(QObject*) {
  state_.BufferChanged = false;
  frmFillBuffer->edtStart->setText(QStringLiteral("0000"));
  frmFillBuffer->edtEnd->setText(QStringLiteral("7FFF"));
  frmFillBuffer->edtData->setText(QStringLiteral("FF"));
  frmFillBuffer->exec();
  UpdateGridDisp();
  if (!state_.BufferChanged) return;
  unsaved_ = Unsaved::Edits;
  ForgetFileIfChecksumMoved(*this);
  MessageBox(QStringLiteral("Data Buffer Filled"), QStringLiteral("  FILL BUFFER"), MsgIcon::None);
}

// --- Port commands -----------------------------------------------------------------------------

namespace {

// "D010", "0xd010" or "$D010": the base the text names when it is one a card's port can have,
// else nothing.
std::optional<std::uint16_t> CardBase(const QString& typed) {
  QString digits = typed.trimmed();
  if (digits.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
    digits = digits.mid(2);
  else if (digits.startsWith(QLatin1Char('$')))
    digits = digits.mid(1);
  bool ok = false;
  const uint value = digits.toUInt(&ok, 16);
  if (!ok || digits.size() > 4 || !PortBaseProblem(value).empty()) return {};
  return static_cast<std::uint16_t>(value);
}

}  // namespace

void TfrmMain::ChoosePort(QAction* chosen, std::uint16_t base) {
  if (chosen->isChecked()) return;
  state_.PortBase = base;
  programmer_.SetPort(base);
  UpdatePort();
}

void TfrmMain::mnuPortLPT1Click(QObject*) {
  ChoosePort(mnuPortLPT1, kLpt1Base);
}

void TfrmMain::mnuPortLPT2Click(QObject*) {
  ChoosePort(mnuPortLPT2, kLpt2Base);
}

void TfrmMain::mnuPortLPT3Click(QObject*) {
  ChoosePort(mnuPortLPT3, kLpt3Base);
}

void TfrmMain::mnuPortListedClick(QObject* Sender) {
  auto* item = qobject_cast<QAction*>(Sender);
  if (item) ChoosePort(item, static_cast<std::uint16_t>(item->data().toUInt()));
}

// Asks for a hexadecimal base; a base an item lists takes that item's mark, any other is shown by
// an item of its own. A text that is no base is asked for again, as it was typed.
void TfrmMain::mnuPortOtherClick(QObject*) {
  const QString range =
      QString::fromLatin1(IoAddressText(kLowestLptBase) + " to " + IoAddressText(kHighestLptBase));
  QString text = QString::fromLatin1(IoAddressText(state_.PortBase));
  std::optional<std::uint16_t> base;
  while (!base) {
    const std::optional<QString> typed = messages_.Ask(
        this, {QStringLiteral("  PORT"),
               QStringLiteral("I/O base address of the port (hexadecimal, %1):").arg(range), text});
    if (!typed) return;
    base = CardBase(*typed);
    if (!base)
      MessageBox(QStringLiteral("\"%1\" is not a port address: give a hexadecimal I/O base from "
                                "%2, e.g. 0xD010")
                     .arg(typed->trimmed(), range),
                 QStringLiteral("  PORT"), MsgIcon::Error);
    text = *typed;
  }
  state_.PortBase = *base;
  programmer_.SetPort(*base);
  UpdatePort();
}

// --- Help commands -----------------------------------------------------------------------------

void TfrmMain::mnuHelpAboutClick(QObject*) {
  frmAbout->exec();
}

void TfrmMain::sbtAboutClick(QObject*) {
  mnuHelpAboutClick(sbtAbout);
}

void TfrmMain::mnuHelpPortCheckClick(QObject*) {
  std::vector<std::string> lines{"This machine cannot tell about its ports."};
  if (ports_.Check) lines = ports_.Check();
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r") + line;
  MessageBox(QString::fromStdString(text), QStringLiteral("  PORT CHECK"), MsgIcon::Information);
}

void TfrmMain::mnuSignatureClick(QObject*) {
  frmSignature->exec();
}

// --- What the machine adds ----------------------------------------------------------------------

void TfrmMain::AddMachineMenu(QMenu* menu) {
  mnuMain->insertMenu(mnuHelp->menuAction(), menu);
}

void TfrmMain::ShowMachineCondition(const QString& condition) {
  const QString title = QString::fromLatin1(kMainCaption);
  setWindowTitle(condition.isEmpty() ? title : title + QStringLiteral(" - ") + condition);
}

// --- Exit --------------------------------------------------------------------------------------

// Saves and puts the timer back here and again in the close handler, with the same values; the
// close handler then closes the board's session. A failed save is reported once and the program
// still ends.
void TfrmMain::mnuFileExitClick(QObject*) {
  if (!MayDropUnsavedWork(QStringLiteral("  EXIT"))) return;
  dropAgreed_ = true;
  // A failure is asked about here; the close handler then saves again quietly.
  SaveSettingsOfferingAnotherPlace();
  exitSavedSettings_ = true;
  RunSessionStep(&Programmer::RestoreDelayTimer);
  close();
}

}  // namespace kaldo
