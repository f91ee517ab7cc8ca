// The main window's commands on the simulated PC: device commands with their busy display and
// messages, the program-bits panel, start-up, the general error report and closing.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>
#include <tuple>

#include "MainWindowRig.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

constexpr int kC51 = 0, kS51 = 3, kS53 = 5, kC2051 = 11;
// An erased chip of a device that does not report its lock bits: it may be a locked one.
constexpr const char* kBlankOk =
    "Blank Check O.K\rA locked chip reads as blank too, and this one's lock bits could not be "
    "read.";

std::string ReadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

}  // namespace

class MainWindowCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void deviceCommandsShowTheirMessages() {
    Rig rig;
    rig.Show();
    TfrmMain& f = *rig.form;
    f.cboType->setCurrentIndex(kC2051);
    for (int a = 0; a < 0x800; ++a) rig.state.DataBuffer[a] = static_cast<std::uint8_t>(a * 3);
    rig.state.HexFileName = "/work/app.hex";
    f.UpdateHexFilename();
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    // The box keeps the focus, which a disabled control gives away meanwhile.
    f.cboType->setFocus();
    rig.probe.WatchLook = true;

    struct Step {
      QPushButton* button;
      const char* busyText;
      const char* title;
      const char* text;
      MsgIcon icon;
      const char* readout;  // the block in progress when the routine ended
    };
    const Step steps[] = {
        {f.cmdBlankChk, "Blank Checking", "  BLANK CHECK", kBlankOk, MsgIcon::Information, "07FF"},
        {f.cmdWrite, "Verifying", "  WRITE", "Programming/Verify OK", MsgIcon::Information, "07FF"},
        {f.cmdVerify, "Verifying", "  VERIFY", "Verify OK", MsgIcon::Information, "07FF"},
        // Byte 0 now holds 00: the blank check stops in the first block.
        {f.cmdBlankChk, "Blank Checking", "  BLANK CHECK",
         "Blank Check Error @ Address  0000\rData Read  =  00", MsgIcon::Warning, "00FF"},
    };
    for (const Step& s : steps) {
      rig.messages.Shown.clear();
      rig.probe.Reset();
      // Reload File and the lock bit and fuse the AT89C2051 lacks are disabled already.
      const std::vector<bool> enabled = EnabledStates(f);
      QTest::mouseClick(s.button, Qt::LeftButton);
      QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
      const ShownMessage& m = rig.messages.Shown.front();
      QCOMPARE(m.Request.Title, QString(s.title));
      QCOMPARE(m.Request.Text, QString(s.text));
      QCOMPARE(m.Request.Icon, s.icon);
      QCOMPARE(m.Request.Buttons, MsgButtons::Ok);
      // The busy display stood for the whole operation and was gone before the message.
      QVERIFY(rig.probe.Accesses > 0);
      QCOMPARE(rig.probe.BusyAccesses, rig.probe.Accesses);
      QCOMPARE(rig.probe.HourglassAccesses, rig.probe.Accesses);
      // Every control the command refused looked disabled, and each is back as it was.
      QVERIFY(rig.probe.LookChecks > 0);
      QCOMPARE(rig.probe.DisabledLooks, rig.probe.LookChecks);
      QVERIFY(EnabledStates(f) == enabled);
      QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.cboType));
      QVERIFY(m.StatusBarVisible && !m.Hourglass);
      QVERIFY(!f.lblCmd->isVisible() && !f.lblAdres->isVisible() && f.stsBar->isVisible());
      QCOMPARE(f.lblCmd->text(), QString(s.busyText));
      QCOMPARE(f.lblAdres->text(), QString(s.readout));
    }

    // A buffer that differs from the device: Verify warns with the routine's text.
    rig.state.DataBuffer[0x123] ^= 0x01;
    rig.messages.Shown.clear();
    f.cmdVerifyClick();
    QCOMPARE(rig.messages.Last().Title, QString("  VERIFY"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Warning);
    QCOMPARE(rig.messages.Last().Text,
             QString("Buffer Verify Error @ Address  0123\rData Read  =  69\rProg Data   =  68"));
  }

  void writeNamesTheProgramBitsWheneverAnyIsSet() {
    Rig rig;
    TfrmMain& f = *rig.form;
    f.cboType->setCurrentIndex(kS53);
    f.chkISP->setChecked(true);
    QCOMPARE(rig.state.ProgBits, 8);
    rig.state.DataBuffer[0] = 0x02;
    f.cmdWriteClick();
    QCOMPARE(rig.messages.Last().Title, QString("  WRITE"));
    QCOMPARE(rig.messages.Last().Text, QString("Programming/Verify OK\rLock Bits Programmed"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Information);
    QCOMPARE(DisplayText(rig.messages.Last().Text),
             QString("Programming/Verify OK\nLock Bits Programmed"));
  }

  void failedWriteShowsTheRoutinesTextAsAnError() {
    Rig rig;
    TfrmMain& f = *rig.form;
    f.cboType->setCurrentIndex(kC51);
    rig.machine.ChipDrawer().chip(kC51).wontProgram.insert(0x0010);
    for (int a = 0; a < 0x20; ++a) rig.state.DataBuffer[a] = 0x00;
    f.cmdWriteClick();
    QCOMPARE(rig.messages.Last().Title, QString("  WRITE"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Error);
    QCOMPARE(rig.messages.Last().Text,
             QString("Program Verify Error @ Address  0010\rData Read  =  FF\rProg Data   =  00"));
  }

  // Data past the device's end: Write and Verify ask first; No (the default) runs nothing, Yes
  // goes on with the part that fits.
  void writeAndVerifyAskAboutDataPastTheDevice() {
    Rig rig;
    TfrmMain& f = *rig.form;
    f.cboType->setCurrentIndex(kC2051);
    rig.state.DataBuffer[0] = 0x12;
    rig.state.DataBuffer[0x2000] = 0x34;
    rig.state.DataBuffer[0x3376] = 0x56;
    const QString question =
        "The image holds data at 2000-3376, past the AT89C2051's last address 07FF.\r%1 only its "
        "bytes 0000-07FF?";
    for (const auto& [button, verb, title] : {std::tuple{f.cmdWrite, "Write", "  WRITE"},
                                              std::tuple{f.cmdVerify, "Verify", "  VERIFY"}}) {
      for (MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        rig.messages.Shown.clear();
        rig.messages.Answers = {answer};
        rig.probe.Reset();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(rig.messages.Shown.front().Request.Text, question.arg(verb));
        QCOMPARE(rig.messages.Shown.front().Request.Title, QString(title));
        QCOMPARE(rig.messages.Shown.front().Request.Buttons, MsgButtons::YesNo);
        QCOMPARE(rig.messages.Shown.front().Request.Icon, MsgIcon::Warning);
        if (answer == MsgAnswer::No) {
          QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
          QCOMPARE(rig.probe.Accesses, 0L);
        } else {
          QCOMPARE(rig.messages.Shown.size(), std::size_t(2));
          QVERIFY(rig.messages.Last().Text.startsWith(
              QString(verb) == "Write" ? "Programming/Verify OK" : "Verify OK"));
        }
      }
    }
    QCOMPARE(rig.machine.ChipDrawer().chip(kC2051).memory[0], 0x12);
  }

  void readReplacesTheBufferAndForgetsTheFile() {
    Rig rig;
    rig.Show();
    TfrmMain& f = *rig.form;
    f.cboType->setCurrentIndex(kC2051);
    for (int a = 0; a < 0x800; ++a) rig.state.DataBuffer[a] = static_cast<std::uint8_t>(0x80 + a);
    f.cmdWriteClick();
    BlankBuffer(rig.state);
    rig.state.HexFileName = "/work/firmware/app.hex";
    f.UpdateHexFilename();
    rig.messages.Shown.clear();
    rig.probe.Reset();

    f.cmdReadClick();
    QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
    QCOMPARE(rig.messages.Last().Title, QString("  READ"));
    QCOMPARE(rig.messages.Last().Text, QString("Data Reading Complete"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Information);
    QCOMPARE(rig.probe.BusyAccesses, rig.probe.Accesses);
    QCOMPARE(f.lblCmd->text(), QString("Reading"));
    QVERIFY(rig.state.HexFileName.empty());
    QCOMPARE(QString::fromStdString(rig.state.FilePath), QString("/work/firmware/"));
    QCOMPARE(f.stsBar->Panel(0), QString(" ATMEL 89 Series Flash Programmer"));
    QCOMPARE(f.strGrid->Cells().Cell(2, 1), QString("81"));
    QCOMPARE(f.lblCSdata->text(),
             QString::number(BufferChecksum(rig.state), 16).rightJustified(4, '0').toUpper());
    QCOMPARE(rig.state.DataBuffer[0x7FF], 0x7F);
  }

  // A read the port fails part-way has replaced part of the buffer: the window shows it and the
  // file is forgotten. One that fails before the first byte leaves both as they were.
  void readStoppedByALostPortShowsWhatItRead() {
    const struct {
      std::uint32_t lostFrom;  // the chip's address counter when the port goes
      bool partRead;
    } rows[] = {{0x300, true}, {0x000, false}};
    for (const auto& r : rows) {
      Rig rig;
      TfrmMain& f = *rig.form;
      f.cboType->setCurrentIndex(kC2051);
      for (int a = 0; a < 0x800; ++a) rig.state.DataBuffer[a] = static_cast<std::uint8_t>(a / 8);
      f.cmdWriteClick();
      BlankBuffer(rig.state);
      rig.state.HexFileName = "/work/firmware/app.hex";
      f.UpdateHexFilename();
      f.UpdateGridDisp();
      f.RefreshCheckSum();
      rig.messages.Shown.clear();
      rig.probe.LoseWhen = [&rig, from = r.lostFrom] {
        return rig.machine.Pc().AddressCounter() >= from;
      };

      f.cmdRead->click();
      QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
      QCOMPARE(rig.messages.Last().Text, QString(kUnreachableText) + ".");
      QCOMPARE(rig.state.DataBuffer[0x10] == 0x02, r.partRead);
      QCOMPARE(rig.state.HexFileName.empty(), r.partRead);
      QCOMPARE(f.strGrid->Cells().Cell(1, 2), QString(r.partRead ? "02" : "FF"));
      QCOMPARE(f.lblCSdata->text(),
               QString::number(BufferChecksum(rig.state), 16).rightJustified(4, '0').toUpper());
      QCOMPARE(f.stsBar->Panel(0),
               QString(r.partRead ? " ATMEL 89 Series Flash Programmer" : " Hex File :  APP.HEX"));
    }
  }

  // Each command that touches the chip checks the socket first: only the right chip gets a
  // success text, and no programming cycle ever reaches another chip.
  void commandsTouchOnlyTheRightChip() {
    using K = SocketChoice::Kind;
    const QString noChip = "No chip answered (signature ";
    const QString wrongChip =
        "Wrong chip: the socket holds an AT89C51 (1E 51 FF) where the AT89S51 has 1E 51 06.\rPut "
        "an AT89S51 in the socket, or choose the type of the chip that is there.";
    const struct {
      const char* name;
      SocketChoice socket;
      bool otherPort;    // LPT-2, where the simulated PC has no port
      const char* port;  // named by the refusal of a chip that did not answer
    } rows[] = {
        {"empty socket", {K::Empty}, false, "0x0378"},
        {"no board", {K::NoBoard}, false, "0x0378"},
        {"port with nothing on it", {}, true, "0x0278"},
        {"another device's chip", {K::OtherChip, kC51}, false, nullptr},
        {"the right chip", {}, false, nullptr},
    };
    const char* successes[] = {"Blank Check O.K", "Data Reading Complete", "Verify OK",
                               "Programming/Verify OK"};
    for (const auto& r : rows) {
      Rig rig;
      TfrmMain& f = *rig.form;
      f.cboType->setCurrentIndex(kS51);
      rig.machine.PutInSocket(r.socket);
      if (r.otherPort) f.mnuPortLPT2->trigger();
      rig.machine.Pc().SetEventTracing(true);
      const bool right = QString(r.name) == "the right chip";
      QPushButton* buttons[] = {f.cmdBlankChk, f.cmdRead, f.cmdVerify, f.cmdWrite};
      for (int i = 0; i < 4; ++i) {
        const QString what = QString(r.name) + ", " + buttons[i]->text();
        rig.state.DataBuffer[0] = right ? 0xFF : 0x12;
        rig.state.HexFileName = "/work/app.hex";
        rig.messages.Shown.clear();
        rig.probe.Reset();
        QTest::mouseClick(buttons[i], Qt::LeftButton);
        QVERIFY2(rig.messages.Shown.size() == 1, qPrintable(what));
        const MessageRequest& m = rig.messages.Last();
        QCOMPARE(rig.probe.BusyAccesses, rig.probe.Accesses);
        if (right) {
          QCOMPARE(m.Text, QString(successes[i]));
          QCOMPARE(m.Icon, MsgIcon::Information);
          continue;
        }
        const QString refusal = r.port ? noChip : wrongChip;
        QVERIFY2(m.Text.startsWith(refusal), qPrintable(what + ": " + m.Text));
        if (r.port)
          QVERIFY2(m.Text.contains(QString("\rPort: ") + r.port + ".\r"), qPrintable(m.Text));
        QVERIFY2(m.Text.contains("Nothing was done."), qPrintable(m.Text));
        QCOMPARE(m.Icon, MsgIcon::Warning);
        QCOMPARE(m.Buttons, MsgButtons::YesNo);  // go on anyway: No unless chosen
        // Nothing read into the buffer, the file not forgotten.
        QCOMPARE(rig.state.DataBuffer[0], std::uint8_t{0x12});
        QCOMPARE(rig.state.HexFileName, std::string("/work/app.hex"));
      }
      rig.messages.Shown.clear();
      QTest::mouseClick(f.cmdSignature, Qt::LeftButton);
      const MessageRequest& m = rig.messages.Last();
      QCOMPARE(m.Icon, right ? MsgIcon::Information : MsgIcon::Warning);
      if (r.port) {
        QVERIFY2(m.Text.startsWith(noChip), qPrintable(m.Text));
        QVERIFY2(m.Text.endsWith(QString("\rPort: ") + r.port + "."), qPrintable(m.Text));
      } else if (!right) {
        QVERIFY2(m.Text.startsWith(wrongChip), qPrintable(m.Text));
      }
      for (const sim::BoardEvent& e : rig.machine.Pc().Events())
        QVERIFY2(right || e.kind != sim::EventKind::Cycle || e.op == sim::ChipOp::ReadSignature ||
                     e.op == sim::ChipOp::ReadCode || e.op == sim::ChipOp::ReadLock ||
                     e.op == sim::ChipOp::ReadFuse,
                 qPrintable(QString(r.name) + ": " + QString::fromStdString(e.Text())));
    }
  }

  // Told that the socket holds another chip, the user may go on anyway.
  void goingOnAnywayRunsTheCommand() {
    Rig rig;
    TfrmMain& f = *rig.form;
    f.cboType->setCurrentIndex(kS51);
    rig.machine.PutInSocket({SocketChoice::Kind::OtherChip, kC51});
    rig.state.DataBuffer[0] = 0x00;
    rig.messages.Answers = {MsgAnswer::Yes};
    QTest::mouseClick(f.cmdWrite, Qt::LeftButton);
    QCOMPARE(rig.messages.Shown.size(), std::size_t(2));
    QCOMPARE(rig.messages.Last().Title, QString("  WRITE"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Error);
  }

  void signatureRunsWithoutTheBusyDisplay() {
    Rig rig;
    rig.Show();
    TfrmMain& f = *rig.form;
    f.cboType->setCurrentIndex(kS53);
    rig.probe.Reset();
    rig.probe.WatchLook = true;
    const std::vector<bool> enabled = EnabledStates(f);  // Reload File disabled: no file
    QTest::mouseClick(f.cmdSignature, Qt::LeftButton);
    QVERIFY(rig.probe.Accesses > 0);
    QVERIFY(rig.probe.LookChecks > 0);
    QCOMPARE(rig.probe.DisabledLooks, rig.probe.LookChecks);
    QVERIFY(EnabledStates(f) == enabled);
    QCOMPARE(rig.probe.BusyAccesses, 0L);
    QCOMPARE(rig.probe.HourglassAccesses, 0L);
    QCOMPARE(rig.messages.Last().Title, QString("  SIGNATURE"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Information);
    QCOMPARE(
        rig.messages.Last().Text,
        QString("Signature & Program Bits Info For 89S53\rByte-1          1E\rByte-2          "
                "53\rLock Bit-1    OFF\rLock Bit-2    OFF\rLock Bit-3    OFF\rISP Bit         ON"));
  }

  void panelFollowsTheDevice() {
    Rig rig;
    TfrmMain& f = *rig.form;
    // AT89S53 with the ISP fuse, then AT89C51, then AT89S53 again.
    f.cboType->setCurrentIndex(kS53);
    QVERIFY(f.chkISP->isEnabled() && f.chkLB3->isEnabled());
    f.chkISP->click();
    f.chkLB1->click();
    QCOMPARE(rig.state.ProgBits, 9);
    f.cboType->setCurrentIndex(kC51);
    QVERIFY(!f.chkISP->isChecked() && !f.chkISP->isEnabled());
    QVERIFY(f.chkLB1->isChecked() && f.chkLB3->isEnabled());
    QCOMPARE(rig.state.ProgBits, 1);
    f.cboType->setCurrentIndex(kS53);
    QVERIFY(f.chkISP->isEnabled() && !f.chkISP->isChecked());
    QCOMPARE(rig.state.ProgBits, 1);
    // Lock Bit-3 goes the same way on a 20-pin device; Lock Bit-1 and -2 are never disabled.
    f.chkLB3->click();
    QCOMPARE(rig.state.ProgBits, 5);
    f.cboType->setCurrentIndex(kC2051);
    QVERIFY(!f.chkLB3->isChecked() && !f.chkLB3->isEnabled());
    QVERIFY(f.chkLB1->isEnabled() && f.chkLB2->isEnabled());
    QCOMPARE(rig.state.ProgBits, 1);
    f.chkLB1->click();
    f.chkLB2->click();
    QCOMPARE(rig.state.ProgBits, 2);
    QCOMPARE(rig.state.DeviceSize, 0x0800);
  }

  void panelAtStartUpKeepsBitsTheDeviceLacks() {
    const struct {
      const char* type;
      const char* bits;
      int progBits;
      bool lb1, lb2, lb3, lb3Enabled, isp, ispEnabled;
    } rows[] = {
        {"11", "7", 7, true, true, false, false, false, false},
        {"0", "8", 8, false, false, false, true, false, false},
        {"5", "15", 15, true, true, true, true, true, true},
        {"8", "4", 4, false, false, true, true, false, false},
    };
    for (const auto& r : rows) {
      Rig rig({r.type, r.bits, "888", ""});
      TfrmMain& f = *rig.form;
      QCOMPARE(rig.state.ProgBits, r.progBits);
      QCOMPARE(f.chkLB1->isChecked(), r.lb1);
      QCOMPARE(f.chkLB2->isChecked(), r.lb2);
      QCOMPARE(f.chkLB3->isChecked(), r.lb3);
      QCOMPARE(f.chkLB3->isEnabled(), r.lb3Enabled);
      QCOMPARE(f.chkISP->isChecked(), r.isp);
      QCOMPARE(f.chkISP->isEnabled(), r.ispEnabled);
      QCOMPARE(f.cboType->currentIndex(), QString(r.type).toInt());
    }
    // The kept bit makes Write name the program bits.
    Rig rig({"0", "8", "888", ""});
    rig.form->cmdWriteClick();
    QCOMPARE(rig.messages.Last().Text, QString("Programming/Verify OK\rLock Bits Programmed"));
  }

  void unknownDeviceTypeTouchesNothing() {
    Rig rig({"20", "0", "888", ""});
    TfrmMain& f = *rig.form;
    QCOMPARE(f.cboType->currentIndex(), -1);
    rig.state.HexFileName = "/x/keep.hex";
    rig.state.DataBuffer[0] = 0x12;
    rig.probe.Reset();
    for (QPushButton* b : {f.cmdRead, f.cmdBlankChk, f.cmdVerify, f.cmdWrite, f.cmdSignature}) {
      rig.messages.Shown.clear();
      b->click();
      QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
      QCOMPARE(rig.messages.Last().Text, QString(kNoDeviceText));
    }
    QCOMPARE(rig.state.HexFileName, std::string("/x/keep.hex"));
    QCOMPARE(rig.state.DataBuffer[0], 0x12);
  }

  void startUpAfterABadSettingsLineStillSetsEverythingUp() {
    Rig rig({"11", "x7", "632", ""});
    TfrmMain& f = *rig.form;
    QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
    QCOMPARE(rig.messages.Last().Title, QString(" KALDO"));
    QVERIFY(rig.messages.Last().Text.contains("/Kaldo.set, line 2: 'x7' is not a valid integer"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Error);
    // The line before the bad one was taken; the displays, grid and timer were still set up.
    QCOMPARE(f.cboType->currentIndex(), kC2051);
    QCOMPARE(rig.state.DeviceSize, 0x0800);
    QVERIFY(!f.chkLB3->isEnabled());
    QVERIFY(f.mnuPortLPT1->isChecked());
    QCOMPARE(f.strGrid->Cells().Cell(0, 2048), QString(" 7FF0"));
    QCOMPARE(f.strGrid->Cells().Cell(1, 1), QString("FF"));
    QCOMPARE(f.lblCSdata->text(), QString("F800"));
    QVERIFY(!f.lblAdres->isVisibleTo(&f));
    f.cmdBlankChkClick();
    QCOMPARE(rig.messages.Last().Text, QString(kBlankOk));
  }

  void startUpLoadsTheRememberedFile() {
    QTemporaryDir dir;
    const QString hex = dir.path() + "/prog.hex";
    QFile out(hex);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(":0400100001020304E2\r\n:00000001FF\r\n");
    out.close();
    Rig rig({"0", "0", "888", hex.toStdString()}, dir.path());
    TfrmMain& f = *rig.form;
    QVERIFY(rig.messages.Shown.empty());
    QCOMPARE(f.stsBar->Panel(0), QString(" Hex File :  PROG.HEX"));
    QCOMPARE(QString::fromStdString(rig.state.FilePath), dir.path() + "/");
    QCOMPARE(f.strGrid->Cells().Cell(1, 2), QString("01"));
    QCOMPARE(f.strGrid->Cells().Cell(4, 2), QString("04"));
  }

  void errorsRaisedByACommandAreReportedAndTheWindowCarriesOn() {
    Rig rig;
    rig.Show();
    TfrmMain& f = *rig.form;
    QVERIFY(rig.messages.Shown.empty());
    const std::int64_t timeout = rig.port.WaitTimeoutNs;
    rig.port.WaitTimeoutNs = 20'000'000;
    rig.probe.DeadTimer = true;
    QTest::mouseClick(f.cmdBlankChk, Qt::LeftButton);
    QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
    QCOMPARE(rig.messages.Last().Title, QString(" KALDO"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Error);
    QVERIFY(rig.messages.Last().Text.endsWith('.'));
    QVERIFY(!rig.messages.Last().Text.endsWith(".."));
    // The busy display went with the error.
    QVERIFY(f.stsBar->isVisible() && !f.lblAdres->isVisible());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    rig.probe.DeadTimer = false;
    rig.port.WaitTimeoutNs = timeout;
    QTest::mouseClick(f.cmdBlankChk, Qt::LeftButton);
    QCOMPARE(rig.messages.Last().Text, QString(kBlankOk));
  }

  // The settings come first, so the timer is set up and the board first touched through the
  // port the settings name.
  void startUpSetsTheTimerThenTheBoardOnTheRememberedPort() {
    Rig rig({"0", "0", "632", ""});
    const std::vector<std::uint16_t>& ports = rig.probe.FirstPorts;
    QVERIFY(!ports.empty());
    QCOMPARE(int(ports.front()), 0x61);
    const auto lpt = std::find_if(ports.begin(), ports.end(),
                                  [](std::uint16_t p) { return p < 0x42 || p > 0x61; });
    QVERIFY(lpt != ports.end());
    QCOMPARE(int(*lpt), 0x278);
    QVERIFY(std::find(ports.begin(), lpt, std::uint16_t(0x43)) != lpt);  // the timer's mode read
    QVERIFY(std::none_of(ports.begin(), ports.end(),
                         [](std::uint16_t p) { return p >= 0x378 && p <= 0x37A; }));
  }

  // Without the port the timer and board steps all fail alike: the user hears it once at start,
  // again whenever a command is asked for, and not once more when the program ends.
  void unreachablePortIsReportedOncePerCause() {
    const QString unreachable = QString(kUnreachableText) + ".";
    const struct {
      std::vector<std::string> settings;
      bool byExit;
      QStringList atStart;
    } rows[] = {
        {{}, false, {unreachable}},
        {{}, true, {unreachable}},
        {{"11", "x", "888", ""}, false, {"settings", unreachable}},
    };
    for (const auto& r : rows) {
      Rig rig(r.settings, {}, true);
      TfrmMain& f = *rig.form;
      QStringList shown;
      for (const ShownMessage& m : rig.messages.Shown) {
        QCOMPARE(m.Request.Title, QString(" KALDO"));
        QCOMPARE(m.Request.Icon, MsgIcon::Error);
        shown << m.Request.Text;
      }
      // A bad settings line: the file, the line, and what becomes of the settings.
      QStringList atStart = r.atStart;
      atStart.replaceInStrings(
          QRegularExpression("^settings$"),
          "The settings file " + rig.folderPath +
              "/Kaldo.set, line 2: 'x' is not a valid integer value\rThe settings from that line "
              "on keep the values they had, and the file is written anew when the program ends.");
      QCOMPARE(shown, atStart);
      QCOMPARE(rig.probe.Refused, 2);  // the timer and the board were both tried
      QCOMPARE(f.lblCSdata->text(), QString(r.settings.empty() ? "F000" : "F800"));
      QCOMPARE(f.strGrid->Cells().Cell(16, 8), QString("FF"));

      rig.Show();
      for (QPushButton* b : {f.cmdBlankChk, f.cmdRead}) {
        rig.messages.Shown.clear();
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
        QCOMPARE(rig.messages.Last().Text, unreachable);
        QVERIFY(f.stsBar->isVisible() && QApplication::overrideCursor() == nullptr);
      }

      rig.messages.Shown.clear();
      if (r.byExit)
        f.mnuFileExit->trigger();
      else
        f.close();
      QVERIFY(!f.isVisible());
      QVERIFY(rig.messages.Shown.empty());
      QVERIFY(QFile::exists(rig.folderPath + "/Kaldo.set"));
    }
  }

  // A timer that cannot be put back for a reason not yet shown is reported, once, however the
  // program ends.
  void newFailureToRestoreTheTimerIsReportedOnce() {
    for (bool byExit : {false, true}) {
      Rig rig;
      rig.Show();
      rig.probe.Unreachable = true;
      if (byExit)
        rig.form->mnuFileExit->trigger();
      else
        rig.form->close();
      QVERIFY(!rig.form->isVisible());
      QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
      QCOMPARE(rig.messages.Last().Text, QString(kUnreachableText) + ".");
    }
  }

  void closeSavesTheSettings() {
    Rig rig;
    rig.Show();
    TfrmMain& f = *rig.form;
    f.cboType->setCurrentIndex(kS53);
    f.chkISP->click();
    f.mnuPortLPT2->trigger();
    rig.state.HexFileName = "/w/a.hex";
    f.cmdBlankChkClick();
    QCOMPARE(rig.probe.LastTimerCommand, 0xB0);
    rig.messages.Shown.clear();
    QVERIFY(f.close());
    QCOMPARE(rig.probe.LastTimerCommand, 0xB6);
    QCOMPARE(ReadFile(rig.folderPath + "/Kaldo.set"), std::string("5\r\n8\r\n632\r\n/w/a.hex\r\n"));
    QVERIFY(rig.messages.Shown.empty());
  }

  // Exit puts the timer back itself, and the close handler does it again with the same values;
  // closing by other means does it once.
  void exitPutsTheTimerBackTwiceAndCloseOnce() {
    for (bool byExit : {false, true}) {
      Rig rig;
      rig.Show();
      rig.probe.TimerCommands.clear();
      if (byExit)
        rig.form->mnuFileExit->trigger();
      else
        rig.form->close();
      QCOMPARE(rig.probe.TimerCommands, std::vector<int>(byExit ? 2 : 1, 0xB6));
    }
  }

  void exitSavesAndCloses() {
    Rig rig;
    rig.Show();
    rig.form->cboType->setCurrentIndex(kC2051);
    rig.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.form.get()));
    QTest::keyClick(rig.form.get(), Qt::Key_F10);
    QVERIFY(!rig.form->isVisible());
    QCOMPARE(ReadFile(rig.folderPath + "/Kaldo.set"), std::string("11\r\n0\r\n888\r\n\r\n"));
    QVERIFY(rig.messages.Shown.empty());
  }

  // Settings that cannot be written at exit: the file and why, then another file if the user
  // wants one. The question comes once, and the window still closes.
  void failedSaveNamesTheFileAndOffersAnotherPlace() {
    for (bool byExit : {false, true})
      for (bool elsewhere : {false, true}) {
        Rig rig;
        rig.Show();
        QVERIFY(QDir(rig.folderPath).mkpath("Kaldo.set/blocked"));  // a folder where the file goes
        const QString other = rig.folderPath + "/other.set";
        if (elsewhere) {
          rig.messages.Answers = {MsgAnswer::Yes};
          rig.files.Answers = {other};
        }
        if (byExit)
          rig.form->mnuFileExit->trigger();
        else
          rig.form->close();
        QVERIFY(!rig.form->isVisible());
        QCOMPARE(rig.probe.LastTimerCommand, 0xB6);  // the timer is put back all the same
        QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
        const MessageRequest& m = rig.messages.Last();
        QCOMPARE(m.Title, QString("  SETTINGS"));
        QCOMPARE(m.Icon, MsgIcon::Error);
        QCOMPARE(m.Buttons, MsgButtons::YesNo);
        QVERIFY2(
            m.Text.contains(rig.folderPath + "/Kaldo.set") && m.Text.contains(": Is a directory"),
            qPrintable(m.Text));
        QVERIFY(m.Text.endsWith("Save them in another file?"));
        QCOMPARE(rig.files.Runs.size(), std::size_t(elsewhere ? 1 : 0));
        QCOMPARE(ReadFile(other), std::string(elsewhere ? "0\r\n0\r\n888\r\n\r\n" : ""));
      }
  }

  void chipsKeepTheirContentsAcrossRuns() {
    QTemporaryDir dir;
    {
      Rig first({}, dir.path());
      first.form->cboType->setCurrentIndex(kC2051);
      for (int a = 0; a < 0x800; ++a)
        first.state.DataBuffer[a] = static_cast<std::uint8_t>(a % 251);
      first.form->cmdWriteClick();
      QCOMPARE(first.messages.Last().Text, QString("Programming/Verify OK"));
      first.form->mnuFileExit->trigger();
    }
    Rig second({}, dir.path());
    QCOMPARE(second.form->cboType->currentIndex(), kC2051);
    second.form->cmdReadClick();
    for (int a = 0; a < 0x800; ++a) QCOMPARE(int(second.state.DataBuffer[a]), a % 251);
  }
};

QTEST_MAIN(MainWindowCommandsTest)
#include "MainWindowCommandsTest.moc"
