#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "MessageRecorder.h"
#include "dialogs/UnitFormEditBuffer.h"

using kaldo::ProgramState;
using kaldo::TfrmEditBuffer;

namespace {

enum class Action { IncButton, DecButton, EnterInData, Ok };

// A buffer whose bytes differ from their neighbours, so a wrong address shows.
void FillPattern(ProgramState& state) {
  for (std::size_t a = 0; a < state.DataBuffer.size(); ++a)
    state.DataBuffer[a] = static_cast<std::uint8_t>((a * 7 + 3) & 0xFF);
}

}  // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(QMessageBox::Icon)

class EditBufferTest : public QObject {
  Q_OBJECT

 private slots:
  void storeAndStep_data();
  void storeAndStep();
  void enterInAddress_data();
  void enterInAddress();
  void keysTyped_data();
  void keysTyped();
  void escapeAndEnterElsewhereKeepItOpen();
  void storesStayAfterTheCloseBox();
  void layout();
};

void EditBufferTest::storeAndStep_data() {
  QTest::addColumn<QString>("adr");
  QTest::addColumn<QString>("data");
  QTest::addColumn<Action>("action");
  QTest::addColumn<QString>("message");  // empty: none
  QTest::addColumn<int>("storedAt");     // -1: nothing stored
  QTest::addColumn<QString>("nextAdr");  // fields afterwards (address; data follows the buffer)
  QTest::addColumn<bool>("staysOpen");

  const QString none;
  const QString range = "Error Address Out of Range";
  const QString invalid = "Invalid Hex Data Input";
  QTest::newRow("7FFF increment wraps to 0000")
      << "7FFF"
      << "AB" << Action::IncButton << none << 0x7FFF << "0000" << true;
  QTest::newRow("0000 decrement wraps to 7FFF")
      << "0000"
      << "AB" << Action::DecButton << none << 0 << "7FFF" << true;
  QTest::newRow("decrement 1000") << "1000"
                                  << "AB" << Action::DecButton << none << 0x1000 << "0FFF" << true;
  QTest::newRow("typed 1234, then increment")
      << "1234"
      << "5A" << Action::IncButton << none << 0x1234 << "1235" << true;
  QTest::newRow("Enter in data stores and steps")
      << "0100"
      << "C3" << Action::EnterInData << none << 0x100 << "0101" << true;
  QTest::newRow("one-digit data") << "0200"
                                  << "7" << Action::IncButton << none << 0x200 << "0201" << true;
  QTest::newRow("OK stores and closes") << "0300"
                                        << "5A" << Action::Ok << none << 0x300 << "0300" << false;
  QTest::newRow("8000 with OK closes") << "8000"
                                       << "00" << Action::Ok << range << -1 << "8000" << false;
  QTest::newRow("8000 with increment stays")
      << "8000"
      << "00" << Action::IncButton << range << -1 << "8000" << true;
  QTest::newRow("FFFF with decrement stays")
      << "FFFF"
      << "00" << Action::DecButton << range << -1 << "FFFF" << true;
  QTest::newRow("8000 with Enter in data stays")
      << "8000"
      << "00" << Action::EnterInData << range << -1 << "8000" << true;
  QTest::newRow("empty data with OK closes")
      << "0010"
      << "" << Action::Ok << invalid << -1 << "0010" << false;
  QTest::newRow("empty address with increment stays")
      << ""
      << "12" << Action::IncButton << invalid << -1 << "" << true;
  QTest::newRow("empty data with Enter stays")
      << "0010"
      << "" << Action::EnterInData << invalid << -1 << "0010" << true;
  QTest::newRow("the stored value again: moves on, no change")
      << "0400"
      << "03" << Action::EnterInData << none << 0x400 << "0401" << true;
  QTest::newRow("bad data beats a bad address")
      << "8000"
      << "" << Action::IncButton << invalid << -1 << "8000" << true;
}

void EditBufferTest::storeAndStep() {
  QFETCH(QString, adr);
  QFETCH(QString, data);
  QFETCH(Action, action);
  QFETCH(QString, message);
  QFETCH(int, storedAt);
  QFETCH(QString, nextAdr);
  QFETCH(bool, staysOpen);

  ProgramState state;
  FillPattern(state);
  const auto before = state.DataBuffer;
  MessageRecorder recorder;
  TfrmEditBuffer dialog(state, recorder.Seam());
  dialog.show();
  dialog.edtAdr->setText(adr);
  dialog.edtData->setText(data);

  switch (action) {
    case Action::IncButton:
      QTest::mouseClick(dialog.sbtInc, Qt::LeftButton);
      break;
    case Action::DecButton:
      QTest::mouseClick(dialog.sbtDec, Qt::LeftButton);
      break;
    case Action::EnterInData:
      dialog.edtData->setFocus();
      QTest::keyClick(dialog.edtData, Qt::Key_Return);
      break;
    case Action::Ok:
      QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
      break;
  }

  if (message.isEmpty()) {
    QVERIFY(recorder.Messages.empty());
  } else {
    QCOMPARE(recorder.Messages.size(), 1u);
    QCOMPARE(recorder.Messages[0].Title, QString("EDIT BUFFER"));
    QCOMPARE(recorder.Messages[0].Text, message);
    QCOMPARE(recorder.Messages[0].Icon, message == "Error Address Out of Range"
                                            ? QMessageBox::Warning
                                            : QMessageBox::Critical);
  }
  auto expected = before;
  if (storedAt >= 0) expected[storedAt] = static_cast<std::uint8_t>(data.toInt(nullptr, 16));
  QVERIFY(state.DataBuffer == expected);
  QCOMPARE(state.BufferChanged, storedAt >= 0 && before[storedAt] != expected[storedAt]);
  QCOMPARE(dialog.isVisible(), staysOpen);
  QCOMPARE(dialog.edtAdr->text(), nextAdr);
  if (storedAt >= 0 && action != Action::Ok) {
    const int next = nextAdr.toInt(nullptr, 16);
    QCOMPARE(dialog.edtData->text(),
             QString::asprintf("%02X", unsigned{state.DataBuffer[static_cast<std::size_t>(next)]}));
    QCOMPARE(dialog.edtData->selectedText(), dialog.edtData->text());
  } else {
    QCOMPARE(dialog.edtData->text(), data);
  }
}

void EditBufferTest::enterInAddress_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("adrAfter");
  QTest::addColumn<QString>("message");
  QTest::addColumn<QString>("error");
  QTest::addColumn<bool>("staysOpen");

  QTest::newRow("12 becomes 0012") << "12"
                                   << "0012"
                                   << ""
                                   << "" << true;
  QTest::newRow("lower case shown upper") << "7ffe"
                                          << "7FFE"
                                          << ""
                                          << "" << true;
  QTest::newRow("8000 closes") << "8000"
                               << "8000"
                               << "Error Address Out of Range"
                               << "" << false;
  QTest::newRow("empty goes to the error report") << ""
                                                  << ""
                                                  << ""
                                                  << "'$' is not a valid integer value" << true;
}

void EditBufferTest::enterInAddress() {
  QFETCH(QString, typed);
  QFETCH(QString, adrAfter);
  QFETCH(QString, message);
  QFETCH(QString, error);
  QFETCH(bool, staysOpen);

  ProgramState state;
  FillPattern(state);
  const auto before = state.DataBuffer;
  MessageRecorder recorder;
  TfrmEditBuffer dialog(state, recorder.Seam());
  dialog.show();
  dialog.edtAdr->clear();
  dialog.edtData->setText("00");
  dialog.edtAdr->setFocus();
  QTest::keyClicks(dialog.edtAdr, typed);
  QTest::keyClick(dialog.edtAdr, Qt::Key_Return);

  QCOMPARE(dialog.edtAdr->text(), adrAfter);
  QCOMPARE(dialog.isVisible(), staysOpen);
  QVERIFY(state.DataBuffer == before);
  QVERIFY(!state.BufferChanged);
  QCOMPARE(recorder.Messages.size(), message.isEmpty() ? 0u : 1u);
  if (!message.isEmpty()) QCOMPARE(recorder.Messages[0].Text, message);
  QCOMPARE(recorder.Errors.size(), error.isEmpty() ? 0u : 1u);
  if (!error.isEmpty()) QCOMPARE(recorder.Errors[0], error);
  if (message.isEmpty() && error.isEmpty()) {
    const int address = adrAfter.toInt(nullptr, 16);
    QCOMPARE(
        dialog.edtData->text(),
        QString::asprintf("%02X", unsigned{state.DataBuffer[static_cast<std::size_t>(address)]}));
    QCOMPARE(dialog.focusWidget(), dialog.edtAdr);
  }
}

void EditBufferTest::keysTyped_data() {
  QTest::addColumn<bool>("inAddress");
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("modifiers");
  QTest::addColumn<QString>("after");  // starting from "1" with the cursor at the end

  for (bool inAddress : {true, false}) {
    const char* field = inAddress ? "address" : "data";
    const auto row = [&](const char* what) {
      return &QTest::newRow(QByteArray(field).append(": ").append(what).constData());
    };
    *row("g swallowed") << inAddress << int(Qt::Key_G) << 0 << "1";
    *row("blank swallowed") << inAddress << int(Qt::Key_Space) << 0 << "1";
    *row("minus swallowed") << inAddress << int(Qt::Key_Minus) << 0 << "1";
    *row("Ctrl+V swallowed") << inAddress << int(Qt::Key_V) << int(Qt::ControlModifier) << "1";
    *row("Ctrl+A swallowed") << inAddress << int(Qt::Key_A) << int(Qt::ControlModifier) << "1";
    *row("a shown as A") << inAddress << int(Qt::Key_A) << 0 << "1A";
    *row("F passes") << inAddress << int(Qt::Key_F) << int(Qt::ShiftModifier) << "1F";
    *row("9 passes") << inAddress << int(Qt::Key_9) << 0 << "19";
    *row("Backspace passes") << inAddress << int(Qt::Key_Backspace) << 0 << "";
    *row("Alt+a types nothing") << inAddress << int(Qt::Key_A) << int(Qt::AltModifier) << "1";
    *row("Shift+Insert pastes nothing")
        << inAddress << int(Qt::Key_Insert) << int(Qt::ShiftModifier) << "1";
  }
}

void EditBufferTest::keysTyped() {
  QFETCH(bool, inAddress);
  QFETCH(int, key);
  QFETCH(int, modifiers);
  QFETCH(QString, after);

  ProgramState state;
  MessageRecorder recorder;
  TfrmEditBuffer dialog(state, recorder.Seam());
  dialog.show();
  QLineEdit* field = inAddress ? dialog.edtAdr : dialog.edtData;
  QGuiApplication::clipboard()->setText("2g");
  field->setText("1");
  field->setFocus();
  QTest::keyClick(field, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
  QCOMPARE(field->text(), after);
  QVERIFY(dialog.isVisible());
}

void EditBufferTest::escapeAndEnterElsewhereKeepItOpen() {
  ProgramState state;
  MessageRecorder recorder;
  TfrmEditBuffer dialog(state, recorder.Seam());
  dialog.edtAdr->setText("0005");
  dialog.edtData->setText("12");
  // Escape closes it as Cancel from wherever the focus is.
  for (QWidget* target :
       {static_cast<QWidget*>(dialog.edtAdr), static_cast<QWidget*>(dialog.edtData),
        static_cast<QWidget*>(dialog.btnOK)}) {
    dialog.show();
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
  }
  dialog.show();
  // Enter on the focused OK button does nothing: the button is not a default button.
  QTest::keyClick(dialog.btnOK, Qt::Key_Return);
  QVERIFY(dialog.isVisible());
  QCOMPARE(dialog.edtAdr->text(), QString("0005"));
  QVERIFY(!state.BufferChanged);
  QVERIFY(recorder.Messages.empty());
}

void EditBufferTest::storesStayAfterTheCloseBox() {
  ProgramState state;
  MessageRecorder recorder;
  TfrmEditBuffer dialog(state, recorder.Seam());
  dialog.show();
  dialog.edtAdr->setText("0020");
  dialog.edtData->setText("01");
  QTest::mouseClick(dialog.sbtInc, Qt::LeftButton);
  QTest::mouseClick(dialog.sbtInc, Qt::LeftButton);  // 0021 keeps its FF
  dialog.close();
  QCOMPARE(state.DataBuffer[0x20], std::uint8_t{0x01});
  QCOMPARE(state.DataBuffer[0x21], std::uint8_t{0xFF});
  QVERIFY(state.BufferChanged);
}

void EditBufferTest::layout() {
  ProgramState state;
  TfrmEditBuffer dialog(state, {});
  QCOMPARE(dialog.windowTitle(), QString("   Edit Buffer"));
  QCOMPARE(dialog.size(), QSize(239, 176));
  QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
  QCOMPARE(dialog.edtAdr->maxLength(), 4);
  QCOMPARE(dialog.edtData->maxLength(), 2);
  QCOMPARE(dialog.sbtInc->focusPolicy(), Qt::NoFocus);
  QCOMPARE(dialog.sbtDec->focusPolicy(), Qt::NoFocus);
  // Tab order: address, data, OK; the arrow buttons are never in it.
  QList<QWidget*> tabStops;
  QWidget* w = dialog.edtAdr;
  do {
    if (w->focusPolicy() & Qt::TabFocus) tabStops << w;
    w = w->nextInFocusChain();
  } while (w != dialog.edtAdr);
  QCOMPARE(tabStops, (QList<QWidget*>{dialog.edtAdr, dialog.edtData, dialog.btnOK}));
}

QTEST_MAIN(EditBufferTest)
#include "EditBufferTest.moc"
