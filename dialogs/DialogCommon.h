// What the dialogs share: how they speak to the user, their hexadecimal entry fields and the
// window that filters what is typed into those fields.
#pragma once

#include <QChar>
#include <QDialog>
#include <QFont>
#include <QMessageBox>
#include <QString>
#include <exception>
#include <functional>
#include <optional>

class QFrame;
class QLabel;
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

// The character a key press types, as the window's key preview sees it: Enter is 13, Backspace 8,
// Escape 27, Ctrl+letter its control code. Empty for keys that type nothing (arrows, Delete, Tab,
// function keys) and for Alt+key: those go to the control unseen.
std::optional<QChar> TypedCharacter(const QKeyEvent& event);

// 0-9, A-F, a-f.
bool IsHexDigit(QChar c);

// The key filter of a hexadecimal field: Backspace and the hex digits pass, every other character
// is swallowed (set to the null character).
void PassHexDigitsOnly(QChar& key);

// The text with "$" in front, converted as an integer; raises ConvertError for anything that is
// not a hexadecimal number (an empty field included).
int HexFieldValue(const QString& text);

QString Hex(int value, int digits);

// Centres a window on the screen it is shown on.
void CentreOnScreen(QWidget* window);

// A font of the family sized in pixels, as the windows are laid out.
QFont PixelFont(const QString& family, int pixels, bool bold = false);

// A fixed-size dialog of hexadecimal entry fields that stays on top and shows centred on the
// screen. Its key preview sees every character typed into the fields first (FormKeyPress; a key
// set to the null character is swallowed). Text reaches the fields only that way: no context menu,
// drops or paste. Enter and Escape never close the window by themselves.
class HexEntryDialog : public QDialog {
 public:
  HexEntryDialog(const QString& caption, int clientWidth, int clientHeight, QString messageTitle,
                 DialogMessages messages, QWidget* parent);

  virtual void FormKeyPress(QObject* sender, QChar& key) = 0;

 protected:
  // A field of at most maxLength characters, letters turned to upper case as typed, bold blue
  // Arial 13 pixels, watched by the key preview.
  QLineEdit* AddHexEdit(int maxLength, int left, int top, int width, int height);
  // A right-aligned caption level with the text of its field; width 0 sizes it to its text.
  QLabel* AddFieldLabel(const QString& text, int left, int width, const QWidget* field);
  // The sunken horizontal line above the buttons.
  QFrame* AddBevel(int left, int top, int width);
  // A message titled with the dialog's message title.
  void ShowMessage(const QString& text, QMessageBox::Icon icon);
  void ReportError(const std::exception& error);

  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QString messageTitle_;
  DialogMessages messages_;
};

}  // namespace kaldo
