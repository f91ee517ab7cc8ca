// The main window's controls and menu: where each one stands, its caption, font, hint and tab stop;
// the menu the machine adds, and its condition in the title.
#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>
#include <QWheelEvent>

#include "app/Pictures.h"
#include "app/UnitFormMain.h"
#include "core/Convert.h"
#include "core/ProgramInfo.h"
#include "core/model/LptPorts.h"
#include "dialogs/DialogCommon.h"

namespace kaldo {

namespace {

// The device box turns with the wheel only once it has the focus: a wheel turned on its way
// across the window changes neither the device nor the program bits, and goes on to the window.
// The box takes the focus from a click or the Tab key, never from the wheel itself, which would
// otherwise hand it the focus just before the turn.
class TDeviceBox : public QComboBox {
 public:
  explicit TDeviceBox(QWidget* parent) : QComboBox(parent) { setFocusPolicy(Qt::StrongFocus); }

 protected:
  void wheelEvent(QWheelEvent* event) override {
    if (hasFocus())
      QComboBox::wheelEvent(event);
    else
      event->ignore();
  }
};

}  // namespace

// --- Status bar --------------------------------------------------------------------------------

TStatusBar::TStatusBar(int width0, const QRect& place, QWidget* parent)
    : QWidget(parent), width0_(width0) {
  for (QLabel*& panel : panels_) {
    panel = new QLabel(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  }
  panels_[0]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  panels_[1]->setAlignment(Qt::AlignCenter);
  setGeometry(place);
  PlacePanels();
}

void TStatusBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlacePanels();
}

void TStatusBar::PlacePanels() {
  panels_[0]->setGeometry(0, 2, width0_ - 2, height() - 2);
  panels_[1]->setGeometry(width0_, 2, width() - width0_, height() - 2);
}

QString TStatusBar::Panel(int i) const {
  return panels_[i]->text();
}

void TStatusBar::SetPanel(int i, const QString& text) {
  panels_[i]->setText(text);
}

// --- Controls and menu -----------------------------------------------------------------------

void TfrmMain::CreateControls() {
  setWindowTitle(QString::fromLatin1(kMainCaption));
  setWindowIcon(QIcon::fromTheme(QStringLiteral("kaldo"), ProgramIcon()));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(PixelFont(QStringLiteral("Arial"), 12));
  setAcceptDrops(true);

  Client = new QWidget(this);
  Client->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(Client);
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  auto speedButton = [this](const QPixmap& picture, const char* hint, int left) {
    auto* b = new QToolButton(Client);
    b->setIcon(QIcon(picture));
    b->setIconSize(picture.size());
    b->setGeometry(left, 9, 25, 25);
    b->setFocusPolicy(Qt::NoFocus);
    if (hint) b->setToolTip(QString::fromLatin1(hint));
    return b;
  };
  sbtOpenFile = speedButton(OpenFolderPicture(), "Open Hex File", 16);
  sbtSaveFile = speedButton(FloppyPicture(), "Save Hex File", 56);
  sbtAbout = speedButton(InfoPicture(), nullptr, 120);

  auto label = [this](const QString& text, int left, int top) {
    auto* l = new QLabel(text, Client);
    l->move(left, top);
    l->adjustSize();
    return l;
  };
  lblType = label(QStringLiteral("Tpye"), 363, 12);

  cboType = new TDeviceBox(Client);
  cboType->setFont(PixelFont(QStringLiteral("Arial"), 12, true));
  for (const DeviceInfo& d : DeviceTable) cboType->addItem(QString::fromLatin1(d.ListText));
  cboType->setMaxVisibleItems(kDeviceCount);
  cboType->setToolTip(QStringLiteral("Select uController"));
  cboType->setGeometry(401, 9, 129, 22);

  auto bevel = [this](int left, int top, int width) {
    auto* f = new QFrame(Client);
    f->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    f->setGeometry(left, top, width, 2);
    return f;
  };
  Bevel1 = bevel(0, 0, kClientWidth);
  Bevel2 = bevel(8, 40, 537);

  lblProgMem = label(QStringLiteral("Program Memory"), 19, 49);
  lblProgMem->setFont(PixelFont(QStringLiteral("Arial"), 13));
  lblProgMem->adjustSize();

  strGrid = new TStringGrid(kGridCols, kGridRows, 18, 18, Client);
  strGrid->setFont(PixelFont(QStringLiteral("Arial"), 11));
  strGrid->horizontalHeader()->setFont(strGrid->font());
  strGrid->verticalHeader()->setFont(strGrid->font());
  strGrid->setToolTip(QStringLiteral("Buffer Memory Contents"));
  strGrid->setGeometry(16, 71, 365,
                       strGrid->ClientHeightFor(kVisibleDataRows) + 2 * strGrid->frameWidth());

  fraProgBits = new QGroupBox(QStringLiteral(" Program Bits "), Client);
  fraProgBits->setGeometry(416, 66, 113, 143);
  auto check = [this](const QString& caption, int top) {
    auto* c = new QCheckBox(caption, fraProgBits);
    c->setGeometry(14, top, 92, 17);
    c->setFocusPolicy(Qt::StrongFocus);
    return c;
  };
  chkLB1 = check(QStringLiteral(" Lock Bit-&1"), 26);
  chkLB2 = check(QStringLiteral(" Lock Bit-&2"), 54);
  chkLB3 = check(QStringLiteral(" Lock Bit-&3"), 82);
  chkISP = check(QStringLiteral("&ISP Fuse"), 110);

  lblCheckSum = label(QStringLiteral("CheckSum"), 419, 229);
  lblCheckSum->setFont(PixelFont(QStringLiteral("Arial"), 13));
  lblCheckSum->adjustSize();

  // A label of fixed size with its text centred, in its own colours when they are given.
  auto readout = [this](const QRect& place, const QFont& font, const QColor& text = {},
                        const QColor& background = {}) {
    auto* l = new QLabel(Client);
    l->setGeometry(place);
    l->setAlignment(Qt::AlignCenter);
    l->setFont(font);
    if (background.isValid()) {
      l->setAutoFillBackground(true);
      QPalette p = l->palette();
      p.setColor(QPalette::Window, background);
      p.setColor(QPalette::WindowText, text);
      l->setPalette(p);
    }
    return l;
  };
  lblCSdata = readout({488, 229, 41, 17}, PixelFont(QStringLiteral("Arial"), 12, true), Qt::white,
                      QColor(0, 0, 128));
  lblCSdata->setToolTip(QStringLiteral("Buffer CheckSum"));

  auto button = [this](const QString& caption, const char* hint, int left, int top) {
    auto* b = new QPushButton(caption, Client);
    b->setGeometry(left, top, 81, 25);
    b->setToolTip(QString::fromLatin1(hint));
    b->setFocusPolicy(Qt::TabFocus);
    b->setAutoDefault(false);
    return b;
  };
  cmdRead = button(QStringLiteral("&Read"), "Read uController", 16, 264);
  cmdWrite = button(QStringLiteral("&Write"), "Program uController", 112, 264);
  cmdVerify = button(QStringLiteral("&Verify"), "Compare uController with Buffer", 208, 264);
  cmdOpenFile = button(QStringLiteral("&Open File"), "Open Hex File", 304, 264);
  cmdBlankChk = button(QStringLiteral("&Blank Check"), "uController Blank Check", 16, 304);
  cmdSignature = button(QStringLiteral("&Signature"), "Read Signature Bytes", 112, 304);
  cmdReloadFile = button(QStringLiteral("Reloa&d File"), "Reload Current Hex File", 208, 304);
  cmdSaveFile = button(QStringLiteral("S&ave File"), "Save Hex File", 304, 304);

  stsBar = new TStatusBar(475, {0, kClientHeight - 25, kClientWidth, 25}, Client);
  stsBar->setFont(PixelFont(QStringLiteral("Arial"), 12, true));
  stsBar->SetPanel(1, QString::fromLatin1(kProgramVersionShort));

  lblCmd = readout({460, 312, 90, 18}, PixelFont(QStringLiteral("Arial Narrow"), 13));
  lblAdres = readout({460, 336, 91, 33}, PixelFont(QStringLiteral("Courier New"), 27, true),
                     QColor(0, 255, 0), Qt::black);
  lblAdres->raise();

  setTabOrder(cmdOpenFile, cmdRead);
  setTabOrder(cmdRead, cmdWrite);
  setTabOrder(cmdWrite, cmdVerify);
  setTabOrder(cmdVerify, cmdBlankChk);
  setTabOrder(cmdBlankChk, cmdSignature);
  setTabOrder(cmdSignature, cmdReloadFile);
  setTabOrder(cmdReloadFile, cmdSaveFile);
  setTabOrder(cmdSaveFile, cboType);
  setTabOrder(cboType, strGrid);
  setTabOrder(strGrid, chkLB1);
  setTabOrder(chkLB1, chkLB2);
  setTabOrder(chkLB2, chkLB3);
  setTabOrder(chkLB3, chkISP);
  // The window opens with the focus on the first tab stop (its ring: see showEvent).
  cmdOpenFile->setFocus(Qt::TabFocusReason);

  dlgOpenDialog.Title() = QStringLiteral("Open Hex File");
  dlgSaveDialog.Title() = QStringLiteral("Save Hex File");
  // The extension picks the format a file is read and written in (FormatOfFileName).
  for (TFileDialog* d : {&dlgOpenDialog, &dlgSaveDialog}) {
    d->Request.Filters = {{QStringLiteral("Hex File (*.hex *.ihx)"), QStringLiteral("*.hex *.ihx")},
                          {QStringLiteral("S-record File (*.s19 *.s28 *.s37 *.srec *.mot)"),
                           QStringLiteral("*.s19 *.s28 *.s37 *.srec *.mot")},
                          {QStringLiteral("Binary File (*.bin)"), QStringLiteral("*.bin")},
                          {QStringLiteral("All Files (*)"), QStringLiteral("*")}};
    d->Request.DefaultExt = QStringLiteral("hex");
  }
  // Open shows every file it can read at first.
  dlgOpenDialog.Request.Filters.insert(
      dlgOpenDialog.Request.Filters.begin(),
      {QStringLiteral("All supported files (*.hex *.ihx *.s19 *.s28 *.s37 *.srec *.mot *.bin)"),
       QStringLiteral("*.hex *.ihx *.s19 *.s28 *.s37 *.srec *.mot *.bin")});
}

void TfrmMain::CreateMenu() {
  mnuMain = new QMenuBar(this);
  setMenuBar(mnuMain);
  auto item = [](QMenu* menu, const QString& caption) { return menu->addAction(caption); };

  mnuFile = mnuMain->addMenu(QStringLiteral("&File"));
  mnuFileOpenHex = item(mnuFile, QStringLiteral("&Open Hex File"));
  mnuFileOpenHex->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  mnuFileSaveHex = item(mnuFile, QStringLiteral("&Save Hex File"));
  mnuFileSaveHex->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  mnuFile->addSeparator();
  mnuFileProductionRun = item(mnuFile, QStringLiteral("&Production Run..."));
  mnuFileProductionRun->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  mnuFile->addSeparator();
  mnuFileExit = item(mnuFile, QStringLiteral("E&xit"));
  mnuFileExit->setShortcuts({QKeySequence(Qt::Key_F10), QKeySequence(Qt::CTRL | Qt::Key_Q)});

  mnuEdit = mnuMain->addMenu(QStringLiteral("&Edit"));
  mnuEditClrBuffer = item(mnuEdit, QStringLiteral("Clear &Buffer"));
  mnuEdit->addSeparator();
  mnuEditEdtBuffer = item(mnuEdit, QStringLiteral("E&dit Buffer"));
  mnuEditFillBuffer = item(mnuEdit, QStringLiteral("&Fill Buffer"));

  mnuPort = mnuMain->addMenu(QStringLiteral("&Port"));
  mnuPortLPT1 = item(mnuPort, QStringLiteral("LPT-&1"));
  mnuPortLPT2 = item(mnuPort, QStringLiteral("LPT-&2"));
  mnuPortLPT3 = item(mnuPort, QStringLiteral("LPT-&3"));
  mnuPortLPT1->setData(kLpt1Base);
  mnuPortLPT2->setData(kLpt2Base);
  mnuPortLPT3->setData(kLpt3Base);
  mnuPort->addSeparator();
  if (ports_.List) {
    for (const KernelPort& p : OtherPorts(ports_.List())) {
      QAction* listed =
          item(mnuPort, QStringLiteral("parport%1  ").arg(p.number) +
                            QString::fromLatin1(IoAddressText(static_cast<std::uint32_t>(p.base))));
      listed->setData(static_cast<unsigned>(p.base));
      mnuPortListed.push_back(listed);
    }
  }
  mnuPortOther = item(mnuPort, QStringLiteral("&Other Address..."));
  // Radio marks, and none at all for a port base that no item has.
  mnuPortGroup = new QActionGroup(mnuPort);
  mnuPortGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (QAction* a : {mnuPortLPT1, mnuPortLPT2, mnuPortLPT3}) {
    a->setCheckable(true);
    mnuPortGroup->addAction(a);
  }
  for (QAction* a : mnuPortListed) {
    a->setCheckable(true);
    mnuPortGroup->addAction(a);
  }
  // What is on the port: the board or a cable, each with a radio mark; the crystal a cable is
  // timed for.
  mnuPort->addSeparator();
  mnuPort->setToolTipsVisible(true);
  mnuProgrammerGroup = new QActionGroup(mnuPort);
  mnuProgrammerGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  mnuPortBoard = item(mnuPort, QStringLiteral("Programmer &Board"));
  mnuPortBoard->setToolTip(QStringLiteral("The programmer board, with the chip in its socket"));
  for (const IspCableRow& row : IspCableTable()) {
    QAction* cable = item(mnuPort, QStringLiteral("ISP Cable &") + QString::fromLatin1(row.Name));
    cable->setData(QString::fromLatin1(row.Name));
    cable->setToolTip(QString::fromLatin1(row.Description) + QStringLiteral(": ") +
                      QString::fromLatin1(row.Wiring));
    mnuPortCables.push_back(cable);
  }
  mnuPortOwnCable = item(mnuPort, QStringLiteral("ISP Cable of &Your Own Wiring..."));
  mnuPortOwnCable->setToolTip(
      QStringLiteral("A cable wired pin by pin, e.g. rst=17,sck=1,mosi=2,miso=10"));
  for (QAction* a : mnuPortCables) mnuProgrammerGroup->addAction(a);
  for (QAction* a : {mnuPortBoard, mnuPortOwnCable}) mnuProgrammerGroup->addAction(a);
  for (QAction* a : mnuProgrammerGroup->actions()) a->setCheckable(true);
  mnuPort->addSeparator();
  mnuPortCrystal = item(mnuPort, QStringLiteral("Target &Crystal..."));
  mnuPortCrystal->setToolTip(
      QStringLiteral("The crystal of the target board: a cable's clock is timed for it"));

  mnuHelp = mnuMain->addMenu(QStringLiteral("&Help"));
  mnuHelpAbout = item(mnuHelp, QStringLiteral("&About"));
  mnuSignature = item(mnuHelp, QStringLiteral("Si&gnature Bytes"));
  mnuHelpPortCheck = item(mnuHelp, QStringLiteral("&Port Check..."));
}

// --- What the machine adds ----------------------------------------------------------------------

void TfrmMain::AddMachineMenu(QMenu* menu) {
  mnuMain->insertMenu(mnuHelp->menuAction(), menu);
}

void TfrmMain::ShowMachineCondition(const QString& condition) {
  machineCondition_ = condition;
  UpdateTitle();
}

void TfrmMain::UpdateTitle() {
  QString title = QString::fromLatin1(kMainCaption);
  if (const CableUse* cable = programmer_.CableInUse()) {
    const QAction* port = mnuPortGroup->checkedAction();
    title +=
        QStringLiteral(" - ISP cable ") + QString::fromStdString(PrintableText(cable->Cable.Name));
    if (port) title += QStringLiteral(" on ") + port->text().remove(QLatin1Char('&'));
    title += QStringLiteral(", crystal ") +
             QString::fromStdString(MegahertzText(cable->CrystalHz)) + QStringLiteral(" MHz");
  }
  if (!machineCondition_.isEmpty()) title += QStringLiteral(" - ") + machineCondition_;
  setWindowTitle(title);
}

}  // namespace kaldo
