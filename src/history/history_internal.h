// What the history's files share: the fields' texts as JSON, and which fields go where.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_store.h"

namespace history {

bool IsDateField(int field);
bool IsChecksField(int field);
// Whether a field is listed among the differences between two visits.
bool ComparedInDiff(int field);
// A field's text as a value of its series; nothing for a value that was not read.
std::optional<double> SeriesValue(int field, const std::string& text);

// A JSON object of the named fields ("Voltage": "12.30", ...), every value a string.
std::string FieldsJson(const FieldTexts& texts, const std::vector<int>& which);
std::string FieldsJson(const FieldTexts& texts);
// Sets the fields an object names (unknown names are passed over); false when it does not parse.
bool ApplyFieldsJson(std::string_view json, FieldTexts& texts, std::vector<int>* changed = nullptr);
void AppendJsonString(std::string& out, std::string_view text);

// A unit's identity from its hex text ("12D687", with or without 0x).
std::optional<int32_t> UnitIdOfHex(std::string_view hex);

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
