// What is due for a unit: its release test and hardware self test by their age, a failed self
// test, and its battery by the capacity used and the rate it is used at. The local store and the
// site judge their units by these same rules.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "history/history_store.h"

namespace history {

// What a unit's whole state says for its due flags: its serial number, the times of its last
// release test and self test (0: never), the self test's result and the battery's capacity in
// counts (0: not known).
struct StateFacts {
  std::string serial;
  int64_t releaseMs = 0, selfTestMs = 0, selfTestResult = -1, capacity = 0;
};
StateFacts FactsOf(const FieldTexts& state);
// The battery count a status read carries, when it carries one.
std::optional<int64_t> BatteryCountOf(const FieldTexts& state);

// One unit's summary, as the local store and the site both keep it (times in UTC milliseconds).
struct UnitRow {
  int32_t unitId = -1;
  std::string serial;
  int64_t lastMs = 0, releaseMs = 0, selfTestMs = 0, selfTestResult = -1;
  int64_t count = -1, countMs = 0, capacity = 0, capacityMs = 0;
};
// The battery count read last at or before a time, and when: (count, ms).
using RateReference = std::function<std::optional<std::pair<int64_t, int64_t>>(int64_t atOrBeforeMs)>;
// Whether a check done at lastMs (0: never) is due again as of nowMs, days after it: from the
// start of the local day on which that interval ends.
bool DueOn(int64_t lastMs, int days, int64_t nowMs);
// What is due for the unit as of nowMs.
UnitFlags FlagsOf(const UnitRow& row, const HistorySettings& settings, int64_t nowMs, const RateReference& reference);

}  // namespace history
