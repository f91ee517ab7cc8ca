// The main window's file, buffer, port and help commands, and the making of the other windows.
// The port commands and Exit are complete (they belong with UpdatePort and the close handler);
// the file and buffer commands, the About and signature-table windows and the splash are still to
// come with the dialogs.
#include <QAction>
#include <QPushButton>
#include <QToolButton>

#include "app/UnitFormMain.h"

namespace kaldo {

// --- The other windows -------------------------------------------------------------------------

void TfrmMain::CreateDialogWindows() {}

void TfrmMain::FormShow() {}

// --- File commands -----------------------------------------------------------------------------

void TfrmMain::mnuFileOpenHexClick(QObject*) {}

void TfrmMain::cmdOpenFileClick(QObject*) {
  mnuFileOpenHexClick(cmdOpenFile);
}

void TfrmMain::sbtOpenFileClick(QObject*) {
  mnuFileOpenHexClick(sbtOpenFile);
}

void TfrmMain::mnuFileSaveHexClick(QObject*) {}

void TfrmMain::cmdSaveFileClick(QObject*) {
  mnuFileSaveHexClick(cmdSaveFile);
}

void TfrmMain::sbtSaveFileClick(QObject*) {
  mnuFileSaveHexClick(sbtSaveFile);
}

void TfrmMain::cmdReloadFileClick(QObject*) {}

// --- Buffer commands ---------------------------------------------------------------------------

void TfrmMain::mnuEditClrBufferClick(QObject*) {}

void TfrmMain::mnuEditEdtBufferClick(QObject*) {}

void TfrmMain::mnuEditFillBufferClick(QObject*) {}

// --- Port commands -----------------------------------------------------------------------------

namespace {

// The clicked item takes the check mark from the other two; choosing the marked item changes
// nothing. The board is not reset and nothing is saved until exit.
void ChoosePort(QAction* chosen, QAction* other1, QAction* other2, std::uint16_t base,
                ProgramState& state) {
  if (chosen->isChecked()) return;
  chosen->setChecked(true);
  other1->setChecked(false);
  other2->setChecked(false);
  state.PortBase = base;
}

}  // namespace

void TfrmMain::mnuPortLPT1Click(QObject*) {
  ChoosePort(mnuPortLPT1, mnuPortLPT2, mnuPortLPT3, 0x378, state_);
}

void TfrmMain::mnuPortLPT2Click(QObject*) {
  ChoosePort(mnuPortLPT2, mnuPortLPT1, mnuPortLPT3, 0x278, state_);
}

void TfrmMain::mnuPortLPT3Click(QObject*) {
  ChoosePort(mnuPortLPT3, mnuPortLPT1, mnuPortLPT2, 0x3BC, state_);
}

// --- Help commands -----------------------------------------------------------------------------

void TfrmMain::mnuHelpAboutClick(QObject*) {}

void TfrmMain::sbtAboutClick(QObject*) {
  mnuHelpAboutClick(sbtAbout);
}

void TfrmMain::mnuSignatureClick(QObject*) {}

// --- Exit --------------------------------------------------------------------------------------

// Saves and restores here and again in the close handler, with the same values. A failed save is
// reported once and the program still ends.
void TfrmMain::mnuFileExitClick(QObject*) {
  try {
    SaveProgramSettings();
  } catch (const std::exception& e) {
    ShowErrorReport(e);
    saveFailureReported_ = true;
  }
  Guarded([&] { port_.RestoreDelayTimer(); });
  close();
}

}  // namespace kaldo
