// The options both programs take (the window and velmoor-cli), read by one reader so they mean
// the same in each: --root DIR keeps the data folder in DIR/T7Status, --simulate[=LIST] runs on
// the built-in simulated unit (LIST: its test switches), --no-log writes no session log,
// --history FILE names the unit history database, --no-history keeps none, --operator NAME
// says who runs the operations, --site CONNINFO names the site's history server (instead of the
// one saved in the history settings), --no-site sends to none. A value follows its option or
// comes after "=".
#pragma once
#include <string>
#include <vector>

#include "platform/paths.h"

struct SharedOptions {
  DataPaths paths = DataPaths::Default();
  bool simulate = false;
  std::string simSwitches;   // --simulate=LIST
  bool noLog = false;        // --no-log
  std::string historyFile;   // empty: this PC's own
  bool noHistory = false;    // --no-history
  std::string operatorName;  // empty: the login name
  std::string site;          // --site: a PostgreSQL connection text or service; empty: the saved one
  bool noSite = false;       // --no-site
};

enum class OptionRead {
  NotShared,  // words[i] is not one of these options: the program reads it itself
  Taken,      // read; i is on the last word it took
  Error,      // a value missing or empty: message says which
};

// Reads the option at words[i] (and its value from words[i + 1] when it takes one without "=").
OptionRead ReadSharedOption(const std::vector<std::string>& words, size_t& i, SharedOptions& options,
                            std::string& message);
