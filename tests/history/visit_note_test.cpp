// The status line's note of a unit's last visit and the battery's used capacity, read back from a
// real store.
#include <gtest/gtest.h>

#include "history/visit_note.h"
#include "tests/history/history_support.h"
#include "tests/support/test_bench.h"

using namespace history;

namespace {

UnitStatus Unit(float volts, int32_t count) {
  UnitStatus s = AUnit(0x1A2B3C);
  s.Voltage = volts, s.Count = count, s.BatteryStacks = 2;  // 200 counts
  return s;
}

}  // namespace

TEST(VisitNote, CountsChangesSinceThePreviousReadAndNamesItsBench) {
  const auto dir = FreshTempDir("visit-note");
  HistoryStore store;
  ASSERT_TRUE(store.Open(dir / "h.sqlite")) << store.Message();
  const DateTime now = DateTime::FromCivil({2026, 12, 7, 9, 0, 0});
  EXPECT_EQ(SinceLastVisitNote(store, 0x1A2B3C, now), "");  // not in the history

  AppendRead(store, Unit(14.5f, 20), DateTime::FromCivil({2026, 11, 2, 8, 0, 0}), {}, "bench-1");
  EXPECT_EQ(SinceLastVisitNote(store, 0x1A2B3C, now),
            "first status read of this unit; release test due; self test due");

  AppendRead(store, Unit(14.5f, 20), DateTime::FromCivil({2026, 11, 30, 14, 2, 40}), {}, "bench-2");
  EXPECT_EQ(SinceLastVisitNote(store, 0x1A2B3C, now),
            "nothing changed since 2026-11-02 08:00 UTC (bench-1); release test due; self test due");

  AppendRead(store, Unit(14.1f, 170), DateTime::FromCivil({2026, 12, 7, 8, 30, 0}), {}, "bench-1");
  EXPECT_EQ(SinceLastVisitNote(store, 0x1A2B3C, now),
            "2 fields changed since 2026-11-30 14:02 UTC (bench-2); release test due; self test due; "
            "battery 85% used, past 80%");

  // The count's limits as the status report reckons them: 200 counts for two lithium stacks.
  const std::vector<SeriesLimit> limits = LimitsOf("Count", store.LoadDossier(0x1A2B3C, now), store.settings);
  ASSERT_EQ(limits.size(), 2u);
  EXPECT_DOUBLE_EQ(limits[0].value, 160.0);
  EXPECT_DOUBLE_EQ(limits[1].value, 200.0);
  store.Close();
  std::filesystem::remove_all(dir);
}
