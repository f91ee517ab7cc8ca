// The main window's file commands: Open (and the file dropped on the window), Save, Reload File
// and Exit, and the question before a command drops work that no file has.
//
// The commands forget the current file whenever the buffer is replaced other than by loading that
// file: GetFilePath first (the dialogs keep opening in its folder), then HexFileName is emptied and
// the status bar falls back to its banner.
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

#include "app/UnitFormMain.h"
#include "core/Convert.h"
#include "core/formats/ImageFile.h"

namespace kaldo {

namespace {

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

// What a drag brings, when it is something the window opens: one local file (not a folder).
QString DroppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().front();
  if (!url.isLocalFile() || QFileInfo(url.toLocalFile()).isDir()) return {};
  return url.toLocalFile();
}

}  // namespace

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
