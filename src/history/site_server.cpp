#include "history/site_server.h"

#include <sqlite3.h>

#include <algorithm>
#include <set>

namespace history {

const char* SiteProblemKindName(SiteProblemKind k) {
  switch (k) {
    case SiteProblemKind::None: return "none";
    case SiteProblemKind::NoClient: return "no-client";
    case SiteProblemKind::BadSetting: return "bad-setting";
    case SiteProblemKind::UnknownHost: return "unknown-host";
    case SiteProblemKind::Unreachable: return "unreachable";
    case SiteProblemKind::Password: return "password";
    case SiteProblemKind::Tls: return "tls";
    case SiteProblemKind::Refused: return "refused";
    case SiteProblemKind::NotInitialised: return "not-initialised";
    case SiteProblemKind::OlderSchema: return "older-schema";
    case SiteProblemKind::NewerSchema: return "newer-schema";
    case SiteProblemKind::LocalHistory: return "local-history";
  }
  return "?";
}

SiteProblem LoadSiteUnit(SiteServer& server, int32_t unitId, const HistorySettings& settings, HistoryStore& mirror,
                         HistoryStore* local, const std::string& siteKey) {
  std::vector<HistoryStore::OutboxEvent> events;
  if (SiteProblem p = server.LoadUnit(unitId, events)) return p;
  if (local && local->IsOpen()) {
    // This PC's visits still waiting to be sent (none the site already holds).
    const HistoryStore::SiteCursor cursor = local->Cursor(siteKey);
    const int64_t sent = cursor.siteId == server.SiteId() ? cursor.lastId : 0;
    std::set<std::string> onSite;
    for (const auto& o : events) onSite.insert(o.event.uid);
    for (auto& [ev, state] : local->States(unitId)) {
      if (ev.id <= sent || onSite.count(ev.uid)) continue;
      HistoryStore::OutboxEvent o;
      o.event = std::move(ev);
      o.hasState = true;
      o.state = std::move(state);
      events.push_back(std::move(o));
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return ToUnixMs(a.event.time) < ToUnixMs(b.event.time); });
  }
  if (!mirror.OpenInMemory()) return {SiteProblemKind::LocalHistory, mirror.Message(), {}};
  mirror.settings = settings;
  // In time order, whichever bench sent them first: the visits are numbered so.
  bool kept = sqlite3_exec(mirror.Db(), "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
  for (HistoryStore::OutboxEvent& o : events) {
    o.event.id = 0;
    kept = kept && mirror.Append(o.event, o.hasState ? &o.state : nullptr);
  }
  kept = kept && sqlite3_exec(mirror.Db(), "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!kept)
    return {SiteProblemKind::LocalHistory, "The site's visits could not be read into memory: " + mirror.Message(), {}};
  return {};
}

}  // namespace history
