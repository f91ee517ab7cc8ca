#include "app/DeviceWorker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSemaphore>
#include <exception>
#include <memory>

namespace kaldo {

namespace {

// One job on its way through the worker.
struct Job {
  std::function<void()> work;
  std::exception_ptr raised;
  QSemaphore ended;
};

void Execute(Job& job) {
  try {
    job.work();
  } catch (...) {
    job.raised = std::current_exception();
  }
}

}  // namespace

DeviceWorker::DeviceWorker() : onThread_(new QObject) {
  thread_.setObjectName(QStringLiteral("kaldo device worker"));
  onThread_->moveToThread(&thread_);
  QObject::connect(&thread_, &QThread::finished, onThread_, &QObject::deleteLater);
  thread_.start();
}

DeviceWorker::~DeviceWorker() {
  thread_.quit();
  thread_.wait();
}

void DeviceWorker::Run(const std::function<void()>& job) {
  Job j;
  j.work = job;
  QMetaObject::invokeMethod(
      onThread_, [&j] { Execute(j); }, Qt::BlockingQueuedConnection);
  if (j.raised) std::rethrow_exception(j.raised);
}

void DeviceWorker::RunWithEvents(const std::function<void()>& job) {
  auto j = std::make_shared<Job>();
  j->work = job;
  // Takes the note that the job ended; it travels through this thread's event queue, behind
  // every progress report the job posted before it. The note is posted before the job counts as
  // ended, so the receiver is still there.
  QObject noteTaker;
  bool noted = false;
  QMetaObject::invokeMethod(
      onThread_,
      [j, receiver = &noteTaker, &noted] {
        Execute(*j);
        QMetaObject::invokeMethod(
            receiver, [&noted] { noted = true; }, Qt::QueuedConnection);
        j->ended.release();
      },
      Qt::QueuedConnection);
  // Not an event loop of its own: one that the application's quitting ended at once would leave
  // the job running unseen.
  while (!noted)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  j->ended.acquire();
  if (j->raised) std::rethrow_exception(j->raised);
}

}  // namespace kaldo
