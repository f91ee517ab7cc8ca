// The window programs under SIGINT, SIGTERM, SIGHUP and SIGQUIT: the window closes as its close
// handler closes it (settings saved, timer put back), and a device command that runs is stopped
// first with the board reset, without an error report.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <csignal>

#include "MainWindowRig.h"
#include "app/KaldoProgram.h"

using namespace kaldo;
using namespace kaldo::test;

class SignalCloseTest : public QObject {
  Q_OBJECT

 private slots:
  void aSignalClosesTheIdleWindow() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      Rig rig;
      StopFlag stop;
      rig.programmer.UseStopFlag(stop);
      SignalCloser closer(stop);
      closer.Watch(*rig.form);
      rig.Show();
      raise(signal);
      QTRY_VERIFY(!rig.form->isVisible());
      QVERIFY(rig.programmer.Closed());
      QCOMPARE(rig.probe.LastTimerCommand, 0xB6);
      QVERIFY(QFile::exists(rig.folderPath + "/Kaldo.set"));
      QVERIFY(rig.messages.Shown.empty());
      QCOMPARE(stop.Signal(), signal);
    }
  }

  void aSignalStopsTheCommandThenClosesTheWindow() {
    Rig rig;
    StopFlag stop;
    rig.programmer.UseStopFlag(stop);
    SignalCloser closer(stop);
    closer.Watch(*rig.form);
    rig.Show();
    rig.form->cboType->setCurrentIndex(8);  // AT89C51RC: a read long enough to stop
    long accesses = 0;
    rig.probe.OnAccess = [&] {
      if (++accesses == 200000) raise(SIGTERM);
    };
    QTest::mouseClick(rig.form->cmdRead, Qt::LeftButton);
    QVERIFY(rig.messages.Shown.empty());  // no error report, no "Data Reading Complete"
    const sim::SimulatedPC& pc = rig.machine.Pc();
    QCOMPARE(int(pc.ControlRegister()), 0x07);
    QVERIFY(pc.Lines().mode & 0x80);
    QVERIFY(!pc.Lines().dataDriven);
    QVERIFY(rig.form->isVisible());  // the window closes from the event loop
    QTRY_VERIFY(!rig.form->isVisible());
    QCOMPARE(rig.probe.LastTimerCommand, 0xB6);
    QVERIFY(rig.messages.Shown.empty());
  }
};

QTEST_MAIN(SignalCloseTest)
#include "SignalCloseTest.moc"
