#include "dialogs/UnitFormFillBuffer.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/Errors.h"

namespace kaldo {

namespace {

constexpr int kLastAddress = 0x7FFF;
const QString kTitle = QStringLiteral("FILL BUFFER");

// A right-aligned caption level with the text of its field; width 0 sizes it to its text.
QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int width, const QWidget* field) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->adjustSize();
  if (width > 0) label->resize(width, label->height());
  label->move(left, field->y() + (field->height() - label->height()) / 2);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& text, int left) {
  auto* button = new QPushButton(text, parent);
  button->setGeometry(left, 160, 75, 25);
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace

TfrmFillBuffer::TfrmFillBuffer(ProgramState& state, DialogMessages messages, QWidget* parent)
    : QDialog(parent), state_(state), messages_(std::move(messages)) {
  setWindowTitle(QStringLiteral("   Fill Buffer"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  setFixedSize(219, 199);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  setFont(font);

  edtStart = MakeHexEdit(this, 4, 132, 25, 44, 21);
  edtEnd = MakeHexEdit(this, 4, 132, 64, 44, 21);
  edtData = MakeHexEdit(this, 2, 132, 104, 30, 21);
  lblStartAdr = MakeLabel(this, QStringLiteral("Start Address :"), 30, 0, edtStart);
  lblEndAdr = MakeLabel(this, QStringLiteral("End Address :"), 33, 0, edtEnd);
  lblData = MakeLabel(this, QStringLiteral("Data :"), 66, 51, edtData);

  Bevel1 = new QFrame(this);
  Bevel1->setFrameShape(QFrame::HLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(8, 143, 204, 2);

  btnOK = MakeButton(this, QStringLiteral("OK"), 24);
  btnCancel = MakeButton(this, QStringLiteral("Cancel"), 119);

  setTabOrder(edtStart, edtEnd);
  setTabOrder(edtEnd, edtData);
  setTabOrder(edtData, btnOK);
  setTabOrder(btnOK, btnCancel);
  for (QLineEdit* edit : {edtStart, edtEnd, edtData}) edit->installEventFilter(this);

  connect(btnOK, &QPushButton::clicked, this, [this] {
    btnOKClick();
    accept();
  });
  connect(btnCancel, &QPushButton::clicked, this, &TfrmFillBuffer::btnCancelClick);
}

void TfrmFillBuffer::ShowMessage(const QString& text, QMessageBox::Icon icon) {
  if (messages_.Show) messages_.Show(kTitle, text, icon);
}

void TfrmFillBuffer::btnOKClick() {
  int start = 0;
  int end = 0;
  int data = 0;
  try {
    start = HexFieldValue(edtStart->text()) & 0xFFFF;
    end = HexFieldValue(edtEnd->text()) & 0xFFFF;
    data = HexFieldValue(edtData->text()) & 0xFF;
  } catch (const ConvertError&) {
    ShowMessage(QStringLiteral("Invalid Hex Data Input"), QMessageBox::Critical);
    return;
  }
  if (start > end) {
    ShowMessage(QStringLiteral("Error End Address less than Start Address"), QMessageBox::Warning);
    return;
  }
  if (end > kLastAddress || start > kLastAddress) {
    ShowMessage(QStringLiteral("Error Address Out of Range"), QMessageBox::Warning);
    return;
  }
  for (int address = start; address <= end; ++address)
    state_.DataBuffer[static_cast<std::size_t>(address)] = static_cast<std::uint8_t>(data);
  state_.BufferChanged = true;
}

void TfrmFillBuffer::FormKeyPress(QObject* /*sender*/, QChar& key) {
  if (key == QChar(8) || IsHexDigit(key)) return;
  key = QChar(0);
}

bool TfrmFillBuffer::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const std::optional<QChar> typed = TypedCharacter(*static_cast<QKeyEvent*>(event));
  if (!typed) return false;
  QChar key = *typed;
  FormKeyPress(watched, key);
  return key.isNull();
}

void TfrmFillBuffer::keyPressEvent(QKeyEvent* event) {
  // Neither button is the default or the cancel button: Enter and Escape do nothing here.
  if (TypedCharacter(*event)) return;
  QDialog::keyPressEvent(event);
}

void TfrmFillBuffer::showEvent(QShowEvent* event) {
  CentreOnScreen(this);
  QDialog::showEvent(event);
}

}  // namespace kaldo
