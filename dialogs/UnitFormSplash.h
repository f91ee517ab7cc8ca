// The splash window: title, version and the three About lines in large type, above the main
// window for five seconds after start-up, or until it is clicked; then it closes and destroys
// itself.
#pragma once

#include <QFrame>

class QLabel;
class QTimer;

namespace kaldo {

class TfrmSplash : public QFrame {
  Q_OBJECT

 public:
  explicit TfrmSplash(QWidget* parent = nullptr);

  QFrame* Panel1;
  QLabel* lblAboutTitle;
  QLabel* lblAboutVer;
  QLabel* imgAbout;
  QLabel* lblAboutM1;
  QLabel* lblAboutM2;
  QLabel* lblAboutM3;
  QTimer* Timer1;  // 5000 ms, started when the window shows

  void FormShow();
  void Timer1Timer();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // A click closes the window before its time.
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace kaldo
