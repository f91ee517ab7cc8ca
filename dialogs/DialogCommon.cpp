#include "dialogs/DialogCommon.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>

#include "core/Convert.h"

namespace kaldo {

std::optional<QChar> TypedCharacter(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return QChar(13);
    case Qt::Key_Backspace:
      return QChar(8);
    case Qt::Key_Escape:
      return QChar(27);
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
      return std::nullopt;
    default:
      break;
  }
  const bool control = event.modifiers() & Qt::ControlModifier;
  if (control && event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z)
    return QChar(event.key() - Qt::Key_A + 1);
  if (event.modifiers() & Qt::AltModifier) return std::nullopt;
  const QString text = event.text();
  if (text.isEmpty()) return std::nullopt;
  return text.front();
}

bool IsHexDigit(QChar c) {
  const char16_t u = c.unicode();
  return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
}

void PassHexDigitsOnly(QChar& key) {
  if (key == QChar(8) || IsHexDigit(key)) return;
  key = QChar(0);
}

int HexFieldValue(const QString& text) {
  return StrToInt("$" + text.toStdString());
}

QString Hex(int value, int digits) {
  return QString::fromStdString(IntToHex(static_cast<std::uint32_t>(value), digits));
}

QFont PixelFont(const QString& family, int pixels, bool bold) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

void CentreOnScreen(QWidget* window) {
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

HexEntryDialog::HexEntryDialog(const QString& caption, int clientWidth, int clientHeight,
                               QString messageTitle, DialogMessages messages, QWidget* parent)
    : QDialog(parent), messageTitle_(std::move(messageTitle)), messages_(std::move(messages)) {
  setWindowTitle(caption);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  setFixedSize(clientWidth, clientHeight);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  setFont(font);
}

QLineEdit* HexEntryDialog::AddHexEdit(int maxLength, int left, int top, int width, int height) {
  auto* edit = new QLineEdit(this);
  edit->setGeometry(left, top, width, height);
  edit->setMaxLength(maxLength);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(13);
  font.setBold(true);
  edit->setFont(font);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Text, Qt::blue);
  edit->setPalette(palette);
  edit->setContextMenuPolicy(Qt::NoContextMenu);
  edit->setAcceptDrops(false);
  connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
    const QString upper = text.toUpper();
    if (upper == text) return;
    const int cursor = edit->cursorPosition();
    edit->setText(upper);
    edit->setCursorPosition(cursor);
  });
  edit->installEventFilter(this);
  return edit;
}

QLabel* HexEntryDialog::AddFieldLabel(const QString& text, int left, int width,
                                      const QWidget* field) {
  auto* label = new QLabel(text, this);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->adjustSize();
  if (width > 0) label->resize(width, label->height());
  label->move(left, field->y() + (field->height() - label->height()) / 2);
  return label;
}

QFrame* HexEntryDialog::AddBevel(int left, int top, int width) {
  auto* bevel = new QFrame(this);
  bevel->setFrameShape(QFrame::HLine);
  bevel->setFrameShadow(QFrame::Sunken);
  bevel->setGeometry(left, top, width, 2);
  return bevel;
}

void HexEntryDialog::ShowMessage(const QString& text, QMessageBox::Icon icon) {
  if (messages_.Show) messages_.Show(messageTitle_, text, icon);
}

void HexEntryDialog::ReportError(const std::exception& error) {
  if (messages_.ReportError) messages_.ReportError(error);
}

bool HexEntryDialog::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress: {
      const auto& key = *static_cast<QKeyEvent*>(event);
      const std::optional<QChar> typed = TypedCharacter(key);
      if (!typed) {
        // Shift+Insert would bring the clipboard past the key preview; Alt+key types nothing.
        if (key.matches(QKeySequence::Paste)) return true;
        const QString text = key.text();
        return (key.modifiers() & Qt::AltModifier) && !text.isEmpty() && text.front().isPrint();
      }
      // Escape closes the window as Cancel does, from any field.
      if (key.key() == Qt::Key_Escape) {
        reject();
        return true;
      }
      QChar character = *typed;
      FormKeyPress(watched, character);
      return character.isNull();
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
      // No pasting of the selection with the middle button either.
      return static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton;
    default:
      return QDialog::eventFilter(watched, event);
  }
}

void HexEntryDialog::keyPressEvent(QKeyEvent* event) {
  // Neither window has a default button: Enter does nothing here. Escape is Cancel.
  if (event->key() == Qt::Key_Escape) {
    reject();
    return;
  }
  if (TypedCharacter(*event)) return;
  QDialog::keyPressEvent(event);
}

void HexEntryDialog::showEvent(QShowEvent* event) {
  CentreOnScreen(this);
  QDialog::showEvent(event);
}

}  // namespace kaldo
