// Device commands on the window's worker, with the simulated PC at real-time speed: the window
// keeps its event loop and its readouts, takes no input and no command meanwhile, and closing it
// asks whether to stop.
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <atomic>
#include <functional>

#include "MainWindowRig.h"
#include "app/SocketMenu.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

constexpr int kC2051 = 11;
// An erased chip of a device that does not report its lock bits: it may be a locked one.
constexpr const char* kBlankOk =
    "Blank Check O.K\rA locked chip reads as blank too, and this one's lock bits could not be "
    "read.";
constexpr const char* kReadAllFF =
    "Data Reading Complete\rEvery byte read FF, as a locked chip reads too, and this one's lock "
    "bits could not be read.";

// A window on a simulated PC that takes the time a real one would, with the AT89C2051 chosen.
struct SlowRig : Rig {
  SlowRig() : Rig({"11", "0", "888", ""}, {}, false, SimSpeed::RealTime) {}
  // A buffer to program: a byte in every 16 over the 2 KiB device, the rest blank. At real
  // time a write takes 4 s, a read or blank check 1 s.
  void FillBuffer() {
    for (int a = 0; a < 0x800; a += 16) state.DataBuffer[a] = static_cast<std::uint8_t>(a / 16);
  }
  // The lines as the board's reset leaves them: control register 7, mode bit 7 latched, the
  // data outputs released.
  bool BoardReset() {
    const sim::SimulatedPC& pc = machine.Pc();
    return pc.ControlRegister() == 0x07 && (pc.Lines().mode & 0x80) && !pc.Lines().dataDriven;
  }
};

// Runs `during` on every tick of a 5 ms timer while `command` runs, and counts the ticks.
int WhileItRuns(const std::function<void()>& command, const std::function<void()>& during) {
  int ticks = 0;
  QTimer timer;
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++ticks;
    during();
  });
  timer.start();
  command();
  return ticks;
}

// Notes the texts a label shows each time it is painted.
struct PaintedTexts : QObject {
  explicit PaintedTexts(QLabel* label) : label_(label) { label->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint && (texts.isEmpty() || texts.back() != label_->text()))
      texts << label_->text();
    return false;
  }
  QStringList texts;

 private:
  QLabel* label_;
};

}  // namespace

class MainWindowWorkerTest : public QObject {
  Q_OBJECT

 private slots:
  void windowPaintsAndTimersRunWhileTheBoardWorks() {
    SlowRig rig;
    rig.Show();
    TfrmMain& f = *rig.form;
    rig.FillBuffer();
    PaintCounter checksum(f.lblCSdata);  // a control the command does not touch
    const int ticks = WhileItRuns([&] { f.cmdRead->click(); }, [&] { f.lblCSdata->update(); });
    // The timer fired while the board worked (a real-time 2 KiB read lasts about a second).
    QVERIFY2(ticks >= 2, qPrintable(QString("%1 ticks").arg(ticks)));
    QVERIFY(checksum.paints > 0);
    QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
    QCOMPARE(rig.messages.Last().Text, QString(kReadAllFF));
    // What the user saw around it stays: the busy display while the board worked, the hourglass
    // gone before the message.
    QVERIFY(rig.probe.BusyAccesses > 0);
    QCOMPARE(rig.probe.BusyAccesses, rig.probe.HourglassAccesses);
    QVERIFY(!rig.messages.Shown[0].Hourglass && rig.messages.Shown[0].StatusBarVisible);
  }

  void noInputAndNoCommandIsTakenWhileTheBoardWorks() {
    SlowRig rig;
    rig.Show();
    TfrmMain& f = *rig.form;
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    rig.FillBuffer();
    AddSocketMenu(f, rig.machine);
    QAction* emptySocket = nullptr;
    for (QAction* menu : f.mnuMain->actions())
      if (menu->menu())
        for (QAction* a : menu->menu()->actions())
          if (a->text() == "&Empty Socket") emptySocket = a;
    QVERIFY(emptySocket);
    const QString file = rig.folderPath + "/dropped.hex";
    bool tried = false;
    WhileItRuns([&] { f.cmdBlankChk->click(); },
                [&] {
                  if (tried || !f.lblAdres->isVisible()) return;
                  tried = true;
                  QTest::mouseClick(f.cmdRead, Qt::LeftButton);
                  QTest::mouseClick(f.chkLB1, Qt::LeftButton);
                  QTest::keySequence(&f, QKeySequence("Ctrl+O"));
                  QTest::keyClick(&f, Qt::Key_B, Qt::AltModifier);
                  QTest::keyClick(&f, Qt::Key_F10);
                  f.cboType->setFocus();
                  QTest::keyClick(f.cboType, Qt::Key_Down);
                  QMimeData data;
                  data.setUrls({QUrl::fromLocalFile(file)});
                  QDragEnterEvent drag(QPoint(10, 80), Qt::CopyAction, &data, Qt::LeftButton,
                                       Qt::NoModifier);
                  drag.setAccepted(false);
                  QApplication::sendEvent(&f, &drag);
                  QVERIFY(!drag.isAccepted());
                  // A command that reaches the window some other way is refused as well.
                  f.mnuEditClrBuffer->trigger();
                  emptySocket->trigger();
                });
    QVERIFY(tried);
    QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
    QCOMPARE(rig.messages.Last().Title, QString("  BLANK CHECK"));
    QVERIFY(rig.files.Runs.empty());
    QVERIFY(f.isVisible());
    QCOMPARE(rig.state.DeviceType, kC2051);
    QCOMPARE(f.cboType->currentIndex(), kC2051);
    QCOMPARE(rig.state.ProgBits, 0);
    QVERIFY(!f.chkLB1->isChecked());
    QCOMPARE(rig.state.DataBuffer[0x10], std::uint8_t{1});
    QVERIFY(rig.machine.InSocket() == SocketChoice{});
    QCOMPARE(f.windowTitle(), QString("  KALDO Flash Programmer"));
    // Afterwards the window takes input again.
    QTest::keySequence(&f, QKeySequence("Ctrl+O"));
    QCOMPARE(rig.files.Runs.size(), std::size_t(1));
  }

  void readoutsShowTheBlockAndTheStepFromTheWorker() {
    SlowRig rig;
    rig.Show();
    TfrmMain& f = *rig.form;
    rig.FillBuffer();
    PaintedTexts address(f.lblAdres);
    PaintedTexts step(f.lblCmd);
    f.cmdWrite->click();
    QCOMPARE(rig.messages.Last().Text, QString("Programming/Verify OK"));
    QStringList blocks;
    for (int b = 0; b < 8; ++b) blocks << QString("%1FF").arg(b, 2, 10, QChar('0'));
    // Each pass counts 00FF to 07FF: programming, then verifying.
    QCOMPARE(address.texts, blocks + blocks);
    QCOMPARE(step.texts, QStringList({"Programming", "Verifying"}));
  }

  // Closing while a command runs asks whether to stop it, naming the step the busy display
  // shows, or the check of the socket before it; No lets the command go on to its result.
  void closingWhileTheBoardWorksAsksAndNoGoesOn() {
    const struct {
      const char* name;
      QPushButton* TfrmMain::*button;
      // The step the busy display shows when the window is closed, in block 01FF; none: the
      // worker is held at the command's first port access until the question was asked.
      const char* step;
      const char* question;
      // The command's own message, shown after the question (its text unless null).
      const char* title;
      const char* text;
    } rows[] = {
        {"blank check", &TfrmMain::cmdBlankChk, "Blank Checking",
         "Blank Checking is still running.\rStop it and close the program?", "  BLANK CHECK",
         kBlankOk},
        {"write, verifying", &TfrmMain::cmdWrite, "Verifying",
         "Verifying is still running.\rStop it and close the program? The chip is then left "
         "unfinished and must be written again.",
         "  WRITE", "Programming/Verify OK"},
        {"read, the socket check", &TfrmMain::cmdRead, nullptr,
         "The check of the chip before Reading is still running.\rStop it and close the "
         "program? Nothing has been done to the chip yet.",
         "  READ", kReadAllFF},
        {"signature", &TfrmMain::cmdSignature, nullptr,
         "The signature read is still running.\rStop it and close the program?", "  SIGNATURE",
         nullptr},
    };
    for (const auto& r : rows) {
      SlowRig rig;
      rig.Show();
      TfrmMain& f = *rig.form;
      rig.FillBuffer();
      std::atomic<bool> held = false, released = false;
      if (!r.step) {
        rig.probe.OnAccess = [&] {
          if (!held.exchange(true))
            while (!released) QThread::msleep(1);
        };
      }
      bool asked = false;
      WhileItRuns([&] { (f.*r.button)->click(); },
                  [&] {
                    const bool now =
                        r.step ? f.lblCmd->text() == r.step && f.lblAdres->text() == "01FF"
                               : held.load();
                    if (asked || !now) return;
                    asked = true;
                    f.close();
                    released = true;
                  });
      rig.probe.OnAccess = nullptr;
      QVERIFY2(asked, r.name);
      QCOMPARE(rig.messages.Shown.size(), std::size_t(2));
      const MessageRequest& question = rig.messages.Shown[0].Request;
      QCOMPARE(question.Title, QString("  CLOSE"));
      QCOMPARE(question.Text, QString(r.question));
      QCOMPARE(question.Icon, MsgIcon::Question);
      QCOMPARE(question.Buttons, MsgButtons::YesNo);
      QCOMPARE(rig.messages.Last().Title, QString(r.title));
      if (r.text) QCOMPARE(rig.messages.Last().Text, QString(r.text));
      QVERIFY(f.isVisible());
    }
  }

  // The user answers nothing before the read ends: the question goes, the read is shown as it
  // would have been and the window stays.
  void stopQuestionGoesWhenTheCommandEnds() {
    SlowRig rig;
    rig.Show();
    TfrmMain& f = *rig.form;
    rig.FillBuffer();
    rig.messages.RealQuestions = true;
    // The tick that closes the window waits in the question; this timer looks at it meanwhile.
    QStringList seen;
    QTimer look;
    look.setInterval(5);
    QObject::connect(&look, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box && !seen.contains(box->text())) seen << box->text();
    });
    look.start();
    bool asked = false;
    WhileItRuns([&] { f.cmdRead->click(); },
                [&] {
                  if (asked || f.lblAdres->text() != "01FF") return;
                  asked = true;
                  f.close();
                });
    QVERIFY(asked);
    QCOMPARE(seen, QStringList({"Reading is still running.\nStop it and close the program?"}));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(rig.messages.Shown.size(), std::size_t(2));
    QCOMPARE(rig.messages.Shown[0].Request.Title, QString("  CLOSE"));
    QCOMPARE(rig.messages.Last().Title, QString("  READ"));
    QCOMPARE(rig.messages.Last().Text, QString(kReadAllFF));
    // The blank chip's bytes are in the buffer and on the grid.
    QCOMPARE(rig.state.DataBuffer[0x10], std::uint8_t{0xFF});
    QCOMPARE(f.strGrid->Cells().Cell(1, 2), QString("FF"));
    QVERIFY(f.isVisible());
    QVERIFY(rig.BoardReset());
  }

  void closingWhileTheBoardWorksAndYesStopsResetsAndCloses() {
    SlowRig rig;
    rig.Show();
    TfrmMain& f = *rig.form;
    rig.FillBuffer();
    rig.messages.Answers = {MsgAnswer::Yes};
    bool asked = false;
    WhileItRuns([&] { f.cmdWrite->click(); },
                [&] {
                  if (asked || f.lblAdres->text() != "01FF") return;
                  asked = true;
                  f.close();
                  // Asked once, however often the user closes.
                  f.close();
                });
    QVERIFY(asked);
    QTRY_VERIFY(!f.isVisible());
    // The question, and nothing of the write.
    QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
    QCOMPARE(rig.messages.Last().Title, QString("  CLOSE"));
    QCOMPARE(rig.messages.Last().Text,
             QString("Programming is still running.\rStop it and close the program? The chip is "
                     "then left unfinished and must be written again."));
    QVERIFY(rig.BoardReset());
    // Stopped while programming: the start of the chip is written, its end never was.
    const sim::Chip& chip = rig.machine.ChipDrawer().chip(kC2051);
    QCOMPARE(chip.memory[0x010], std::uint8_t{0x01});
    QCOMPARE(chip.memory[0x7FF], std::uint8_t{0xFF});
    QVERIFY(QFile::exists(rig.folderPath + "/Kaldo.set"));
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void screenshotOfTheBusyDisplayDuringAWrite() {
    SlowRig rig;
    rig.FillBuffer();
    rig.state.HexFileName = "/home/user/firmware/blink.hex";
    rig.form->UpdateHexFilename();
    rig.form->UpdateGridDisp();
    rig.form->RefreshCheckSum();
    rig.Show();
    TfrmMain& f = *rig.form;
    QPixmap picture;
    WhileItRuns([&] { f.cmdWrite->click(); },
                [&] {
                  if (picture.isNull() && f.lblAdres->text() == "03FF") picture = f.grab();
                });
    QVERIFY(!picture.isNull());
    QVERIFY(picture.save(QStringLiteral(KALDO_SCREENSHOT_DIR) + "/busy-write.png"));
  }
};

QTEST_MAIN(MainWindowWorkerTest)
#include "MainWindowWorkerTest.moc"
