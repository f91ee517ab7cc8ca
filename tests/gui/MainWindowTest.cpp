// The main window as the user sees it: controls, menu, grid, readouts, status bar and port marks.
#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

#include "MainWindowRig.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

QString Text(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return {};
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void windowIsFixedSizeWithItsCaption() {
    Rig rig;
    TfrmMain& f = *rig.form;
    // Centred before the start-up steps could show anything over it.
    const QPoint centre = f.screen()->availableGeometry().center();
    QVERIFY((f.frameGeometry().center() - centre).manhattanLength() <= 2);
    rig.Show();
    QCOMPARE(f.Client->size(), QSize(554, 374));
    QCOMPARE(f.minimumSize(), f.maximumSize());
    QCOMPARE(f.windowTitle(), QString("  KALDO Flash Programmer"));
    QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(f.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(f.font().family(), QString("Arial"));
    QCOMPARE(f.font().pixelSize(), 12);
  }

  void controlsStandWhereTheyBelongWithTheirTexts() {
    Rig rig;
    TfrmMain& f = *rig.form;
    struct Row {
      QWidget* w;
      QRect place;  // width or height -1: not fixed by the design
      const char* text;
      const char* hint;
    };
    const Row rows[] = {
        {f.sbtOpenFile, {16, 9, 25, 25}, "", "Open Hex File"},
        {f.sbtSaveFile, {56, 9, 25, 25}, "", "Save Hex File"},
        {f.sbtAbout, {120, 9, 25, 25}, "", ""},
        {f.lblType, {363, 12, -1, -1}, "Tpye", ""},
        {f.cboType, {401, 9, 129, -1}, "", "Select uController"},
        {f.Bevel2, {8, 40, 537, -1}, "", ""},
        {f.lblProgMem, {19, 49, -1, -1}, "Program Memory", ""},
        {f.strGrid, {16, 71, 365, 175}, "", "Buffer Memory Contents"},
        {f.fraProgBits, {416, 66, 113, 143}, " Program Bits ", ""},
        {f.lblCheckSum, {419, 229, -1, -1}, "CheckSum", ""},
        {f.lblCSdata, {488, 229, 41, 17}, "F000", "Buffer CheckSum"},
        {f.cmdRead, {16, 264, 81, 25}, "&Read", "Read uController"},
        {f.cmdWrite, {112, 264, 81, 25}, "&Write", "Program uController"},
        {f.cmdVerify, {208, 264, 81, 25}, "&Verify", "Compare uController with Buffer"},
        {f.cmdOpenFile, {304, 264, 81, 25}, "&Open File", "Open Hex File"},
        {f.cmdBlankChk, {16, 304, 81, 25}, "&Blank Check", "uController Blank Check"},
        {f.cmdSignature, {112, 304, 81, 25}, "&Signature", "Read Signature Bytes"},
        {f.cmdReloadFile, {208, 304, 81, 25}, "Reloa&d File", "Reload Current Hex File"},
        {f.cmdSaveFile, {304, 304, 81, 25}, "S&ave File", "Save Hex File"},
        {f.lblCmd, {460, 312, 90, 18}, "", ""},
        {f.lblAdres, {460, 336, 91, 33}, "", ""},
        {f.stsBar, {0, 349, 554, 25}, "", ""},
        {f.chkLB1, {-1, -1, -1, -1}, " Lock Bit-&1", ""},
        {f.chkLB2, {-1, -1, -1, -1}, " Lock Bit-&2", ""},
        {f.chkLB3, {-1, -1, -1, -1}, " Lock Bit-&3", ""},
        {f.chkISP, {-1, -1, -1, -1}, "&ISP Fuse", ""},
    };
    for (const Row& r : rows) {
      const QString name = r.w->metaObject()->className() + QString(" ") + Text(r.w);
      const QRect g = r.w->geometry();
      if (r.place.left() >= 0) QVERIFY2(g.topLeft() == r.place.topLeft(), qPrintable(name));
      if (r.place.width() > 0) QVERIFY2(g.width() == r.place.width(), qPrintable(name));
      if (r.place.height() > 0) QVERIFY2(g.height() == r.place.height(), qPrintable(name));
      QVERIFY2(Text(r.w) == QString(r.text), qPrintable(name));
      QVERIFY2(r.w->toolTip() == QString(r.hint), qPrintable(name));
    }
    // Busy labels: hidden when idle, fonts and colours of the readouts.
    QVERIFY(!f.lblCmd->isVisibleTo(&f) && !f.lblAdres->isVisibleTo(&f));
    QVERIFY(f.stsBar->isVisibleTo(&f));
    QCOMPARE(f.lblAdres->font().pixelSize(), 27);
    QVERIFY(f.lblAdres->font().bold());
    QCOMPARE(f.lblAdres->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    QCOMPARE(f.lblAdres->palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(f.lblCSdata->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(f.lblCSdata->palette().color(QPalette::Window), QColor(0, 0, 128));
    QCOMPARE(f.stsBar->Panel(1), QString("Ver 3.0"));
    const std::pair<QToolButton*, QSize> pictures[] = {
        {f.sbtOpenFile, {16, 15}}, {f.sbtSaveFile, {16, 16}}, {f.sbtAbout, {18, 18}}};
    for (const auto& [button, size] : pictures) {
      QCOMPARE(button->focusPolicy(), Qt::NoFocus);
      QVERIFY(!button->icon().isNull());
      QCOMPARE(button->iconSize(), size);
      QVERIFY(button->icon().availableSizes().contains(size));
    }
  }

  void fontsAndAlignmentsOfTheTextControls() {
    Rig rig;
    TfrmMain& f = *rig.form;
    const struct {
      QWidget* w;
      const char* family;
      int pixels;
      bool bold;
    } rows[] = {
        {f.lblType, "Arial", 12, false},       {f.cboType, "Arial", 12, true},
        {f.lblProgMem, "Arial", 13, false},    {f.lblCheckSum, "Arial", 13, false},
        {f.lblCSdata, "Arial", 12, true},      {f.cmdRead, "Arial", 12, false},
        {f.strGrid, "Arial", 11, false},       {f.stsBar, "Arial", 12, true},
        {f.lblCmd, "Arial Narrow", 13, false}, {f.lblAdres, "Courier New", 27, true},
        {f.fraProgBits, "Arial", 12, false},   {f.chkISP, "Arial", 12, false},
    };
    for (const auto& r : rows) {
      const QString name = r.w->metaObject()->className() + QString(" ") + Text(r.w);
      QVERIFY2(r.w->font().family() == QString(r.family), qPrintable(name));
      QVERIFY2(r.w->font().pixelSize() == r.pixels, qPrintable(name));
      QVERIFY2(r.w->font().bold() == r.bold, qPrintable(name));
    }
    QCOMPARE(f.strGrid->horizontalHeader()->font().pixelSize(), 11);
    QCOMPARE(f.strGrid->verticalHeader()->font().pixelSize(), 11);
    for (QLabel* l : {f.lblCSdata, f.lblCmd, f.lblAdres})
      QCOMPARE(l->alignment(), Qt::Alignment(Qt::AlignCenter));
    // The status bar's panels: 475 wide for the file, the version centred in the rest, up to the
    // window's right edge.
    QList<QLabel*> panels = f.stsBar->findChildren<QLabel*>();
    std::sort(panels.begin(), panels.end(), [](QLabel* a, QLabel* b) { return a->x() < b->x(); });
    QCOMPARE(panels.size(), 2);
    QVERIFY(std::abs(panels[0]->width() - 475) <= 2);
    QCOMPARE(panels[1]->x(), 475);
    QCOMPARE(f.stsBar->mapTo(f.Client, panels[1]->geometry().topRight()).x(),
             TfrmMain::kClientWidth - 1);
    QVERIFY(panels[1]->alignment() & Qt::AlignHCenter);
  }

  void tabOrderRunsThroughTheButtonsThenBoxGridAndProgramBits() {
    Rig rig;
    TfrmMain& f = *rig.form;
    f.cboType->setCurrentIndex(5);  // AT89S53: every program bit can be chosen
    const std::vector<QWidget*> expected = {
        f.cmdOpenFile,  f.cmdRead,       f.cmdWrite,    f.cmdVerify, f.cmdBlankChk,
        f.cmdSignature, f.cmdReloadFile, f.cmdSaveFile, f.cboType,   f.strGrid,
        f.chkLB1,       f.chkLB2,        f.chkLB3,      f.chkISP};
    std::vector<QWidget*> order;
    QWidget* w = f.cmdOpenFile;
    do {
      // The grid's own parts are not part of the window's order.
      if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&f) && f.isAncestorOf(w) &&
          !f.mnuMain->isAncestorOf(w) && (w == f.strGrid || !f.strGrid->isAncestorOf(w)) &&
          w->window() == &f)
        order.push_back(w);
      w = w->nextInFocusChain();
    } while (w != f.cmdOpenFile && order.size() < 40);
    QStringList names;
    for (QWidget* o : order) names << o->metaObject()->className() + QString(":") + Text(o);
    QVERIFY2(order == expected, qPrintable(names.join(", ")));
  }

  void menuHasItsCaptionsShortCutsAndNoMarksButThePort() {
    Rig rig;
    TfrmMain& f = *rig.form;
    QStringList menus;
    for (QAction* a : f.mnuMain->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({"&File", "&Edit", "&Port", "&Help"}));
    auto captions = [](QMenu* m) {
      QStringList list;
      for (QAction* a : m->actions()) list << (a->isSeparator() ? "-" : a->text());
      return list;
    };
    QCOMPARE(captions(f.mnuFile), QStringList({"&Open Hex File", "&Save Hex File", "-",
                                               "&Production Run...", "-", "E&xit"}));
    QCOMPARE(captions(f.mnuEdit),
             QStringList({"Clear &Buffer", "-", "E&dit Buffer", "&Fill Buffer"}));
    QCOMPARE(captions(f.mnuPort),
             QStringList({"LPT-&1", "LPT-&2", "LPT-&3", "-", "&Other Address...", "-",
                          "Programmer &Board", "ISP Cable &89isp", "ISP Cable &stk200",
                          "ISP Cable &dt006", "ISP Cable of &Your Own Wiring...", "-",
                          "Target &Crystal (3 MHz)..."}));
    QCOMPARE(captions(f.mnuHelp), QStringList({"&About", "Si&gnature Bytes", "&Port Check..."}));
    QCOMPARE(f.mnuFileOpenHex->shortcuts(), QList<QKeySequence>({QKeySequence("Ctrl+O")}));
    QCOMPARE(f.mnuFileSaveHex->shortcuts(), QList<QKeySequence>({QKeySequence("Ctrl+S")}));
    QCOMPARE(f.mnuFileProductionRun->shortcuts(), QList<QKeySequence>({QKeySequence("Ctrl+P")}));
    QCOMPARE(f.mnuFileExit->shortcuts(),
             QList<QKeySequence>({QKeySequence(Qt::Key_F10), QKeySequence("Ctrl+Q")}));
    for (QMenu* m : {f.mnuFile, f.mnuEdit, f.mnuHelp})
      for (QAction* a : m->actions()) QVERIFY(!a->isChecked());
  }

  void deviceBoxListsTheThirteenDevices() {
    Rig rig;
    QComboBox* box = rig.form->cboType;
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    QCOMPARE(items, QStringList({" Atmel  89C51", " Atmel  89C52", " Atmel  89C55", " Atmel  89S51",
                                 " Atmel  89S52", " Atmel  89S53", " Atmel  89S8252",
                                 " Atmel  89C55WD", " Atmel  89C51RC", " Atmel  89C1051",
                                 " Atmel  89C1051U", " Atmel  89C2051", " Atmel  89C4051"}));
    QVERIFY(!box->isEditable());
    QVERIFY(box->font().bold());
    QCOMPARE(box->currentIndex(), 0);
  }

  void gridHasItsHeadingsAndSizes() {
    Rig rig;
    const TGridCells& cells = rig.form->strGrid->Cells();
    QCOMPARE(cells.ColCount(), 17);
    QCOMPARE(cells.RowCount(), 2049);
    QCOMPARE(cells.Cell(0, 0), QString());
    QCOMPARE(cells.Cell(1, 0), QString("00"));
    QCOMPARE(cells.Cell(10, 0), QString("09"));
    QCOMPARE(cells.Cell(11, 0), QString("0A"));
    QCOMPARE(cells.Cell(16, 0), QString("0F"));
    QCOMPARE(cells.Cell(0, 1), QString(" 0000"));
    QCOMPARE(cells.Cell(0, 2), QString(" 0010"));
    QCOMPARE(cells.Cell(0, 2048), QString(" 7FF0"));
    QCOMPARE(rig.form->strGrid->ColWidth0(), 36);
    // The view shows the same texts as its headings.
    auto* model = rig.form->strGrid->model();
    QCOMPARE(model->headerData(15, Qt::Horizontal).toString(), QString("0F"));
    QCOMPARE(model->headerData(2047, Qt::Vertical).toString(), QString(" 7FF0"));
    QCOMPARE(model->rowCount(), 2048);
    QCOMPARE(model->columnCount(), 16);
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
    QCOMPARE(rig.form->strGrid->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(rig.form->strGrid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  }

  void gridShowsEightRowsAndRefreshesOnlyThoseOnEveryScroll() {
    Rig rig;
    rig.Show();
    TfrmMain& f = *rig.form;
    TStringGrid& grid = *f.strGrid;
    const TGridCells& cells = grid.Cells();
    QCOMPARE(grid.VisibleRowCount(), 8);
    QCOMPARE(grid.TopRow(), 1);
    QCOMPARE(cells.Cell(1, 1), QString("FF"));
    QCOMPARE(cells.Cell(16, 8), QString("FF"));
    QCOMPARE(cells.Cell(1, 9), QString());  // never in view yet

    for (int a = 0; a < kBufferSize; ++a)
      rig.state.DataBuffer[a] = static_cast<std::uint8_t>(a ^ (a >> 8));
    // The bar's end is row 2041: entries 0x7F80 .. 0x7FFF fill rows 2041 to 2048.
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    QCOMPARE(grid.TopRow(), 2041);
    QCOMPARE(cells.Cell(1, 2041), QString("FF"));   // 0x7F80: 0x80 ^ 0x7F
    QCOMPARE(cells.Cell(16, 2048), QString("80"));  // 0x7FFF: 0xFF ^ 0x7F
    QCOMPARE(cells.Cell(16, 2040), QString());      // just above the view: untouched
    QCOMPARE(cells.Cell(1, 1), QString("FF"));      // out of view: keeps what it showed

    grid.SetTopRow(1);
    QCOMPARE(cells.Cell(2, 1), QString("01"));
    // Keys move the view and refresh it.
    rig.state.DataBuffer[8 * 16] = 0x5A;
    grid.setFocus();
    grid.setCurrentIndex(grid.model()->index(7, 0));
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(grid.TopRow(), 2);
    QCOMPARE(cells.Cell(1, 9), QString("5A"));
    // And the wheel.
    for (int r = 1; r <= 40; ++r) rig.state.DataBuffer[(r - 1) * 16] = static_cast<std::uint8_t>(r);
    const QPoint at = grid.viewport()->rect().center();
    QWheelEvent wheel(at, grid.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid.viewport(), &wheel);
    const int top = grid.TopRow();
    QVERIFY(top > 2);
    for (int r = top; r < top + 8; ++r)
      QCOMPARE(cells.Cell(1, r), QString::number(r, 16).rightJustified(2, '0').toUpper());
  }

  void addressReadoutShowsTheBlockInProgress() {
    Rig rig;
    const struct {
      int address;
      const char* shown;
    } rows[] = {
        {0, "00FF"}, {0x1234, "12FF"}, {0x7F00, "7FFF"}, {0x00FF, "00FF"}, {0xFFFF, "FFFF"}};
    for (const auto& r : rows) {
      rig.form->UpdateAdresDisp(r.address);
      QCOMPARE(rig.form->lblAdres->text(), QString(r.shown));
    }
    rig.form->UpdateCmdDisp("Verifying");
    QCOMPARE(rig.form->lblCmd->text(), QString("Verifying"));
  }

  // No message is handled while a device routine runs: the busy labels must paint inside the call.
  void busyLabelsPaintBeforeTheCallReturns() {
    Rig rig;
    rig.Show();
    TfrmMain& f = *rig.form;
    f.lblCmd->show();
    f.lblAdres->show();
    QApplication::processEvents();
    PaintCounter adres(f.lblAdres), cmd(f.lblCmd);
    f.UpdateAdresDisp(0x0100);
    QVERIFY(adres.paints >= 1);
    for (const char* text : {"Reading", "Verifying"}) {
      const int before = cmd.paints;
      f.UpdateCmdDisp(text);
      QVERIFY(cmd.paints > before);
    }
    // Calls closer together than a display frame may share a paint; a later one paints again.
    const int before = adres.paints;
    QTRY_VERIFY_WITH_TIMEOUT((f.UpdateAdresDisp(0x0200), adres.paints > before), 30000);
  }

  void statusBarAndFolderFollowTheFileName() {
    Rig rig;
    TfrmMain& f = *rig.form;
    QCOMPARE(f.stsBar->Panel(0), QString(" ATMEL 89 Series Flash Programmer"));
    const struct {
      const char* name;
      const char* panel;
      const char* folder;
    } rows[] = {
        {"/data/test.hex", " Hex File :  TEST.HEX", "/data/"},
        {"/home/u/Projects/blink.ihx", " Hex File :  BLINK.IHX", "/home/u/Projects/"},
        {"plain.hex", " Hex File :  PLAIN.HEX", ""},
        {"/a\\b/c:d.hex", " Hex File :  C:D.HEX", "/a\\b/"},
        {"/x/a\x1b]0;b\x07.hex", " Hex File :  A\\x1B]0;B\\x07.HEX", "/x/"},
    };
    for (const auto& r : rows) {
      rig.state.HexFileName = r.name;
      f.UpdateHexFilename();
      f.GetFilePath();
      QCOMPARE(f.stsBar->Panel(0), QString(r.panel));
      QCOMPARE(QString::fromStdString(rig.state.FilePath), QString(r.folder));
    }
    rig.state.FilePath = "/keep/";
    rig.state.HexFileName.clear();
    f.GetFilePath();
    f.UpdateHexFilename();
    QCOMPARE(QString::fromStdString(rig.state.FilePath), QString("/keep/"));
    QCOMPARE(f.stsBar->Panel(0), QString(" ATMEL 89 Series Flash Programmer"));
  }

  void checksumCoversTheSelectedDevice() {
    Rig rig;
    TfrmMain& f = *rig.form;
    QCOMPARE(f.lblCSdata->text(), QString("F000"));  // AT89C51, 4096 blank bytes
    for (int type = 0; type < kDeviceCount; ++type) {
      f.cboType->setCurrentIndex(type);
      const unsigned sum = (DeviceTable[type].Size * 0xFFu) & 0xFFFF;
      QCOMPARE(f.lblCSdata->text(), QString::number(sum, 16).rightJustified(4, '0').toUpper());
    }
    // A byte past the small device's end counts only for the larger one.
    rig.state.DataBuffer[0x0400] = 0x00;
    f.cboType->setCurrentIndex(9);  // AT89C1051, 1 KiB
    QCOMPARE(f.lblCSdata->text(), QString("FC00"));
    f.cboType->setCurrentIndex(11);  // AT89C2051, 2 KiB
    QCOMPARE(f.lblCSdata->text(), QString("F701"));
    QCOMPARE(rig.state.DeviceSize, 0x0800);
  }

  void portMarksFollowThePortBase() {
    const struct {
      const char* base;
      bool lpt1, lpt2, lpt3;
      int portBase;
    } rows[] = {{"888", true, false, false, 0x378},
                {"632", false, true, false, 0x278},
                {"956", false, false, true, 0x3BC},
                {"760", false, false, false, 0x2F8}};
    for (const auto& r : rows) {
      Rig rig({"0", "0", r.base, ""});
      TfrmMain& f = *rig.form;
      QCOMPARE(rig.state.PortBase, r.portBase);
      QCOMPARE(f.mnuPortLPT1->isChecked(), r.lpt1);
      QCOMPARE(f.mnuPortLPT2->isChecked(), r.lpt2);
      QCOMPARE(f.mnuPortLPT3->isChecked(), r.lpt3);
      QVERIFY(rig.messages.Shown.empty());
    }
  }

  void choosingAPortMovesTheMarkOnce() {
    Rig rig;
    TfrmMain& f = *rig.form;
    // The three items carry radio marks: they stand in one exclusive group.
    QVERIFY(f.mnuPortGroup->isExclusive());
    QCOMPARE(f.mnuPortGroup->actions(),
             QList<QAction*>({f.mnuPortLPT1, f.mnuPortLPT2, f.mnuPortLPT3}));
    f.mnuPortLPT2->trigger();
    QCOMPARE(rig.state.PortBase, 0x278);
    QVERIFY(!f.mnuPortLPT1->isChecked() && f.mnuPortLPT2->isChecked() &&
            !f.mnuPortLPT3->isChecked());
    f.mnuPortLPT2->trigger();  // the marked item: nothing changes
    QCOMPARE(rig.state.PortBase, 0x278);
    QVERIFY(f.mnuPortLPT2->isChecked());
    f.mnuPortLPT3->trigger();
    QCOMPARE(rig.state.PortBase, 0x3BC);
    QVERIFY(!f.mnuPortLPT1->isChecked() && !f.mnuPortLPT2->isChecked() &&
            f.mnuPortLPT3->isChecked());
    // From an unmarked odd port, the first choice takes the mark.
    rig.state.PortBase = 0x2F8;
    f.mnuPortLPT3->setChecked(false);
    f.mnuPortLPT1->trigger();
    QCOMPARE(rig.state.PortBase, 0x378);
    QVERIFY(f.mnuPortLPT1->isChecked());
  }

  void screenshotOfTheMainWindow() {
    Rig rig;
    for (int a = 0; a < 0x90; ++a)
      rig.state.DataBuffer[a] = static_cast<std::uint8_t>(a * 7 + 0x02);
    rig.state.HexFileName = "/home/user/firmware/blink.hex";
    rig.form->UpdateHexFilename();
    rig.form->UpdateGridDisp();
    rig.form->RefreshCheckSum();
    rig.Show();
    const QPixmap picture = rig.form->grab();
    QVERIFY(picture.width() >= 554 && picture.height() >= 374);
    const QString file = QStringLiteral(KALDO_SCREENSHOT_DIR) + "/main-window.png";
    QVERIFY(picture.save(file));
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
