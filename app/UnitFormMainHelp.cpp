// The main window's Help commands, About and Signature Bytes, and the making of the other
// windows: the About, splash, Edit Buffer, Fill Buffer and signature-table windows.
#include <QApplication>
#include <QToolButton>

#include "app/UnitFormMain.h"
#include "core/Errors.h"
#include "dialogs/DialogCommon.h"
#include "dialogs/UnitFormAbout.h"
#include "dialogs/UnitFormEditBuffer.h"
#include "dialogs/UnitFormFillBuffer.h"
#include "dialogs/UnitFormSignature.h"
#include "dialogs/UnitFormSplash.h"

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
        Messages().Show(
            over(), MessageRequest{QString::fromLatin1(kAppTitle),
                                   QString::fromStdString(ErrorReportText(error)), MsgIcon::Error});
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

// --- Help commands -----------------------------------------------------------------------------

void TfrmMain::mnuHelpAboutClick(QObject*) {
  frmAbout->exec();
}

void TfrmMain::sbtAboutClick(QObject*) {
  mnuHelpAboutClick(sbtAbout);
}

void TfrmMain::mnuSignatureClick(QObject*) {
  frmSignature->exec();
}

}  // namespace kaldo
