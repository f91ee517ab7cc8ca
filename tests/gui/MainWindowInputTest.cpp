// The main window from the keyboard, the mouse wheel and the desktop: the first focus, the device
// box under a passing wheel, the short-cut keys, the file filters and files dropped on the window.
#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSpontaneKeyEvent>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <functional>
#include <map>

#include "MainWindowRig.h"
#include "app/SocketMenu.h"
#include "core/formats/HexFile.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

const std::string kGoodHex =
    ":10000000000102030405060708090A0B0C0D0E0F78\r\n"
    ":00000001FF\r\n";

void WriteFile(const QString& path, const std::string& text) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(text.data(), static_cast<qint64>(text.size()));
}

void ShowActive(Rig& rig) {
  rig.Show();
  rig.form->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(rig.form.get()));
}

// One notch of the wheel, turned down over the middle of the widget and delivered as the desktop
// delivers it: a spontaneous event, which first gives the focus to a widget that takes it by wheel.
void TurnWheel(QWidget* w) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  QWheelEvent wheel(at, w->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QSpontaneKeyEvent::setSpontaneous(&wheel);
  qApp->notify(w, &wheel);
}

QMimeData* Urls(const QList<QUrl>& urls) {
  auto* data = new QMimeData;
  data->setUrls(urls);
  return data;
}

// Drags the data over the window and, when the window takes it, drops it; true when it was taken.
bool DragAndDrop(TfrmMain& f, QMimeData* data) {
  const QPoint at = f.strGrid->geometry().center();
  QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  enter.setAccepted(false);
  QApplication::sendEvent(&f, &enter);
  if (enter.isAccepted()) {
    QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &drop);
  }
  delete data;
  return enter.isAccepted();
}

// The names the running file dialog shows under the filter. The folder is read in the background:
// the list is taken once it holds `expected` names, or after thirty seconds.
QStringList ShownUnder(QFileDialog* dialog, const QString& filter, int expected) {
  auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
  if (!view) return {};
  dialog->selectNameFilter(filter);
  QStringList names;
  for (int wait = 0; wait < 1500; ++wait) {
    names.clear();
    const QModelIndex root = view->rootIndex();
    for (int r = 0; r < view->model()->rowCount(root); ++r) {
      const QModelIndex i = view->model()->index(r, 0, root);
      if (view->model()->flags(i) & Qt::ItemIsEnabled) names << i.data().toString();
    }
    if (names.size() == expected) break;
    QTest::qWait(20);
  }
  names.sort();
  return names;
}

}  // namespace

class MainWindowInputTest : public QObject {
  Q_OBJECT

 private slots:
  void focusStartsOnOpenFileWithItsRing() {
    Rig rig({"4", "3", "888", ""});
    ShowActive(rig);
    TfrmMain& f = *rig.form;
    QCOMPARE(QApplication::focusWidget(), f.cmdOpenFile);
    QVERIFY(f.testAttribute(Qt::WA_KeyboardFocusChange));
    // A Down key at start moves nothing in the device box.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(rig.state.DeviceType, 4);
    QCOMPARE(rig.state.ProgBits, 3);
  }

  void deviceBoxTurnsWithTheWheelOnlyWithTheFocus() {
    // An AT89S53 with its ISP fuse chosen: a change of device would untick the fuse.
    Rig rig({"5", "8", "888", ""});
    ShowActive(rig);
    TfrmMain& f = *rig.form;
    TurnWheel(f.cboType);
    QCOMPARE(rig.state.DeviceType, 5);
    QCOMPARE(rig.state.ProgBits, 8);
    QVERIFY(f.chkISP->isChecked());
    QCOMPARE(QApplication::focusWidget(), f.cmdOpenFile);

    f.cboType->setFocus(Qt::TabFocusReason);
    QVERIFY(f.cboType->hasFocus());
    TurnWheel(f.cboType);
    QCOMPARE(rig.state.DeviceType, 6);
    QCOMPARE(f.cboType->currentIndex(), 6);
  }

  void shortCutKeysReachTheirCommands() {
    const struct {
      QKeyCombination key;
      int dialogsRun;                // the Open or Save dialog
      FileDialogRequest::Kind kind;  // which one
      bool closes;
    } rows[] = {
        {Qt::CTRL | Qt::Key_O, 1, FileDialogRequest::Kind::Open, false},
        {Qt::CTRL | Qt::Key_S, 1, FileDialogRequest::Kind::Save, false},
        {Qt::CTRL | Qt::Key_Q, 0, {}, true},
        {QKeyCombination(Qt::Key_F10), 0, {}, true},
    };
    for (const auto& r : rows) {
      const QString name = QKeySequence(r.key).toString();
      Rig rig;
      ShowActive(rig);
      QTest::keySequence(rig.form.get(), QKeySequence(r.key));
      QVERIFY2(int(rig.files.Runs.size()) == r.dialogsRun, qPrintable(name));
      if (r.dialogsRun) QVERIFY2(rig.files.Runs[0].Mode == r.kind, qPrintable(name));
      QVERIFY2(rig.form->isVisible() == !r.closes, qPrintable(name));
      // Exit saved the settings on its way out.
      if (r.closes) QVERIFY(QFile::exists(rig.folderPath + "/Kaldo.set"));
    }
  }

  // Alt and a letter reaches one menu or control only, in kaldo and in kaldo-sim with its Socket
  // menu: Alt+S runs Signature in both, Alt+C opens the Socket menu.
  void everyAccessLetterBelongsToOneMenuOrControl() {
    for (const bool simulated : {false, true}) {
      const char* program = simulated ? "kaldo-sim" : "kaldo";
      Rig rig;
      if (simulated) AddSocketMenu(*rig.form, rig.machine);
      TfrmMain& f = *rig.form;
      QStringList captions;
      for (const QAction* menu : f.mnuMain->actions()) captions << menu->text();
      for (const QAbstractButton* control : f.findChildren<QAbstractButton*>())
        captions << control->text();
      for (const QGroupBox* frame : f.findChildren<QGroupBox*>()) captions << frame->title();
      for (const QLabel* label : f.findChildren<QLabel*>())
        if (label->buddy()) captions << label->text();
      std::map<QString, QString> owners;  // Alt+letter: the caption that has it
      for (const QString& caption : captions) {
        const QString key = QKeySequence::mnemonic(caption).toString();
        if (key.isEmpty()) continue;
        const auto [held, fresh] = owners.emplace(key, caption);
        QVERIFY2(
            fresh,
            qPrintable(
                QString("%1: %2 of \"%3\" and \"%4\"").arg(program, key, held->second, caption)));
      }
      QCOMPARE(owners.size(), std::size_t(simulated ? 17 : 16));

      ShowActive(rig);
      QTest::keyClick(&f, Qt::Key_S, Qt::AltModifier);
      QTRY_COMPARE(rig.messages.Shown.size(), std::size_t(1));
      QVERIFY2(rig.messages.Last().Title == "  SIGNATURE", program);
      if (!simulated) continue;
      QMenu* socket = f.mnuMain->actions()[3]->menu();
      QTest::keyClick(&f, Qt::Key_C, Qt::AltModifier);
      QTRY_VERIFY(socket->isVisible());
      socket->hide();
    }
  }

  // Each filter shows its names in either case; a name saved without an extension takes the
  // filter's first one.
  void filtersShowTheirNamesInAnyCaseAndGiveTheirExtension() {
    QTemporaryDir dir;
    for (const char* name : {"a.hex", "B.HEX", "c.ihx", "D.IHX", "e.s19", "F.S28", "g.mot", "h.bin",
                             "notes.txt", "README"})
      WriteFile(dir.path() + "/" + name, "");
    Rig rig;
    const struct {
      const char* filter;
      QStringList names;
      const char* suffix;  // for a name typed without one
    } rows[] = {
        {"Hex File (*.hex *.ihx)", {"B.HEX", "D.IHX", "a.hex", "c.ihx"}, "hex"},
        {"S-record File (*.s19 *.s28 *.s37 *.srec *.mot)", {"F.S28", "e.s19", "g.mot"}, "s19"},
        {"Binary File (*.bin)", {"h.bin"}, "bin"},
        {"All Files (*)",
         {"B.HEX", "D.IHX", "F.S28", "README", "a.hex", "c.ihx", "e.s19", "g.mot", "h.bin",
          "notes.txt"},
         "hex"},
    };
    QStringList filters;
    std::vector<QStringList> shown;
    std::vector<QString> suffixes;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      filters = dialog->nameFilters();
      auto* box = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      QVERIFY(box);
      for (const auto& r : rows) {
        shown.push_back(ShownUnder(dialog, r.filter, int(r.names.size())));
        // The user's choice in the dialog's filter box.
        emit box->textActivated(box->currentText());
        suffixes.push_back(dialog->defaultSuffix());
      }
      dialog->reject();
    });
    QtFileDialogSeam seam;
    rig.form->dlgSaveDialog.InitialDir() = dir.path();
    QVERIFY(!seam.Run(rig.form.get(), rig.form->dlgSaveDialog.Request));
    QStringList want;
    for (const auto& r : rows) want << r.filter;
    QCOMPARE(filters, want);
    QCOMPARE(shown.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
      QCOMPARE(shown[i], rows[i].names);
      QCOMPARE(suffixes[i], QString(rows[i].suffix));
    }
  }

  // A dropped file is read in the format its name says.
  void droppedFileOpensAsOpenFileWould() {
    std::string image;
    for (char b = 0; b < 16; ++b) image += b;
    const struct {
      const char* file;
      std::string text;
      const char* statusBar;
      const char* warning;  // "  OPEN FILE" with the loader's text
    } rows[] = {
        {"prog.ihx", kGoodHex, " Hex File :  PROG.IHX", nullptr},
        {"bad.hex", "no record here\r\n", " ATMEL 89 Series Flash Programmer", kInvalidHexFormat},
        {"prog.bin", image, " Hex File :  PROG.BIN", nullptr},
        {"prog.s19", "S1130000000102030405060708090A0B0C0D0E0F74\n", " Hex File :  PROG.S19",
         nullptr},
        {"bad.S19", kGoodHex, " ATMEL 89 Series Flash Programmer", kInvalidHexFormat},
    };
    for (const auto& r : rows) {
      Rig rig;
      rig.state.HexFileName = "/elsewhere/old.hex";
      const QString path = rig.folderPath + "/" + r.file;
      WriteFile(path, r.text);
      QVERIFY(DragAndDrop(*rig.form, Urls({QUrl::fromLocalFile(path)})));
      QCOMPARE(rig.form->stsBar->Panel(0), QString(r.statusBar));
      QCOMPARE(QString::fromStdString(rig.state.FilePath), rig.folderPath + "/");
      if (r.warning) {
        QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
        QCOMPARE(rig.messages.Last().Title, QString("  OPEN FILE"));
        QCOMPARE(rig.messages.Last().Text, QString(r.warning));
        QCOMPARE(rig.messages.Last().Icon, MsgIcon::Warning);
        QVERIFY(rig.state.HexFileName.empty());
      } else {
        QVERIFY(rig.messages.Shown.empty());
        QCOMPARE(QString::fromStdString(rig.state.HexFileName), path);
        QCOMPARE(rig.form->strGrid->Cells().Cell(16, 1), QString("0F"));
      }
    }
  }

  void dropOfAnythingButOneFileIsRefused() {
    Rig rig;
    const QString one = rig.folderPath + "/one.hex";
    const QString two = rig.folderPath + "/two.hex";
    WriteFile(one, kGoodHex);
    WriteFile(two, kGoodHex);
    const struct {
      const char* what;
      QMimeData* data;
    } rows[] = {
        {"two files", Urls({QUrl::fromLocalFile(one), QUrl::fromLocalFile(two)})},
        {"a folder", Urls({QUrl::fromLocalFile(rig.folderPath)})},
        {"a web address", Urls({QUrl("https://example.com/one.hex")})},
        {"text",
         [] {
           auto* d = new QMimeData;
           d->setText("one.hex");
           return d;
         }()},
    };
    for (const auto& r : rows) QVERIFY2(!DragAndDrop(*rig.form, r.data), r.what);
    QVERIFY(rig.state.HexFileName.empty());
    QVERIFY(rig.messages.Shown.empty());
  }
};

QTEST_MAIN(MainWindowInputTest)
#include "MainWindowInputTest.moc"
