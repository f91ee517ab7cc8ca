// The window of a production run: one large line that a person can read from a step away
// ("Insert chip 7 of 50", "Writing chip 7", "Chip 7 OK - serial 1006" on green, "Chip 7 FAILED
// at 0100: read FF, expected 16" on red, "Remove chip 7"), the write's progress, the counts, the
// run's last lines, and a Stop button. The run itself goes on in the main window's worker; what
// it says of each chip reaches this window through its event queue (Events, Progress, Lines), so
// they may be called from any thread while the window lives.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "device/ProgressDisplay.h"
#include "production/ProductionRun.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kaldo {

// The large line for a chip's step, and the colour it stands on.
struct StatusLine {
  enum class Colour { Plain, Green, Red };
  QString Text;
  Colour Shade = Colour::Plain;
};
StatusLine StatusLineOf(const ChipEvent& event);

class TfrmProductionRun : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kLogLines = 8;

  // deviceSize: the blocks of a write. askToStop asks the user whether to stop the run and
  // stops it on Yes.
  TfrmProductionRun(int deviceSize, std::function<void()> askToStop, QWidget* parent = nullptr);
  ~TfrmProductionRun() override;

  ProductionEvents& Events();
  ProgressDisplay& Progress();
  // The run's lines as kaldo-cli prints them.
  std::ostream& Lines() { return *lines_; }

  void ShowChip(const ChipEvent& event);
  void AddLine(const QString& line);
  void ShowAddress(int address);
  // The run has ended: the last line says how, the Stop button becomes Close.
  void RunEnded(const QString& how);
  bool Running() const { return running_; }

  QLabel* lblStatus;
  QProgressBar* prgBlock;
  QLabel* lblCounts;
  QPlainTextEdit* mmoLog;
  QPushButton* cmdStop;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  class EventRelay;
  class ProgressRelay;
  class LineBuffer;

  void ShowCounts(int good, int failed);
  void ShowStatus(const StatusLine& line);

  std::function<void()> askToStop_;
  std::unique_ptr<EventRelay> events_;
  std::unique_ptr<ProgressRelay> progress_;
  std::unique_ptr<LineBuffer> lineBuffer_;
  std::unique_ptr<std::ostream> lines_;
  QElapsedTimer began_;
  StatusLine::Colour shade_ = StatusLine::Colour::Plain;
  bool running_ = true;
};

}  // namespace kaldo
