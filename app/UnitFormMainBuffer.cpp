// The main window's buffer commands: Clear Buffer, Edit Buffer and Fill Buffer.
//
// Clearing forgets the current file: GetFilePath first (the dialogs keep opening in its folder),
// then HexFileName is emptied and the status bar falls back to its banner. An edit or fill
// forgets it only when it moves the checksum.
#include <QLineEdit>

#include "app/UnitFormMain.h"
#include "core/Convert.h"
#include "dialogs/UnitFormEditBuffer.h"
#include "dialogs/UnitFormFillBuffer.h"

namespace kaldo {

namespace {

// After an edit or fill that wrote the buffer: the file is forgotten only when the checksum the
// window shows is no longer the buffer's.
void ForgetFileIfChecksumMoved(TfrmMain& form) {
  if (form.ShownCheckSum() == BufferChecksum(form.State())) return;
  form.GetFilePath();
  form.State().HexFileName.clear();
  form.RefreshCheckSum();
  form.UpdateHexFilename();
}

}  // namespace

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
  frmEditBuffer->edtData->setText(QString::fromLatin1(IntToHex(state_.DataBuffer[0], 2)));
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

}  // namespace kaldo
