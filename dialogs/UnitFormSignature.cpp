#include "dialogs/UnitFormSignature.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <string>
#include <vector>

#include "core/Convert.h"
#include "core/DeviceTable.h"
#include "dialogs/DialogCommon.h"

namespace kaldo {

namespace {

// The table's blocks of devices, each followed by an empty line.
const std::vector<std::vector<Device>> kBlocks = {
    {Device::AT89C51, Device::AT89C52, Device::AT89C55},
    {Device::AT89S51, Device::AT89S52, Device::AT89S53, Device::AT89S8252},
    {Device::AT89C55WD, Device::AT89C51RC},
    {Device::AT89C1051, Device::AT89C1051U, Device::AT89C2051, Device::AT89C4051},
};

// Device name padded to 19 characters, each byte followed by seven blanks: the values stand in
// columns 20, 29 and 38; "-" for a device with two signature bytes only.
std::string SignatureLine(const DeviceInfo& d) {
  std::string line = FullName(d);
  line.resize(19, ' ');
  for (int i = 0; i < 3; ++i) {
    if (i > 0) line += "       ";
    line += i < d.SignatureCount ? IntToHex(d.Signature[static_cast<std::size_t>(i)], 2) : "-";
  }
  return line;
}

}  // namespace

// Each heading starts one column to the left of its values.
QString TfrmSignature::TableText() {
  QStringList lines{QStringLiteral("uCONTROLLER       BYTE-1   BYTE-2   BYTE-3"), QString()};
  for (const std::vector<Device>& block : kBlocks) {
    for (Device device : block) lines << QString::fromStdString(SignatureLine(InfoOf(device)));
    lines << QString();
  }
  return lines.join(QLatin1Char('\n'));
}

TfrmSignature::TfrmSignature(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral(" Signature Bytes Info"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(399, 272);
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  setFont(font);

  mmoSignature = new QPlainTextEdit(this);
  mmoSignature->setGeometry(16, 8, 369, 217);
  QFont fixed(QStringLiteral("Courier New"));
  fixed.setStyleHint(QFont::TypeWriter);
  fixed.setFixedPitch(true);
  fixed.setPixelSize(13);
  fixed.setBold(true);
  mmoSignature->setFont(fixed);
  mmoSignature->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mmoSignature->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  mmoSignature->setLineWrapMode(QPlainTextEdit::NoWrap);
  QPalette palette = mmoSignature->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
  palette.setColor(QPalette::Text, palette.color(QPalette::ToolTipText));
  mmoSignature->setPalette(palette);
  mmoSignature->setPlainText(TableText());

  OkButton = new QPushButton(QStringLiteral("OK"), this);
  OkButton->setGeometry(159, 239, 89, 25);
  connect(OkButton, &QPushButton::clicked, this, &TfrmSignature::OkButtonClick);
}

void TfrmSignature::showEvent(QShowEvent* event) {
  CentreOnScreen(this);
  QDialog::showEvent(event);
}

}  // namespace kaldo
