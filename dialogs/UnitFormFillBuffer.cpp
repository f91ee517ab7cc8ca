#include "dialogs/UnitFormFillBuffer.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/Errors.h"

namespace kaldo {

namespace {

QPushButton* MakeButton(QWidget* parent, const QString& text, int left) {
  auto* button = new QPushButton(text, parent);
  button->setGeometry(left, 160, 75, 25);
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace

TfrmFillBuffer::TfrmFillBuffer(ProgramState& state, DialogMessages messages, QWidget* parent)
    : HexEntryDialog(QStringLiteral("   Fill Buffer"), 219, 199, QStringLiteral("FILL BUFFER"),
                     std::move(messages), parent),
      state_(state) {
  edtStart = AddHexEdit(4, 132, 25, 44, 21);
  edtEnd = AddHexEdit(4, 132, 64, 44, 21);
  edtData = AddHexEdit(2, 132, 104, 30, 21);
  lblStartAdr = AddFieldLabel(QStringLiteral("Start Address :"), 30, 0, edtStart);
  lblEndAdr = AddFieldLabel(QStringLiteral("End Address :"), 33, 0, edtEnd);
  lblData = AddFieldLabel(QStringLiteral("Data :"), 66, 51, edtData);
  Bevel1 = AddBevel(8, 144, 204);

  btnOK = MakeButton(this, QStringLiteral("OK"), 24);
  btnCancel = MakeButton(this, QStringLiteral("Cancel"), 119);

  setTabOrder(edtStart, edtEnd);
  setTabOrder(edtEnd, edtData);
  setTabOrder(edtData, btnOK);
  setTabOrder(btnOK, btnCancel);

  connect(btnOK, &QPushButton::clicked, this, [this] {
    btnOKClick();
    accept();
  });
  connect(btnCancel, &QPushButton::clicked, this, &TfrmFillBuffer::btnCancelClick);
}

void TfrmFillBuffer::btnOKClick() {
  int start = 0;
  int end = 0;
  int value = 0;
  try {
    start = HexFieldValue(edtStart->text()) & 0xFFFF;
    end = HexFieldValue(edtEnd->text()) & 0xFFFF;
    value = HexFieldValue(edtData->text()) & 0xFF;
  } catch (const ConvertError&) {
    ShowMessage(QStringLiteral("Invalid Hex Data Input"), QMessageBox::Critical);
    return;
  }
  if (start > end) {
    ShowMessage(QStringLiteral("Error End Address less than Start Address"), QMessageBox::Warning);
    return;
  }
  if (end > kLastBufferAddress || start > kLastBufferAddress) {
    ShowMessage(QStringLiteral("Error Address Out of Range"), QMessageBox::Warning);
    return;
  }
  for (int address = start; address <= end; ++address)
    state_.DataBuffer[static_cast<std::size_t>(address)] = static_cast<std::uint8_t>(value);
  state_.BufferChanged = true;
}

void TfrmFillBuffer::FormKeyPress(QObject* /*sender*/, QChar& key) {
  PassHexDigitsOnly(key);
}

}  // namespace kaldo
