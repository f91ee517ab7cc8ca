// The Fill Buffer dialog: set an address range of the buffer to one byte value.
#pragma once

#include "core/model/ProgramState.h"
#include "dialogs/DialogCommon.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kaldo {

class TfrmFillBuffer : public HexEntryDialog {
  Q_OBJECT

 public:
  TfrmFillBuffer(ProgramState& state, DialogMessages messages, QWidget* parent = nullptr);

  QLabel* lblStartAdr;
  QLineEdit* edtStart;
  QLabel* lblEndAdr;
  QLineEdit* edtEnd;
  QLabel* lblData;
  QLineEdit* edtData;
  QFrame* Bevel1;
  QPushButton* btnOK;
  QPushButton* btnCancel;

  // Checks the three fields and fills the range; the dialog closes afterwards either way.
  void btnOKClick();
  void btnCancelClick() { reject(); }
  void FormKeyPress(QObject* sender, QChar& key) override;

 private:
  ProgramState& state_;
};

}  // namespace kaldo
