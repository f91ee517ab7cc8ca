// Production runs from the window on the simulated PC: the same run as kaldo-cli produce on the
// same supply, a stop and a close in the middle of a chip, the dialog's checks before the first
// chip, the choices kept in the settings file, and the large status line.
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <sstream>

#include "MainWindowRig.h"
#include "app/ProductionChoices.h"
#include "app/SocketMenu.h"
#include "app/UnitFormProductionRun.h"
#include "app/UnitFormProductionSetup.h"
#include "production/ProductionLog.h"
#include "production/SerialCounter.h"
#include "sim/Drawer.h"
#include "tests/production/LogLines.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

constexpr int kC2051 = 11, kS51 = 3;

std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A window on the simulated PC with the AT89C2051 chosen, whose log names the board as kaldo-cli
// --sim does and whose supply says when it has no chip left, as kaldo-sim's does.
struct ProductionRig : Rig {
  explicit ProductionRig(SimSpeed speed = SimSpeed::Fast,
                         const std::vector<std::string>& settings = {"11", "0", "888", ""})
      : Rig(settings, {}, false, speed,
            MachinePorts{{}, {}, "simulator", [this] { return machine.NoChipWillCome(); }}) {}
  void Supply(const std::string& list) {
    SocketChoice supply;
    supply.What = SocketChoice::Kind::Supply;
    supply.Supply = list;
    machine.PutInSocket(supply);
  }
  std::string File(const char* name) const { return folderPath.toStdString() + "/" + name; }
  bool BoardReset() {
    const sim::SimulatedPC& pc = machine.Pc();
    return pc.ControlRegister() == 0x07 && (pc.Lines().mode & 0x80) && !pc.Lines().dataDriven;
  }
};

// Runs `tick` every 5 ms while `run` runs.
void WhileItRuns(const std::function<void()>& run, const std::function<void()>& tick) {
  QTimer timer;
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, tick);
  timer.start();
  run();
}

// A line without what depends on the host's clock: the log's time and seconds, the chips per hour.
std::string WithoutTimes(const std::string& line, bool log) {
  if (log) {
    std::string fields;
    for (int i = 1; i <= 10; ++i) fields += Field(line, i) + ",";
    return fields;
  }
  return line.substr(0, line.find(", chips per hour"));
}

}  // namespace

class ProductionRunTest : public QObject {
  Q_OBJECT

 private slots:
  // Ten chips, among them one whose cell will not program, another device's chip and an empty
  // moment: the window's run logs, counts and writes them as kaldo-cli produce does.
  void sameRunAsTheCommandLine() {
    const std::string supply = "empty,good*2,stuck:0002,good,89S51,empty,good*5";
    ProductionRig rig;
    {
      std::ofstream hex(rig.File("a.hex"), std::ios::binary);
      hex << ":0400000012345678E8\r\n:00000001FF\r\n";
    }
    const std::uint8_t image[] = {0x12, 0x34, 0x56, 0x78};
    std::copy(std::begin(image), std::end(image), rig.state.DataBuffer.begin());
    rig.Supply(supply);
    rig.form->ProductionRun({10, "10:ascii4:7:1", rig.File("window.csv"), false});

    QProcess cli;
    cli.start(QStringLiteral(KALDO_CLI_PROGRAM),
              {"--sim", QString::fromStdString(rig.File("cli.state")), "--device", "89C2051",
               "--sim-supply", QString::fromStdString(supply), "produce",
               QString::fromStdString(rig.File("a.hex")), "--count", "10", "--serial",
               "10:ascii4:7", "--log", QString::fromStdString(rig.File("cli.csv"))});
    QVERIFY(cli.waitForFinished(120000));  // a hang, not a verdict
    QCOMPARE(cli.exitCode(), 1);           // two chips failed

    const std::vector<std::string> window = Lines(rig.File("window.csv"));
    const std::vector<std::string> line = Lines(rig.File("cli.csv"));
    QCOMPARE(window.size(), std::size_t(11));
    QCOMPARE(window.size(), line.size());
    QCOMPARE(window[0], line[0]);
    for (std::size_t i = 1; i < line.size(); ++i)
      QCOMPARE(WithoutTimes(window[i], true), WithoutTimes(line[i], true));
    QCOMPARE(Field(window[3], 7) + " " + Field(window[3], 8), std::string("failed 0002"));
    QCOMPARE(Field(window[5], 7), std::string("wrong chip"));
    QCOMPARE(ReadAll(rig.File("window.csv.counter")), ReadAll(rig.File("cli.csv.counter")));

    const sim::Drawer cliChips = sim::Drawer::FromText(ReadAll(rig.File("cli.state")));
    const std::vector<sim::Chip>& chips = rig.machine.ChipDrawer().Supplied();
    QCOMPARE(chips.size(), std::size_t(10));
    QCOMPARE(chips.size(), cliChips.Supplied().size());
    for (std::size_t i = 0; i < chips.size(); ++i) {
      QCOMPARE(chips[i].type, cliChips.Supplied()[i].type);
      QVERIFY2(chips[i].memory == cliChips.Supplied()[i].memory, qPrintable(QString::number(i)));
    }
    QCOMPARE(chips[0].memory[0x10], std::uint8_t{'0'});
    QCOMPARE(chips[0].memory[0x13], std::uint8_t{'7'});

    // The run window's last lines are the command line's, and its counts the summary's.
    const TfrmProductionRun& run = *rig.form->frmProductionRun;
    QStringList printed = QString::fromStdString(cli.readAllStandardOutput().toStdString())
                              .remove(QChar('\a'))
                              .split('\n', Qt::SkipEmptyParts);
    printed = printed.mid(printed.size() - TfrmProductionRun::kLogLines);
    const QStringList shown = run.mmoLog->toPlainText().split('\n');
    QCOMPARE(shown.size(), printed.size());
    for (int i = 0; i < shown.size(); ++i)
      QCOMPARE(WithoutTimes(shown[i].toStdString(), false),
               WithoutTimes(printed[i].toStdString(), false));
    QVERIFY2(run.lblCounts->text().startsWith("chips done: 8, failed: 2"),
             qPrintable(run.lblCounts->text()));
    QCOMPARE(run.lblStatus->text(), QString("Run ended"));
    QVERIFY(rig.BoardReset());
  }

  // Stop, or closing the window, in the middle of a chip: asked first, then the board is reset,
  // the chip logged as stopped and its number given back.
  void stopOrCloseInTheMiddleOfAChip() {
    const struct {
      const char* name;
      bool close;
      const char* title;  // of the question
    } rows[] = {{"stop", false, "  PRODUCTION RUN"}, {"close", true, "  CLOSE"}};
    for (const auto& r : rows) {
      ProductionRig rig;
      rig.Show();
      TfrmMain& f = *rig.form;
      // A whole image, so that a chip takes long enough to be stopped in the middle.
      for (int a = 0; a < 0x800; ++a)
        if (a < 0x10 || a >= 0x14) rig.state.DataBuffer[a] = static_cast<std::uint8_t>(a & 0x7F);
      rig.Supply("empty,good*3");
      rig.messages.Answers = {MsgAnswer::Yes};
      std::atomic<bool> armed = false, held = false, released = false;
      rig.probe.OnAccess = [&] {
        if (armed && !held.exchange(true))
          while (!released) QThread::msleep(1);
      };
      bool acted = false, stopped = false;
      WhileItRuns(
          [&] {
            try {
              f.ProductionRun({3, "10:ascii4:7:1", rig.File("run.csv"), false});
            } catch (const StoppedError&) {
              stopped = true;
            }
          },
          [&] {
            TfrmProductionRun* run = f.frmProductionRun;
            if (!run || acted) return;
            if (run->lblStatus->text() == "Writing chip 2") armed = true;
            if (!held) return;
            acted = true;
            if (r.close)
              f.close();
            else
              run->cmdStop->click();
            released = true;
          });
      released = true;
      rig.probe.OnAccess = nullptr;
      QVERIFY2(acted, r.name);
      QCOMPARE(stopped, r.close);
      QCOMPARE(rig.messages.Shown.front().Request.Title, QString(r.title));
      QCOMPARE(rig.messages.Shown.front().Request.Buttons, MsgButtons::YesNo);
      QVERIFY(rig.BoardReset());
      const std::vector<std::string> log = Lines(rig.File("run.csv"));
      QCOMPARE(log.size(), std::size_t(3));
      QCOMPARE(Field(log[1], 4) + " " + Field(log[1], 7), std::string("7 OK"));
      QCOMPARE(Field(log[2], 3) + " [" + Field(log[2], 4) + "] " + Field(log[2], 7),
               std::string("2 [] stopped"));
      QCOMPARE(SerialCounter(rig.File("run.csv.counter"), 7, 1).Peek(), std::uint64_t{8});
      QCOMPARE(f.isVisible(), !r.close);
      if (!r.close) {
        QCOMPARE(f.frmProductionRun->lblStatus->text(), QString("Run stopped"));
        QVERIFY(!rig.programmer.StopFlagInUse().Requested());
        QCOMPARE(f.frmProductionRun->cmdStop->text(), QString("&Close"));
      }
    }
  }

  // The dialog says what the next chip gets, or why the run cannot start; Start refuses such a
  // run with the same reason.
  void dialogChecksTheRunBeforeTheFirstChip() {
    ProductionRig rig;
    rig.state.DataBuffer[0] = 0x12;
    const std::string log = rig.File("l.csv");
    const struct {
      ProductionChoices choices;
      const char* shown;
      bool refused;
    } rows[] = {
        {{5, "0010:bcd2:1234:1", log, false},
         "The next chip gets 0010: 12 34 (serial 1234)",
         false},
        {{0, "07FF:ascii3:5:2", log, true},
         "The serial number at 07FF-0801 runs past the device's last address 07FF.",
         true},
        {{1, "0000:bin-be2:1:1", log, false},
         "The serial number at 0000-0001 would overwrite the image's byte 12 at 0000.",
         true},
        {{3, "0010:ascii2:98:1", log, false},
         "The serial numbers from 98 do not fit 2 bytes for 3 chips.",
         true},
        {{2, "0010:bin-le4:1:1", "", false},
         "A serial number needs a log file: the next number is kept beside the log.",
         true},
        {{0, "", "", true}, "", false},
    };
    for (const auto& r : rows) {
      TfrmProductionSetup setup(rig.state, rig.messages, rig.files);
      setup.SetChoices(r.choices);
      QCOMPARE(setup.Choices(), r.choices);
      QCOMPARE(setup.lblSerialPreview->text(), QString(r.shown));
      rig.messages.Shown.clear();
      setup.btnOKClick();
      QCOMPARE(rig.messages.Shown.size(), std::size_t(r.refused ? 1 : 0));
      QCOMPARE(setup.result(), r.refused ? 0 : int(QDialog::Accepted));
    }
    // The counter beside the log says which number comes next.
    SerialCounter(log + ".counter", 1234, 1).Take();
    TfrmProductionSetup setup(rig.state, rig.messages, rig.files);
    setup.SetChoices({5, "0010:bcd2:1234:1", log, false});
    QCOMPARE(setup.lblSerialPreview->text(),
             QString("The next chip gets 0010: 12 35 (serial 1235)"));
  }

  // The last choices stay in the settings file after its four lines, which a settings file
  // without them still gives; a setting this program does not know is kept.
  void choicesAreKeptInTheSettingsFile() {
    ProductionRig old;
    QCOMPARE(ChoicesFromKeys(old.form->SettingsFile().Keys()), ProductionChoices{});
    ProductionRig rig(SimSpeed::Fast,
                      {"11", "0", "888", "", "ProductionCount=25", "ProductionSerial=0010:bcd2:1:1",
                       "ProductionLog=/tmp/x.csv", "ProductionStopOnFailure=1", "Later=kept"});
    const ProductionChoices kept{25, "0010:bcd2:1:1", "/tmp/x.csv", true};
    QCOMPARE(ChoicesFromKeys(rig.form->SettingsFile().Keys()), kept);
    // The menu's dialog starts from them; Cancel runs nothing and keeps them.
    std::optional<ProductionChoices> offered;
    QTimer::singleShot(0, [&] {
      auto* setup = qobject_cast<TfrmProductionSetup*>(QApplication::activeModalWidget());
      if (!setup) return;
      offered = setup->Choices();
      setup->btnCancel->click();
    });
    rig.form->mnuFileProductionRun->trigger();
    QCOMPARE(offered, std::optional<ProductionChoices>(kept));
    StoreChoices({0, "", "/tmp/y.csv", false}, rig.form->SettingsFile().Keys());
    rig.form->SettingsFile().SaveSettings();
    QCOMPARE(ReadAll(rig.File("Kaldo.set")),
             std::string("11\r\n0\r\n888\r\n\r\nLater=kept\r\nProductionCount=0\r\n"
                         "ProductionLog=/tmp/y.csv\r\nProductionSerial=\r\n"
                         "ProductionStopOnFailure=0\r\n"));
  }

  void statusLineSaysEachStepFromAfar() {
    using Step = ChipEvent::Step;
    using Colour = StatusLine::Colour;
    CommandOutcome failed;
    failed.Command = DeviceCommand::Write;
    failed.Result = CommandOutcome::Kind::DeviceFailed;
    failed.Failure = {0x0100, 0xFF, 0x16};
    CommandOutcome locked;
    locked.Command = DeviceCommand::Write;
    locked.Result = CommandOutcome::Kind::NoDeviceSelected;
    ChipIdentity s51;
    s51.Result = ChipIdentity::Kind::Known;
    s51.DeviceType = kS51;
    s51.Signature = {0x1E, 0x51, 0x06};
    const struct {
      ChipEvent event;
      const char* text;
      Colour shade;
    } rows[] = {
        {{Step::Insert, nullptr, 7, 50}, "Insert chip 7 of 50", Colour::Plain},
        {{Step::Insert, nullptr, 7, 0}, "Insert chip 7", Colour::Plain},
        {{Step::Writing, nullptr, 7}, "Writing chip 7", Colour::Plain},
        {{Step::Good, nullptr, 7, 50, 1006}, "Chip 7 OK \u2014 serial 1006", Colour::Green},
        {{Step::Good, nullptr, 7}, "Chip 7 OK", Colour::Green},
        {{Step::Failed, nullptr, 7, 50, {}, failed},
         "Chip 7 FAILED at 0100: read FF, expected 16",
         Colour::Red},
        {{Step::Failed, nullptr, 7, 50, {}, locked},
         "Chip 7 FAILED: No Device Selected",
         Colour::Red},
        {{Step::WrongChip, nullptr, 7, 50, {}, {}, s51}, "Wrong chip: AT89S51", Colour::Red},
        {{Step::Stopped, nullptr, 7}, "Chip 7 stopped: it must be written again", Colour::Red},
        {{Step::Remove, nullptr, 7}, "Remove chip 7", Colour::Plain},
        {{Step::RemoveFirst}, "Remove the chip from the socket", Colour::Plain},
    };
    for (const auto& r : rows) {
      const StatusLine line = StatusLineOf(r.event);
      QCOMPARE(line.Text, QString(r.text));
      QCOMPARE(line.Shade, r.shade);
    }
  }

  // The window and the run's window, at real-time pace, as the first chip comes out good.
  void screenshotOfARun() {
    ProductionRig rig(SimSpeed::RealTime);
    for (int a = 0; a < 0x200; a += 4) rig.state.DataBuffer[0x100 + a] = 0x22;
    rig.state.HexFileName = "/home/user/firmware/blink.hex";
    rig.form->UpdateHexFilename();
    rig.form->UpdateGridDisp();
    rig.form->RefreshCheckSum();
    rig.Show();
    TfrmMain& f = *rig.form;
    rig.Supply("empty,good*3");
    rig.messages.Answers = {MsgAnswer::Yes};
    QPixmap picture;
    WhileItRuns(
        [&] {
          f.ProductionRun({50, "10:bin-le4:1006:1", rig.File("run.csv"), false});
        },
        [&] {
          TfrmProductionRun* run = f.frmProductionRun;
          if (!run || !picture.isNull() || !run->lblStatus->text().startsWith("Chip 1 OK")) return;
          const QPixmap main = f.grab(), side = run->grab();
          picture =
              QPixmap(main.width() + side.width() + 8, std::max(main.height(), side.height()));
          picture.fill(QColor(0x60, 0x60, 0x60));
          QPainter painter(&picture);
          painter.drawPixmap(0, 0, main);
          painter.drawPixmap(main.width() + 8, 0, side);
          painter.end();
          run->cmdStop->click();
        });
    QVERIFY(!picture.isNull());
    QVERIFY(picture.save(QStringLiteral(KALDO_SCREENSHOT_DIR) + "/production-run.png"));
  }
};

QTEST_MAIN(ProductionRunTest)
#include "ProductionRunTest.moc"
