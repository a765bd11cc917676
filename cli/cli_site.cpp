#include "cli/cli_site.h"

#include <chrono>

#include "history/record_outcome.h"
#include "history/unit_state.h"
#include "site/site_history.h"
#include "platform/file_ops.h"

using namespace history;

namespace ex = cli_exit;

int ExitCodeForSite(const SiteProblem& p) {
  switch (p.kind) {
    case SiteProblemKind::None: return ex::kDone;
    case SiteProblemKind::UnknownHost:
    case SiteProblemKind::Unreachable: return ex::kNoUnit;
    case SiteProblemKind::BadSetting: return ex::kUsage;
    case SiteProblemKind::LocalHistory: return ex::kBadFile;
    default: return ex::kRefused;
  }
}

namespace {

std::string TimeOfMs(int64_t ms) { return ms > 0 ? LocalTimeText(FromUnixMs(ms), true) : std::string("never"); }

// No site command waits on the server past --timeout.
std::chrono::steady_clock::time_point DeadlineOf(const CliOptions& o) {
  return std::chrono::steady_clock::now() + std::chrono::seconds(o.timeout);
}

int Init(const SiteChoice& site, const CliOptions& o, std::FILE* result, std::FILE* messages) {
  SiteServer server;
  server.SetDeadline(DeadlineOf(o));
  int from = 0;
  if (const SiteProblem p = server.Init(site.setting, from)) {
    std::fprintf(messages, "velmoor-cli: %s\n", p.message.c_str());
    return ExitCodeForSite(p);
  }
  if (from == 0)
    std::fprintf(result, "The site's history tables were made (version %d) on %s\n", SiteServer::kSchemaVersion,
                 site.setting.shown.c_str());
  else if (from < SiteServer::kSchemaVersion)
    std::fprintf(result, "The site's history tables were brought from version %d to %d on %s\n", from,
                 SiteServer::kSchemaVersion, site.setting.shown.c_str());
  else
    std::fprintf(result, "The site's history tables on %s are up to date (version %d)\n", site.setting.shown.c_str(),
                 from);
  return ex::kDone;
}

int Status(const SiteChoice& site, const CliOptions& o, HistoryStore& store, std::FILE* result, std::FILE* messages) {
  const HistoryStore::SiteCursor cursor = store.Cursor(site.setting.conninfo);
  SiteServer server;
  server.SetDeadline(DeadlineOf(o));
  SiteProblem p = server.Connect(site.setting);
  // Reached is not enough: the bench must be let to send (a grant revoked is a refusal).
  if (!p) p = server.CheckSending();
  // The waiting events are counted from the cursor of the site reached (a site made anew takes all).
  const int64_t waiting = store.CountAfter(!p && cursor.siteId != server.SiteId() ? 0 : cursor.lastId);
  if (waiting < 0) {
    std::fprintf(messages, "velmoor-cli: this PC's history %s cannot be read: %s\n",
                 file_ops::PathText(store.File()).c_str(), store.Message().c_str());
    return ex::kBadFile;
  }
  std::fprintf(result, "site: %s\n", site.setting.shown.c_str());
  std::fprintf(result, "waiting: %lld event%s on this PC\n", static_cast<long long>(waiting), waiting == 1 ? "" : "s");
  std::fprintf(result, "last sent: %s\n", TimeOfMs(cursor.sentMs).c_str());
  if (p) {
    std::fprintf(result, "state: %s\n", SiteProblemKindName(p.kind));
    std::fprintf(messages, "velmoor-cli: %s\n", p.message.c_str());
    return ExitCodeForSite(p);
  }
  int64_t events = 0, units = 0, benches = 0;
  if (const SiteProblem c = server.Counts(events, units, benches)) {
    std::fprintf(messages, "velmoor-cli: %s\n", c.message.c_str());
    return ExitCodeForSite(c);
  }
  std::fprintf(result, "state: %s\n", waiting == 0 ? "up to date" : "reachable, events waiting");
  std::fprintf(result, "server: %lld events, %lld units, %lld benches\n", static_cast<long long>(events),
               static_cast<long long>(units), static_cast<long long>(benches));
  return ex::kDone;
}

int Push(const SiteChoice& site, const CliOptions& o, const HistoryStore& store, std::FILE* result,
         std::FILE* messages) {
  SiteSender sender(store.File(), site.setting);
  const SiteState s = sender.PushAll(std::chrono::seconds(o.timeout));
  if (s.problem) {
    std::fprintf(messages, "velmoor-cli: %s\n", s.problem.message.c_str());
    const long long waiting = std::max<int64_t>(s.waiting, 0);
    std::fprintf(result, "waiting: %lld event%s on this PC\n", waiting, waiting == 1 ? "" : "s");
    return ExitCodeForSite(s.problem);
  }
  std::fprintf(result, "site: up to date (%s)\n", site.setting.shown.c_str());
  return ex::kDone;
}

}  // namespace

int RunSiteCommand(const CliOptions& o, std::FILE* result, std::FILE* messages) {
  // Init needs only the setting, which may be in the settings beside the history.
  const SessionSettings settings = CliSessionSettings(o);
  HistoryStore store;
  if (o.args[0] != "init") {
    if (o.noHistory) {
      std::fprintf(messages, "velmoor-cli: --no-history leaves no history to send\n");
      return ex::kUsage;
    }
    const std::string problem = OpenHistory(store, settings.historyFile, o.paths, settings.context);
    if (!store.IsOpen()) {
      std::fprintf(messages, "velmoor-cli: %s\n", problem.c_str());
      return ex::kBadFile;
    }
  }
  const SiteChoice& site = settings.site;
  if (!site.set) {
    std::fprintf(messages,
                 "velmoor-cli: no site server is set: give --site CONNINFO, or put \"site = CONNINFO\" in %s\n",
                 file_ops::PathText(SettingsFileFor(settings.historyFile)).c_str());
    return ex::kUsage;
  }
  if (site.problem) {
    std::fprintf(messages, "velmoor-cli: %s\n", site.problem.message.c_str());
    return ExitCodeForSite(site.problem);
  }
  if (o.args[0] == "init") return Init(site, o, result, messages);
  if (o.args[0] == "status") return Status(site, o, store, result, messages);
  return Push(site, o, store, result, messages);
}
