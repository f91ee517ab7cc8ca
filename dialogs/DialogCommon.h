// What the dialogs share: how they speak to the user, their hexadecimal entry fields and the
// character filter of those fields.
#pragma once

#include <QChar>
#include <QMessageBox>
#include <QString>
#include <exception>
#include <functional>
#include <optional>

class QLineEdit;
class QKeyEvent;
class QWidget;

namespace kaldo {

// The owner's message-box seam and general error report, so that the dialogs' messages look and
// behave like the main window's and tests can read them.
struct DialogMessages {
  // A modal message with an OK button.
  std::function<void(const QString& title, const QString& text, QMessageBox::Icon icon)> Show;
  // The general error report for an error raised inside a dialog's handler.
  std::function<void(const std::exception& error)> ReportError;
};

// A hexadecimal entry field: at most maxLength characters, letters turned to upper case as typed,
// bold blue Arial 13 pixels. Text reaches it only through the keyboard (no context menu, no drops),
// so the window's key preview sees every character.
QLineEdit* MakeHexEdit(QWidget* parent, int maxLength, int left, int top, int width, int height);

// The character a key press types, as the window's key preview sees it: Enter is 13, Backspace 8,
// Escape 27, Ctrl+letter its control code. Empty for keys that type nothing (arrows, Delete, Tab,
// function keys): those go to the control unseen.
std::optional<QChar> TypedCharacter(const QKeyEvent& event);

// 0-9, A-F, a-f.
bool IsHexDigit(QChar c);

// The text with "$" in front, converted as an integer; raises ConvertError for anything that is
// not a hexadecimal number (an empty field included).
int HexFieldValue(const QString& text);

QString Hex(int value, int digits);

// Centres a window on the screen it is shown on.
void CentreOnScreen(QWidget* window);

}  // namespace kaldo
