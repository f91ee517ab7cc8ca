#include "dialogs/UnitFormSignature.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <algorithm>
#include <string>

#include "core/Convert.h"
#include "core/model/DeviceTable.h"
#include "dialogs/DialogCommon.h"

namespace kaldo {

namespace {

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
  // The devices group by group, each group followed by an empty line.
  int lastGroup = 0;
  for (const DeviceInfo& d : DeviceTable) lastGroup = std::max(lastGroup, d.SignatureGroup);
  for (int group = 0; group <= lastGroup; ++group) {
    for (const DeviceInfo& d : DeviceTable)
      if (d.SignatureGroup == group) lines << QString::fromStdString(SignatureLine(d));
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
