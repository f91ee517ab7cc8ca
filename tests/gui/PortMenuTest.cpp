// The Port menu's other ports and "Other Address...", and the Help menu's port check: on a machine
// whose kernel lists a card at 0xD010 (a fake /proc tree) with the simulated PC behind it, whose
// board follows the port chosen.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "MainWindowRig.h"

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
      QCOMPARE(Captions(f.mnuPort), QStringList({"LPT-&1", "LPT-&2", "LPT-&3", "-",
                                                 "parport1  0xD010", "&Other Address..."}));
      QCOMPARE(Marked(f.mnuPort), QStringList({"LPT-&1"}));
      QCOMPARE(f.mnuPortListed.size(), std::size_t(1));
      f.mnuPortListed[0]->trigger();
      QCOMPARE(rig.state.PortBase, 0xD010);
      QCOMPARE(Marked(f.mnuPort), QStringList({"parport1  0xD010"}));

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
    QCOMPARE(Marked(again.form->mnuPort), QStringList({"parport1  0xD010"}));
    QTest::mouseClick(again.form->cmdSignature, Qt::LeftButton);
    QVERIFY(again.messages.Last().Text.contains("Byte-1  = 1E"));
    // Back on LPT1 the board follows.
    again.form->mnuPortLPT1->trigger();
    QCOMPARE(Marked(again.form->mnuPort), QStringList({"LPT-&1"}));
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
      QCOMPARE(Marked(f.mnuPort), QStringList({r.marked}));
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
      QCOMPARE(Marked(f.mnuPort), QStringList({"LPT-&1"}));
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
    QCOMPARE(Captions(sim.form->mnuPort), QStringList({"LPT-&1", "LPT-&2", "LPT-&3", "-",
                                                       "parport1  0xD010", "&Other Address..."}));
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
