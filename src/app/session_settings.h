// What a bench session reads once from the options both programs share, before anything is
// opened: the unit history's file, the context of its events, and the site. The site's setting
// is read from the settings file beside the history, so choosing a site needs no open history.
#pragma once
#include <filesystem>
#include <string>

#include "history/record_outcome.h"
#include "site/site_sender.h"
#include "platform/shared_options.h"

// The history file (--history FILE, else this PC's own), the context of its events, and the site
// (--site, else "site =" in the settings beside the history; none with --no-site).
struct SessionSettings {
  bool keepHistory = true;  // false with --no-history
  std::filesystem::path historyFile;
  history::HistoryContext context;
  history::SiteChoice site;
};
// terminal: the program and its version ("velmoor-cli 3.00.012"); namedUnit: the unit an
// operation that does not read it is filed under (velmoor-cli's --unit).
SessionSettings ReadSessionSettings(const SharedOptions& options, std::string terminal,
                                    std::string namedUnit = {});
