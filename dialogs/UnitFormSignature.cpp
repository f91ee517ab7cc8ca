#include "dialogs/UnitFormSignature.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>

#include "dialogs/DialogCommon.h"

namespace kaldo {

// Device name padded to 19 characters, each byte followed by seven blanks: the values stand in
// columns 20, 29 and 38, and each heading starts one column to the left of its values.
QString TfrmSignature::TableText() {
  static const char* const kLines[] = {
      "uCONTROLLER       BYTE-1   BYTE-2   BYTE-3",
      "",
      "AT89C51            1E       51       FF",
      "AT89C52            1E       52       FF",
      "AT89C55            1E       55       FF",
      "",
      "AT89S51            1E       51       06",
      "AT89S52            1E       52       06",
      "AT89S53            1E       53       -",
      "AT89S8252          1E       72       -",
      "",
      "AT89C55WD          1E       55       06",
      "AT89C51RC          1E       51       07",
      "",
      "AT89C1051          1E       11       -",
      "AT89C1051U         1E       12       -",
      "AT89C2051          1E       21       -",
      "AT89C4051          1E       41       -",
      "",
  };
  QStringList lines;
  for (const char* line : kLines) lines << QString::fromLatin1(line);
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
