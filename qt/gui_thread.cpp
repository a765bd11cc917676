#include "gui_thread.h"

#include <QEvent>
#include <condition_variable>
#include <exception>

namespace {
const QEvent::Type kCallsWaiting = static_cast<QEvent::Type>(QEvent::registerEventType());
}  // namespace

void ThreadMailbox::Post(std::function<void()> call) {
  // The event is made before the call is handed over under the lock, so that it too belongs to
  // what the receiving thread takes with the lock.
  auto* wake = new QEvent(kCallsWaiting);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  QCoreApplication::postEvent(this, wake);
}

void ThreadMailbox::Call(const std::function<void()>& call) {
  std::mutex mutex;
  std::condition_variable ran;
  bool done = false;
  std::exception_ptr thrown;
  Post([&] {
    try {
      call();
    } catch (...) {
      thrown = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    ran.notify_all();
  });
  std::unique_lock<std::mutex> lock(mutex);
  ran.wait(lock, [&] { return done; });
  lock.unlock();
  if (thrown) std::rethrow_exception(thrown);
}

bool ThreadMailbox::event(QEvent* e) {
  // The lock first: whatever the poster wrote before it let go of the lock (the event itself
  // included) is this thread's to read from here on.
  { std::lock_guard<std::mutex> lock(mutex_); }
  if (e->type() != kCallsWaiting) return QObject::event(e);
  // One wake-up runs every call waiting; a call that opens a window of its own (a box) may
  // serve the next ones from within it, in their order.
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (calls_.empty()) break;
      call = std::move(calls_.front());
      calls_.pop_front();
    }
    call();
  }
  return true;
}

ThreadMailbox& GuiMailbox() {
  // Lives as long as the program: calls may still be posted to it while the windows go.
  static ThreadMailbox* box = new ThreadMailbox;
  return *box;
}
