#include <QCoreApplication>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QTimerEvent>
#include <cstring>

#include "core/model/DeviceTable.h"
#include "core/model/ProgramState.h"
#include "dialogs/UnitFormAbout.h"
#include "dialogs/UnitFormSignature.h"
#include "dialogs/UnitFormSplash.h"

using namespace kaldo;

class InfoWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void signatureTableFollowsTheDeviceTable();
  void signatureTableIsFixedPitchAndEditable();
  void aboutLines_data();
  void aboutLines();
  void aboutTextsAreStoredScrambled();
  void aboutLinesFitTheirLabels();
  void aboutRebuildsAndBeepsOnEveryShowing();
  void splashClosesAndFreesItselfAfterFiveSeconds();
  void splashClosesEarlyWhenClicked();
};

void InfoWindowsTest::signatureTableFollowsTheDeviceTable() {
  const QStringList lines = TfrmSignature::TableText().split('\n');
  const QStringList expected = {
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
  QCOMPARE(lines, expected);
  // Headings one column left of their values (columns counted from 1).
  QCOMPARE(lines[0].indexOf("BYTE-1") + 1, 19);
  QCOMPARE(lines[0].indexOf("BYTE-2") + 1, 28);
  QCOMPARE(lines[0].indexOf("BYTE-3") + 1, 37);
}

void InfoWindowsTest::signatureTableIsFixedPitchAndEditable() {
  TfrmSignature window;
  QCOMPARE(window.windowTitle(), QString(" Signature Bytes Info"));
  QCOMPARE(window.mmoSignature->document()->blockCount(),
           TfrmSignature::TableText().count(QLatin1Char('\n')) + 1);
  QCOMPARE(window.mmoSignature->toPlainText(), TfrmSignature::TableText());
  QVERIFY(QFontInfo(window.mmoSignature->font()).fixedPitch());
  QVERIFY(QFontInfo(window.mmoSignature->font()).bold());
  QVERIFY(!window.mmoSignature->isReadOnly());
  window.show();
  QTest::mouseClick(window.OkButton, Qt::LeftButton);
  QVERIFY(!window.isVisible());
}

void InfoWindowsTest::aboutLines_data() {
  QTest::addColumn<int>("index");
  QTest::addColumn<bool>("empty");
  QTest::newRow("0") << 0 << true;
  QTest::newRow("1") << 1 << false;
  QTest::newRow("2") << 2 << false;
  QTest::newRow("3") << 3 << false;
  QTest::newRow("4, stored but unused") << 4 << false;
  QTest::newRow("5") << 5 << true;
  QTest::newRow("-1") << -1 << true;
}

void InfoWindowsTest::aboutLines() {
  QFETCH(int, index);
  QFETCH(bool, empty);
  const std::string line = AboutLine(index);
  QCOMPARE(line.empty(), empty);
  if (empty) return;
  // Each restored character is its stored byte less the constant.
  const std::uint8_t* stored = StoredAboutText(index);
  QCOMPARE(std::strlen(reinterpret_cast<const char*>(stored)), line.size());
  for (std::size_t i = 0; i < line.size(); ++i)
    QCOMPARE(static_cast<std::uint8_t>(line[i]),
             static_cast<std::uint8_t>(stored[i] - kAboutScramble));
}

void InfoWindowsTest::aboutTextsAreStoredScrambled() {
  for (int index = 1; index <= 4; ++index) {
    const std::string line = AboutLine(index);
    const char* stored = reinterpret_cast<const char*>(StoredAboutText(index));
    QVERIFY(line.size() > 3);
    QVERIFY(std::strstr(stored, line.substr(0, 3).c_str()) == nullptr);
  }
  QCOMPARE(AboutLine(1), "Programs " + std::to_string(kDeviceCount) + " AT89 devices");
}

void InfoWindowsTest::aboutLinesFitTheirLabels() {
  TfrmAbout about;
  TfrmSplash splash;
  const QLabel* labels[] = {about.lblAboutM1,  about.lblAboutM2,  about.lblAboutM3,
                            splash.lblAboutM1, splash.lblAboutM2, splash.lblAboutM3};
  for (int i = 0; i < 6; ++i) {
    const QString line = QString::fromLatin1(AboutLine(i % 3 + 1));
    const int width = labels[i]->fontMetrics().horizontalAdvance(line);
    QVERIFY2(width <= labels[i]->width(),
             qPrintable(QString("%1: %2 > %3").arg(line).arg(width).arg(labels[i]->width())));
  }
}

void InfoWindowsTest::aboutRebuildsAndBeepsOnEveryShowing() {
  TfrmAbout about;
  int beeps = 0;
  about.Beep = [&beeps] { ++beeps; };
  for (int showing = 1; showing <= 2; ++showing) {
    about.lblAboutM1->clear();
    about.show();
    QCOMPARE(beeps, showing);
    QCOMPARE(about.lblAboutM1->text(), QString::fromLatin1(AboutLine(1)));
    QCOMPARE(about.lblAboutM3->text(), QString::fromLatin1(AboutLine(3)));
    QTest::mouseClick(about.OKButton, Qt::LeftButton);
    QVERIFY(!about.isVisible());
  }
}

void InfoWindowsTest::splashClosesAndFreesItselfAfterFiveSeconds() {
  QWidget mainWindow;
  mainWindow.resize(554, 374);
  mainWindow.show();
  QPointer<TfrmSplash> splash = new TfrmSplash(&mainWindow);
  QVERIFY(splash->windowFlags() & Qt::FramelessWindowHint);
  QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
  QVERIFY(!splash->Timer1->isActive());
  splash->show();
  QVERIFY(splash->Timer1->isActive());
  QVERIFY(splash->Timer1->isSingleShot());
  QCOMPARE(splash->Timer1->interval(), 5000);
  QVERIFY(!splash->lblAboutM2->text().isEmpty());

  // The user works in the main window meanwhile; the timer still runs out.
  mainWindow.activateWindow();
  QTest::mouseClick(&mainWindow, Qt::LeftButton);
  QVERIFY(splash);

  QTimerEvent tick(splash->Timer1->timerId());
  QCoreApplication::sendEvent(splash->Timer1, &tick);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(splash.isNull());
  QVERIFY(mainWindow.isVisible());
}

void InfoWindowsTest::splashClosesEarlyWhenClicked() {
  QPointer<TfrmSplash> splash = new TfrmSplash();
  splash->show();
  QVERIFY(splash->Timer1->isActive());
  QTest::mouseClick(splash->lblAboutM1, Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(splash.isNull());
}

QTEST_MAIN(InfoWindowsTest)
#include "InfoWindowsTest.moc"
