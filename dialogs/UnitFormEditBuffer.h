// The Edit Buffer dialog: look at and change single bytes of the buffer, stepping through the
// addresses with the two arrow buttons or Enter.
#pragma once

#include <cstdint>
#include <optional>

#include "core/model/ProgramState.h"
#include "dialogs/DialogCommon.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace kaldo {

class TfrmEditBuffer : public HexEntryDialog {
  Q_OBJECT

 public:
  TfrmEditBuffer(ProgramState& state, DialogMessages messages, QWidget* parent = nullptr);

  QLabel* lblAdr;
  QLineEdit* edtAdr;
  QLabel* lblData;
  QLineEdit* edtData;
  QFrame* Bevel1;
  QToolButton* sbtDec;
  QPushButton* btnOK;
  QToolButton* sbtInc;

  void btnOKClick();
  void sbtIncClick() { IncrementAdr(); }
  void sbtDecClick() { DecrementAdr(); }
  // Store the typed byte at the typed address, then step to the next (previous) address, wrapping
  // around at the ends of the buffer.
  void IncrementAdr();
  void DecrementAdr();
  // The window's key preview: a key set to the null character is swallowed.
  void FormKeyPress(QObject* sender, QChar& key) override;

 private:
  struct Entry {
    std::uint16_t Address;
    std::uint8_t Data;
  };
  // Both fields converted and the address checked; the message shown and empty when they fail.
  std::optional<Entry> ReadFields();
  void Store(const Entry& entry);
  void StepTo(std::uint16_t address);

  ProgramState& state_;
};

}  // namespace kaldo
