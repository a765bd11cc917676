#include "cli/cli_history.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <map>

#include "history/history_fields.h"
#include "site/site_history.h"
#include "site/site_server.h"
#include "history/unit_state.h"
#include "platform/file_ops.h"
#include "platform/text_numbers.h"
#include "platform/version.h"

using namespace history;

namespace {

namespace ex = cli_exit;

std::string UnitHex(int32_t id) {
  char b[16];
  std::snprintf(b, sizeof b, "%06X", static_cast<unsigned>(id));
  return b;
}

std::string Json(std::string_view s) {
  std::string out;
  AppendJsonString(out, s);
  return out;
}

std::string Csv(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// A stored text for the plain output: one line, no control characters reaching the terminal
// (a reply's line ends as \r and \n, others as \xNN).
std::string Plain(const std::string& s) {
  std::string out;
  for (const char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c < 0x20 || c == 0x7F) {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02X", c);
      out += b;
    } else out += ch;
  }
  return out;
}

// Times: ISO 8601 in UTC for JSON and CSV, local time with its zone on screen.
std::string TimeText(const DateTime& t) { return IsoTimeText(t); }
std::string ScreenTime(const DateTime& t) { return LocalTimeText(t, true); }

// What each visit read: its values by field, for --json and --csv.
using VisitReadings = std::map<int64_t, std::pair<FieldTexts, FieldMask>>;

// The columns of a visit, by name, as texts (numbers as their digits).
std::vector<std::pair<const char*, std::string>> Columns(const HistoryEvent& e) {
  return {{"visit", std::to_string(e.id)},
          {"time", TimeText(e.time)},
          {"unit", e.unitId == -1 ? "" : UnitHex(e.unitId)},
          {"serial", e.serial},
          {"bench", e.bench},
          {"operator", e.operatorName},
          {"terminal", e.terminal},
          {"action", e.action},
          {"outcome", e.outcome},
          {"reason", e.reason},
          {"failed_readers", std::to_string(e.failedReaders)},
          {"differences", e.differences},
          {"file", e.file},
          {"file_sha256", e.fileSha256},
          {"records_sent", std::to_string(e.recordsSent)},
          {"records_total", std::to_string(e.recordsTotal)},
          {"duration_ms", std::to_string(e.durationMs)},
          {"test_result", std::to_string(e.testResult)},
          {"command", e.command},
          {"reply", e.reply},
          {"log_file", e.logFile},
          {"status_read", e.statusRead ? "1" : "0"},
          {"imported", e.imported ? "1" : "0"},
          {"uid", e.uid}};
}

bool IsNumberColumn(std::string_view name) {
  return name == "visit" || name == "failed_readers" || name == "records_sent" || name == "records_total" ||
         name == "duration_ms" || name == "test_result";
}

// What the visit read; null when it read nothing.
const std::pair<FieldTexts, FieldMask>* ReadingOf(const VisitReadings& readings, const HistoryEvent& e) {
  const auto it = readings.find(e.id);
  return it == readings.end() ? nullptr : &it->second;
}

// One visit as a JSON object: its columns, then the values it read by field name.
std::string VisitJson(const HistoryEvent& e, const std::pair<FieldTexts, FieldMask>* reading) {
  std::string line = "{";
  bool first = true;
  for (const auto& [name, value] : Columns(e)) {
    line += first ? "" : ", ";
    first = false;
    line += Json(name) + ": ";
    if (IsNumberColumn(name)) line += value;
    else if (std::string_view(name) == "status_read" || std::string_view(name) == "imported")
      line += value == "1" ? "true" : "false";
    else line += Json(value);
  }
  line += ", \"values\": {";
  if (reading) {
    bool firstValue = true;
    for (int f = 0; f < kFieldCount; ++f) {
      if (!reading->second[static_cast<size_t>(f)]) continue;
      line += (firstValue ? "" : ", ") + Json(FieldName(f)) + ": " + Json(reading->first[static_cast<size_t>(f)]);
      firstValue = false;
    }
  }
  return line + "}}";
}

// The columns, then a column for each field of the status record: its value where the visit read it.
void PrintVisitsCsv(const std::vector<HistoryEvent>& visits, const VisitReadings& readings, std::FILE* out) {
  std::string header;
  for (const auto& c : Columns(HistoryEvent{})) header += (header.empty() ? "" : ",") + std::string(c.first);
  for (int f = 0; f < kFieldCount; ++f) header += "," + std::string(FieldName(f));
  std::fprintf(out, "%s\r\n", header.c_str());
  for (const HistoryEvent& e : visits) {
    std::string line;
    bool first = true;
    for (const auto& c : Columns(e)) line += (first ? "" : ",") + Csv(c.second), first = false;
    const auto* r = ReadingOf(readings, e);
    for (int f = 0; f < kFieldCount; ++f) {
      line += ',';
      if (r && r->second[static_cast<size_t>(f)]) line += Csv(r->first[static_cast<size_t>(f)]);
    }
    std::fprintf(out, "%s\r\n", line.c_str());
  }
}

// One line a visit, for the screen.
std::string VisitLine(const HistoryEvent& e) {
  std::string line = "#" + std::to_string(e.id) + "  " + ScreenTime(e.time) + "  " + e.action + ": " + e.outcome;
  if (!e.reason.empty()) line += " (" + e.reason + ")";
  line += "  bench " + e.bench + ", operator " + e.operatorName;
  if (e.unitFrom == "port") line += ", unit: the one last read on " + e.port;
  else if (e.unitFrom == "option") line += ", unit named by --unit";
  if (e.imported) line += e.terminal.empty() ? ", imported" : ", imported by " + e.terminal;
  if (e.testResult != -1) line += ", result " + std::to_string(e.testResult);
  if (!e.fileSha256.empty()) line += ", " + e.file + " sha256 " + e.fileSha256;
  return Plain(line);
}

void PrintVisits(const std::vector<HistoryEvent>& visits, const VisitReadings& readings, const CliOptions& o,
                 std::FILE* out) {
  if (o.json) {
    std::fputs("[", out);
    for (size_t i = 0; i < visits.size(); ++i)
      std::fputs(((i ? ",\n " : "\n ") + VisitJson(visits[i], ReadingOf(readings, visits[i]))).c_str(), out);
    std::fputs(visits.empty() ? "]\n" : "\n]\n", out);
  } else if (o.csv) {
    PrintVisitsCsv(visits, readings, out);
  } else {
    for (const HistoryEvent& e : visits) std::fprintf(out, "%s\n", VisitLine(e).c_str());
  }
}

void PrintDiff(const StatusDiff& d, int32_t unit, const CliOptions& o, std::FILE* out) {
  if (o.json) {
    std::string s = "{\"unit\": " + Json(UnitHex(unit)) + ", \"from\": " + std::to_string(d.from) +
                    ", \"to\": " + std::to_string(d.to) + ", \"fromTime\": " + Json(TimeText(d.fromTime)) +
                    ", \"toTime\": " + Json(TimeText(d.toTime)) + ", \"changes\": [";
    for (size_t i = 0; i < d.changes.size(); ++i) {
      const FieldChange& c = d.changes[i];
      s += (i ? ",\n  " : "\n  ") + std::string("{\"class\": ") + Json(FieldClassName(c.fieldClass)) +
           ", \"field\": " + Json(c.group + "/" + c.element) + ", \"before\": " + Json(c.before) +
           ", \"after\": " + Json(c.after) + ", \"label\": " + Json(c.label) +
           ", \"shownBefore\": " + Json(c.shownBefore) + ", \"shownAfter\": " + Json(c.shownAfter) + "}";
    }
    std::fprintf(out, "%s%s]}\n", s.c_str(), d.changes.empty() ? "" : "\n");
    return;
  }
  std::fprintf(out, "Unit %s: visit #%" PRId64 " (%s) to visit #%" PRId64 " (%s)\n", UnitHex(unit).c_str(), d.from,
               ScreenTime(d.fromTime).c_str(), d.to, ScreenTime(d.toTime).c_str());
  if (d.changes.empty()) std::fputs("No differences\n", out);
  const char* shown = nullptr;
  for (const FieldChange& c : d.changes) {
    if (shown != FieldClassName(c.fieldClass)) {
      shown = FieldClassName(c.fieldClass);
      std::fprintf(out, "%s:\n", shown);
    }
    // As the status report shows it, then as the status files name it.
    std::string line = "  ";
    if (!c.label.empty()) line += c.label + " = " + c.shownBefore + " -> " + c.shownAfter + "    ";
    line += c.group + "/" + c.element + ": " + c.before + " -> " + c.after;
    std::fprintf(out, "%s\n", Plain(line).c_str());
  }
}

std::string FlagsText(const UnitFlags& f, const HistorySettings& s) {
  std::vector<std::string> parts;
  auto last = [](const DateTime& t) {
    return t.value > 0.0 ? "last " + LocalTimeText(t).substr(0, 10) : std::string("never");
  };
  if (f.releaseTestDue) parts.push_back("release test due (" + last(f.lastReleaseTest) + ")");
  if (f.selfTestDue) parts.push_back("self test due (" + last(f.lastSelfTest) + ")");
  if (f.selfTestFailed) parts.push_back("self test failed last time (result " + std::to_string(f.selfTestResult) + ")");
  char b[120];
  if (f.batteryPastThreshold) {
    std::snprintf(b, sizeof b, "battery %.0f%% used (threshold %d%%)", f.batteryUsedPercent, s.batteryPercent);
    parts.push_back(b);
  } else if (f.batteryHeadingThere) {
    std::snprintf(b, sizeof b, "battery %.0f%% used, %d%% in about %.0f days", f.batteryUsedPercent, s.batteryPercent,
                  f.batteryDaysToThreshold);
    parts.push_back(b);
  }
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : "; ") + p;
  return out;
}

void PrintDue(const std::vector<UnitFlags>& due, const HistorySettings& s, const CliOptions& o, std::FILE* out) {
  if (!o.json) {
    for (const UnitFlags& f : due)
      std::fprintf(out, "%s  %s  %s\n", UnitHex(f.unitId).c_str(), Plain(f.serial).c_str(), FlagsText(f, s).c_str());
    return;
  }
  std::fputs("[", out);
  for (size_t i = 0; i < due.size(); ++i) {
    const UnitFlags& f = due[i];
    auto flag = [](bool b) { return b ? "true" : "false"; };
    std::fprintf(out,
                 "%s{\"unit\": %s, \"serial\": %s, \"lastVisit\": %s, \"releaseTestDue\": %s, \"lastReleaseTest\": %s, "
                 "\"selfTestDue\": %s, \"lastSelfTest\": %s, \"selfTestFailed\": %s, \"selfTestResult\": %d, "
                 "\"batteryUsedPercent\": %.1f, \"batteryPastThreshold\": %s, \"batteryHeadingThere\": %s, "
                 "\"batteryDaysToThreshold\": %.1f}",
                 i ? ",\n " : "\n ", Json(UnitHex(f.unitId)).c_str(), Json(f.serial).c_str(),
                 Json(TimeText(f.lastVisit)).c_str(), flag(f.releaseTestDue), Json(TimeText(f.lastReleaseTest)).c_str(),
                 flag(f.selfTestDue), Json(TimeText(f.lastSelfTest)).c_str(), flag(f.selfTestFailed), f.selfTestResult,
                 f.batteryUsedPercent, flag(f.batteryPastThreshold), flag(f.batteryHeadingThere),
                 f.batteryDaysToThreshold);
  }
  std::fputs(due.empty() ? "]\n" : "\n]\n", out);
}

// A visit's number from its text (#12 or 12); why not, when it is not one.
std::string ToVisit(const std::string& text, int64_t& v) {
  const std::string_view number = std::string_view(text).substr(text.size() > 1 && text[0] == '#' ? 1 : 0);
  const std::optional<int64_t> n = textnum::WholeInt(number, INT64_MIN, INT64_MAX);
  if (!n) return "a visit is its number, as history shows it (#12 or 12): " + text + " is not one";
  if (*n < 1 || *n == INT64_MAX) return "visit " + text + " is out of range: visits are numbered from 1, as history shows them";
  v = *n;
  return {};
}

// history --check: SQLite's integrity check of the whole file, and what it found.
int CheckHistory(HistoryStore& store, std::FILE* result, std::FILE* messages) {
  const std::vector<std::string> found = store.Check();
  const std::string where = file_ops::PathText(store.File());
  if (store.ReadFailed() && store.state() != HistoryStore::State::Damaged) {  // in use, or the disk
    std::fprintf(messages, "velmoor-cli: %s\n", store.Message().c_str());
    return ex::kBadFile;
  }
  if (found.size() == 1 && found[0] == "ok") {
    std::fprintf(result, "%s: ok (SQLite's integrity check found no problem)\n", where.c_str());
    return ex::kDone;
  }
  std::fprintf(result, "%s: damaged; SQLite's integrity check found:\n", where.c_str());
  for (const std::string& problem : found) {
    // A problem's text may run over several lines.
    for (size_t at = 0, end; at <= problem.size(); at = end + 1) {
      end = std::min(problem.find('\n', at), problem.size());
      if (end > at) std::fprintf(result, "  %s\n", Plain(problem.substr(at, end - at)).c_str());
    }
  }
  return ex::kBadFile;
}

// The dates and visits the command names; the usage exit code when one is not a date or a visit.
struct Span {
  std::optional<DateTime> since;
  std::optional<int64_t> from, to;
};
int ReadSpan(const CliOptions& o, Span& span, std::FILE* messages) {
  if (!o.since.empty()) {
    span.since = DateTime::FromText(o.since);
    if (!span.since) {
      std::fprintf(messages, "velmoor-cli: --since needs a date, YYYY-MM-DD or YYYY-MM-DD HH:MM:SS (UTC)\n");
      return ex::kUsage;
    }
    if (span.since->value > DateTime::NowUtc().value) {
      std::fprintf(messages, "velmoor-cli: --since %s is in the future: no visit can be at or after it\n",
                   o.since.c_str());
      return ex::kUsage;
    }
  }
  if (o.command == "diff" && o.args.size() == 3) {
    int64_t a = 0, b = 0;
    std::string why = ToVisit(o.args[1], a);
    if (why.empty()) why = ToVisit(o.args[2], b);
    if (!why.empty()) {
      std::fprintf(messages, "velmoor-cli: %s\n", why.c_str());
      return ex::kUsage;
    }
    span.from = a, span.to = b;
  }
  return ex::kDone;
}

// The read of history, diff or due over an open history and, when one is set, the site.
class HistoryRead {
 public:
  HistoryRead(const CliOptions& o, HistoryStore& store, const SiteChoice& site, std::FILE* result,
              std::FILE* messages)
      : o_(o), store_(store), site_(site), result_(result), messages_(messages) {}

  // With a site set, every bench's visits, from the site; when it cannot be read, this PC's own,
  // saying so.
  void ChooseSite() {
    if (!site_.set) return;
    const SiteProblem p = site_.problem ? site_.problem : server_.Connect(site_.setting);
    if (p) OwnInstead(p);
    else fromSite_ = true;
  }

  int Due() {
    std::vector<UnitFlags> due;
    if (fromSite_) {
      // The site's, with this PC's events not yet sent taken in.
      if (const SiteProblem p = SiteDue(server_, store_, site_.setting.conninfo, ToUnixMs(DateTime::NowUtc()), due))
        OwnInstead(p);
    }
    if (!fromSite_) due = store_.Due(DateTime::NowUtc());
    if (Unreadable(store_)) return ex::kBadFile;
    PrintDue(due, store_.settings, o_, result_);
    std::fflush(result_);
    return ex::kDone;
  }

  // history or diff of the unit the command names.
  int OfUnit(const Span& span) {
    HistoryStore mirror;
    HistoryStore* reader = &store_;
    std::optional<int32_t> unit;
    if (fromSite_) {
      if (const SiteProblem p = ReadSiteUnit(server_, o_.args[0], store_, site_.setting.conninfo, mirror, unit))
        OwnInstead(p);
      else reader = &mirror;
    }
    if (!fromSite_) unit = store_.FindUnit(o_.args[0]);
    if (Unreadable(store_)) return ex::kBadFile;
    if (!unit) {
      std::fprintf(messages_, "velmoor-cli: no unit %s in %s\n", o_.args[0].c_str(),
                   fromSite_ ? ("the site's history (" + site_.setting.shown + ")").c_str()
                             : ("the history " + file_ops::PathText(store_.File())).c_str());
      return ex::kRefused;
    }
    return o_.command == "history" ? Visits(*reader, *unit, span) : Diff(*reader, *unit, span);
  }

 private:
  int Visits(HistoryStore& reader, int32_t unit, const Span& span) {
    const std::vector<HistoryEvent> visits = reader.Visits(unit, span.since);
    if (Unreadable(reader)) return ex::kBadFile;
    VisitReadings readings;
    if (o_.json || o_.csv)
      for (HistoryStore::OutboxEvent& r : reader.Readings(unit))
        if (r.hasState) readings.emplace(r.event.id, std::make_pair(std::move(r.state), r.read));
    if (Unreadable(reader)) return ex::kBadFile;
    PrintVisits(visits, readings, o_, result_);
    std::fflush(result_);
    return ex::kDone;
  }

  int Diff(HistoryStore& reader, int32_t unit, const Span& span) {
    const StatusDiff d = reader.Diff(unit, span.from, span.to);
    if (Unreadable(reader)) return ex::kBadFile;
    if (!d.found) {
      std::fprintf(messages_, "velmoor-cli: %s\n",
                   span.from ? "those visits are not status reads of this unit"
                             : "the unit has fewer than two status reads to compare");
      return ex::kRefused;
    }
    PrintDiff(d, unit, o_, result_);
    std::fflush(result_);
    return ex::kDone;
  }

  // A read that failed part-way is no answer: exit code 4, never a short or empty list.
  bool Unreadable(const HistoryStore& s) {
    if (!s.ReadFailed()) return false;
    std::fprintf(messages_, "velmoor-cli: %s\n", s.Message().c_str());
    return true;
  }

  void OwnInstead(const SiteProblem& p) {
    std::fprintf(messages_, "velmoor-cli: %s\nvelmoor-cli: showing this PC's own history instead\n",
                 p.message.c_str());
    fromSite_ = false;
  }

  const CliOptions& o_;
  HistoryStore& store_;
  const SiteChoice& site_;
  std::FILE* result_;
  std::FILE* messages_;
  SiteServer server_;
  bool fromSite_ = false;
};

}  // namespace

bool IsHistoryCommand(const std::string& c) { return c == "history" || c == "diff" || c == "due"; }

int RunHistoryCommand(const CliOptions& o, std::FILE* result, std::FILE* messages) {
  if (o.noHistory) {
    std::fprintf(messages, "velmoor-cli: --no-history leaves no history to show\n");
    return ex::kUsage;
  }
  Span span;
  if (const int refused = ReadSpan(o, span, messages); refused != ex::kDone) return refused;

  // Only read: nothing is made, imported or changed, and a file this user may not write is read
  // where it is.
  const SessionSettings settings = CliSessionSettings(o);
  HistoryStore store;
  if (!store.Open(settings.historyFile, HistoryStore::Access::Read)) {
    std::fprintf(messages, "velmoor-cli: %s\n", store.Message().c_str());
    return ex::kBadFile;
  }
  if (o.check) return CheckHistory(store, result, messages);
  HistoryRead read(o, store, settings.site, result, messages);
  read.ChooseSite();
  return o.command == "due" ? read.Due() : read.OfUnit(span);
}
