#include "site/site_history.h"

#include <algorithm>
#include <map>
#include <set>

#include "history/sha256.h"

namespace history {

std::string SiteUid(const HistoryStore::OutboxEvent& o) {
  if (!o.event.imported) return o.event.uid;
  static const char digits[] = "0123456789abcdef";
  std::string key = std::to_string(o.event.unitId) + "/" + std::to_string(ToUnixMs(o.event.time));
  for (const std::string& f : o.state) {
    // Each field's bytes in hex, as the server writes a bytea ("\x4142").
    key += "/\\x";
    for (const char ch : f) {
      const auto c = static_cast<unsigned char>(ch);
      key += digits[c >> 4];
      key += digits[c & 15];
    }
  }
  return "imported-" + Sha256::Hex(key).substr(0, 32);
}

namespace {
// The last of this PC's events the site took (0 when the cursor is another site's).
int64_t SentTo(SiteServer& server, HistoryStore& local, const std::string& siteKey) {
  const HistoryStore::SiteCursor cursor = local.Cursor(siteKey);
  return cursor.siteId == server.SiteId() ? cursor.lastId : 0;
}
}  // namespace

SiteProblem LoadSiteUnit(SiteServer& server, int32_t unitId, const HistorySettings& settings, HistoryStore& mirror,
                         HistoryStore* local, const std::string& siteKey) {
  std::vector<HistoryStore::OutboxEvent> events;
  if (SiteProblem p = server.LoadUnit(unitId, events)) return p;
  if (local && local->IsOpen()) {
    // This PC's visits still waiting to be sent (none the site already holds, under the id the
    // site keeps it by: an imported visit another bench of the same data folder sent is this one).
    const int64_t sent = SentTo(server, *local, siteKey);
    std::set<std::string> onSite;
    for (const auto& o : events) onSite.insert(o.event.uid);
    for (HistoryStore::OutboxEvent& o : local->Readings(unitId, sent))
      if (!onSite.count(SiteUid(o))) events.push_back(std::move(o));
  }
  // In time order, whichever bench sent them first: the visits are numbered so. The site gives
  // its own in that order; this PC's unsent ones find their places among them (the events
  // themselves stay where they are: each holds a whole state, costly to move).
  std::vector<size_t> order(events.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&events](size_t a, size_t b) {
    return ToUnixMs(events[a].event.time) < ToUnixMs(events[b].event.time);
  });
  if (!mirror.OpenInMemory()) return {SiteProblemKind::LocalHistory, mirror.Message(), {}};
  mirror.settings = settings;
  bool kept = mirror.BeginBatch();
  for (const size_t i : order) {
    HistoryStore::OutboxEvent& o = events[i];
    o.event.id = 0;
    kept = kept && mirror.Append(o.event, o.hasState ? &o.state : nullptr, o.hasState ? &o.read : nullptr);
  }
  kept = kept && mirror.CommitBatch();
  if (!kept)
    return {SiteProblemKind::LocalHistory, "The site's visits could not be read into memory: " + mirror.Message(), {}};
  return {};
}

}  // namespace history

namespace history {

SiteProblem ReadSiteUnit(SiteServer& server, std::string_view unitText, HistoryStore& local, const std::string& siteKey,
                         HistoryStore& mirror, std::optional<int32_t>& unit) {
  SiteProblem p;
  unit = server.FindUnit(unitText, p);
  if (p) return p;
  // A unit the site has not seen yet may be among this PC's events still waiting to go.
  if (!unit) unit = local.FindUnit(unitText);
  if (!unit) return {};
  return LoadSiteUnit(server, *unit, local.settings, mirror, &local, siteKey);
}

SiteProblem SiteDue(SiteServer& server, HistoryStore& local, const std::string& siteKey, int64_t nowMs,
                    std::vector<UnitFlags>& due) {
  if (SiteProblem p = server.Due(local.settings, nowMs, due)) return p;
  const std::vector<int32_t> waiting = local.UnitsAfter(SentTo(server, local, siteKey));
  if (waiting.empty()) return {};
  // Each unit this PC's unsent events concern, judged on its merged history.
  std::map<int32_t, UnitFlags> byUnit;
  for (UnitFlags& f : due) byUnit[f.unitId] = std::move(f);
  for (const int32_t id : waiting) {
    HistoryStore mirror;
    if (SiteProblem p = LoadSiteUnit(server, id, local.settings, mirror, &local, siteKey)) return p;
    byUnit.erase(id);
    if (auto f = mirror.Flags(id, FromUnixMs(nowMs)); f && f->Any()) byUnit[id] = std::move(*f);
  }
  due.clear();
  for (auto& [id, f] : byUnit) due.push_back(std::move(f));
  return {};
}

}  // namespace history
