// The unit history store against its targets: recording an event (< 1 ms), a unit of 1,000
// visits listed (< 50 ms) and its dossier loaded (< 100 ms), Due() over 10,000 units of 100
// visits each (< 500 ms) in a file under 1 GB, and the import of a 10,000-unit status file
// (< 5 s). Prints each figure over its target; exits 1 when a ratio is 1 or more.
// bench_history [UNITS [VISITS]] sets the size of the large store (default 10000 100).
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "bench/bench_units.h"
#include "history/history_fields.h"
#include "history/record_outcome.h"

#include "bench/bench_clock.h"

namespace {

namespace fs = std::filesystem;
using namespace history;
double lastCpuMs = 0;  // the CPU time of the step just measured, set by the caller

bool failed = false;
void Figure(const char* what, double measured, double target, const char* unit) {
  const double ratio = measured / target;
  std::printf("%-52s %10.3f %s / %7.1f %s = %.3f   (CPU %.3f ms)\n", what, measured, unit, target, unit, ratio,
              lastCpuMs);
  std::fflush(stdout);
  if (ratio >= 1.0) failed = true;
}

// Visit v of unit i: the unit's status as read then (battery running down, its count rising,
// its clock in the information reply), with a self test and a release test every tenth visit
// (every fourth of those failing).
struct Visit {
  UnitStatus status;
  StatusChecks checks;
  DateTime time;
};
Visit VisitOf(int i, int v) {
  Visit r;
  StatusEntry e = RealisticEntry(i);
  r.time = DateTime::FromCivil({2020, 1, 1, 8, 0, 0});
  r.time.value += v * 7.0 + (i % 1000) / 1000.0;
  r.status = e.status;
  r.status.Count = 5 + v;
  r.status.Voltage = 15.0f - 0.01f * float(v % 300);
  char clock[64];
  std::snprintf(clock, sizeof clock, "\\\\/Clock %s\\\\/", r.time.ToText().c_str());
  r.status.String2.Append(clock);
  r.checks = e.checks;
  r.checks.LastStatusTime = r.time;
  const int tested = v - v % 10;
  r.checks.HardwareTime = r.checks.ReleaseTime = DateTime{r.time.value - (v - tested) * 7.0, true};
  r.checks.HardwareResult = tested % 40 == 0 ? 2 : 0;
  r.checks.ReleaseResult = 0;
  return r;
}

HistoryContext Context() {
  HistoryContext c;
  c.bench = "Bench 3";
  c.operatorName = "technician";
  c.terminal = "velmoor-cli 3.0.12";
  c.logFile = "/home/technician/Dranmere/T7Status/logs/2026-12-07.log";
  c.durationMs = 4100;
  return c;
}

void Record(HistoryStore& store, int unit, int visit) {
  const Visit v = VisitOf(unit, visit);
  HistoryEvent ev = EventOf(Context(), MakeOutcome(OutcomeKind::Done, "General Status"), v.status, "");
  ev.time = v.time;
  ev.statusRead = true;
  const FieldTexts t = TextsOf(v.checks, v.status);
  if (!store.Append(ev, &t)) {
    std::fprintf(stderr, "append failed: %s\n", store.Message().c_str());
    std::exit(2);
  }
}

template <class F>
double Best(int rounds, F&& f) {
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    const auto t0 = Clock::now();
    const double c0 = CpuMs();
    f();
    const double ms = MsSince(t0);
    if (ms < best) best = ms, lastCpuMs = CpuMs() - c0;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int units = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int visits = argc > 2 ? std::atoi(argv[2]) : 100;
  const fs::path dir = fs::temp_directory_path() / ("vt-bench-history-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);

  {  // 1. Recording: RecordOutcome as an operation ends, each event its own transaction.
    HistoryStore store;
    if (!store.Open(dir / "record.sqlite")) return std::printf("%s\n", store.Message().c_str()), 2;
    const int n = 2000;
    const auto t0 = Clock::now();
    const double c0 = CpuMs();
    for (int k = 0; k < n; ++k) {
      const Visit v = VisitOf(k % 50, k / 50);
      RecordOutcome(store, Context(), MakeOutcome(OutcomeKind::Done, "General Status"), v.status, v.checks, true);
    }
    const double ms = MsSince(t0);
    lastCpuMs = (CpuMs() - c0) / n;
    Figure("recording an event (RecordOutcome, mean of 2,000)", ms / n, 1.0, "ms");
  }

  // 2. The large store: units x visits, written visit round by visit round (so each unit's events
  // lie spread over the file), and one unit of 1,000 visits among them.
  const fs::path big = dir / "large.sqlite";
  HistoryStore store;
  if (!store.Open(big)) return std::printf("%s\n", store.Message().c_str()), 2;
  const int heavy = units;  // the unit of 1,000 visits
  // Written in batches without waiting for the disk (the benchmark's own set-up, not a figure).
  sqlite3_exec(store.Db(), "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
  const auto t0 = Clock::now();
  int heavyVisits = 0;
  for (int v = 0; v < visits; ++v) {
    sqlite3_exec(store.Db(), "BEGIN", nullptr, nullptr, nullptr);
    for (int i = 0; i < units; ++i) Record(store, i, v);
    for (int k = 0; k < 1000 / visits + (v < 1000 % visits); ++k) Record(store, heavy, heavyVisits++);
    sqlite3_exec(store.Db(), "COMMIT", nullptr, nullptr, nullptr);
  }
  const double writeMs = MsSince(t0);
  sqlite3_exec(store.Db(), "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
  const double events = double(units) * visits + heavyVisits;
  std::printf("large store: %.0f events written in %.1f s (%.3f ms each, batched)\n", events, writeMs / 1000,
              writeMs / events);
  const double bytes = double(fs::file_size(big));
  lastCpuMs = 0;
  Figure("file size, per million events", bytes / events * 1e6 / 1048576.0, 1024.0, "MB");

  const int32_t heavyId = 0x100000 + heavy;
  size_t listed = 0;
  const double listMs = Best(5, [&] { listed = store.Visits(heavyId).size(); });
  std::printf("unit of %zu visits:\n", listed);
  Figure("  listing its history (Visits)", listMs, 50.0, "ms");
  Dossier d;
  const double dossierMs = Best(5, [&] { d = store.LoadDossier(heavyId, DateTime::NowUtc()); });
  const double dossierCpu = lastCpuMs;
  Figure("  loading its dossier (LoadDossier)", dossierMs, 100.0, "ms");
  // The unit's state read field by field (what each event read, checks by their own times)
  // against the dossier as it was read before: the visits, every event's stored changes applied
  // in order into whole states, the series and the last two reads' differences taken from
  // those, the flags.
  const double plainMs = Best(5, [&] {
    auto visits = store.Visits(heavyId);
    sqlite3_stmt* q = nullptr;
    // Each event's columns read with its changes, as the visits' were.
    sqlite3_prepare_v2(store.Db(),
                       "SELECT status_read, at_ms, fields, id, uid, unit_id, serial, bench, operator, terminal,"
                       " action, outcome, reason, failed_readers, differences, file, file_sha256, records_sent,"
                       " records_total, duration_ms, test_result, command, reply, log_file, imported"
                       " FROM events WHERE unit_id = ?1 AND fields IS NOT NULL ORDER BY id",
                       -1, &q, nullptr);
    sqlite3_bind_int64(q, 1, heavyId);
    FieldTexts state;
    std::vector<std::pair<bool, FieldTexts>> states;
    std::vector<std::string> columns;
    while (sqlite3_step(q) == SQLITE_ROW) {
      ApplyFieldsJson(reinterpret_cast<const char*>(sqlite3_column_text(q, 2)), state);
      states.emplace_back(sqlite3_column_int(q, 0) != 0, state);
      columns.clear();
      for (int c = 3; c < 25; ++c) {
        const unsigned char* t = sqlite3_column_text(q, c);
        columns.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
      }
    }
    sqlite3_finalize(q);
    std::vector<double> points;
    for (const std::string& name : SeriesFields()) {
      const int i = *FieldIndex(name);
      for (const auto& [read, texts] : states)
        if (read)
          if (auto v = SeriesValue(i, texts[size_t(i)])) points.push_back(*v);
    }
    const FieldTexts* last[2] = {nullptr, nullptr};
    for (auto it = states.rbegin(); it != states.rend() && !last[1]; ++it)
      if (it->first) (last[0] ? last[1] : last[0]) = &it->second;
    size_t changed = 0;
    if (last[1])
      for (int i = 0; i < kFieldCount; ++i) changed += (*last[0])[size_t(i)] != (*last[1])[size_t(i)];
    store.Flags(heavyId, DateTime::NowUtc());
    return points.size() + changed + visits.size();
  });
  const double plainCpu = lastCpuMs;
  std::printf("  the dossier read as before (whole states replayed): %.3f ms (CPU %.3f ms)\n", plainMs, plainCpu);
  // On a loaded machine the wall times wait for a core; the CPU times are the work itself.
  lastCpuMs = 0;
  Figure("  the dossier's merged state over the dossier as before (CPU)", dossierCpu / plainCpu, 1.2, "x");
  size_t due = 0;
  // A month after the last round of visits.
  const DateTime now{DateTime::FromCivil({2020, 1, 1, 8, 0, 0}).value + visits * 7.0 + 30.0, true};
  const double dueMs = Best(3, [&] { due = store.Due(now).size(); });
  std::printf("Due() over %d units: %zu flagged\n", units + 1, due);
  Figure("  Due()", dueMs, 500.0, "ms");
  store.Close();

  {  // 3. The import of a status file of 10,000 units into an empty store.
    const fs::path xml = dir / "Current-Status.xml";
    CStatusXml doc;
    for (int i = 0; i < 10000; ++i) {
      const StatusEntry e = RealisticEntry(i);
      doc.WriteUnit(e.checks, e.status);
    }
    doc.Save(xml);
    HistoryStore fresh;
    fresh.Open(dir / "import.sqlite");
    int imported = 0;
    const auto t1 = Clock::now();
    const double c1 = CpuMs();
    imported = fresh.ImportStatusFile(xml);
    const double importMs = MsSince(t1);
    lastCpuMs = CpuMs() - c1;
    std::printf("import of %d units (%.1f MB status file):\n", imported, double(fs::file_size(xml)) / 1048576.0);
    Figure("  ImportStatusFile", importMs / 1000.0, 5.0, "s");
  }
  fs::remove_all(dir);
  return failed ? 1 : 0;
}
