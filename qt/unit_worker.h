// The one worker thread on which unit operations run, one action at a time, so the window
// stays responsive (the busy window's animation keeps moving) while the unit is talked to.
#pragma once
#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>

class UnitWorker : public QObject {
  Q_OBJECT
 public:
  explicit UnitWorker(QObject* parent = nullptr);
  ~UnitWorker() override;  // waits for a running action, then stops the thread

  // Starts an action on the worker thread; false (and nothing run) while one is running.
  bool Start(std::function<void()> job);
  bool Busy() const { return busy_.load(); }
  // Runs a job on the worker thread and waits for it (for the shut-down of the port, which
  // belongs to the thread that opened it). Call only when no action is running.
  void RunAndWait(std::function<void()> job);
  // Processes GUI events until the running action has ended (tests, shut-down).
  void WaitIdle();
  QThread* thread() { return &thread_; }

 signals:
  // Emitted (on the GUI thread) when an action has ended.
  void finished();

 private:
  QThread thread_;
  QObject* context_ = nullptr;  // lives on the worker thread
  std::atomic<bool> busy_{false};
};
