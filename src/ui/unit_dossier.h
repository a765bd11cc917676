// The unit's dossier as the History window shows it: with a site set, every bench's visits as
// the site holds them; when the site cannot be read (or holds nothing of the unit yet), this
// PC's own visits, with a line that says so. Plain state; the Qt window draws it.
#pragma once
#include <cstdint>
#include <string>

#include "history/history_store.h"
#include "site/site_server.h"

struct UnitDossier {
  history::Dossier dossier;
  history::HistorySettings settings;
  std::string source;  // where the visits come from; empty when no site is set
  std::string detail;  // why the site's were not shown (the problem's message), else empty
  bool fromSite = false;  // the visits are the site's (with this PC's unsent ones)
};

// local: this PC's store (open); site: the site's setting, or null when none is set. A site that
// does not answer costs the setting's connect_timeout (5 s unless it says otherwise), so one the
// sender already found away (away: its problem) is not tried again.
UnitDossier ReadUnitDossier(history::HistoryStore& local, const history::SiteSetting* site, int32_t unitId,
                            DateTime now, const history::SiteProblem& away = {});
