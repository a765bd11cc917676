#include "history/visit_note.h"

#include <cmath>
#include <cstdlib>

#include "history/unit_state.h"
#include "status/status_report.h"

namespace history {

namespace {

std::string Percent(double v) { return std::to_string(static_cast<long long>(std::lround(v))) + "%"; }

// "2026-11-30 15:02 UTC+01:00": local time with its zone; the minute is enough for the status line.
std::string Minute(const DateTime& t) { return LocalTimeText(t); }

const std::string& Latest(const Dossier& d, const char* element) {
  static const std::string kNone;
  for (int i = 0; i < kFieldCount; ++i)
    if (std::string_view(FieldGroup(i)) == "Battery" && std::string_view(FieldName(i)) == element)
      return d.latest[static_cast<size_t>(i)];
  return kNone;
}

// The battery's capacity in counts, as the status report reckons it; 0 when not known.
double CapacityCounts(const Dossier& d) {
  UnitStatus s;
  s.Type = Latest(d, "Type");
  s.BatteryStacks = std::atoi(Latest(d, "BatteryStacks").c_str());
  s.Count = 1000000;
  const double used = BatteryUsedPercent(s);
  return used > 0 ? 1000000.0 * 100.0 / used : 0;
}

}  // namespace

std::vector<std::string> FlagTexts(const UnitFlags& f, const HistorySettings& set) {
  std::vector<std::string> t;
  if (f.releaseTestDue) t.push_back("release test due");
  if (f.selfTestDue) t.push_back("self test due");
  if (f.selfTestFailed) t.push_back("self test failed last time");
  const std::string threshold = Percent(set.batteryPercent);
  if (f.batteryPastThreshold) {
    t.push_back("battery " + Percent(f.batteryUsedPercent) + " used, past " + threshold);
  } else if (f.batteryHeadingThere) {
    t.push_back("battery reaches " + threshold + " used in " +
                std::to_string(static_cast<long long>(std::ceil(f.batteryDaysToThreshold))) + " days");
  }
  return t;
}

std::string SinceLastVisitNote(const Dossier& d, const HistorySettings& settings) {
  if (d.visits.empty()) return {};
  std::string note;
  if (!d.lastDiff.found) {
    note = "first status read of this unit";
  } else {
    const size_t n = d.lastDiff.changes.size();
    note = n == 0 ? std::string("nothing changed") : std::to_string(n) + (n == 1 ? " field" : " fields") + " changed";
    note += " since " + Minute(d.lastDiff.fromTime);
    for (const HistoryEvent& ev : d.visits)
      if (ev.id == d.lastDiff.from && !ev.bench.empty()) note += " (" + ev.bench + ")";
  }
  for (const std::string& flag : FlagTexts(d.flags, settings)) note += "; " + flag;
  return note;
}

std::string SinceLastVisitNote(HistoryStore& store, int32_t unitId, DateTime now) {
  if (!store.IsOpen() || unitId < 0 || !store.Flags(unitId, now)) return {};
  return SinceLastVisitNote(store.LoadDossier(unitId, now), store.settings);
}

FieldSeries BatteryUsedSeries(const Dossier& dossier) {
  FieldSeries used{"BatteryUsed", {}};
  const double capacity = CapacityCounts(dossier);
  if (capacity <= 0) return used;
  for (const FieldSeries& s : dossier.series) {
    if (s.element != "Count") continue;
    for (SeriesPoint p : s.points) {
      p.value = p.value * 100.0 / capacity;
      used.points.push_back(p);
    }
  }
  return used;
}

std::vector<SeriesLimit> LimitsOf(const std::string& element, const Dossier& dossier, const HistorySettings& set) {
  if (element == "BatteryUsed") {
    return {{"new battery at " + Percent(set.batteryPercent), double(set.batteryPercent)}, {"capacity", 100.0}};
  }
  const double capacity = CapacityCounts(dossier);
  if (element == "Count" && capacity > 0) {
    return {{"new battery at " + Percent(set.batteryPercent), capacity * set.batteryPercent / 100.0},
            {"capacity", capacity}};
  }
  return {};
}

}  // namespace history
