// The Port menu's other ports and "Other Address...", and the Help menu's port check: on a machine
// whose kernel lists a card at 0xD010 (a fake /proc tree) with the simulated PC behind it, whose
// board follows the port chosen.
#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QThread>
#include <filesystem>
#include <fstream>

#include "MainWindowRig.h"
#include "app/ProductionChoices.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

// /proc/sys/dev/parport of a PC with LPT1 and a card at 0xD010, and the user's ids.
struct ProcTree {
  ProcTree() {
    Write("/proc/self/status", "Uid:\t1000\t1000\t1000\t1000\nGid:\t7\t7\t7\t7\nGroups:\t7\n");
    Write("/proc/sys/dev/parport/parport0/base-addr", "888\t1912\n");
    Write("/proc/sys/dev/parport/parport1/base-addr", "53264\t53256\n");
    Write("/proc/sys/dev/parport/parport1/modes", "PCSPP,TRISTATE\n");
  }
  void Write(const std::string& path, const std::string& text) {
    const std::filesystem::path where = dir.path().toStdString() + path;
    std::filesystem::create_directories(where.parent_path());
    std::ofstream(where) << text;
  }
  MachinePorts Ports() const {
    const std::string root = dir.path().toStdString();
    return {[root] { return HostSystem(root).Parports(); },
            [root] { return CheckPorts(HostSystem(root)).Lines; }};
  }
  QTemporaryDir dir;
};

QStringList Captions(QMenu* menu) {
  QStringList list;
  for (QAction* a : menu->actions()) list << (a->isSeparator() ? "-" : a->text());
  return list;
}

QStringList Marked(QMenu* menu) {
  QStringList list;
  for (QAction* a : menu->actions())
    if (a->isChecked()) list << a->text();
  return list;
}

// The device types the device box offers: enabled and shown in its list.
std::vector<int> Offered(TfrmMain& f) {
  auto* model = qobject_cast<QStandardItemModel*>(f.cboType->model());
  auto* view = qobject_cast<QListView*>(f.cboType->view());
  std::vector<int> types;
  for (int type = 0; type < f.cboType->count(); ++type)
    if (model->item(type)->isEnabled() && !view->isRowHidden(type)) types.push_back(type);
  return types;
}

QAction* PortItem(TfrmMain& f, const QString& caption) {
  for (QAction* a : f.mnuPort->actions())
    if (a->text() == caption) return a;
  return nullptr;
}

const QString kCaption = "  KALDO Flash Programmer";
constexpr int kC51 = 0, kS51 = 3, kS53 = 5, kS8252 = 6;

}  // namespace

class PortMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void theCardIsListedAndTakesTheDeviceCommandsAcrossARestart() {
    ProcTree proc;
    QTemporaryDir settings;
    {
      Rig rig({"11", "0", "888", ""}, settings.path(), false, SimSpeed::Fast, proc.Ports());
      TfrmMain& f = *rig.form;
      QCOMPARE(Captions(f.mnuPort).mid(0, 6),
               QStringList(
                   {"LPT-&1", "LPT-&2", "LPT-&3", "-", "parport1  0xD010", "&Other Address..."}));
      QCOMPARE(Marked(f.mnuPort), QStringList({"LPT-&1", "Programmer &Board"}));
      QCOMPARE(f.mnuPortListed.size(), std::size_t(1));
      f.mnuPortListed[0]->trigger();
      QCOMPARE(rig.state.PortBase, 0xD010);
      QCOMPARE(Marked(f.mnuPort).front(), QString("parport1  0xD010"));

      rig.probe.FirstPorts.clear();
      QTest::mouseClick(f.cmdSignature, Qt::LeftButton);
      QCOMPARE(rig.messages.Last().Text.left(33), QString("Signature Bytes Info For 89C2051\r"));
      QVERIFY(rig.messages.Last().Text.contains("Byte-1  = 1E"));  // the board answered there
      int onCard = 0, onLpt1 = 0;
      for (std::uint16_t port : rig.probe.FirstPorts) {
        onCard += port >= 0xD010 && port <= 0xD012;
        onLpt1 += port >= 0x378 && port <= 0x37A;
      }
      QVERIFY(onCard > 0);
      QCOMPARE(onLpt1, 0);
      QVERIFY(f.close());
    }
    QFile set(settings.path() + "/Kaldo.set");
    QVERIFY(set.open(QIODevice::ReadOnly));
    QCOMPARE(set.readAll(), QByteArray("11\r\n0\r\n53264\r\n\r\n"));
    set.close();

    Rig again({}, settings.path(), false, SimSpeed::Fast, proc.Ports());
    QCOMPARE(again.state.PortBase, 0xD010);
    QCOMPARE(Marked(again.form->mnuPort).front(), QString("parport1  0xD010"));
    QTest::mouseClick(again.form->cmdSignature, Qt::LeftButton);
    QVERIFY(again.messages.Last().Text.contains("Byte-1  = 1E"));
    // Back on LPT1 the board follows.
    again.form->mnuPortLPT1->trigger();
    QCOMPARE(Marked(again.form->mnuPort).front(), QString("LPT-&1"));
    QTest::mouseClick(again.form->cmdSignature, Qt::LeftButton);
    QVERIFY(again.messages.Last().Text.contains("Byte-1  = 1E"));
  }

  // The range is the command line's; a base no item has gets a marked item of its own; a
  // refused text is asked for again as typed.
  void otherAddressTakesAHexadecimalBaseFromTheCardRange() {
    ProcTree proc;
    const struct {
      const char* typed;  // nullptr: cancelled
      int portBase;
      const char* marked;
      bool refused;
    } rows[] = {
        {"d010", 0xD010, "parport1  0xD010", false},
        {"0x278", 0x278, "LPT-&2", false},
        {"0xE800", 0xE800, "0xE800", false},
        {" $3010 ", 0x3010, "0x3010", false},
        {"0x100", 0x100, "0x0100", false},
        {"0xFFFD", 0xFFFD, "0xFFFD", false},
        {"0xFFFE", 0x378, "LPT-&1", true},
        {"0xFF", 0x378, "LPT-&1", true},
        {"0x10000", 0x378, "LPT-&1", true},
        {"lpt1", 0x378, "LPT-&1", true},
        {"", 0x378, "LPT-&1", true},
        {nullptr, 0x378, "LPT-&1", false},
    };
    for (const auto& r : rows) {
      Rig rig({}, {}, false, SimSpeed::Fast, proc.Ports());
      TfrmMain& f = *rig.form;
      if (r.typed)
        rig.messages.TextAnswers.push_back(QString(r.typed));
      else
        rig.messages.TextAnswers.push_back(std::nullopt);
      f.mnuPortOther->trigger();
      QCOMPARE(rig.messages.Asked.size(), std::size_t(r.refused ? 2 : 1));
      QCOMPARE(rig.messages.Asked[0].Title, QString("  PORT"));
      QCOMPARE(rig.messages.Asked[0].Label,
               QString("I/O base address of the port (hexadecimal, 0x0100 to 0xFFFD):"));
      QCOMPARE(rig.messages.Asked[0].Text, QString("0x0378"));
      if (r.refused) QCOMPARE(rig.messages.Asked[1].Text, QString(r.typed));
      QCOMPARE(rig.state.PortBase, r.portBase);
      QCOMPARE(Marked(f.mnuPort).front(), QString(r.marked));
      QCOMPARE(rig.messages.Shown.size(), std::size_t(r.refused ? 1 : 0));
      if (r.refused) {
        QCOMPARE(rig.messages.Last().Title, QString("  PORT"));
        QCOMPARE(rig.messages.Last().Icon, MsgIcon::Error);
        QVERIFY(rig.messages.Last().Text.endsWith(
            "\" is not a port address: give a hexadecimal I/O base from 0x0100 to 0xFFFD, e.g. "
            "0xD010"));
      }
      // Back on LPT-1, the chosen base's item goes.
      f.mnuPortLPT1->trigger();
      QCOMPARE(Marked(f.mnuPort).front(), QString("LPT-&1"));
    }
  }

  // A cable offers the four chips it can program and the lock bits, never the ISP fuse (kept
  // for the board, greyed), and names itself, its port and crystal in the title; the board puts
  // the thirteen devices and the fuse back.
  void aCableOffersItsChipsAndNamesItselfInTheTitle() {
    const struct {
      const char* item;
      const char* wiring;  // typed for the own wiring's question
      int before, after;   // the device
      const char* title;
    } rows[] = {
        {"ISP Cable &89isp", nullptr, kC51, kS51, " - ISP cable 89isp on LPT-1, crystal 3 MHz"},
        {"ISP Cable &stk200", nullptr, kS8252, kS8252,
         " - ISP cable stk200 on LPT-1, crystal 3 MHz"},
        {"ISP Cable of &Your Own Wiring...", "rst=~9,sck=6,mosi=7,miso=10", kS53, kS53,
         " - ISP cable rst=~9,sck=6,mosi=7,miso=10 on LPT-1, crystal 3 MHz"},
    };
    for (const auto& r : rows) {
      Rig rig({std::to_string(r.before), "9", "888", ""});
      TfrmMain& f = *rig.form;
      // Every port access stays on the window's worker, the cable's idle state included.
      int onWindowThread = 0;
      rig.probe.OnAccess = [&] { onWindowThread += QThread::currentThread() == f.thread(); };
      rig.probe.Reset();
      if (r.wiring) rig.messages.TextAnswers = {QString(r.wiring)};
      PortItem(f, r.item)->trigger();
      QVERIFY(rig.programmer.CableInUse());
      QVERIFY(rig.probe.Accesses > 0);
      QCOMPARE(f.windowTitle(), kCaption + r.title);
      QCOMPARE(rig.state.DeviceType, r.after);
      QCOMPARE(f.cboType->currentIndex(), r.after);
      QCOMPARE(Offered(f), std::vector<int>({3, 4, 5, 6}));
      QVERIFY(f.chkLB1->isEnabled() && f.chkLB2->isEnabled() && f.chkLB3->isEnabled());
      QVERIFY(!f.chkISP->isEnabled());
      QCOMPARE(f.chkISP->isChecked(), r.after == r.before && r.after >= kS53);
      if (r.after >= kS53) QVERIFY(f.chkISP->toolTip().contains("a cable cannot reach it"));
      QCOMPARE(
          Marked(f.mnuPort),
          QStringList(
              {"LPT-&1", r.wiring ? QString("ISP Cable of &Your Own Wiring (%1)...").arg(r.wiring)
                                  : QString(r.item)}));
      f.mnuPortLPT2->trigger();
      QVERIFY(f.windowTitle().contains(" on LPT-2, "));

      f.mnuPortBoard->trigger();
      QVERIFY(!rig.programmer.CableInUse());
      QCOMPARE(f.windowTitle(), kCaption);
      QCOMPARE(Offered(f).size(), std::size_t(kDeviceCount));
      QCOMPARE(f.chkISP->isEnabled(), r.after >= kS53);
      if (r.after >= kS53) {
        QVERIFY(f.chkISP->isChecked());
        QVERIFY(
            f.chkISP->toolTip().contains("A Write with this box unticked turns the chip's "
                                         "serial programming off"));
      }
      QCOMPARE(rig.state.ProgBits & 1, 1);
      QCOMPARE(onWindowThread, 0);
      rig.probe.OnAccess = nullptr;  // the count goes before the rig
    }
  }

  // The own wiring is checked as the command line checks it, and the crystal against what the
  // chips allow; a refused text is asked for again as typed, a cancelled question changes nothing.
  void ownWiringAndCrystalAreAskedAndChecked() {
    const struct {
      const char* item;
      int device;
      const char* typed;    // nullptr: cancelled
      const char* refusal;  // the start of the error shown, if any
      const char* taken;    // the cable, or the crystal's menu text, after the question
    } rows[] = {
        {"ISP Cable of &Your Own Wiring...", kS51, " rst=16,sck=1,mosi=2,miso=11 ", nullptr,
         "rst=16,sck=1,mosi=2,miso=11"},
        {"ISP Cable of &Your Own Wiring...", kS51, "rst=17,sck=1,mosi=2,miso=3",
         "'miso=3': MISO comes back from the target on a status pin", "89isp"},
        {"ISP Cable of &Your Own Wiring...", kS51, "rst=17,sck=1,mosi=2", "", "89isp"},
        {"ISP Cable of &Your Own Wiring...", kS51, nullptr, nullptr, "89isp"},
        {"Target &Crystal (3 MHz)...", kS51, "11.0592", nullptr,
         "Target &Crystal (11.0592 MHz)..."},
        {"Target &Crystal (3 MHz)...", kS51, "33 MHz", nullptr, "Target &Crystal (33 MHz)..."},
        {"Target &Crystal (3 MHz)...", kS8252, "24,000", nullptr, "Target &Crystal (24 MHz)..."},
        {"Target &Crystal (3 MHz)...", kS8252, "24.5",
         "The AT89S8252 runs on a crystal of 3 to 24 MHz, not 24.5 MHz",
         "Target &Crystal (3 MHz)..."},
        {"Target &Crystal (3 MHz)...", kC51, "2.9999",
         "The AT89S51 and S52 run on a crystal of 3 to 33 MHz", "Target &Crystal (3 MHz)..."},
        {"Target &Crystal (3 MHz)...", kS51, "12.0000001",
         "\"12.0000001\" is not a crystal frequency", "Target &Crystal (3 MHz)..."},
        {"Target &Crystal (3 MHz)...", kS51, nullptr, nullptr, "Target &Crystal (3 MHz)..."},
    };
    for (const auto& r : rows) {
      Rig rig({std::to_string(r.device), "0", "888", ""});
      TfrmMain& f = *rig.form;
      rig.messages.TextAnswers = {r.typed ? std::optional<QString>(r.typed) : std::nullopt};
      PortItem(f, r.item)->trigger();
      const bool refused = r.refusal != nullptr;
      QCOMPARE(rig.messages.Asked.size(), std::size_t(refused ? 2 : 1));
      if (refused) {
        QCOMPARE(rig.messages.Asked[1].Text, QString(r.typed));
        QVERIFY2(rig.messages.Last().Text.startsWith(r.refusal),
                 qPrintable(rig.messages.Last().Text));
        QCOMPARE(rig.messages.Last().Icon, MsgIcon::Error);
      }
      const bool wiring = QString(r.item).startsWith("ISP");
      if (wiring) {
        QCOMPARE(QString::fromStdString(f.ChosenProgrammer().Cable), QString(r.taken));
        QCOMPARE(f.ChosenProgrammer().UseCable, r.typed && !refused);
        QCOMPARE(rig.programmer.CableInUse() != nullptr, r.typed && !refused);
      } else {
        QCOMPARE(f.mnuPortCrystal->text(), QString(r.taken));
        QVERIFY(!rig.programmer.CableInUse());
      }
    }
  }

  // A crystal stated for an AT89S52 that the AT89S8252 chosen later cannot run on: the cable's
  // commands refuse to start; so does a production run, which a cable cannot see the S8252's
  // come and go for.
  void cableCommandsRefuseWhatTheChipCannotDo() {
    Rig rig({"4", "0", "888", ""});
    TfrmMain& f = *rig.form;
    rig.messages.TextAnswers = {QString("30")};
    f.mnuPortCrystal->trigger();
    f.mnuPortCables[0]->trigger();
    f.cboType->setCurrentIndex(kS8252);
    rig.probe.Reset();
    for (QPushButton* b : {f.cmdWrite, f.cmdSignature}) {
      b->click();
      QVERIFY2(rig.messages.Last().Text.startsWith(
                   "The AT89S8252 runs on a crystal of 3 to 24 MHz, not 30 MHz"),
               qPrintable(rig.messages.Last().Text));
      QVERIFY(rig.messages.Last().Text.endsWith("\rNothing was done."));
    }
    f.ProductionRun({});
    QVERIFY2(rig.messages.Last().Text.startsWith("A production run through a cable needs a chip "
                                                 "the cable can see come and go"),
             qPrintable(rig.messages.Last().Text));
    QCOMPARE(rig.probe.Accesses, 0L);
  }

  // The programmer and the crystal are named lines after the four of the settings file; a file
  // of four lines, or one whose wiring no longer reads as one, is the board's.
  void cableAndCrystalSurviveARestart() {
    QTemporaryDir settings;
    {
      Rig rig({"4", "0", "888", ""}, settings.path());
      rig.messages.TextAnswers = {QString("12")};
      rig.form->mnuPortCrystal->trigger();
      rig.form->mnuPortCables[1]->trigger();
      QVERIFY(rig.form->close());
    }
    QFile set(settings.path() + "/Kaldo.set");
    QVERIFY(set.open(QIODevice::ReadOnly));
    QCOMPARE(set.readAll(),
             QByteArray("4\r\n0\r\n888\r\n\r\nIspCable=stk200\r\nIspCrystalMHz=12\r\n"
                        "Programmer=Cable\r\n"));
    set.close();
    const struct {
      std::vector<std::string> lines;
      const char* cable;  // nullptr: the board
      std::uint32_t crystalHz;
    } rows[] = {
        {{}, "stk200", 12'000'000},
        {{"4", "0", "888", ""}, nullptr, 3'000'000},
        {{"4", "0", "888", "", "Programmer=Cable"}, "89isp", 3'000'000},
        {{"4", "0", "888", "", "Programmer=Cable", "IspCable=rst=17,sck=1", "IspCrystalMHz=9"},
         nullptr,
         9'000'000},
        {{"4", "0", "888", "", "Programmer=Board", "IspCable=dt006", "IspCrystalMHz=x"},
         nullptr,
         3'000'000},
    };
    for (const auto& r : rows) {
      Rig rig(r.lines, settings.path());
      const CableUse* cable = rig.programmer.CableInUse();
      QCOMPARE(cable != nullptr, r.cable != nullptr);
      if (cable) QCOMPARE(QString::fromStdString(cable->Cable.Name), QString(r.cable));
      QCOMPARE(rig.form->ChosenProgrammer().CrystalHz, r.crystalHz);
      QVERIFY(rig.messages.Shown.empty());
    }
  }

  void portCheckShowsTheReport() {
    ProcTree proc;
    Rig real({}, {}, false, SimSpeed::Fast, proc.Ports());
    real.form->mnuHelpPortCheck->trigger();
    QCOMPARE(real.messages.Last().Title, QString("  PORT CHECK"));
    QCOMPARE(real.messages.Last().Icon, MsgIcon::Information);
    QVERIFY(real.messages.Last().Text.contains("\r/dev/parport1  0xD010  modes PCSPP,TRISTATE\r"));
    QVERIFY(real.messages.Last().Text.contains(
        "open: no, /dev/parport1 is missing: the module ppdev is not loaded"));

    // kaldo-sim's: the simulated PC's two ports and where its board is.
    Rig sim({"11", "0", "888", ""}, {}, false, SimSpeed::Fast,
            {[] { return SimulatedMachine::Ports(); }, {}});
    QCOMPARE(
        Captions(sim.form->mnuPort).mid(0, 6),
        QStringList({"LPT-&1", "LPT-&2", "LPT-&3", "-", "parport1  0xD010", "&Other Address..."}));
    using Lines = std::vector<std::string>;
    const Lines ports{"/dev/parport0  0x0378  simulated LPT1 on the main board",
                      "/dev/parport1  0xD010  simulated PCI card"};
    auto with = [&ports](Lines more) {
      Lines all = ports;
      all.insert(all.end(), more.begin(), more.end());
      return all;
    };
    QCOMPARE(sim.machine.PortCheck(), with({"The board is on /dev/parport0 (0x0378)."}));
    sim.form->mnuPortListed[0]->trigger();
    QCOMPARE(sim.machine.PortCheck(), with({"The board is on /dev/parport1 (0xD010)."}));
    sim.form->mnuPortLPT2->trigger();
    QCOMPARE(sim.machine.PortCheck(),
             with({"The board is on /dev/parport1 (0xD010).",
                   "The port chosen, 0x0278, is none of the simulated PC's: nothing answers "
                   "there."}));
    QTest::mouseClick(sim.form->cmdSignature, Qt::LeftButton);
    QVERIFY2(!sim.messages.Last().Text.contains("Byte-1  = 1E"),
             qPrintable(sim.messages.Last().Text));  // nothing answers on LPT2

    // A machine that cannot tell.
    Rig plain;
    plain.form->mnuHelpPortCheck->trigger();
    QCOMPARE(plain.messages.Last().Text, QString("This machine cannot tell about its ports."));
  }
};

QTEST_MAIN(PortMenuTest)
#include "PortMenuTest.moc"
