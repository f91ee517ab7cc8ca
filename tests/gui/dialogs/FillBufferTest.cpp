#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "MessageRecorder.h"
#include "dialogs/UnitFormFillBuffer.h"

using kaldo::ProgramState;
using kaldo::TfrmFillBuffer;

Q_DECLARE_METATYPE(QMessageBox::Icon)

class FillBufferTest : public QObject {
  Q_OBJECT

 private slots:
  void ok_data();
  void ok();
  void cancelWritesNothing();
  void keys_data();
  void keys();
  void noDefaultButton();
};

namespace {

void FillPattern(ProgramState& state) {
  for (std::size_t a = 0; a < state.DataBuffer.size(); ++a)
    state.DataBuffer[a] = static_cast<std::uint8_t>(a & 0xFF);
}

}  // namespace

void FillBufferTest::ok_data() {
  QTest::addColumn<QString>("start");
  QTest::addColumn<QString>("end");
  QTest::addColumn<QString>("data");
  QTest::addColumn<QString>("message");  // empty: the fill is done
  QTest::addColumn<QMessageBox::Icon>("icon");
  QTest::addColumn<int>("first");  // the range expected to be filled
  QTest::addColumn<int>("last");
  QTest::addColumn<int>("value");

  const QString invalid = "Invalid Hex Data Input";
  const QString reversed = "Error End Address less than Start Address";
  const QString range = "Error Address Out of Range";
  const auto none = QMessageBox::NoIcon;
  QTest::newRow("presets fill everything") << "0000"
                                           << "7FFF"
                                           << "FF"
                                           << "" << none << 0 << 0x7FFF << 0xFF;
  QTest::newRow("start equals end: one byte") << "1234"
                                              << "1234"
                                              << "5A"
                                              << "" << none << 0x1234 << 0x1234 << 0x5A;
  QTest::newRow("one-digit data") << "0010"
                                  << "001F"
                                  << "F"
                                  << "" << none << 0x10 << 0x1F << 0x0F;
  QTest::newRow("lower-case digits") << "7ff0"
                                     << "7fff"
                                     << "ab"
                                     << "" << none << 0x7FF0 << 0x7FFF << 0xAB;
  QTest::newRow("reversed range") << "0100"
                                  << "00FF"
                                  << "00" << reversed << QMessageBox::Warning << -1 << -1 << 0;
  QTest::newRow("reversed beats out of range")
      << "9000"
      << "8000"
      << "00" << reversed << QMessageBox::Warning << -1 << -1 << 0;
  QTest::newRow("end 8000") << "0000"
                            << "8000"
                            << "00" << range << QMessageBox::Warning << -1 << -1 << 0;
  QTest::newRow("both above 7FFF") << "FFFF"
                                   << "FFFF"
                                   << "00" << range << QMessageBox::Warning << -1 << -1 << 0;
  QTest::newRow("empty data") << "0000"
                              << "0010"
                              << "" << invalid << QMessageBox::Critical << -1 << -1 << 0;
  QTest::newRow("bad data beats a reversed range")
      << "0100"
      << "0000"
      << "" << invalid << QMessageBox::Critical << -1 << -1 << 0;
  QTest::newRow("empty start") << ""
                               << "0010"
                               << "00" << invalid << QMessageBox::Critical << -1 << -1 << 0;
  QTest::newRow("empty end") << "0000"
                             << ""
                             << "00" << invalid << QMessageBox::Critical << -1 << -1 << 0;
}

void FillBufferTest::ok() {
  QFETCH(QString, start);
  QFETCH(QString, end);
  QFETCH(QString, data);
  QFETCH(QString, message);
  QFETCH(QMessageBox::Icon, icon);
  QFETCH(int, first);
  QFETCH(int, last);
  QFETCH(int, value);

  ProgramState state;
  FillPattern(state);
  auto expected = state.DataBuffer;
  for (int a = first; a >= 0 && a <= last; ++a) expected[a] = static_cast<std::uint8_t>(value);
  MessageRecorder recorder;
  TfrmFillBuffer dialog(state, recorder.Seam());
  dialog.show();
  dialog.edtStart->setText(start);
  dialog.edtEnd->setText(end);
  dialog.edtData->setText(data);
  QTest::mouseClick(dialog.btnOK, Qt::LeftButton);

  QVERIFY(!dialog.isVisible());
  QVERIFY(state.DataBuffer == expected);
  QCOMPARE(state.BufferChanged, message.isEmpty());
  if (message.isEmpty()) {
    QVERIFY(recorder.Messages.empty());
  } else {
    QCOMPARE(recorder.Messages.size(), 1u);
    QCOMPARE(recorder.Messages[0].Title, QString("FILL BUFFER"));
    QCOMPARE(recorder.Messages[0].Text, message);
    QCOMPARE(recorder.Messages[0].Icon, icon);
  }
}

void FillBufferTest::cancelWritesNothing() {
  ProgramState state;
  MessageRecorder recorder;
  TfrmFillBuffer dialog(state, recorder.Seam());
  dialog.show();
  dialog.edtStart->setText("0000");
  dialog.edtEnd->setText("0100");
  dialog.edtData->setText("00");
  QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
  QVERIFY(!dialog.isVisible());
  QVERIFY(!state.BufferChanged);
  QCOMPARE(state.DataBuffer[0], std::uint8_t{0xFF});
  QVERIFY(recorder.Messages.empty());
}

void FillBufferTest::keys_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("modifiers");
  QTest::addColumn<QString>("after");  // starting from "1"

  QTest::newRow("Enter swallowed") << int(Qt::Key_Return) << 0 << "1";
  QTest::newRow("keypad Enter swallowed") << int(Qt::Key_Enter) << 0 << "1";
  QTest::newRow("x swallowed") << int(Qt::Key_X) << 0 << "1";
  QTest::newRow("Ctrl+V swallowed") << int(Qt::Key_V) << int(Qt::ControlModifier) << "1";
  QTest::newRow("c shown as C") << int(Qt::Key_C) << 0 << "1C";
  QTest::newRow("Backspace passes") << int(Qt::Key_Backspace) << 0 << "";
  QTest::newRow("Alt+c types nothing") << int(Qt::Key_C) << int(Qt::AltModifier) << "1";
  QTest::newRow("Shift+Insert pastes nothing")
      << int(Qt::Key_Insert) << int(Qt::ShiftModifier) << "1";
}

void FillBufferTest::keys() {
  QFETCH(int, key);
  QFETCH(int, modifiers);
  QFETCH(QString, after);

  ProgramState state;
  MessageRecorder recorder;
  TfrmFillBuffer dialog(state, recorder.Seam());
  dialog.show();
  QGuiApplication::clipboard()->setText("2x");
  for (QLineEdit* field : {dialog.edtStart, dialog.edtEnd, dialog.edtData}) {
    field->setText("1");
    field->setFocus();
    QTest::keyClick(field, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(field->text(), after);
  }
  QVERIFY(dialog.isVisible());
  QVERIFY(!state.BufferChanged);
  QVERIFY(recorder.Messages.empty());
}

void FillBufferTest::noDefaultButton() {
  ProgramState state;
  TfrmFillBuffer dialog(state, {});
  dialog.show();
  QVERIFY(!dialog.btnOK->isDefault() && !dialog.btnCancel->isDefault());
  dialog.btnOK->setFocus();
  QTest::keyClick(dialog.btnOK, Qt::Key_Return);
  QVERIFY(dialog.isVisible());
  QCOMPARE(dialog.size(), QSize(219, 199));
  // Escape is Cancel, from a field as from a button, and the buffer stays.
  for (QWidget* target :
       {static_cast<QWidget*>(dialog.edtData), static_cast<QWidget*>(dialog.btnOK)}) {
    dialog.show();
    dialog.edtData->setText("00");
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!state.BufferChanged);
  }
}

QTEST_MAIN(FillBufferTest)
#include "FillBufferTest.moc"
