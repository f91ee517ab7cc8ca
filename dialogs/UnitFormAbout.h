// The About window, and AboutLine, which restores the three lines that it and the splash
// window show from the scrambled texts stored in the program.
#pragma once

#include <QDialog>
#include <functional>

#include <cstdint>
#include <string>

class QFrame;
class QLabel;
class QPushButton;

namespace kaldo {

// Stored text 1..4 restored; empty for any other index.
std::string AboutLine(int index);

// The stored, scrambled form of text 1..4 (zero-terminated), and the constant added to each
// character code to scramble it.
const std::uint8_t* StoredAboutText(int index);
inline constexpr std::uint8_t kAboutScramble = 0xA7;

// Lines 1, 2 and 3 from AboutLine into the labels, in that order.
void ShowAboutLines(QLabel* line1, QLabel* line2, QLabel* line3);

// The program's logo, 144 x 51 pixels.
QPixmap AboutLogo();

class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* parent = nullptr);

  QFrame* Panel1;
  QLabel* lblAboutTitle;
  QLabel* lblAboutVer;
  QLabel* imgAbout;
  QLabel* lblAboutM1;
  QLabel* lblAboutM2;
  QLabel* lblAboutM3;
  QPushButton* OKButton;

  // Sounds the default beep; tests replace it.
  std::function<void()> Beep;

  void FormShow();
  void OKButtonClick() { accept(); }

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace kaldo
