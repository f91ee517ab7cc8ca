// The thread that does all of the board's I/O for the window, from the session's start-up steps to
// its close: every port access of a run happens on this one long-lived thread, so the permission
// that direct port access asks of the kernel (ioperm holds for one thread) is asked once.
//
// The short start-up and close steps run while the window waits; a device command runs while the
// window's events go on being handled (repaints, the desktop's ping, timers), and the call returns
// once the command has ended, even when the application has been told to quit meanwhile. An error
// the job raised is raised again on the calling thread.
#pragma once

#include <QThread>
#include <functional>

class QObject;

namespace kaldo {

class DeviceWorker {
 public:
  DeviceWorker();
  // Waits for the job in hand, then ends the thread.
  ~DeviceWorker();
  DeviceWorker(const DeviceWorker&) = delete;
  DeviceWorker& operator=(const DeviceWorker&) = delete;

  // Runs the job on the worker thread; the calling thread waits and handles no events.
  void Run(const std::function<void()>& job);
  // Runs the job on the worker thread while the calling thread handles its events.
  void RunWithEvents(const std::function<void()>& job);

 private:
  QThread thread_;
  QObject* onThread_;  // lives on the worker thread; jobs are posted to it
};

}  // namespace kaldo
