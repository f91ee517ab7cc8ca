#include "dialogs/UnitFormEditBuffer.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include "core/Errors.h"

namespace kaldo {

namespace {

constexpr int kLastAddress = 0x7FFF;
const QString kTitle = QStringLiteral("EDIT BUFFER");

// A black triangle on a transparent 13 x 13 picture, its point towards the left or the right.
QPixmap TrianglePicture(bool pointsLeft) {
  QPixmap picture(13, 13);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  const QPolygonF right{{3.5, 1.5}, {10.5, 6.5}, {3.5, 11.5}};
  const QPolygonF left{{9.5, 1.5}, {2.5, 6.5}, {9.5, 11.5}};
  painter.drawPolygon(pointsLeft ? left : right);
  return picture;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->adjustSize();
  label->move(left, top);
  return label;
}

QToolButton* MakeStepButton(QWidget* parent, bool pointsLeft, int left) {
  auto* button = new QToolButton(parent);
  button->setGeometry(left, 133, 33, 25);
  button->setIcon(QIcon(TrianglePicture(pointsLeft)));
  button->setIconSize(QSize(13, 13));
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

TfrmEditBuffer::TfrmEditBuffer(ProgramState& state, DialogMessages messages, QWidget* parent)
    : QDialog(parent), state_(state), messages_(std::move(messages)) {
  setWindowTitle(QStringLiteral("   Edit Buffer"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  setFixedSize(239, 176);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  setFont(font);

  lblAdr = MakeLabel(this, QStringLiteral("Address :"), 51, 32);
  edtAdr = MakeHexEdit(this, 4, 131, 31, 44, 20);
  lblData = MakeLabel(this, QStringLiteral("Data :"), 73, 72);
  edtData = MakeHexEdit(this, 2, 131, 71, 30, 20);
  // The labels stand level with the text of their fields.
  lblAdr->move(lblAdr->x(), edtAdr->y() + (edtAdr->height() - lblAdr->height()) / 2);
  lblData->move(lblData->x(), edtData->y() + (edtData->height() - lblData->height()) / 2);

  Bevel1 = new QFrame(this);
  Bevel1->setFrameShape(QFrame::HLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(5, 112, 229, 2);

  sbtDec = MakeStepButton(this, true, 31);
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setGeometry(83, 133, 73, 25);
  btnOK->setAutoDefault(false);
  sbtInc = MakeStepButton(this, false, 175);

  setTabOrder(edtAdr, edtData);
  setTabOrder(edtData, btnOK);
  edtAdr->installEventFilter(this);
  edtData->installEventFilter(this);

  connect(btnOK, &QPushButton::clicked, this, [this] {
    btnOKClick();
    accept();
  });
  connect(sbtInc, &QToolButton::clicked, this, &TfrmEditBuffer::sbtIncClick);
  connect(sbtDec, &QToolButton::clicked, this, &TfrmEditBuffer::sbtDecClick);
}

void TfrmEditBuffer::ShowMessage(const QString& text, QMessageBox::Icon icon) {
  if (messages_.Show) messages_.Show(kTitle, text, icon);
}

std::optional<TfrmEditBuffer::Entry> TfrmEditBuffer::ReadFields() {
  int address = 0;
  int data = 0;
  try {
    address = HexFieldValue(edtAdr->text()) & 0xFFFF;
    data = HexFieldValue(edtData->text()) & 0xFF;
  } catch (const ConvertError&) {
    ShowMessage(QStringLiteral("Invalid Hex Data Input"), QMessageBox::Critical);
    return std::nullopt;
  }
  if (address > kLastAddress) {
    ShowMessage(QStringLiteral("Error Address Out of Range"), QMessageBox::Warning);
    return std::nullopt;
  }
  return Entry{static_cast<std::uint16_t>(address), static_cast<std::uint8_t>(data)};
}

void TfrmEditBuffer::Store(const Entry& entry) {
  if (state_.DataBuffer[entry.Address] == entry.Data) return;
  state_.BufferChanged = true;
  state_.DataBuffer[entry.Address] = entry.Data;
}

void TfrmEditBuffer::StepTo(std::uint16_t address) {
  edtAdr->setText(Hex(address, 4));
  edtData->setText(Hex(state_.DataBuffer[address], 2));
  edtData->selectAll();
}

void TfrmEditBuffer::btnOKClick() {
  if (const auto entry = ReadFields()) Store(*entry);
}

void TfrmEditBuffer::IncrementAdr() {
  const auto entry = ReadFields();
  if (!entry) return;
  Store(*entry);
  StepTo(entry->Address == kLastAddress ? 0 : entry->Address + 1);
}

void TfrmEditBuffer::DecrementAdr() {
  const auto entry = ReadFields();
  if (!entry) return;
  Store(*entry);
  StepTo(entry->Address == 0 ? kLastAddress : entry->Address - 1);
}

void TfrmEditBuffer::FormKeyPress(QObject* /*sender*/, QChar& key) {
  if (key == QChar(13)) {
    key = QChar(0);
    QWidget* focused = focusWidget();
    if (focused == edtAdr) {
      // A text that is not a number goes to the general error report; the dialog stays open.
      int address = 0;
      try {
        address = HexFieldValue(edtAdr->text()) & 0xFFFF;
      } catch (const std::exception& error) {
        if (messages_.ReportError) messages_.ReportError(error);
        return;
      }
      if (address > kLastAddress) {
        ShowMessage(QStringLiteral("Error Address Out of Range"), QMessageBox::Warning);
        close();
        return;
      }
      edtAdr->setText(Hex(address, 4));
      edtData->setText(Hex(state_.DataBuffer[address], 2));
    } else if (focused == edtData) {
      IncrementAdr();
    }
    return;
  }
  if (key == QChar(8) || IsHexDigit(key)) return;
  key = QChar(0);
}

bool TfrmEditBuffer::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const std::optional<QChar> typed = TypedCharacter(*static_cast<QKeyEvent*>(event));
  if (!typed) return false;
  QChar key = *typed;
  FormKeyPress(watched, key);
  return key.isNull();
}

void TfrmEditBuffer::keyPressEvent(QKeyEvent* event) {
  // Escape and Enter do not close this window; only OK and the close box do.
  if (TypedCharacter(*event)) return;
  QDialog::keyPressEvent(event);
}

void TfrmEditBuffer::showEvent(QShowEvent* event) {
  CentreOnScreen(this);
  QDialog::showEvent(event);
}

}  // namespace kaldo
