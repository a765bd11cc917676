#include "unit_worker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

UnitWorker::UnitWorker(QObject* parent) : QObject(parent) {
  thread_.setObjectName("unit worker");
  context_ = new QObject;
  context_->moveToThread(&thread_);
  connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
  thread_.start();
}

UnitWorker::~UnitWorker() {
  WaitIdle();
  thread_.quit();
  thread_.wait();
}

bool UnitWorker::Start(std::function<void()> job) {
  bool expected = false;
  if (!busy_.compare_exchange_strong(expected, true)) return false;
  QMetaObject::invokeMethod(
      context_,
      [this, job = std::move(job)] {
        job();
        busy_.store(false);
        QMetaObject::invokeMethod(
            this, [this] { emit finished(); }, Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
  return true;
}

void UnitWorker::RunAndWait(std::function<void()> job) {
  WaitIdle();
  QMetaObject::invokeMethod(context_, std::move(job), Qt::BlockingQueuedConnection);
}

void UnitWorker::WaitIdle() {
  // The action posts to this thread when it ends (and whenever it needs the operator), so
  // waiting for events never misses the end.
  while (busy_.load()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QCoreApplication::processEvents();
}
