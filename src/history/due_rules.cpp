#include "history/due_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "history/history_fields.h"
#include "platform/text_numbers.h"
#include "platform/time_ops.h"

namespace history {

namespace {

constexpr int64_t kMsPerDay = 86400000;

// A time from a field's text; 0 for none, and for the year 2000 or earlier (never, as the check
// report has it).
int64_t MsOfText(const std::string& text) {
  if (text.empty()) return 0;
  auto t = DateTime::FromText(text);
  if (!t || t->ToCivil().year <= 2000) return 0;
  return ToUnixMs(*t);
}

int64_t NumberOf(const std::string& text, int64_t otherwise) {
  if (text.empty()) return otherwise;
  return textnum::WholeInt(text, INT64_MIN, INT64_MAX).value_or(otherwise);
}

const std::string& Field(const FieldTexts& t, const char* element) {
  static const std::string kNone;
  auto i = FieldIndex(element);
  return i ? t[static_cast<size_t>(*i)] : kNone;
}

// The battery's capacity in counts: a Lithium stack is worth 100, an Alkaline stack 150.
int64_t CapacityOf(const FieldTexts& t) {
  const std::string& type = Field(t, "Type");
  const int64_t stacks = NumberOf(Field(t, "BatteryStacks"), -1);
  if (stacks <= 0) return 0;
  if (type.find("Lithium") != std::string::npos) return stacks * 100;
  if (type.find("Alkaline") != std::string::npos) return stacks * 150;
  return 0;
}

// A hardware self test passes with result 0; bit 3 alone is no failure (as the check report has it).
bool SelfTestFailed(int64_t result) { return result != -1 && (result & ~int64_t{8}) != 0; }

}  // namespace

StateFacts FactsOf(const FieldTexts& state) {
  StateFacts f;
  f.serial = Field(state, "SerialNo");
  f.releaseMs = MsOfText(Field(state, "ReleaseTime"));
  f.selfTestMs = MsOfText(Field(state, "HardwareTime"));
  f.selfTestResult = NumberOf(Field(state, "HardwareResult"), -1);
  f.capacity = CapacityOf(state);
  return f;
}

std::optional<int64_t> BatteryCountOf(const FieldTexts& state) {
  const int64_t c = NumberOf(Field(state, "Count"), -1);
  if (c < 0) return std::nullopt;
  return c;
}

namespace {
// The local calendar day of a moment, as a day number.
int64_t LocalDay(int64_t ms) {
  const CivilTime c = time_ops::LocalAt(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
  return static_cast<int64_t>(std::floor(DateTime::FromCivil({c.year, c.month, c.day, 0, 0, 0}).value));
}
}  // namespace

bool DueOn(int64_t lastMs, int days, int64_t nowMs) {
  // Never done: due. Otherwise due from the start of the (local) day on which the interval
  // ends: a unit on the bench that morning is due, not only from the hour of the last test.
  if (lastMs <= 0) return true;
  const int64_t endMs = lastMs + int64_t{days} * kMsPerDay;
  if (nowMs >= endMs) return true;
  // The local calendar is asked only within a day of the end (no zone is a day or more off UTC).
  return endMs - nowMs < kMsPerDay && LocalDay(nowMs) >= LocalDay(endMs);
}

UnitFlags FlagsOf(const UnitRow& r, const HistorySettings& set, int64_t nowMs, const RateReference& reference) {
  UnitFlags f;
  f.unitId = r.unitId;
  f.serial = r.serial;
  f.lastVisit = FromUnixMs(r.lastMs);
  f.selfTestResult = static_cast<int32_t>(r.selfTestResult);
  if (r.releaseMs > 0) f.lastReleaseTest = FromUnixMs(r.releaseMs);
  if (r.selfTestMs > 0) f.lastSelfTest = FromUnixMs(r.selfTestMs);
  f.releaseTestDue = DueOn(r.releaseMs, set.releaseTestDays, nowMs);
  f.selfTestDue = DueOn(r.selfTestMs, set.selfTestDays, nowMs);
  f.selfTestFailed = r.selfTestMs > 0 && SelfTestFailed(r.selfTestResult);
  if (r.capacity > 0 && r.count >= 0) {
    f.batteryUsedPercent = double(r.count) * 100.0 / double(r.capacity);
    f.batteryPastThreshold = f.batteryUsedPercent >= set.batteryPercent;
    if (!f.batteryPastThreshold) {
      // The rate: from the battery count read at least the rate span before the latest.
      if (const auto ref = reference(r.countMs - int64_t{set.batteryRateDays} * kMsPerDay)) {
        const auto [refCount, refMs] = *ref;
        const double days = double(r.countMs - refMs) / double(kMsPerDay);
        if (r.count > refCount && days > 0) {
          const double perDay = double(r.count - refCount) / days;
          const double left = double(set.batteryPercent) * double(r.capacity) / 100.0 - double(r.count);
          // Counted from the latest reading, as of now.
          const double daysLeft = left / perDay - double(nowMs - r.countMs) / double(kMsPerDay);
          if (daysLeft <= set.batteryHorizonDays) {
            f.batteryHeadingThere = true;
            f.batteryDaysToThreshold = std::max(0.0, daysLeft);
          }
        }
      }
    }
  }
  return f;
}

}  // namespace history
