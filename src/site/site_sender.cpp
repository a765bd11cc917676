#include "site/site_sender.h"

#include <condition_variable>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "history/unit_state.h"
#include "platform/session_log.h"

namespace history {

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The time of day on screen: local, with its zone ("10:42 UTC+01:00").
std::string LocalClock(int64_t ms) { return LocalTimeText(FromUnixMs(ms)).substr(11); }

}  // namespace

SiteChoice ChooseSite(const std::string& option, bool noSite, const HistorySettings& settings) {
  SiteChoice c;
  const std::string text = noSite ? std::string() : !option.empty() ? option : settings.site;
  if (text.empty()) return c;
  c.set = true;
  c.problem = ReadSiteSetting(text, c.setting);
  return c;
}

std::string SiteStatusText(const SiteState& s) {
  if (!s.set) return {};
  const std::string waiting = s.waiting > 0 ? ", " + std::to_string(s.waiting) + " waiting" : "";
  if (s.problem.kind == SiteProblemKind::LocalHistory)
    return "site: paused, this PC's history cannot be read" + waiting;
  if (s.problem) {
    return std::string(SiteAway(s.problem) ? "site unreachable" : "site refused") + " since " +
           LocalClock(s.troubleSinceMs) + waiting;
  }
  if (!s.reached) return "site: connecting" + waiting;
  if (s.waiting > 0) return "site: sending" + waiting;
  return "site: up to date";
}

// What the sender's thread and its owner share. Stopping always joins the thread; the thread
// keeps a share all the same, so that nothing it uses can go before it has ended.
struct SiteSender::Shared {
  std::filesystem::path file;
  SiteSetting setting;
  mutable std::mutex mutex;
  std::condition_variable wake, progress;
  int64_t started = 0, finished = 0;  // rounds of sending
  bool stop = false, nudged = false, running = false;
  bool ended = true;  // the thread has left Run
  SiteState state;
  std::set<SiteProblemKind> told;
  std::function<void(size_t)> batchHook;
  std::thread thread;
  SiteServer* active = nullptr;  // the background sender's server, while it is there

  // A sender's own link to both ends (the background thread's, or a push's): its connection to
  // this PC's history and to the site server, and the unit states read from the outbox so far.
  struct Link {
    HistoryStore store;
    SiteServer server;
    std::map<int32_t, FieldTexts> states;  // each unit's state as far as the outbox was read
    int64_t statesAt = -1;                 // the cursor they belong to; -1: none
    void Forget() {
      states.clear();
      statesAt = -1;
    }
  };

  bool Stopping() const {
    std::lock_guard<std::mutex> lock(mutex);
    return stop;
  }
  std::function<void(size_t)> BatchHook() const {
    std::lock_guard<std::mutex> lock(mutex);
    return batchHook;
  }

  void Publish(const SiteProblem& problem, int64_t waiting, int64_t sentMs) {
    std::lock_guard<std::mutex> lock(mutex);
    if (problem) {
      if (!state.problem || state.problem.kind != problem.kind || state.problem.message != problem.message)
        // One line, as every event of the log: the server's detail runs over several.
        LogEvent("site", EscapeBytes(problem.message + (problem.detail.empty() ? "" : " [" + problem.detail + "]")));
      if (!state.problem) state.troubleSinceMs = NowMs();
      state.reached = !SiteAway(problem) && problem.kind != SiteProblemKind::NoClient &&
                      problem.kind != SiteProblemKind::BadSetting;
    } else {
      if (state.problem) LogEvent("site", "reached " + setting.shown);
      state.troubleSinceMs = 0;
      state.reached = true;
    }
    state.problem = problem;
    if (waiting >= 0) state.waiting = waiting;
    if (sentMs > 0) state.lastSentMs = sentMs;
  }

  // Connects when not connected. A site this PC has not sent to (or one made anew) takes
  // everything from the start, and what it already holds it keeps once. False when the site
  // cannot be reached (told).
  bool Reach(Link& link, HistoryStore::SiteCursor& cursor) {
    if (!link.server.Connected()) {
      if (SiteProblem p = link.server.Connect(setting, [this] { return Stopping(); })) {
        Publish(p, link.store.CountAfter(cursor.lastId), 0);
        return false;
      }
    }
    if (cursor.siteId != link.server.SiteId()) {
      cursor = {link.server.SiteId(), 0, 0};
      link.Forget();
    }
    return true;
  }

  // One round: connect when needed, then send batch after batch until nothing waits. True when
  // everything written so far is on the site.
  bool SendPending(Link& link) {
    if (!link.store.IsOpen() && !link.store.Open(file)) {
      Publish({SiteProblemKind::LocalHistory, "Nothing is sent to the site: " + link.store.Message(), {}}, -1, 0);
      return false;
    }
    HistoryStore::SiteCursor cursor = link.store.Cursor(setting.conninfo);
    // Another program on this PC (a site push) may have moved the cursor meanwhile.
    if (cursor.lastId != link.statesAt) link.Forget();
    if (!Reach(link, cursor)) return false;
    for (;;) {
      const int64_t waiting = link.store.CountAfter(cursor.lastId);
      std::vector<HistoryStore::OutboxEvent> batch = link.store.Outbox(cursor.lastId, kBatch, link.states);
      if (batch.empty()) {
        Publish({}, waiting, 0);
        return waiting == 0;
      }
      Publish({}, waiting, 0);
      link.server.onBatchSent = BatchHook();
      if (SiteProblem p = link.server.Send(batch)) {
        // What was read past the cursor is read again next time.
        link.Forget();
        Publish(p, waiting, 0);
        return false;
      }
      cursor.lastId = batch.back().event.id;
      cursor.sentMs = NowMs();
      if (!link.store.SetCursor(setting.conninfo, cursor)) {
        // Sent but not noted: the next round sends the batch again, and the site keeps it once.
        link.Forget();
        Publish({SiteProblemKind::LocalHistory,
                 "The site took the events, but this PC's history could not note it (they are sent again, and "
                 "the site keeps them once): " +
                     link.store.Message(),
                 {}},
                waiting, 0);
        return false;
      }
      link.statesAt = cursor.lastId;
      LogEvent("site", "sent " + std::to_string(batch.size()) + (batch.size() == 1 ? " event to " : " events to ") +
                           setting.shown);
      Publish({}, waiting - static_cast<int64_t>(batch.size()), cursor.sentMs);
      if (Stopping()) return false;
    }
  }

  void Run(Link& link) {
    auto backoff = std::chrono::seconds(5);
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        ++started;
      }
      const bool done = SendPending(link);
      std::unique_lock<std::mutex> lock(mutex);
      ++finished;
      progress.notify_all();
      if (stop) return;
      // After a failure, again after a growing pause (a nudge does not hurry it: every operation
      // would otherwise wait on a server that is away); when all is sent, at the next event.
      const auto pause = done ? std::chrono::seconds(30) : backoff;
      backoff = done ? std::chrono::seconds(5) : std::min<std::chrono::seconds>(backoff * 2, std::chrono::seconds(60));
      if (done) wake.wait_for(lock, pause, [this] { return stop || nudged; });
      else wake.wait_for(lock, pause, [this] { return stop; });
      nudged = false;
      if (stop) return;
    }
  }

  void RunThenEnd() {
    Link link;
    {
      std::lock_guard<std::mutex> lock(mutex);
      active = &link.server;
    }
    Run(link);
    // Before the server goes: Stop no longer breaks off its calls.
    std::lock_guard<std::mutex> lock(mutex);
    active = nullptr;
    ended = true;
    progress.notify_all();
  }
};

SiteSender::SiteSender(std::filesystem::path historyFile, SiteSetting setting) : shared_(std::make_shared<Shared>()) {
  shared_->file = std::move(historyFile);
  shared_->setting = std::move(setting);
  shared_->state.set = true;
}

SiteSender::~SiteSender() { Stop(std::chrono::seconds(1)); }

void SiteSender::Start() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (shared_->running) return;
  shared_->running = true;
  shared_->stop = false;
  shared_->ended = false;
  std::shared_ptr<Shared> s = shared_;
  shared_->thread = std::thread([s] { s->RunThenEnd(); });
}

void SiteSender::Nudge() {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->nudged = true;
  }
  shared_->wake.notify_all();
}

void SiteSender::Stop(std::chrono::milliseconds wait) {
  Shared& s = *shared_;
  std::thread t;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.running) return;
    s.stop = true;
    s.running = false;
    t = std::move(s.thread);
  }
  s.wake.notify_all();
  // The thread ends at its next look at the stop. One still waiting on the server after the
  // wait has its call broken off (the connection's socket shut), which ends the call at once;
  // a connection made meanwhile is shut too. The thread is always joined: nothing it writes
  // (the session log, the store) outlives the stop.
  {
    std::unique_lock<std::mutex> lock(s.mutex);
    auto ended = [&] { return s.ended; };
    if (!s.progress.wait_for(lock, wait, ended)) {
      do {
        if (s.active) s.active->Interrupt();
      } while (!s.progress.wait_for(lock, std::chrono::milliseconds(100), ended));
    }
  }
  t.join();
}

void SiteSender::Finish(std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    if (!shared_->running) return;
    // A round that starts after now sends the latest event.
    const int64_t target = shared_->started + 1;
    shared_->nudged = true;
    shared_->wake.notify_all();
    // A sender resting after a failure is not waited for: the site is away, and the command
    // is not held up for it.
    shared_->progress.wait_until(lock, deadline, [&] {
      return shared_->finished >= target || (shared_->state.problem && shared_->finished == shared_->started);
    });
  }
  Stop(std::chrono::duration_cast<std::chrono::milliseconds>(
      std::max(deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero())));
}

SiteState SiteSender::PushAll(std::chrono::milliseconds timeout) {
  Shared::Link link;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  // No wait goes past the time given: not a connection, a statement, or the pause between tries.
  link.server.SetDeadline(deadline);
  while (!shared_->SendPending(link) && Clock::now() < deadline) {
    // Only a problem that may pass is tried again.
    const SiteProblemKind k = State().problem.kind;
    if (k != SiteProblemKind::Unreachable && k != SiteProblemKind::None) break;
    std::this_thread::sleep_until(std::min(deadline, Clock::now() + std::chrono::milliseconds(500)));
    if (Clock::now() >= deadline) break;
  }
  return State();
}

void SiteSender::OnBatchSent(std::function<void(size_t)> hook) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->batchHook = std::move(hook);
}

SiteState SiteSender::State() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->state;
}

std::string SiteSender::TakeMessage() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  const SiteProblem& p = shared_->state.problem;
  if (!p || !shared_->told.insert(p.kind).second) return {};
  return p.message;
}

}  // namespace history
