#include "app/UnitFormProductionRun.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <streambuf>

#include "core/Convert.h"
#include "core/model/DeviceTable.h"

namespace kaldo {

namespace {

QString Hex(unsigned value, int digits) {
  return QString::fromLatin1(IntToHex(value, digits));
}

QString ChipName(int chip) {
  return QStringLiteral("chip %1").arg(chip);
}

QString StyleOf(StatusLine::Colour shade) {
  const char* background = shade == StatusLine::Colour::Green ? "#1f9d3a"
                           : shade == StatusLine::Colour::Red ? "#c62828"
                                                              : "#f2f2f2";
  const char* text = shade == StatusLine::Colour::Plain ? "black" : "white";
  return QStringLiteral("QLabel { background: %1; color: %2; border-radius: 6px; }")
      .arg(QLatin1String(background), QLatin1String(text));
}

}  // namespace

StatusLine StatusLineOf(const ChipEvent& e) {
  using Step = ChipEvent::Step;
  using Colour = StatusLine::Colour;
  const QString chip = QStringLiteral("Chip %1").arg(e.Chip);
  switch (e.What) {
    case Step::RemoveFirst:
      return {QStringLiteral("Remove the chip from the socket"), Colour::Plain};
    case Step::Insert:
      return {QStringLiteral("Insert ") + ChipName(e.Chip) +
                  (e.Count > 0 ? QStringLiteral(" of %1").arg(e.Count) : QString()),
              Colour::Plain};
    case Step::Writing:
      return {QStringLiteral("Writing ") + ChipName(e.Chip), Colour::Plain};
    case Step::Good:
      return {chip + QStringLiteral(" OK") +
                  (e.Serial ? QStringLiteral(" \u2014 serial %1").arg(*e.Serial) : QString()),
              Colour::Green};
    case Step::Failed: {
      if (e.Outcome.Result == CommandOutcome::Kind::DeviceFailed) {
        const DeviceFailure& f = e.Outcome.Failure;
        return {chip + QStringLiteral(" FAILED at %1: read %2, expected %3")
                           .arg(Hex(f.Address, 4), Hex(f.DataRead, 2), Hex(f.DataExpected, 2)),
                Colour::Red};
      }
      const std::string text = OutcomeText(e.Outcome);
      return {chip + QStringLiteral(" FAILED: ") +
                  QString::fromStdString(text.substr(0, text.find('\r'))),
              Colour::Red};
    }
    case Step::WrongChip: {
      const DeviceInfo* d = e.Inside.Found() ? FindDevice(e.Inside.DeviceType) : nullptr;
      return {QStringLiteral("Wrong chip: ") +
                  QString::fromStdString(d ? FullName(*d) : IdentityText(e.Inside)),
              Colour::Red};
    }
    case Step::Stopped:
      return {chip + QStringLiteral(" stopped: it must be written again"), Colour::Red};
    case Step::Remove:
      return {QStringLiteral("Remove ") + ChipName(e.Chip), Colour::Plain};
  }
  return {};
}

// Each of the three relays hands what the worker says to the window's thread.
class TfrmProductionRun::EventRelay : public ProductionEvents {
 public:
  explicit EventRelay(TfrmProductionRun& form) : form_(form) {}
  void OnChip(const ChipEvent& event) override {
    QMetaObject::invokeMethod(
        &form_, [form = &form_, event] { form->ShowChip(event); }, Qt::QueuedConnection);
  }

 private:
  TfrmProductionRun& form_;
};

class TfrmProductionRun::ProgressRelay : public ProgressDisplay {
 public:
  explicit ProgressRelay(TfrmProductionRun& form) : form_(form) {}
  void ShowAddress(int address) override {
    QMetaObject::invokeMethod(
        &form_, [form = &form_, address] { form->ShowAddress(address); }, Qt::QueuedConnection);
  }
  void ShowCommand(const std::string&) override {}

 private:
  TfrmProductionRun& form_;
};

// Whole lines, each without its bell.
class TfrmProductionRun::LineBuffer : public std::streambuf {
 public:
  explicit LineBuffer(TfrmProductionRun& form) : form_(form) {}

 protected:
  int_type overflow(int_type ch) override {
    if (ch == traits_type::eof()) return traits_type::not_eof(ch);
    if (ch == '\n') {
      QMetaObject::invokeMethod(
          &form_, [form = &form_, line = QString::fromStdString(line_)] { form->AddLine(line); },
          Qt::QueuedConnection);
      line_.clear();
    } else if (ch != '\a') {
      line_ += static_cast<char>(ch);
    }
    return ch;
  }

 private:
  TfrmProductionRun& form_;
  std::string line_;
};

TfrmProductionRun::TfrmProductionRun(int deviceSize, std::function<void()> askToStop,
                                     QWidget* parent)
    : QDialog(parent),
      askToStop_(std::move(askToStop)),
      events_(std::make_unique<EventRelay>(*this)),
      progress_(std::make_unique<ProgressRelay>(*this)),
      lineBuffer_(std::make_unique<LineBuffer>(*this)),
      lines_(std::make_unique<std::ostream>(lineBuffer_.get())) {
  setWindowTitle(QStringLiteral("Production Run"));
  auto* layout = new QVBoxLayout(this);
  lblStatus = new QLabel(QStringLiteral("Starting"), this);
  QFont big = lblStatus->font();
  big.setPixelSize(34);
  big.setBold(true);
  lblStatus->setFont(big);
  lblStatus->setAlignment(Qt::AlignCenter);
  lblStatus->setMinimumSize(620, 130);
  lblStatus->setWordWrap(true);
  lblStatus->setStyleSheet(StyleOf(StatusLine::Colour::Plain));
  layout->addWidget(lblStatus);
  prgBlock = new QProgressBar(this);
  prgBlock->setRange(0, std::max(1, deviceSize));
  prgBlock->setValue(0);
  prgBlock->setFormat(QStringLiteral("%v bytes"));
  layout->addWidget(prgBlock);
  lblCounts = new QLabel(this);
  QFont counts = lblCounts->font();
  counts.setPixelSize(18);
  lblCounts->setFont(counts);
  layout->addWidget(lblCounts);
  mmoLog = new QPlainTextEdit(this);
  mmoLog->setReadOnly(true);
  mmoLog->setMaximumBlockCount(kLogLines);
  mmoLog->setFont(QFont(QStringLiteral("monospace")));
  mmoLog->setFixedHeight(mmoLog->fontMetrics().lineSpacing() * kLogLines + 12);
  layout->addWidget(mmoLog);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  cmdStop = new QPushButton(QStringLiteral("&Stop"), this);
  cmdStop->setMinimumWidth(120);
  buttons->addWidget(cmdStop);
  layout->addLayout(buttons);
  connect(cmdStop, &QPushButton::clicked, this, [this] {
    if (running_)
      askToStop_();
    else
      accept();
  });
  ShowCounts(0, 0);
  began_.start();
}

TfrmProductionRun::~TfrmProductionRun() = default;

ProductionEvents& TfrmProductionRun::Events() {
  return *events_;
}

ProgressDisplay& TfrmProductionRun::Progress() {
  return *progress_;
}

void TfrmProductionRun::ShowChip(const ChipEvent& event) {
  StatusLine line = StatusLineOf(event);
  // The chip's result stays on its colour until the next chip is asked for.
  if (event.What == ChipEvent::Step::Remove) {
    const QString result = lblStatus->text().section(QLatin1Char('\n'), 0, 0);
    line.Text = result + QLatin1Char('\n') + line.Text;
    line.Shade = shade_;
  }
  if (event.What == ChipEvent::Step::Writing) prgBlock->setValue(0);
  ShowStatus(line);
  ShowCounts(event.Good, event.Failed);
  const bool result = event.What == ChipEvent::Step::Good ||
                      event.What == ChipEvent::Step::Failed ||
                      event.What == ChipEvent::Step::WrongChip;
  if (result) QApplication::beep();
}

void TfrmProductionRun::ShowStatus(const StatusLine& line) {
  lblStatus->setText(line.Text);
  lblStatus->setStyleSheet(StyleOf(line.Shade));
  shade_ = line.Shade;
}

void TfrmProductionRun::AddLine(const QString& line) {
  mmoLog->appendPlainText(line);
}

void TfrmProductionRun::ShowAddress(int address) {
  // The block the write has reached, to its end.
  prgBlock->setValue(std::min(prgBlock->maximum(), (address | 0xFF) + 1));
}

void TfrmProductionRun::ShowCounts(int good, int failed) {
  lblCounts->setText(QString::fromStdString(
      ProductionCountsText(good, failed, static_cast<double>(began_.elapsed()) / 1000)));
}

void TfrmProductionRun::RunEnded(const QString& how) {
  running_ = false;
  ShowStatus({how, StatusLine::Colour::Plain});
  cmdStop->setText(QStringLiteral("&Close"));
}

void TfrmProductionRun::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    askToStop_();
    return;
  }
  QDialog::closeEvent(event);
}

void TfrmProductionRun::reject() {
  // Escape stops a run only through the question, as the close box does.
  if (running_)
    askToStop_();
  else
    QDialog::reject();
}

}  // namespace kaldo
