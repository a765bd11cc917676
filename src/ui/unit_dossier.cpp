#include "ui/unit_dossier.h"

#include <cstdio>

#include "site/site_history.h"

using namespace history;

UnitDossier ReadUnitDossier(HistoryStore& local, const SiteSetting* site, int32_t unitId, DateTime now,
                            const SiteProblem& away) {
  UnitDossier d;
  d.settings = local.settings;
  if (site) {
    SiteServer server;
    HistoryStore mirror;
    SiteProblem p = away ? away : server.Connect(*site);
    std::optional<int32_t> found;
    if (!p) {
      char text[16];
      std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(unitId));
      // The site's visits with this PC's not yet sent among them.
      p = ReadSiteUnit(server, text, local, site->conninfo, mirror, found);
    }
    if (!p && found) {
      d.dossier = mirror.LoadDossier(*found, now);
      d.source = "Every bench's visits, from the site (" + site->shown + ")";
      d.fromSite = true;
      return d;
    }
    if (p) {
      d.source = SiteAway(p) ? "Site not reachable: this PC's visits only" : "Site refused: this PC's visits only";
      d.detail = p.message;
    } else {
      d.source = "The site has no visits of this unit yet: this PC's visits only";
    }
  }
  d.dossier = local.LoadDossier(unitId, now);
  return d;
}
