// A unit's history as the site holds it, merged with this PC's events the site has not taken
// yet, for the readers of the local store (visits, differences, series, flags, the dossier).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_store.h"
#include "site/site_server.h"

namespace history {

// A unit's history as the site holds it, in a store in memory, so that the local store's
// readers (visits, differences, series, flags, the dossier) read every bench's visits. The
// visits are numbered in time order. With local (this PC's store) and siteKey (the setting's
// connection text, its outbox's key), this PC's visits the site has not taken yet are in it too.
SiteProblem LoadSiteUnit(SiteServer& server, int32_t unitId, const HistorySettings& settings, HistoryStore& mirror,
                         HistoryStore* local = nullptr, const std::string& siteKey = {});

// A unit by its text (hex identity or serial) as the site and this PC's unsent events know it,
// read into mirror as LoadSiteUnit does. unit stays empty when neither knows it.
SiteProblem ReadSiteUnit(SiteServer& server, std::string_view unitText, HistoryStore& local, const std::string& siteKey,
                         HistoryStore& mirror, std::optional<int32_t>& unit);

// What is due on the site with this PC's unsent events taken in: a unit they concern is judged
// on its merged history (a unit the site has not seen yet among them), in unit order.
SiteProblem SiteDue(SiteServer& server, HistoryStore& local, const std::string& siteKey, int64_t nowMs,
                    std::vector<UnitFlags>& due);

}  // namespace history
