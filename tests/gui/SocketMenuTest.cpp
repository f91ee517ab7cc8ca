// kaldo-sim's Socket menu on the window, the simulated machine behind it, and the real-time pace.
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>

#include "MainWindowRig.h"
#include "app/RealTimePace.h"
#include "app/SocketMenu.h"
#include "dialogs/DialogCommon.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

constexpr int kC51 = 0, kS52 = 4, kS8252 = 6, kC2051 = 11, kC4051 = 12;
const QString kCaption = "  KALDO Flash Programmer";

// A window on the simulated PC with the Socket menu, as kaldo-sim has it.
struct SocketRig : Rig {
  explicit SocketRig(int deviceType = kC2051) : Rig({std::to_string(deviceType), "0", "888", ""}) {
    AddSocketMenu(*form, machine);
  }
  QMenu* Menu() {
    for (QAction* a : form->mnuMain->actions())
      if (a->text() == "So&cket") return a->menu();
    return nullptr;
  }
  // The item with the caption, in the menu or its submenu.
  QAction* Item(const QString& caption) {
    for (QAction* a : Menu()->actions()) {
      if (a->text() == caption) return a;
      if (a->menu())
        for (QAction* b : a->menu()->actions())
          if (b->text() == caption) return b;
    }
    return nullptr;
  }
  void Choose(const QString& caption) {
    QAction* item = Item(caption);
    QVERIFY2(item, qPrintable(caption));
    item->trigger();
  }
  QAction* Marked() { return Item("&Chip of the Selected Type")->actionGroup()->checkedAction(); }
  // The buffer to write: 0x00 at every 64th address, blank between.
  void FillBuffer() {
    for (int a = 0; a < 0x800; a += 64) state.DataBuffer[a] = 0x00;
  }
};

}  // namespace

class SocketMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void realTimePaceHoldsTheSimulationToTheWallClock() {
    constexpr std::uint64_t ms = 1'000'000;
    const struct {
      std::uint64_t wall, simulated;
      std::uint64_t slept;  // what Keep sleeps
    } steps[] = {
        {100 * ms, 0, 0},             // the first step lines the clocks up
        {100 * ms, 1 * ms, 0},        // ahead by no more than the lead allowed
        {101 * ms, 10 * ms, 9 * ms},  // ahead by 9 ms: sleeps them
        {200 * ms, 11 * ms, 0},       // behind by 89 ms (the program was idle): lined up
        {200 * ms, 16 * ms, 5 * ms},  // ahead of the new line by 5 ms
        {215 * ms, 21 * ms, 0},       // behind by 5 ms: goes on at full speed
    };
    std::uint64_t wall = 0, slept = 0;
    RealTimePace pace([&] { return wall; }, [&](std::uint64_t ns) { slept = ns; });
    for (const auto& s : steps) {
      wall = s.wall;
      slept = 0;
      pace.Keep(s.simulated);
      QCOMPARE(slept, s.slept);
    }
  }

  void socketMenuOffersItsChoicesWithRadioMarks() {
    SocketRig rig;
    TfrmMain& f = *rig.form;
    QStringList menus;
    for (QAction* a : f.mnuMain->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({"&File", "&Edit", "&Port", "So&cket", "&Help"}));
    QStringList items;
    for (QAction* a : rig.Menu()->actions()) items << (a->isSeparator() ? "-" : a->text());
    QCOMPARE(items,
             QStringList({"&Chip of the Selected Type", "&Another Device's Chip", "&Empty Socket",
                          "&No Board", "-", "A Cell That &Will Not Program...", "&Locked Chip", "-",
                          "&Supply...", "-", "&Programmer Board on the Port",
                          "ISP Cable and &Target Board on the Port", "Target &Faults"}));
    QVERIFY(rig.Item("&Programmer Board on the Port")->isChecked());
    QVERIFY(!rig.Item("Target &Faults")->isEnabled());
    QStringList chips;
    for (QAction* a : rig.Item("&Another Device's Chip")->menu()->actions()) chips << a->text();
    QCOMPARE(chips.size(), kDeviceCount);
    QCOMPARE(chips.front(), QString("AT89C51"));
    QCOMPARE(chips.back(), QString::fromStdString(FullName(DeviceTable.back())));
    QActionGroup* group = rig.Marked()->actionGroup();
    QVERIFY(group->isExclusive());
    // The other chips, six more and the target's six faults.
    QCOMPARE(group->actions().size(), kDeviceCount + 12);
    QCOMPARE(rig.Marked(), rig.Item("&Chip of the Selected Type"));
    QCOMPARE(f.windowTitle(), kCaption);
  }

  // Each choice: the title names it, and a command shows what the programmer makes of it; the
  // chip of the selected type puts everything back.
  void socketChoicesShowInTheTitleAndInTheCommands() {
    const struct {
      const char* item;
      const char* title;
      const char* signatureHas;  // in the Signature command's report
    } rows[] = {
        {"AT89C4051", " - Socket: AT89C4051", "the socket holds an AT89C4051 (1E 41)"},
        {"&Empty Socket", " - Socket: empty", "No chip answered"},
        {"&No Board", " - No board", "No chip answered"},
        {"&Locked Chip", " - Socket: locked chip", "Byte-2  = 21"},
    };
    for (const auto& r : rows) {
      SocketRig rig;
      TfrmMain& f = *rig.form;
      rig.Choose(r.item);
      QCOMPARE(f.windowTitle(), kCaption + r.title);
      QCOMPARE(rig.Marked(), rig.Item(r.item));
      f.cmdSignature->click();
      QVERIFY2(rig.messages.Last().Text.contains(r.signatureHas),
               qPrintable(rig.messages.Last().Text));
      rig.Choose("&Chip of the Selected Type");
      QCOMPARE(f.windowTitle(), kCaption);
      f.cmdSignature->click();
      QVERIFY2(rig.messages.Last().Text.contains("Byte-2  = 21"), r.item);
    }
  }

  // Through a cable on the target board, the chip the board then reads: the same chip, the
  // S8252's data EEPROM after its code as the board sees it.
  void aCableWritesTheChipTheBoardThenReads() {
    for (int type : {kS52, kS8252}) {
      SocketRig rig(type);
      TfrmMain& f = *rig.form;
      f.mnuPortCables[0]->trigger();
      QVERIFY(rig.Item("ISP Cable and &Target Board on the Port")->isChecked());
      QVERIFY(rig.Item("Target &Faults")->isEnabled());
      QCOMPARE(f.windowTitle(), kCaption + " - ISP cable 89isp on LPT-1, crystal 3 MHz");
      const int size = rig.state.DeviceSize;
      for (int a = 0; a < size; a += 37) rig.state.DataBuffer[a] = static_cast<std::uint8_t>(a);
      const auto written = rig.state.DataBuffer;
      f.cmdWrite->click();
      QCOMPARE(rig.messages.Last().Text, QString("Programming/Verify OK"));
      f.cmdVerify->click();
      QCOMPARE(rig.messages.Last().Text, QString("Verify OK"));
      f.cmdSignature->click();
      const QRegularExpression signature(type == kS52 ? "\rByte-2 +52\r"
                                                      : "has no signature that a cable can read");
      QVERIFY2(rig.messages.Last().Text.contains(signature), qPrintable(rig.messages.Last().Text));
      // The target flagged no timing and lost nothing.
      const sim::IspFlags flags = rig.machine.Pc().IspReport();
      QCOMPARE(flags.timing + flags.lostBusy, 0u);
      QVERIFY(flags.frames > 0);

      f.mnuPortBoard->trigger();
      QVERIFY(rig.Item("&Programmer Board on the Port")->isChecked());
      QCOMPARE(f.windowTitle(), kCaption);
      rig.state.DataBuffer.fill(0xFF);
      f.cmdRead->click();
      QCOMPARE(rig.messages.Last().Text, QString("Data Reading Complete"));
      QVERIFY(std::equal(written.begin(), written.begin() + size, rig.state.DataBuffer.begin()));
    }
  }

  // Each fault of the target gives a clear failure, named in the title; the programmer board on
  // the port, where the window uses a cable, is named too.
  void targetFaultsFailClearly() {
    const struct {
      const char* item;
      int device;
      const char* title;
      const char* failure;  // the start of the Write's message (a locked chip's: Blank Check's)
    } rows[] = {
        {"Wrong &Reset Polarity", kS52, "Target: wrong reset polarity",
         "No chip answered through the cable"},
        {"No &Crystal", kS52, "Target: no crystal", "No chip answered through the cable"},
        {"MISO Stuck &Low", kS52, "Target: MISO stuck low", "No chip answered through the cable"},
        {"MISO Stuck &High", kS8252, "Target: MISO stuck high",
         "No chip answered through the cable"},
        {"Serial Programming &Fuse Off", kS8252, "Target: serial programming fuse off",
         "No chip answered through the cable"},
        {"Cable on the &Other Port", kS52, "Target: cable on the other port",
         "No chip answered through the cable"},
        {"&Programmer Board on the Port", kS52, "Port: programmer board",
         "No chip answered through the cable"},
        // The socket's own faults are the target chip's; a Write would erase a locked one.
        {"&Locked Chip", kS52, "Socket: locked chip",
         "Blank Check Error: the chip is locked (lock bits 1, 2, 3 programmed)"},
        {"A Cell That &Will Not Program...", kS8252, "Socket: cell 0040 will not program",
         "Program Verify Error @ Address  0040\rData Read  =  FF\rProg Data   =  00"},
    };
    for (const auto& r : rows) {
      SocketRig rig(r.device);
      TfrmMain& f = *rig.form;
      f.mnuPortCables[0]->trigger();
      rig.messages.TextAnswers = {QString("40")};
      rig.Choose(r.item);
      QVERIFY2(f.windowTitle().endsWith(QString(" - ") + r.title), qPrintable(f.windowTitle()));
      rig.FillBuffer();
      const bool locked = QString(r.title) == "Socket: locked chip";
      (locked ? f.cmdBlankChk : f.cmdWrite)->click();
      const MessageRequest& m = rig.messages.Last();
      QVERIFY2(m.Text.startsWith(r.failure), qPrintable(QString(r.item) + ": " + m.Text));
      if (locked) {
        // Its signature is hidden, and the Signature command says why.
        f.cmdSignature->click();
        QVERIFY2(rig.messages.Last().Text.startsWith(
                     "The chip answered through the cable but gave no signature (FF FF FF): its "
                     "lock bits hide it."),
                 qPrintable(rig.messages.Last().Text));
      }
      QVERIFY(m.Icon == MsgIcon::Error || m.Icon == MsgIcon::Warning);
      if (QString(r.failure).startsWith("No chip") && r.device == kS8252)
        QVERIFY2(m.Text.contains("\"ISP Fuse\" unticked"), qPrintable(m.Text));
      // Back to the board: the target's fault goes with the target.
      f.mnuPortBoard->trigger();
      if (QString(r.title).startsWith("Socket")) continue;
      QCOMPARE(f.windowTitle(), kCaption);
      f.cmdWrite->click();
      QCOMPARE(rig.messages.Last().Text, QString("Programming/Verify OK"));
    }
  }

  void lockedChipHidesWhatTheChipHolds() {
    SocketRig rig;
    TfrmMain& f = *rig.form;
    rig.FillBuffer();
    f.cmdWrite->click();
    QCOMPARE(rig.messages.Last().Text, QString("Programming/Verify OK"));
    rig.Choose("&Locked Chip");
    f.cmdVerify->click();
    QCOMPARE(rig.messages.Last().Title, QString("  VERIFY"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Warning);
    QVERIFY2(rig.messages.Last().Text.contains("0000"), qPrintable(rig.messages.Last().Text));
    // A write erases the spare and programs it; the drawer's chip never saw the lock.
    f.cmdWrite->click();
    QCOMPARE(rig.messages.Last().Text, QString("Programming/Verify OK"));
    rig.Choose("&Chip of the Selected Type");
    QCOMPARE(rig.machine.ChipDrawer().chip(kC2051).lockBits, 0);
    f.cmdVerify->click();
    QCOMPARE(rig.messages.Last().Text, QString("Verify OK"));
  }

  void aCellThatWillNotProgramAsksForItsAddress() {
    SocketRig rig;
    TfrmMain& f = *rig.form;
    const QString item = "A Cell That &Will Not Program...";
    const struct {
      std::optional<QString> typed;
      const char* report;  // message shown, if any
      bool taken;
    } rows[] = {
        {std::nullopt, nullptr, false},
        {QString("8000"), "The address 8000 lies outside the code memory", false},
        {QString("12G"), "'$12G' is not a valid integer value.", false},
        {QString(" 40 "), nullptr, true},
    };
    for (const auto& r : rows) {
      rig.messages.Shown.clear();
      rig.messages.TextAnswers = {r.typed};
      rig.Choose(item);
      QCOMPARE(rig.messages.Asked.back().Title, QString("  SOCKET"));
      QCOMPARE(rig.messages.Asked.back().Label,
               QString("Address of the cell that will not program (hex):"));
      QCOMPARE(rig.messages.Asked.back().Text, QString("0000"));
      QCOMPARE(rig.messages.Shown.size(), std::size_t(r.report ? 1 : 0));
      if (r.report) QVERIFY2(rig.messages.Last().Text.startsWith(r.report), r.report);
      QCOMPARE(rig.machine.InSocket().What == SocketChoice::Kind::StuckCell, r.taken);
      if (!r.taken) {
        QCOMPARE(rig.Marked(), rig.Item("&Chip of the Selected Type"));
        QCOMPARE(f.windowTitle(), kCaption);
      }
    }
    QCOMPARE(f.windowTitle(), kCaption + " - Socket: cell 0040 will not program");
    QCOMPARE(rig.Marked()->text(), QString("A Cell That &Will Not Program (0040)..."));

    rig.FillBuffer();
    f.cmdWrite->click();
    QCOMPARE(rig.messages.Last().Title, QString("  WRITE"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Error);
    QVERIFY2(rig.messages.Last().Text.contains("0040"), qPrintable(rig.messages.Last().Text));
    // The question offers the last address again.
    rig.messages.TextAnswers = {std::nullopt};
    rig.Marked()->trigger();
    QCOMPARE(rig.messages.Asked.back().Text, QString("0040"));
    QCOMPARE(rig.machine.InSocket().Cell, std::uint16_t{0x40});
  }

  // A supply in the form kaldo-cli --sim-supply takes; a list that means nothing leaves the
  // socket as it was.
  void supplyAsksForTheListOfChips() {
    SocketRig rig;
    TfrmMain& f = *rig.form;
    const struct {
      std::optional<QString> typed;
      const char* report;  // the start of the message shown, if any
      bool taken;
    } rows[] = {
        {std::nullopt, nullptr, false},
        {QString("good,Z80"), "bad item 'Z80' in the supply list", false},
        {QString(" good*2,S51 "), nullptr, true},
    };
    for (const auto& r : rows) {
      rig.messages.Shown.clear();
      rig.messages.TextAnswers = {r.typed};
      rig.Choose("&Supply...");
      QCOMPARE(rig.messages.Shown.size(), std::size_t(r.report ? 1 : 0));
      if (r.report) QVERIFY2(rig.messages.Last().Text.startsWith(r.report), r.report);
      QCOMPARE(rig.machine.InSocket().What == SocketChoice::Kind::Supply, r.taken);
    }
    QCOMPARE(f.windowTitle(), kCaption + " - Socket: supply good*2,S51");
    QCOMPARE(rig.machine.ChipDrawer().Supplied().size(), std::size_t(3));
    QCOMPARE(rig.machine.ChipDrawer().Supplied()[2].type, 3);  // the AT89S51
  }

  void socketFollowsTheDeviceBoxAndFaultsStayOutOfTheDrawer() {
    SocketRig rig(kC51);
    TfrmMain& f = *rig.form;
    rig.messages.TextAnswers = {QString("0")};
    rig.Choose("A Cell That &Will Not Program...");
    f.cboType->setCurrentIndex(kC4051);
    f.cmdSignature->click();
    QVERIFY(rig.messages.Last().Text.contains("Byte-2  = 41"));
    for (int type = 0; type < kDeviceCount; ++type)
      QVERIFY(rig.machine.ChipDrawer().chip(type).wontProgram.empty());
  }

  // A damaged chips file is explained with the choice of fresh chips or the end of the program;
  // fresh chips keep the damaged file beside, under a name of its own.
  void damagedChipsFileOffersFreshChipsOrTheEnd() {
    for (bool fresh : {false, true}) {
      QTemporaryDir dir;
      const QString file = dir.path() + "/Kaldo.chips";
      ProgramState state;
      { SimulatedMachine saved(state, dir.path().toStdString()); }
      QFile cut(file);
      QVERIFY(cut.open(QIODevice::ReadWrite));
      const QByteArray whole = cut.readAll();
      QVERIFY(cut.resize(whole.size() / 2));
      cut.close();
      QVERIFY(QFile::copy(file, file + ".damaged"));  // an earlier one, kept

      RecordingMessages messages;
      messages.Answers = {fresh ? MsgAnswer::Yes : MsgAnswer::No};
      const std::unique_ptr<SimulatedMachine> machine =
          OpenSimulatedMachine(state, dir.path().toStdString(), SimSpeed::Fast, messages);
      QCOMPARE(messages.Shown.size(), std::size_t(1));
      const MessageRequest& m = messages.Last();
      QCOMPARE(m.Buttons, MsgButtons::YesNo);
      QVERIFY2(m.Text.startsWith("'" + file + "' "), qPrintable(m.Text));
      QVERIFY2(m.Text.endsWith("\r\rStart with fresh chips? The file is kept as " + file +
                               ".damaged-2.\rNo: kaldo-sim ends."),
               qPrintable(m.Text));
      QCOMPARE(machine != nullptr, fresh);
      QFile kept(fresh ? file + ".damaged-2" : file);
      QVERIFY(kept.open(QIODevice::ReadOnly));
      QCOMPARE(kept.readAll(), whole.left(whole.size() / 2));
      if (fresh) QCOMPARE(machine->ChipDrawer().chip(0).lockBits, 0);
    }
  }

  // The window through a cable, with its Port menu open.
  void screenshotOfACable() {
    SocketRig rig(kS8252);
    rig.messages.TextAnswers = {QString("11.0592")};
    rig.form->mnuPortCrystal->trigger();
    rig.form->mnuPortCables[1]->trigger();
    rig.Show();
    TfrmMain& f = *rig.form;
    QMenu* menu = f.mnuPort;
    const QRect title = f.mnuMain->actionGeometry(menu->menuAction());
    f.mnuMain->setActiveAction(menu->menuAction());
    QTRY_VERIFY(menu->isVisible());
    // The offscreen window has no frame: its title is drawn in a strip above it.
    const QPixmap window = f.grab();
    const int strip = 24;
    QPixmap picture(window.width(), window.height() + strip);
    picture.fill(QColor(0, 0, 128));
    QPainter painter(&picture);
    painter.setPen(Qt::white);
    painter.setFont(PixelFont(QStringLiteral("Arial"), 12, true));
    painter.drawText(QRect(6, 0, window.width() - 6, strip), Qt::AlignVCenter, f.windowTitle());
    painter.drawPixmap(0, strip, window);
    painter.drawPixmap(f.mnuMain->mapTo(&f, title.bottomLeft()) + QPoint(0, 1 + strip),
                       menu->grab());
    painter.end();
    menu->hide();
    QVERIFY(picture.save(QStringLiteral(KALDO_SCREENSHOT_DIR) + "/isp-cable.png"));
  }

  // The window with its Socket menu open, the menu drawn where it drops down.
  void screenshotOfTheSocketMenu() {
    SocketRig rig(kC51);
    rig.messages.TextAnswers = {QString("0123")};
    rig.Choose("A Cell That &Will Not Program...");
    rig.Show();
    TfrmMain& f = *rig.form;
    QMenu* menu = rig.Menu();
    const QRect title = f.mnuMain->actionGeometry(menu->menuAction());
    f.mnuMain->setActiveAction(menu->menuAction());
    QTRY_VERIFY(menu->isVisible());
    QPixmap picture = f.grab();
    QPainter painter(&picture);
    painter.drawPixmap(f.mnuMain->mapTo(&f, title.bottomLeft()) + QPoint(0, 1), menu->grab());
    painter.end();
    menu->hide();
    QVERIFY(picture.save(QStringLiteral(KALDO_SCREENSHOT_DIR) + "/socket-menu.png"));
  }
};

QTEST_MAIN(SocketMenuTest)
#include "SocketMenuTest.moc"
