// The window programs under SIGINT, SIGTERM, SIGHUP and SIGQUIT: the window closes as its close
// handler closes it (settings saved, timer put back), and a device command that runs is stopped
// first with the board reset, without an error report.
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "MainWindowRig.h"
#include "app/KaldoProgram.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

// A shown main window whose programmer and signal closer share one stop flag.
struct SignalRig {
  SignalRig() {
    rig.programmer.UseStopFlag(stop);
    closer.Watch(*rig.form);
    rig.Show();
  }
  StopFlag stop;
  Rig rig;
  SignalCloser closer{stop};
};

// Notes, for another thread to see, that the window was asked to close.
struct CloseSeen : QObject {
  explicit CloseSeen(QWidget& window) { window.installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Close) seen = true;
    return false;
  }
  std::atomic<bool> seen{false};
};

}  // namespace

class SignalCloseTest : public QObject {
  Q_OBJECT

 private slots:
  void aSignalClosesTheIdleWindow() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      SignalRig s;
      Rig& rig = s.rig;
      raise(signal);
      QTRY_VERIFY(!rig.form->isVisible());
      QVERIFY(rig.programmer.Closed());
      QCOMPARE(rig.probe.LastTimerCommand, 0xB6);
      QVERIFY(QFile::exists(rig.folderPath + "/Kaldo.set"));
      QVERIFY(rig.messages.Shown.empty());
      QCOMPARE(s.stop.Signal(), signal);
    }
  }

  // A signal in the middle of a device command: the window hears of it while the command still
  // runs (its event loop goes on meanwhile), asks nothing, and closes once the routine has
  // stopped and the board is reset.
  void aSignalStopsTheCommandThenClosesTheWindow() {
    SignalRig s;
    Rig& rig = s.rig;
    rig.form->cboType->setCurrentIndex(8);  // AT89C51RC: a read long enough to stop
    CloseSeen closeSeen(*rig.form);
    long accesses = 0;
    rig.probe.OnAccess = [&] {  // on the worker, early in the read
      if (++accesses != 20000) return;
      raise(SIGTERM);
      // The window's event loop hears of it before the routine looks at the flag; the bound only
      // catches a hang.
      for (int i = 0; i < 60000 && !closeSeen.seen; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    QTest::mouseClick(rig.form->cmdRead, Qt::LeftButton);
    QVERIFY(closeSeen.seen);
    QVERIFY(rig.messages.Shown.empty());  // no question, no error report, no "Data Reading..."
    const sim::SimulatedPC& pc = rig.machine.Pc();
    QCOMPARE(int(pc.ControlRegister()), 0x07);
    QVERIFY(pc.Lines().mode & 0x80);
    QVERIFY(!pc.Lines().dataDriven);
    QTRY_VERIFY(!rig.form->isVisible());
    QCOMPARE(rig.probe.LastTimerCommand, 0xB6);
    QVERIFY(rig.messages.Shown.empty());
  }

  // A start-up step that fails shows its error in a box before the event loop runs: a signal ends
  // the box and the program. kaldo-sim from a folder of its own (its settings and chips go there),
  // whose chips file is empty and so refused.
  void aSignalEndsTheStartUpErrorBox() {
    QTemporaryDir folder;
    const QString program = folder.filePath(QStringLiteral("kaldo-sim"));
    QVERIFY(QFile::copy(QStringLiteral(KALDO_SIM_PROGRAM), program));
    QFile chips(folder.filePath(QStringLiteral("Kaldo.chips")));
    QVERIFY(chips.open(QIODevice::WriteOnly));
    chips.close();
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      QProcess kaldoSim;
      kaldoSim.start(program, {});
      QVERIFY(kaldoSim.waitForStarted());
      // The box is up once the program waits in its event loop.
      const auto inEventLoop = [&kaldoSim] {
        QFile wchan(QStringLiteral("/proc/%1/wchan").arg(kaldoSim.processId()));
        return wchan.open(QIODevice::ReadOnly) && wchan.readAll().contains("poll");
      };
      QTRY_VERIFY_WITH_TIMEOUT(inEventLoop(), 60000);  // the bound only catches a hang
      ::kill(static_cast<pid_t>(kaldoSim.processId()), signal);
      QVERIFY(kaldoSim.waitForFinished(60000));
      QCOMPARE(kaldoSim.exitStatus(), QProcess::NormalExit);
      QCOMPARE(kaldoSim.exitCode(), 128 + signal);
      QVERIFY(!kaldoSim.readAllStandardError().contains("Interrupted"));  // no board was touched
    }
    QCOMPARE(QFileInfo(chips).size(), 0);
  }
};

QTEST_MAIN(SignalCloseTest)
#include "SignalCloseTest.moc"
