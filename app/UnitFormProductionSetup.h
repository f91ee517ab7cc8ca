// The Production Run dialog: how many chips (or no limit), the serial number each gets (where,
// in which form, from which number in which steps, with the bytes the next chip would get), the
// log file, and whether the first failure ends the run. OK refuses a run that could not start,
// saying why, as the command line does before its first chip.
#pragma once

#include <QDialog>

#include "app/ProductionChoices.h"
#include "app/Seams.h"
#include "core/model/ProgramState.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kaldo {

class TfrmProductionSetup : public QDialog {
  Q_OBJECT

 public:
  TfrmProductionSetup(const ProgramState& state, MessageSeam& messages, FileDialogSeam& fileDialogs,
                      QWidget* parent = nullptr);

  void SetChoices(const ProductionChoices& choices);
  ProductionChoices Choices() const;
  // The preview line follows the fields.
  void UpdatePreview();
  void btnOKClick();
  void btnLogClick();

  QCheckBox* chkNoLimit;
  QSpinBox* spnCount;
  QGroupBox* fraSerial;  // checkable: serial numbers or none
  QLineEdit* edtSerialAdr;
  QComboBox* cboSerialForm;
  QSpinBox* spnSerialWidth;
  QLineEdit* edtSerialStart;
  QLineEdit* edtSerialStep;
  QLabel* lblSerialPreview;
  QLineEdit* edtLog;
  QPushButton* btnLog;
  QCheckBox* chkStopOnFailure;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 private:
  const ProgramState& state_;
  MessageSeam& messages_;
  FileDialogSeam& fileDialogs_;
};

}  // namespace kaldo
