#include "app/session_settings.h"

#include "platform/file_ops.h"

SessionSettings ReadSessionSettings(const SharedOptions& o, std::string terminal, std::string namedUnit) {
  SessionSettings s;
  s.keepHistory = !o.noHistory;
  s.historyFile = o.historyFile.empty() ? history::DefaultHistoryFile() : file_ops::PathFromUtf8(o.historyFile);
  s.context.operatorName = o.operatorName;
  s.context.terminal = std::move(terminal);
  s.context.namedUnit = std::move(namedUnit);
  // The site's setting is a line of the settings file beside the history: no store is opened.
  s.site = history::ChooseSite(o.site, o.noSite, history::ReadHistorySettings(history::SettingsFileFor(s.historyFile)));
  return s;
}
