// Carrying a call to another thread. Unit operations run on the worker thread; whatever they
// ask of the operator (boxes, dialogs, the busy window, the main window's controls) runs on the
// GUI thread while the worker waits for the answer. Called on the GUI thread itself, the
// function simply runs.
//
// Every hand-over goes through a mailbox guarded by the program's own lock: what one thread
// wrote before it posted a call is what the other thread reads when it runs it, as the lock
// says (and as a thread checker sees it). A Qt event only wakes the mailbox's thread.
#pragma once
#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

class ThreadMailbox : public QObject {
 public:
  ThreadMailbox() = default;
  // Runs call on the mailbox's thread, in the order posted, without waiting for it. Any thread.
  void Post(std::function<void()> call);
  // Runs call on the mailbox's thread and waits until it has run; what it throws is thrown
  // here. From another thread only (that thread must be serving its events meanwhile).
  void Call(const std::function<void()>& call);

 protected:
  bool event(QEvent* e) override;

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
};

// The GUI thread's mailbox. Made by the first call, which is on the GUI thread (the worker's
// constructor makes sure of it) before any other thread asks for it.
ThreadMailbox& GuiMailbox();

template <class F>
auto RunOnGui(QObject* context, F&& f) -> std::invoke_result_t<F> {
  using R = std::invoke_result_t<F>;
  if (QThread::currentThread() == context->thread()) return f();
  if constexpr (std::is_void_v<R>) {
    GuiMailbox().Call([&] { f(); });
  } else {
    std::optional<R> result;
    GuiMailbox().Call([&] { result.emplace(f()); });
    return std::move(*result);
  }
}
