#include "platform/shared_options.h"

namespace {
// The option's value: after "=", or the next word. False, with the message, when there is none.
bool ValueOf(const std::vector<std::string>& words, size_t& i, const std::string& name, std::string& value,
             std::string& message) {
  const std::string& a = words[i];
  if (a.size() > name.size() && a[name.size()] == '=') {
    value = a.substr(name.size() + 1);
  } else if (i + 1 < words.size()) {
    value = words[++i];
  } else {
    value.clear();
  }
  if (value.empty()) message = name + " needs a value";
  return !value.empty();
}

// Whether the word is the option, alone or with "=value".
bool Is(const std::string& word, const std::string& name) { return word == name || word.rfind(name + "=", 0) == 0; }
}  // namespace

OptionRead ReadSharedOption(const std::vector<std::string>& words, size_t& i, SharedOptions& o, std::string& message) {
  const std::string& a = words[i];
  std::string v;
  if (a == "--simulate") {
    o.simulate = true;
  } else if (a.rfind("--simulate=", 0) == 0) {
    o.simulate = true;
    o.simSwitches = a.substr(11);
  } else if (a == "--no-log") {
    o.noLog = true;
  } else if (a == "--no-history") {
    o.noHistory = true;
  } else if (a == "--no-site") {
    o.noSite = true;
  } else if (Is(a, "--site")) {
    if (!ValueOf(words, i, "--site", o.site, message)) return OptionRead::Error;
  } else if (Is(a, "--root")) {
    if (!ValueOf(words, i, "--root", v, message)) return OptionRead::Error;
    o.paths.root = v;
  } else if (Is(a, "--history")) {
    if (!ValueOf(words, i, "--history", o.historyFile, message)) return OptionRead::Error;
  } else if (Is(a, "--operator")) {
    if (!ValueOf(words, i, "--operator", o.operatorName, message)) return OptionRead::Error;
  } else {
    return OptionRead::NotShared;
  }
  return OptionRead::Taken;
}
