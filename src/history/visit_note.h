// What the window tells of a unit's history in words: the status line's note after a status
// read ("12 fields changed since 2026-11-30 14:02 UTC (bench-2); release test due"), the flags as
// short texts, and the battery's used capacity over time with the limits it is judged by.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace history {

// The flags that are raised, each as a short text ("release test due", "battery 85% used, past
// 80%", ...), in a fixed order; none when nothing is due.
std::vector<std::string> FlagTexts(const UnitFlags& flags, const HistorySettings& settings);

// How many fields changed between the unit's last two status reads, when (local time with its
// zone) and on which bench the earlier one was, and its flags as of now, from the unit's dossier
// (the site's when a site is set, so that it says what the dossier shows). "first status read of
// this unit" when there is only one; empty when the dossier has no visits.
std::string SinceLastVisitNote(const Dossier& dossier, const HistorySettings& settings);
// The same from this PC's store alone; empty when the store is not open or does not know the unit.
std::string SinceLastVisitNote(HistoryStore& store, int32_t unitId, DateTime now);

// The battery's used capacity in percent at each battery count of the dossier, reckoned as the
// status report reckons it (the count against the capacity of the unit's latest battery type and
// stacks); no points when the capacity is not known.
FieldSeries BatteryUsedSeries(const Dossier& dossier);

// A line a chart draws across a series: a limit the unit is judged by.
struct SeriesLimit {
  std::string label;
  double value = 0;
};
// The limits of a series of the dossier (its element name, or "BatteryUsed"): the battery's
// capacity and the used share that calls for a new battery.
std::vector<SeriesLimit> LimitsOf(const std::string& element, const Dossier& dossier, const HistorySettings& settings);

}  // namespace history
