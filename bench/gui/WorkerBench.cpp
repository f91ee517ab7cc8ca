// How long the window's event loop is held up while a device command runs on its worker: a full
// write of the AT89C51RC (32 KiB, every byte programmed) with the simulated PC at real-time speed,
// a 1 ms timer in the window's thread, and the longest gap between two of its ticks.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "app/SimulatedMachine.h"
#include "app/UnitFormMain.h"
#include "device/Programmer.h"

using namespace kaldo;

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "gui_worker_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

class SilentMessages : public MessageSeam {
 public:
  MsgAnswer Show(QWidget*, const MessageRequest&) override { return MsgAnswer::Ok; }
  std::optional<QString> Ask(QWidget*, const TextRequest&) override { return std::nullopt; }
};

class NoFileDialogs : public FileDialogSeam {
 public:
  std::optional<QString> Run(QWidget*, const FileDialogRequest&) override { return std::nullopt; }
};

constexpr int kC51RC = 8;

void BM_FullWriteAtRealTime(benchmark::State& bench) {
  App();
  QTemporaryDir dir;
  ProgramState state;
  SimulatedMachine machine(state, dir.path().toStdString(), SimSpeed::RealTime);
  Programmer programmer(state, machine);
  SilentMessages messages;
  NoFileDialogs files;
  TfrmMain form({state, programmer, dir.path().toStdString(), messages, files});
  form.show();
  form.cboType->setCurrentIndex(kC51RC);
  for (int a = 0; a < 0x8000; ++a) state.DataBuffer[a] = static_cast<std::uint8_t>(a % 255);
  QApplication::processEvents();

  for (auto _ : bench) {
    qint64 longest = 0, ticks = 0;
    QElapsedTimer sinceTick, took;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      longest = std::max(longest, sinceTick.nsecsElapsed());
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
  }
  if (state.ResultText != "OK") bench.SkipWithError(state.ResultText.c_str());
}
BENCHMARK(BM_FullWriteAtRealTime)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
