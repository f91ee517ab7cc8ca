// The main window's file, buffer, port and help commands, driven through the window on the
// simulated PC, with the message boxes and file dialogs answered by the test.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTimerEvent>
#include <QToolButton>
#include <functional>

#include "../MainWindowRig.h"
#include "core/formats/BinFile.h"
#include "core/formats/HexFile.h"
#include "core/formats/ImageFile.h"
#include "core/formats/SRecordFile.h"
#include "dialogs/UnitFormAbout.h"
#include "dialogs/UnitFormEditBuffer.h"
#include "dialogs/UnitFormFillBuffer.h"
#include "dialogs/UnitFormSignature.h"
#include "dialogs/UnitFormSplash.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

const QString kBanner = " ATMEL 89 Series Flash Programmer";

std::string ReadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

void WriteFile(const QString& path, const std::string& text) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(text.data(), static_cast<qint64>(text.size()));
}

// 0x00 at 0x0000, 0x01 at 0x0001 ... over the first 32 bytes, then the end record.
const std::string kGoodHex =
    ":10000000000102030405060708090A0B0C0D0E0F78\r\n"
    ":10001000101112131415161718191A1B1C1D1E1F68\r\n"
    ":00000001FF\r\n";
// The first line loads; the reader stops at the second, which is no record.
const std::string kBadSecondLine =
    ":10000000000102030405060708090A0B0C0D0E0F78\r\n"
    "10001000101112131415161718191A1B1C1D1E1F68\r\n"
    ":00000001FF\r\n";

// Runs `act` on the modal window once it shows, then lets the caller's command go on.
void WhenModal(std::function<void()> act) {
  QTimer::singleShot(0, std::move(act));
}

// A window on the simulated PC with its other windows made and the test's folder as FilePath.
struct FileRig : Rig {
  FileRig() {
    form->CreateDialogWindows();
    form->frmAbout->Beep = [this] { ++beeps; };
    folder = QDir(dir.path()).absolutePath() + "/";
  }
  TfrmMain& f() { return *form; }
  QString Path(const QString& name) const { return folder + name; }
  QString Cell(int col, int row) { return f().strGrid->Cells().Cell(col, row); }
  void Open(const QString& path) {
    files.Answers.push_back(path);
    QTest::mouseClick(f().cmdOpenFile, Qt::LeftButton);
  }
  void Save(const QString& path) {
    files.Answers.push_back(path);
    QTest::mouseClick(f().cmdSaveFile, Qt::LeftButton);
  }
  QString folder;
  int beeps = 0;
};

}  // namespace

class MainFileCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void openLoadsAndNamesTheFile() {
    FileRig rig;
    WriteFile(rig.Path("test.hex"), kGoodHex);
    rig.state.FilePath = rig.folder.toStdString();
    rig.Open(rig.Path("test.hex"));

    QCOMPARE(rig.files.Runs.size(), std::size_t(1));
    const FileDialogRequest& request = rig.files.Runs[0];
    QCOMPARE(request.Mode, FileDialogRequest::Kind::Open);
    QCOMPARE(request.Title, QString("Open Hex File"));
    QCOMPARE(request.InitialDir, rig.folder);
    QVERIFY(request.FileName.isEmpty());
    QCOMPARE(request.DefaultExt, QString("hex"));
    using Filter = std::pair<QString, QString>;
    const std::vector<Filter> filters = {
        {"All supported files (*.hex *.ihx *.s19 *.s28 *.s37 *.srec *.mot *.bin)",
         "*.hex *.ihx *.s19 *.s28 *.s37 *.srec *.mot *.bin"},
        {"Hex File (*.hex *.ihx)", "*.hex *.ihx"},
        {"S-record File (*.s19 *.s28 *.s37 *.srec *.mot)", "*.s19 *.s28 *.s37 *.srec *.mot"},
        {"Binary File (*.bin)", "*.bin"},
        {"All Files (*)", "*"}};
    QCOMPARE(request.Filters, filters);

    QVERIFY(rig.messages.Shown.empty());
    QCOMPARE(QString::fromStdString(rig.state.HexFileName), rig.Path("test.hex"));
    QCOMPARE(rig.f().stsBar->Panel(0), QString(" Hex File :  TEST.HEX"));
    QCOMPARE(rig.Cell(16, 2), QString("1F"));
    QCOMPARE(rig.Cell(1, 3), QString("FF"));
    // 0x00 + ... + 0x1F = 0x1F0, plus 4064 bytes of 0xFF on the 4 KiB device.
    QCOMPARE(rig.f().lblCSdata->text(),
             QString("%1").arg((0x1F0 + 4064 * 0xFF) & 0xFFFF, 4, 16, QChar('0')).toUpper());
  }

  void cancelledOpenChangesNothing() {
    FileRig rig;
    rig.state.DataBuffer[5] = 0x12;
    rig.state.HexFileName = "/somewhere/old.hex";
    rig.files.Answers.push_back(std::nullopt);
    QTest::mouseClick(rig.f().sbtOpenFile, Qt::LeftButton);
    rig.files.Answers.push_back(QString());
    rig.f().mnuFileOpenHex->trigger();
    QCOMPARE(rig.files.Runs.size(), std::size_t(2));
    QCOMPARE(rig.state.DataBuffer[5], std::uint8_t{0x12});
    QCOMPARE(rig.state.HexFileName, std::string("/somewhere/old.hex"));
    QVERIFY(rig.messages.Shown.empty());
  }

  void rejectedOpenShowsThePartialBufferAndForgetsTheFile() {
    FileRig rig;
    WriteFile(rig.Path("bad.hex"), kBadSecondLine);
    rig.Open(rig.Path("bad.hex"));

    QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
    QCOMPARE(rig.messages.Last().Title, QString("  OPEN FILE"));
    QCOMPARE(rig.messages.Last().Text, QString(kInvalidHexFormat));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Warning);
    QVERIFY(rig.state.HexFileName.empty());
    QCOMPARE(QString::fromStdString(rig.state.FilePath), rig.folder);
    QCOMPARE(rig.f().stsBar->Panel(0), kBanner);
    QCOMPARE(rig.Cell(16, 1), QString("0F"));  // the first line stays
    QCOMPARE(rig.Cell(1, 2), QString("FF"));

    // With no current file, Reload does nothing at all.
    const auto buffer = rig.state.DataBuffer;
    QTest::mouseClick(rig.f().cmdReloadFile, Qt::LeftButton);
    QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
    QVERIFY(rig.state.DataBuffer == buffer);
  }

  // Hostile files: a second record on a data record's line is refused, and text from the file or
  // its name reaches a message with its control characters escaped.
  void hostileFilesShowEscapedTexts() {
    const struct {
      const char* file;
      std::string text;
      const char* title;
      const char* message;
    } rows[] = {
        {"two.hex", ":0100000011EE:0100100022CD\r\n", "  OPEN FILE", kInvalidHexFormat},
        {"esc.hex", ":10\x1b[2J00\r\n", " KALDO", "'$\\x1B[2J' is not a valid integer value."},
        {"a\x1b[2Jb.hex", kGoodHex, "  RELOAD HEX FILE", "A\\x1B[2JB.HEX  reload Ok"},
    };
    for (const auto& r : rows) {
      FileRig rig;
      WriteFile(rig.Path(r.file), r.text);
      rig.Open(rig.Path(r.file));
      if (rig.messages.Shown.empty()) QTest::mouseClick(rig.f().cmdReloadFile, Qt::LeftButton);
      QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
      QCOMPARE(rig.messages.Last().Title, QString(r.title));
      QCOMPARE(rig.messages.Last().Text, QString(r.message));
    }
  }

  // A raised error still leaves the window showing the buffer in memory, and no file named.
  void openOrReloadWithARaisedErrorRefreshesTheWindow() {
    for (bool reload : {false, true}) {
      FileRig rig;
      WriteFile(rig.Path("good.hex"), kGoodHex);
      rig.Open(rig.Path("good.hex"));
      QCOMPARE(rig.Cell(1, 2), QString("10"));
      if (reload) QVERIFY(QFile::remove(rig.Path("good.hex")));
      rig.messages.Shown.clear();
      if (reload)
        QTest::mouseClick(rig.f().cmdReloadFile, Qt::LeftButton);
      else
        rig.Open(rig.Path("missing.hex"));

      QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
      QCOMPARE(rig.messages.Last().Title, QString(" KALDO"));
      QCOMPARE(rig.messages.Last().Text, QString("File not found."));
      QCOMPARE(rig.messages.Last().Icon, MsgIcon::Error);
      QCOMPARE(rig.Cell(1, 2), QString("FF"));
      QCOMPARE(rig.f().lblCSdata->text(), QString("F000"));
      QVERIFY(rig.state.HexFileName.empty());
      QCOMPARE(rig.f().stsBar->Panel(0), kBanner);
      QCOMPARE(QString::fromStdString(rig.state.FilePath), rig.folder);
    }
  }

  void reloadReadsTheFileAgain() {
    FileRig rig;
    WriteFile(rig.Path("Prog.hex"), kGoodHex);
    rig.Open(rig.Path("Prog.hex"));
    rig.state.DataBuffer[0x40] = 0x00;
    QTest::mouseClick(rig.f().cmdReloadFile, Qt::LeftButton);
    QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
    QCOMPARE(rig.messages.Last().Title, QString("  RELOAD HEX FILE"));
    QCOMPARE(rig.messages.Last().Text, QString("PROG.HEX  reload Ok"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::None);
    QCOMPARE(rig.state.DataBuffer[0x40], std::uint8_t{0xFF});

    // The file has gone bad meanwhile: a blank buffer, and the file forgotten.
    WriteFile(rig.Path("Prog.hex"), kBadSecondLine);
    QTest::mouseClick(rig.f().cmdReloadFile, Qt::LeftButton);
    QCOMPARE(rig.messages.Last().Title, QString("  RELOAD FILE"));
    QCOMPARE(rig.messages.Last().Text, QString(kInvalidHexFormat));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Warning);
    QCOMPARE(rig.state.DataBuffer[0x01], std::uint8_t{0xFF});
    QCOMPARE(rig.Cell(2, 1), QString("FF"));
    QVERIFY(rig.state.HexFileName.empty());
    QCOMPARE(rig.f().stsBar->Panel(0), kBanner);
  }

  void save_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");  // the file the command works on
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("answer");  // to the overwrite question
    QTest::addColumn<bool>("saved");
    QTest::addColumn<int>("format");  // the FileFormat written
    const int hex = int(FileFormat::IntelHex);

    QTest::newRow("new name") << "out.hex"
                              << "out.hex" << false << 0 << true << hex;
    QTest::newRow("no extension gets .hex") << "out"
                                            << "out.hex" << false << 0 << true << hex;
    QTest::newRow("other extension kept") << "out.ihx"
                                          << "out.ihx" << false << 0 << true << hex;
    QTest::newRow("existing, Yes") << "out.hex"
                                   << "out.hex" << true << int(MsgAnswer::Yes) << true << hex;
    QTest::newRow("existing, No") << "out.hex"
                                  << "out.hex" << true << int(MsgAnswer::No) << false << hex;
    QTest::newRow("asked about the name with .hex")
        << "out"
        << "out.hex" << true << int(MsgAnswer::No) << false << hex;
    QTest::newRow("S-records") << "out.s19"
                               << "out.s19" << false << 0 << true << int(FileFormat::SRecord);
    QTest::newRow("a binary image") << "OUT.BIN"
                                    << "OUT.BIN" << false << 0 << true << int(FileFormat::Binary);
  }

  void save() {
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(bool, exists);
    QFETCH(int, answer);
    QFETCH(bool, saved);
    QFETCH(int, format);

    FileRig rig;
    rig.state.HexFileName = "/before/old.hex";
    rig.f().GetFilePath();
    rig.f().UpdateHexFilename();
    rig.state.DataBuffer[0] = 0x5A;
    if (exists) WriteFile(rig.Path(written), "old contents");
    if (exists) rig.messages.Answers.push_back(MsgAnswer(answer));
    rig.Save(rig.Path(typed));

    const FileDialogRequest& request = rig.files.Runs.at(0);
    QCOMPARE(request.Mode, FileDialogRequest::Kind::Save);
    QCOMPARE(request.Title, QString("Save Hex File"));
    QCOMPARE(request.InitialDir, QString("/before/"));
    QCOMPARE(rig.messages.Shown.size(), std::size_t(exists ? 1 : 0));
    if (exists) {
      QCOMPARE(rig.messages.Last().Title, QString("  SAVE FILE"));
      QCOMPARE(rig.messages.Last().Text, QString("Over-write exiting file"));
      QCOMPARE(rig.messages.Last().Icon, MsgIcon::Warning);
      QCOMPARE(rig.messages.Last().Buttons, MsgButtons::YesNo);
    }
    if (saved) {
      const std::string text = format == int(FileFormat::SRecord)  ? SRecordFileText(rig.state)
                               : format == int(FileFormat::Binary) ? BinFileBytes(rig.state)
                                                                   : HexFileText(rig.state);
      QCOMPARE(ReadFile(rig.Path(written)), text);
      QCOMPARE(QString::fromStdString(rig.state.HexFileName), rig.Path(written));
      QCOMPARE(QString::fromStdString(rig.state.FilePath), rig.folder);
      QCOMPARE(rig.f().stsBar->Panel(0), " Hex File :  " + written.toUpper());
    } else {
      QCOMPARE(ReadFile(rig.Path(written)), std::string("old contents"));
      QCOMPARE(rig.state.HexFileName, std::string("/before/old.hex"));
      QCOMPARE(rig.f().stsBar->Panel(0), QString(" Hex File :  OLD.HEX"));
    }
  }

  void failedSaveKeepsTheCurrentFile() {
    FileRig rig;
    rig.state.HexFileName = "/before/old.hex";
    rig.Save(rig.Path("no-such-folder/out.hex"));
    QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
    QCOMPARE(rig.messages.Last().Title, QString(" KALDO"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Error);
    QCOMPARE(rig.state.HexFileName, std::string("/before/old.hex"));
  }

  void clear_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("Yes") << int(MsgAnswer::Yes);
    QTest::newRow("No") << int(MsgAnswer::No);
  }

  void clear() {
    QFETCH(int, answer);
    FileRig rig;
    WriteFile(rig.Path("a.hex"), kGoodHex);
    rig.Open(rig.Path("a.hex"));
    const auto loaded = rig.state.DataBuffer;
    rig.messages.Answers.push_back(MsgAnswer(answer));
    rig.f().mnuEditClrBuffer->trigger();

    QCOMPARE(rig.messages.Shown.at(0).Request.Title, QString("  CLEAR BUFFER"));
    QCOMPARE(rig.messages.Shown.at(0).Request.Text, QString("Clear Data Buffer"));
    QCOMPARE(rig.messages.Shown.at(0).Request.Icon, MsgIcon::Question);
    QCOMPARE(rig.messages.Shown.at(0).Request.Buttons, MsgButtons::YesNo);
    if (MsgAnswer(answer) == MsgAnswer::No) {
      QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
      QVERIFY(rig.state.DataBuffer == loaded);
      QCOMPARE(QString::fromStdString(rig.state.HexFileName), rig.Path("a.hex"));
      return;
    }
    QCOMPARE(rig.messages.Shown.size(), std::size_t(2));
    QCOMPARE(rig.messages.Last().Text, QString("Data Buffer Cleared"));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Information);
    QCOMPARE(rig.Cell(1, 1), QString("FF"));
    QCOMPARE(rig.f().lblCSdata->text(), QString("F000"));
    QVERIFY(rig.state.HexFileName.empty());
    QCOMPARE(rig.f().stsBar->Panel(0), kBanner);
    QCOMPARE(QString::fromStdString(rig.state.FilePath), rig.folder);
  }

  // Edits in the dialog; the file is forgotten only when the checksum moved.
  void edit_data() {
    QTest::addColumn<QStringList>("stores");  // "address=data", each stored with the > button
    QTest::addColumn<bool>("fileKept");
    QTest::addColumn<QString>("cell");  // grid cell (column, row 1) after the dialog: byte at 0..F

    QTest::newRow("nothing stored") << QStringList{} << true << "FF";
    QTest::newRow("one byte moves the sum") << QStringList{"0000=00"} << false << "00";
    QTest::newRow("two edits cancel out")
        << QStringList{"0000=FE", "0001=11", "0002=FF"} << true << "FE";
    QTest::newRow("beyond the device size") << QStringList{"7000=00"} << true << "FF";
  }

  void edit() {
    QFETCH(QStringList, stores);
    QFETCH(bool, fileKept);
    QFETCH(QString, cell);

    FileRig rig;
    rig.state.HexFileName = rig.Path("kept.hex").toStdString();
    rig.f().UpdateHexFilename();
    rig.state.DataBuffer[1] = 0x10;
    rig.f().RefreshCheckSum();
    QString presetAdr, presetData;
    WhenModal([&] {
      TfrmEditBuffer& d = *rig.f().frmEditBuffer;
      presetAdr = d.edtAdr->text();
      presetData = d.edtData->text();
      for (const QString& store : stores) {
        d.edtAdr->setText(store.section('=', 0, 0));
        d.edtData->setText(store.section('=', 1, 1));
        QTest::mouseClick(d.sbtInc, Qt::LeftButton);
      }
      d.close();
    });
    rig.f().mnuEditEdtBuffer->trigger();

    QCOMPARE(presetAdr, QString("0000"));
    QCOMPARE(presetData, QString("FF"));
    QVERIFY(rig.messages.Shown.empty());
    QCOMPARE(rig.Cell(1, 1), cell);
    QCOMPARE(rig.state.HexFileName.empty(), !fileKept);
    QCOMPARE(rig.f().stsBar->Panel(0), fileKept ? QString(" Hex File :  KEPT.HEX") : kBanner);
    QCOMPARE(rig.f().lblCSdata->text(),
             QString("%1").arg(BufferChecksum(rig.state), 4, 16, QChar('0')).toUpper());
  }

  void editAddressErrorReachesTheErrorReport() {
    FileRig rig;
    bool openAfterwards = false;
    WhenModal([&] {
      TfrmEditBuffer& d = *rig.f().frmEditBuffer;
      d.edtAdr->clear();
      d.edtAdr->setFocus();
      QTest::keyClick(d.edtAdr, Qt::Key_Return);
      openAfterwards = d.isVisible();
      d.close();
    });
    rig.f().mnuEditEdtBuffer->trigger();
    QVERIFY(openAfterwards);
    QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
    QCOMPARE(rig.messages.Last().Title, QString(" KALDO"));
    QCOMPARE(rig.messages.Last().Text, QString("'$' is not a valid integer value."));
    QCOMPARE(rig.messages.Last().Icon, MsgIcon::Error);
    QCOMPARE(rig.messages.Shown.back().Parent,
             static_cast<QWidget*>(rig.f().frmEditBuffer));  // not hidden behind it
  }

  void fill_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("data");
    QTest::addColumn<bool>("okPressed");
    QTest::addColumn<bool>("filledMessage");
    QTest::addColumn<bool>("fileKept");

    QTest::newRow("presets on a blank buffer") << "0000"
                                               << "7FFF"
                                               << "FF" << true << true << true;
    QTest::newRow("a fill that moves the sum") << "0000"
                                               << "000F"
                                               << "00" << true << true << false;
    QTest::newRow("beyond the device size") << "1000"
                                            << "7FFF"
                                            << "00" << true << true << true;
    QTest::newRow("refused fill") << "0100"
                                  << "00FF"
                                  << "00" << true << false << true;
    QTest::newRow("cancel") << "0000"
                            << "000F"
                            << "00" << false << false << true;
  }

  void fill() {
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, data);
    QFETCH(bool, okPressed);
    QFETCH(bool, filledMessage);
    QFETCH(bool, fileKept);

    FileRig rig;
    rig.state.HexFileName = rig.Path("kept.hex").toStdString();
    rig.f().UpdateHexFilename();
    QStringList presets;
    WhenModal([&] {
      TfrmFillBuffer& d = *rig.f().frmFillBuffer;
      presets << d.edtStart->text() << d.edtEnd->text() << d.edtData->text();
      d.edtStart->setText(start);
      d.edtEnd->setText(end);
      d.edtData->setText(data);
      QTest::mouseClick(okPressed ? d.btnOK : d.btnCancel, Qt::LeftButton);
    });
    rig.f().mnuEditFillBuffer->trigger();

    QCOMPARE(presets, (QStringList{"0000", "7FFF", "FF"}));
    std::vector<QString> texts;
    for (const ShownMessage& m : rig.messages.Shown) texts.push_back(m.Request.Text);
    const bool filled = std::count(texts.begin(), texts.end(), "Data Buffer Filled") == 1;
    QCOMPARE(filled, filledMessage);
    if (filledMessage) {
      QCOMPARE(rig.messages.Last().Title, QString("  FILL BUFFER"));
      QCOMPARE(rig.messages.Last().Icon, MsgIcon::None);
      QCOMPARE(rig.messages.Shown.back().Parent, static_cast<QWidget*>(&rig.f()));
    }
    if (okPressed && !filledMessage) {  // the dialog's own message, through the window's boxes
      QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
      QCOMPARE(rig.messages.Last().Title, QString("FILL BUFFER"));
      QCOMPARE(rig.messages.Last().Icon, MsgIcon::Warning);
      QCOMPARE(rig.messages.Shown.back().Parent, static_cast<QWidget*>(rig.f().frmFillBuffer));
    }
    QCOMPARE(rig.state.HexFileName.empty(), !fileKept);
    QCOMPARE(rig.Cell(1, 1),
             QString(filledMessage && data == "00" && start == "0000" ? "00" : "FF"));
  }

  // Edits, then a command that would drop them: it asks first. Cancel keeps the buffer, Discard
  // drops it, Save writes it to a file and goes on.
  void unsavedWorkIsAskedAbout_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("answer");
    for (const char* command : {"Quit", "Exit", "Open", "Read", "Reload"})
      for (const auto& [name, answer] :
           {std::pair{"cancel", MsgAnswer::Cancel}, std::pair{"discard", MsgAnswer::Discard},
            std::pair{"save", MsgAnswer::Save}})
        QTest::newRow((std::string(command) + ", " + name).c_str())
            << QString(command) << int(answer);
  }

  void unsavedWorkIsAskedAbout() {
    QFETCH(QString, command);
    QFETCH(int, answer);
    FileRig rig;
    rig.Show();
    const QString good = rig.Path("good.hex"), saved = rig.Path("saved.hex");
    WriteFile(good, kGoodHex);
    rig.Open(good);
    QVERIFY(!rig.f().HoldsUnsavedWork());
    WhenModal([&] {
      TfrmFillBuffer& d = *rig.f().frmFillBuffer;
      d.edtStart->setText("0100");
      d.edtEnd->setText("010F");
      d.edtData->setText("55");
      QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    rig.f().mnuEditFillBuffer->trigger();
    QVERIFY(rig.f().HoldsUnsavedWork());
    rig.state.HexFileName = good.toStdString();  // for Reload
    rig.f().UpdateHexFilename();

    rig.messages.Shown.clear();
    rig.messages.Answers = {MsgAnswer(answer)};
    if (MsgAnswer(answer) == MsgAnswer::Save) rig.files.Answers.push_back(saved);
    const struct {
      const char* command;
      const char* title;
      std::function<void()> run;
    } commands[] = {
        {"Quit", "  EXIT", [&] { rig.f().close(); }},
        {"Exit", "  EXIT", [&] { rig.f().mnuFileExit->trigger(); }},
        {"Open", "  OPEN FILE", [&] { rig.Open(good); }},
        {"Read", "  READ", [&] { QTest::mouseClick(rig.f().cmdRead, Qt::LeftButton); }},
        {"Reload", "  RELOAD FILE",
         [&] { QTest::mouseClick(rig.f().cmdReloadFile, Qt::LeftButton); }},
    };
    const auto* c = std::find_if(std::begin(commands), std::end(commands),
                                 [&](const auto& row) { return command == row.command; });
    c->run();

    QVERIFY(!rig.messages.Shown.empty());
    const MessageRequest& question = rig.messages.Shown.front().Request;
    QCOMPARE(question.Title, QString(c->title));
    QCOMPARE(question.Buttons, MsgButtons::SaveDiscardCancel);
    QCOMPARE(question.Text,
             QString("The buffer holds edits that no file has.\rSave the buffer to a file first?"));
    const bool cancelled = MsgAnswer(answer) == MsgAnswer::Cancel;
    const bool quits = command == "Quit" || command == "Exit";
    QCOMPARE(rig.f().isVisible(), cancelled || !quits);
    // Quitting leaves the buffer as it is; a reload after Save reads the file just saved.
    const bool kept = cancelled || quits ||
                      (command == "Reload" && !cancelled && MsgAnswer(answer) == MsgAnswer::Save);
    QCOMPARE(rig.state.DataBuffer[0x100], std::uint8_t(kept ? 0x55 : 0xFF));
    if (MsgAnswer(answer) == MsgAnswer::Save)
      QVERIFY(ReadFile(saved).find(":1001000055555555") != std::string::npos);
    QCOMPARE(QFile::exists(saved), MsgAnswer(answer) == MsgAnswer::Save);
  }

  // Data past the chosen device: Save asks as Write does, and No writes nothing.
  void savePastTheDeviceAsks() {
    FileRig rig;
    rig.state.DeviceType = 11;  // AT89C2051, 2 KiB
    SetDeviceSize(rig.state);
    rig.state.DataBuffer[0x1F00] = 0x00;
    rig.files.Answers.push_back(rig.Path("cut.s19"));
    QTest::mouseClick(rig.f().cmdSaveFile, Qt::LeftButton);
    QCOMPARE(rig.messages.Shown.size(), std::size_t(1));
    QCOMPARE(rig.messages.Last().Title, QString("  SAVE FILE"));
    QCOMPARE(rig.messages.Last().Buttons, MsgButtons::YesNo);
    QCOMPARE(rig.messages.Last().Text,
             QString("The image holds data at 1F00-1F00, past the AT89C2051's last address "
                     "07FF.\rSave only its bytes 0000-07FF?"));
    QVERIFY(rig.files.Runs.empty());
    QVERIFY(!QFile::exists(rig.Path("cut.s19")));
  }

  void portItems() {
    FileRig rig;
    rig.f().mnuPortLPT2->trigger();
    QCOMPARE(rig.state.PortBase, std::uint16_t{0x278});
    rig.f().mnuPortLPT2->trigger();
    QCOMPARE(rig.state.PortBase, std::uint16_t{0x278});
    QVERIFY(rig.f().mnuPortLPT2->isChecked());
    QVERIFY(!rig.f().mnuPortLPT1->isChecked() && !rig.f().mnuPortLPT3->isChecked());
    rig.f().mnuPortLPT3->trigger();
    QCOMPARE(rig.state.PortBase, std::uint16_t{0x3BC});
    QVERIFY(!rig.f().mnuPortLPT2->isChecked());
  }

  void aboutAndSignatureShowModally() {
    FileRig rig;
    bool aboutModal = false;
    WhenModal([&] {
      aboutModal = rig.f().frmAbout->isModal() && rig.f().frmAbout->isVisible();
      QTest::mouseClick(rig.f().frmAbout->OKButton, Qt::LeftButton);
    });
    QTest::mouseClick(rig.f().sbtAbout, Qt::LeftButton);
    QVERIFY(aboutModal);
    QCOMPARE(rig.beeps, 1);
    QCOMPARE(rig.f().frmAbout->lblAboutM3->text(), QString::fromStdString(AboutLine(3)));

    bool signatureShown = false;
    WhenModal([&] {
      signatureShown = rig.f().frmSignature->isVisible();
      QTest::mouseClick(rig.f().frmSignature->OkButton, Qt::LeftButton);
    });
    rig.f().mnuSignature->trigger();
    QVERIFY(signatureShown);
    QVERIFY(rig.messages.Shown.empty());
  }

  void exitSavesTheSettings() {
    FileRig rig;
    rig.Show();
    rig.state.ProgBits = 3;
    rig.f().mnuPortLPT3->trigger();
    rig.state.HexFileName = "/data/x.hex";
    rig.f().mnuFileExit->trigger();
    QVERIFY(!rig.f().isVisible());
    QCOMPARE(ReadFile(rig.folder + "Kaldo.set"), std::string("0\r\n3\r\n956\r\n/data/x.hex\r\n"));
  }

  void splashShowsOnceAboveTheWindowAndGoesAfterFiveSeconds() {
    FileRig rig;
    rig.Show();
    QPointer<TfrmSplash> splash = rig.f().frmSplash;
    QVERIFY(splash);
    QVERIFY(splash->isVisible());
    QVERIFY(splash->Timer1->isActive());
    QVERIFY(rig.f().isEnabled());  // the window can be used meanwhile
    QTimerEvent tick(splash->Timer1->timerId());
    QCoreApplication::sendEvent(splash->Timer1, &tick);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(splash.isNull());
    QVERIFY(rig.f().frmSplash == nullptr);
    rig.f().hide();
    rig.f().show();  // a second showing brings no splash
    QVERIFY(rig.f().frmSplash == nullptr);
  }

  // The user's round trip on the simulated board: open, write, clear, read, save.
  void roundTripThroughTheSimulatedChip() {
    FileRig rig;
    rig.Show();
    ProgramState image;
    image.DeviceSize = rig.state.DeviceSize;
    for (std::size_t a = 0; a < image.DeviceSize; ++a)
      image.DataBuffer[a] = static_cast<std::uint8_t>((a * 37 + (a >> 8)) & 0xFF);
    WriteFile(rig.Path("image.hex"), HexFileText(image));

    rig.Open(rig.Path("image.hex"));
    rig.messages.Answers = {MsgAnswer::Ok, MsgAnswer::Yes, MsgAnswer::Ok, MsgAnswer::Ok};
    QTest::mouseClick(rig.f().cmdWrite, Qt::LeftButton);
    QCOMPARE(rig.messages.Last().Text, QString("Programming/Verify OK"));
    rig.f().mnuEditClrBuffer->trigger();
    QCOMPARE(rig.messages.Last().Text, QString("Data Buffer Cleared"));
    QCOMPARE(rig.Cell(1, 1), QString("FF"));
    QTest::mouseClick(rig.f().cmdRead, Qt::LeftButton);
    QCOMPARE(rig.messages.Last().Text, QString("Data Reading Complete"));
    rig.Save(rig.Path("back.hex"));
    QCOMPARE(rig.messages.Shown.size(), std::size_t(4));
    QCOMPARE(ReadFile(rig.Path("back.hex")), ReadFile(rig.Path("image.hex")));
  }
};

QTEST_MAIN(MainFileCommandsTest)
#include "MainFileCommandsTest.moc"
