// What the main window costs: one grid refresh, a full read of the 32 KiB device with the window's
// busy display against the same read with no display at all, and how long its event loop waits
// while a full write runs on its worker at real-time speed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "app/SimulatedMachine.h"
#include "app/UnitFormMain.h"
#include "core/Convert.h"
#include "device/Programmer.h"

using namespace kaldo;

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "gui_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

class SilentMessages : public MessageSeam {
 public:
  MsgAnswer Show(QWidget*, const MessageRequest& request) override {
    last = request.Text;
    return MsgAnswer::Ok;
  }
  std::optional<QString> Ask(QWidget*, const TextRequest&) override { return std::nullopt; }
  QString last;
};

class NoFileDialogs : public FileDialogSeam {
 public:
  std::optional<QString> Run(QWidget*, const FileDialogRequest&) override { return std::nullopt; }
};

class NoDisplay : public ProgressDisplay {
 public:
  void ShowAddress(int) override {}
  void ShowCommand(const std::string&) override {}
};

constexpr int kC51RC = 8;  // the 32 KiB device

struct Machine {
  QTemporaryDir dir;
  ProgramState state;
  SimulatedMachine machine{state, dir.path().toStdString()};
  Programmer programmer{machine};
  SilentMessages messages;
  NoFileDialogs files;
  std::unique_ptr<TfrmMain> form;

  void OpenWindow() {
    App();
    form = std::make_unique<TfrmMain>(
        MainWindowParts{state, programmer, dir.path().toStdString(), messages, files});
    form->show();
    QApplication::processEvents();
  }
};

void BM_UpdateGridDisp(benchmark::State& bench) {
  Machine m;
  m.OpenWindow();
  for (auto _ : bench) m.form->UpdateGridDisp();
}
BENCHMARK(BM_UpdateGridDisp)->Unit(benchmark::kMicrosecond);

void BM_UpdateAdresDisp(benchmark::State& bench) {
  Machine m;
  m.OpenWindow();
  m.form->lblAdres->show();
  int address = 0;
  for (auto _ : bench) {
    m.form->UpdateAdresDisp(address);
    address = (address + 0x100) & 0x7FFF;
  }
}
BENCHMARK(BM_UpdateAdresDisp)->Unit(benchmark::kMicrosecond);

// One synchronous paint of the address readout, as when the calls are far enough apart.
void BM_AddressReadoutPaint(benchmark::State& bench) {
  Machine m;
  m.OpenWindow();
  m.form->lblAdres->show();
  int address = 0;
  for (auto _ : bench) {
    m.form->lblAdres->setText(QString::fromLatin1(IntToHex(address | 0xFF, 4)));
    m.form->lblAdres->repaint();
    address = (address + 0x100) & 0x7FFF;
  }
}
BENCHMARK(BM_AddressReadoutPaint)->Unit(benchmark::kMicrosecond);

void BM_ReadWithWindow(benchmark::State& bench) {
  Machine m;
  m.OpenWindow();
  m.form->cboType->setCurrentIndex(kC51RC);
  for (auto _ : bench) m.form->cmdReadClick();
}
BENCHMARK(BM_ReadWithWindow)->Unit(benchmark::kMillisecond);

void BM_ReadWithoutWindow(benchmark::State& bench) {
  Machine m;
  m.state.DeviceType = kC51RC;
  SetDeviceSize(m.state);
  m.programmer.Open();
  NoDisplay display;
  for (auto _ : bench)
    m.programmer.Run(
        DeviceCommand::Read,
        {m.state.DeviceType, &m.state.DataBuffer, m.state.DeviceSize, m.state.ProgBits}, &display);
}
BENCHMARK(BM_ReadWithoutWindow)->Unit(benchmark::kMillisecond);

// How long the window's event loop is held up while a device command runs on its worker: a full
// write of the AT89C51RC (every byte programmed) with the simulated PC at real-time speed (about
// 14 s), a 1 ms timer in the window's thread, and the longest gap between two of its ticks.
void BM_FullWriteAtRealTime(benchmark::State& bench) {
  App();
  QTemporaryDir dir;
  ProgramState state;
  SimulatedMachine machine(state, dir.path().toStdString(), SimSpeed::RealTime);
  Programmer programmer(machine);
  SilentMessages messages;
  NoFileDialogs files;
  TfrmMain form({state, programmer, dir.path().toStdString(), messages, files});
  form.show();
  form.cboType->setCurrentIndex(kC51RC);
  for (int a = 0; a < 0x8000; ++a) state.DataBuffer[a] = static_cast<std::uint8_t>(a % 255);
  QApplication::processEvents();

  for (auto _ : bench) {
    qint64 longest = 0, ticks = 0, over5ms = 0;
    QElapsedTimer sinceTick, took;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      const qint64 gap = sinceTick.nsecsElapsed();
      longest = std::max(longest, gap);
      if (gap > 5'000'000) ++over5ms;
      sinceTick.start();
      ++ticks;
    });
    took.start();
    sinceTick.start();
    timer.start();
    form.cmdWrite->click();
    timer.stop();
    bench.counters["write_s"] = static_cast<double>(took.elapsed()) / 1000.0;
    bench.counters["ticks"] = static_cast<double>(ticks);
    bench.counters["longest_gap_ms"] = static_cast<double>(longest) / 1e6;
    bench.counters["gaps_over_5ms"] = static_cast<double>(over5ms);
  }
  if (!messages.last.startsWith(QStringLiteral("Programming/Verify OK")))
    bench.SkipWithError(messages.last.toStdString().c_str());
}
BENCHMARK(BM_FullWriteAtRealTime)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
