// Sends this PC's history to the site server: in the background while the terminal runs (an
// operation only writes its event to the local store and nudges the sender, so a server that is
// down, slow or refusing never holds up the bench), or at once for "velmoor-cli site push".
// Events go in the order they were written, a batch per transaction; the local store keeps how
// far each site has taken them, so a cut (of the network, the server or this program) at any
// point resends at most one batch, which the site takes once.
#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "site/site_server.h"

namespace history {

// What the status line shows of the site.
struct SiteState {
  bool set = false;            // a site is set for this PC
  bool reached = false;        // the last attempt reached it
  int64_t waiting = -1;        // events on this PC the site has not taken; -1: not known yet
  int64_t troubleSinceMs = 0;  // the first failed attempt since the site was last reached
  int64_t lastSentMs = 0;
  SiteProblem problem;  // why the last attempt failed
};
// "site: up to date", "site: sending, 17 waiting", "site unreachable since 10:42, 17 waiting",
// "site refused since 10:42, 17 waiting" (a password, TLS, access or version problem); empty
// when no site is set. The time is the PC's local time.
std::string SiteStatusText(const SiteState& state);

// The site a program sends to and reads from: --site, else the one saved in the history
// settings; none with --no-site. A setting that cannot be used (a password in it, no client in
// this build) is set, with its problem.
struct SiteChoice {
  bool set = false;
  SiteSetting setting;
  SiteProblem problem;
};
SiteChoice ChooseSite(const std::string& option, bool noSite, const HistorySettings& settings);

class SiteSender {
 public:
  // Events per transaction.
  static constexpr int kBatch = 500;

  SiteSender(std::filesystem::path historyFile, SiteSetting setting);
  // Stops the background sender, giving the send under way a second to end.
  ~SiteSender();
  SiteSender(const SiteSender&) = delete;
  SiteSender& operator=(const SiteSender&) = delete;

  // Starts the background sender; it sends what waits, then whenever nudged (and every 30 s).
  void Start();
  // An event was written: send it soon.
  void Nudge();
  // Stops the background sender, waiting at most wait for the send under way, then breaking off
  // its call to the server; returns once its thread has ended. What it did not send waits on
  // this PC for the next time.
  void Stop(std::chrono::milliseconds wait);
  // Sends what was written up to now, waiting at most wait for it, then stops (the command
  // line, as it ends: what is not sent by then waits for the next time).
  void Finish(std::chrono::milliseconds wait);
  // Sends everything written so far, in the caller's thread, trying again until all is sent or
  // timeout has passed; no wait goes past it (SiteServer::SetDeadline). Not with the background
  // sender running.
  SiteState PushAll(std::chrono::milliseconds timeout);

  SiteState State() const;
  // A problem's message the first time its kind arises in this session, else empty.
  std::string TakeMessage();
  // For the tests: called once a batch's statements are on the server, just before its commit
  // (on the sending thread).
  void OnBatchSent(std::function<void(size_t sent)> hook);

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace history
