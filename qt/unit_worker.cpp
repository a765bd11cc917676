#include "unit_worker.h"

#include <QCoreApplication>
#include <QEventLoop>

#include "gui_thread.h"

UnitWorker::UnitWorker(QObject* parent) : QObject(parent) {
  GuiMailbox();  // made here, on the GUI thread, before the worker can ask for it
  thread_.setObjectName("unit worker");
  mailbox_ = new ThreadMailbox;
  mailbox_->moveToThread(&thread_);
  connect(&thread_, &QThread::finished, mailbox_, &QObject::deleteLater);
  thread_.start();
}

UnitWorker::~UnitWorker() {
  Close();
  WaitIdle();
  thread_.quit();
  thread_.wait();
}

bool UnitWorker::StartJob(Job job, bool tell) {
  if (running_ || (closed_ && tell)) return false;
  running_ = true;
  mailbox_->Post([this, tell, job = std::move(job)] {
    ActionResult result = job();
    // The end goes back by value; the worker is free once it is handed over.
    GuiMailbox().Post([this, tell, result = std::move(result)] {
      running_ = false;
      if (tell) emit finished(result);
    });
  });
  return true;
}

void UnitWorker::RunAndWait(std::function<void()> job) {
  WaitIdle();
  // Nothing runs, and actions start only on this thread: the job is next.
  StartJob(
      [job = std::move(job)] {
        job();
        return ActionResult{};
      },
      false);
  WaitIdle();
}

void UnitWorker::WaitIdle() {
  // The action's end is posted to this thread (as is whatever it asks of the operator), so
  // waiting for events never misses it.
  while (running_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
