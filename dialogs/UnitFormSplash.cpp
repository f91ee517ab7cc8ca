#include "dialogs/UnitFormSplash.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QShowEvent>
#include <QTimer>

#include "core/ProgramInfo.h"
#include "dialogs/DialogCommon.h"
#include "dialogs/UnitFormAbout.h"

namespace kaldo {

namespace {

constexpr int kFrame = 2;  // the raised dialog frame around the panel

QLabel* MakeTitleLabel(QWidget* parent, const QString& text, int top) {
  auto* label = new QLabel(text, parent);
  label->setFont(PixelFont(QStringLiteral("Arial"), 24, true));
  label->setAlignment(Qt::AlignCenter);
  label->adjustSize();
  label->move((parent->width() - label->width()) / 2, top);
  return label;
}

QLabel* MakeLineLabel(QWidget* parent, int left, int top) {
  auto* label = new QLabel(parent);
  label->setFont(PixelFont(QStringLiteral("Arial"), 16, false));
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setGeometry(left, top, 250, 19);
  return label;
}

}  // namespace

TfrmSplash::TfrmSplash(QWidget* parent)
    : QFrame(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  // No title bar; the frame drawn here stands for the rest of a dialog's frame.
  setFrameStyle(QFrame::WinPanel | QFrame::Raised);
  setLineWidth(kFrame);
  setFixedSize(554 + 2 * kFrame, 418 + 2 * kFrame);
  setFont(PixelFont(QStringLiteral("Arial"), 11, false));

  Panel1 = new QFrame(this);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setGeometry(kFrame, kFrame, 554, 418);
  QPalette palette = Panel1->palette();
  palette.setColor(QPalette::Window, QColor(0, 128, 128));
  palette.setColor(QPalette::WindowText, Qt::white);
  Panel1->setPalette(palette);
  Panel1->setAutoFillBackground(true);

  lblAboutTitle = MakeTitleLabel(Panel1, QString::fromLatin1(kProgramTitle), 68);
  lblAboutVer = MakeTitleLabel(Panel1, QString::fromLatin1(kProgramVersion), 113);
  imgAbout = new QLabel(Panel1);
  imgAbout->setGeometry(204, 170, 144, 51);
  imgAbout->setPixmap(AboutLogo());
  lblAboutM1 = MakeLineLabel(Panel1, 155, 257);
  lblAboutM2 = MakeLineLabel(Panel1, 156, 298);
  lblAboutM3 = MakeLineLabel(Panel1, 156, 336);

  Timer1 = new QTimer(this);
  Timer1->setInterval(5000);
  Timer1->setSingleShot(true);
  connect(Timer1, &QTimer::timeout, this, &TfrmSplash::Timer1Timer);
}

void TfrmSplash::FormShow() {
  ShowAboutLines(lblAboutM1, lblAboutM2, lblAboutM3);
  Timer1->start();
  activateWindow();
  setFocus();
}

void TfrmSplash::Timer1Timer() {
  close();
}

void TfrmSplash::showEvent(QShowEvent* event) {
  CentreOnScreen(this);
  QFrame::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfrmSplash::mousePressEvent(QMouseEvent* event) {
  event->accept();
  close();
}

void TfrmSplash::closeEvent(QCloseEvent* event) {
  // Nothing of the window is left once it has closed.
  setAttribute(Qt::WA_DeleteOnClose);
  QFrame::closeEvent(event);
}

}  // namespace kaldo
