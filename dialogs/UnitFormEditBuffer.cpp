#include "dialogs/UnitFormEditBuffer.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include "core/Errors.h"

namespace kaldo {

namespace {

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
    : HexEntryDialog(QStringLiteral("   Edit Buffer"), 239, 176, QStringLiteral("EDIT BUFFER"),
                     std::move(messages), parent),
      state_(state) {
  edtAdr = AddHexEdit(4, 131, 31, 44, 20);
  edtData = AddHexEdit(2, 131, 71, 30, 20);
  lblAdr = AddFieldLabel(QStringLiteral("Address :"), 51, 0, edtAdr);
  lblData = AddFieldLabel(QStringLiteral("Data :"), 73, 0, edtData);
  Bevel1 = AddBevel(5, 113, 229);

  sbtDec = MakeStepButton(this, true, 31);
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setGeometry(83, 133, 73, 25);
  btnOK->setAutoDefault(false);
  sbtInc = MakeStepButton(this, false, 175);

  setTabOrder(edtAdr, edtData);
  setTabOrder(edtData, btnOK);

  connect(btnOK, &QPushButton::clicked, this, [this] {
    btnOKClick();
    accept();
  });
  connect(sbtInc, &QToolButton::clicked, this, &TfrmEditBuffer::sbtIncClick);
  connect(sbtDec, &QToolButton::clicked, this, &TfrmEditBuffer::sbtDecClick);
}

std::optional<TfrmEditBuffer::Entry> TfrmEditBuffer::ReadFields() {
  int address = 0;
  int value = 0;
  try {
    address = HexFieldValue(edtAdr->text()) & 0xFFFF;
    value = HexFieldValue(edtData->text()) & 0xFF;
  } catch (const ConvertError&) {
    ShowMessage(QStringLiteral("Invalid Hex Data Input"), QMessageBox::Critical);
    return std::nullopt;
  }
  if (address > kLastBufferAddress) {
    ShowMessage(QStringLiteral("Error Address Out of Range"), QMessageBox::Warning);
    return std::nullopt;
  }
  return Entry{static_cast<std::uint16_t>(address), static_cast<std::uint8_t>(value)};
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
  StepTo(entry->Address == kLastBufferAddress ? 0 : entry->Address + 1);
}

void TfrmEditBuffer::DecrementAdr() {
  const auto entry = ReadFields();
  if (!entry) return;
  Store(*entry);
  StepTo(entry->Address == 0 ? kLastBufferAddress : entry->Address - 1);
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
        ReportError(error);
        return;
      }
      if (address > kLastBufferAddress) {
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
  PassHexDigitsOnly(key);
}

}  // namespace kaldo
