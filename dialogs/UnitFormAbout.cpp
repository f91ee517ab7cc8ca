#include "dialogs/UnitFormAbout.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShowEvent>
#include <array>
#include <cstring>
#include <string_view>

#include "core/ProgramInfo.h"
#include "core/model/DeviceTable.h"
#include "dialogs/DialogCommon.h"

namespace kaldo {

namespace {

// The texts are scrambled while the program is compiled, so only the scrambled bytes are stored.
template <std::size_t N>
consteval std::array<std::uint8_t, N> ScrambledUpTo(const char* text) {
  std::array<std::uint8_t, N> stored{};
  for (std::size_t i = 0; i + 1 < N && text[i] != 0; ++i) {
    stored[i] = static_cast<std::uint8_t>(static_cast<unsigned char>(text[i]) + kAboutScramble);
    if (stored[i] == 0) throw "a character scrambles to the end mark";
  }
  return stored;
}
template <std::size_t N>
consteval std::array<std::uint8_t, N> Scrambled(const char (&text)[N]) {
  return ScrambledUpTo<N>(text);
}

// "Programs 13 AT89 devices", counting the device table's rows.
consteval std::array<char, 32> ProgramsLine() {
  std::array<char, 32> line{};
  std::size_t n = 0;
  for (char c : std::string_view("Programs ")) line[n++] = c;
  int unit = 1;
  while (unit * 10 <= kDeviceCount) unit *= 10;
  for (; unit > 0; unit /= 10) line[n++] = static_cast<char>('0' + kDeviceCount / unit % 10);
  for (char c : std::string_view(" AT89 devices")) line[n++] = c;
  return line;
}
constexpr auto kAbout1 = ScrambledUpTo<32>(ProgramsLine().data());
constexpr auto kAbout2 = Scrambled("through a PC parallel port");
constexpr auto kAbout3 = Scrambled("Built for Linux with Qt 6");
constexpr auto kAbout4 = Scrambled("KALDO Flash Programmer");

// A centred caption sized to its text.
QLabel* MakeLabel(QWidget* parent, const QString& text, int top) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  label->adjustSize();
  label->move((parent->width() - label->width()) / 2, top);
  return label;
}

QLabel* MakeLineLabel(QWidget* parent, int left, int top, int width, int height) {
  auto* label = new QLabel(parent);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setGeometry(left, top, width, height);
  return label;
}

}  // namespace

const std::uint8_t* StoredAboutText(int index) {
  switch (index) {
    case 1:
      return kAbout1.data();
    case 2:
      return kAbout2.data();
    case 3:
      return kAbout3.data();
    case 4:
      return kAbout4.data();
    default:
      return nullptr;
  }
}

std::string AboutLine(int index) {
  char work[256] = {};
  if (const std::uint8_t* stored = StoredAboutText(index)) {
    std::size_t i = 0;
    for (; stored[i] != 0 && i + 1 < sizeof work; ++i)
      work[i] = static_cast<char>(static_cast<std::uint8_t>(stored[i] - kAboutScramble));
    work[i] = 0;
  }
  return work;
}

void ShowAboutLines(QLabel* line1, QLabel* line2, QLabel* line3) {
  int index = 1;
  for (QLabel* label : {line1, line2, line3})
    label->setText(QString::fromLatin1(AboutLine(index++)));
}

QPixmap AboutLogo() {
  QPixmap logo(144, 51);
  logo.fill(Qt::transparent);
  QPainter p(&logo);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  // A white card with a navy edge holding a 40-pin chip and the name.
  p.setPen(QPen(QColor(0, 0, 128), 1.5));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(0.75, 0.75, 142.5, 49.5), 6, 6);

  const QRectF body(10, 14, 46, 23);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(170, 170, 170));
  for (int pin = 0; pin < 8; ++pin) {
    const qreal x = body.left() + 3 + pin * 5.5;
    p.drawRect(QRectF(x, body.top() - 5, 3, 5));
    p.drawRect(QRectF(x, body.bottom(), 3, 5));
  }
  p.setBrush(QColor(40, 40, 40));
  p.drawRoundedRect(body, 2, 2);
  p.setBrush(QColor(90, 90, 90));
  p.drawPie(QRectF(body.left() - 4, body.center().y() - 4, 8, 8), -90 * 16, 180 * 16);
  QFont chipFont(QStringLiteral("Arial"));
  chipFont.setPixelSize(10);
  chipFont.setBold(true);
  p.setFont(chipFont);
  p.setPen(Qt::white);
  p.drawText(body.adjusted(4, 0, 0, 0), Qt::AlignCenter, QStringLiteral("AT89"));

  QFont nameFont(QStringLiteral("Arial"));
  nameFont.setPixelSize(22);
  nameFont.setBold(true);
  p.setFont(nameFont);
  p.setPen(QColor(0, 0, 128));
  p.drawText(QRectF(60, 4, 80, 30), Qt::AlignCenter, QStringLiteral("KALDO"));
  p.setPen(QPen(QColor(192, 0, 0), 2));
  p.drawLine(QPointF(68, 35), QPointF(132, 35));
  QFont tagFont(QStringLiteral("Arial"));
  tagFont.setPixelSize(9);
  p.setFont(tagFont);
  p.setPen(QColor(64, 64, 64));
  p.drawText(QRectF(60, 37, 80, 11), Qt::AlignCenter, QStringLiteral("flash programmer"));
  return logo;
}

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent), Beep([] { QApplication::beep(); }) {
  setWindowTitle(QStringLiteral("About KALDO"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  setFixedSize(297, 237);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  setFont(font);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(192, 192, 192));
  setPalette(palette);
  setAutoFillBackground(true);

  Panel1 = new QFrame(this);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setGeometry(8, 8, 281, 186);

  lblAboutTitle = MakeLabel(Panel1, QString::fromLatin1(kProgramTitle), 17);
  lblAboutVer = MakeLabel(Panel1, QString::fromLatin1(kProgramVersion), 36);
  imgAbout = new QLabel(Panel1);
  imgAbout->setGeometry(68, 59, 144, 51);
  imgAbout->setPixmap(AboutLogo());
  lblAboutM1 = MakeLineLabel(Panel1, 67, 120, 148, 17);
  lblAboutM2 = MakeLineLabel(Panel1, 67, 140, 148, 17);
  lblAboutM3 = MakeLineLabel(Panel1, 68, 159, 146, 17);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setGeometry(112, 204, 75, 25);
  connect(OKButton, &QPushButton::clicked, this, &TfrmAbout::OKButtonClick);
}

void TfrmAbout::FormShow() {
  ShowAboutLines(lblAboutM1, lblAboutM2, lblAboutM3);
  if (Beep) Beep();
}

void TfrmAbout::showEvent(QShowEvent* event) {
  CentreOnScreen(this);
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

}  // namespace kaldo
