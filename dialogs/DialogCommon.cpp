#include "dialogs/DialogCommon.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>

#include "core/Convert.h"

namespace kaldo {

QLineEdit* MakeHexEdit(QWidget* parent, int maxLength, int left, int top, int width, int height) {
  auto* edit = new QLineEdit(parent);
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
  QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
    const QString upper = text.toUpper();
    if (upper == text) return;
    const int cursor = edit->cursorPosition();
    edit->setText(upper);
    edit->setCursorPosition(cursor);
  });
  return edit;
}

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

int HexFieldValue(const QString& text) {
  return StrToInt("$" + text.toStdString());
}

QString Hex(int value, int digits) {
  return QString::fromStdString(IntToHex(static_cast<std::uint32_t>(value), digits));
}

void CentreOnScreen(QWidget* window) {
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

}  // namespace kaldo
