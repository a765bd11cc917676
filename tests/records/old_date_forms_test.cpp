// The date-times the earlier Windows terminal wrote into status files are read, so a migrated
// unit's history is not shown as never; only the project's own form is written.
#include <gtest/gtest.h>

#include <string>

#include "tests/records/records_support.h"

namespace {
using records_test::ReadFile;
using records_test::WriteFile;

TEST(OldDateForms, ReadBesideTheProjectsOwn) {
  const struct {
    const char* text;
    std::optional<DateTime> expected;
  } cases[] = {
      {"2026-12-04 21:59:07", At(2026, 12, 4, 21, 59, 7)},
      {"04/12/2026 21:59", At(2026, 12, 4, 21, 59, 0)},
      {"04/12/2026 21:59:07", At(2026, 12, 4, 21, 59, 7)},
      {"4.12.2026 9:05:30", At(2026, 12, 4, 9, 5, 30)},
      {"04.12.2026", At(2026, 12, 4, 0, 0, 0)},
      {"12/4/2026 9:05 PM", At(2026, 12, 4, 21, 5, 0)},
      {"12/4/2026 12:00:01 am", At(2026, 12, 4, 0, 0, 1)},
      {"12/4/2026 12:30 PM", At(2026, 12, 4, 12, 30, 0)},
      {"13/12/2026 10:00", At(2026, 12, 13, 10, 0, 0)},
      {"13/12/2026 10:00 AM", std::nullopt},  // no thirteenth month
      {"12/4/2026 13:05 PM", std::nullopt},
      {"04.12.2026 9:05 PM", std::nullopt},  // the marker goes with the slash form only
      {"04/12/26 21:59", std::nullopt},
      {"04-12-2026 21:59", std::nullopt},
      {"31/04/2026 10:00", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(DateTime::FromText(c.text), c.expected);
  }
}

TEST(OldDateForms, AnOldFileShowsItsTimesAndIsRewrittenInTheProjectsForm) {
  const auto dir = FreshTempDir("olddates");
  const auto file = dir / "T7Status" / "Current-Status.xml";
  WriteFile(file,
            "<Velmoors><Velmoor><General><UnitId>77</UnitId></General><Checks>"
            "<LastStatusTime>3/6/2026 2:05:09 PM</LastStatusTime><CI1Time>06.03.2026 14:05</CI1Time>"
            "</Checks></Velmoor></Velmoors>");
  CStatusXml doc;
  ASSERT_EQ(doc.Load(file).outcome, CStatusXml::LoadOutcome::Loaded);
  StatusEntry e = doc.ReadUnit("77");
  EXPECT_EQ(e.checks.LastStatusTime, At(2026, 3, 6, 14, 5, 9));
  EXPECT_EQ(e.checks.CI1Time, At(2026, 3, 6, 14, 5, 0));
  e.status.UnitId = 77;
  doc.WriteUnit(e.checks, e.status);
  ASSERT_TRUE(doc.Save(file).saved);
  const std::string text = ReadFile(file);
  EXPECT_NE(text.find("<LastStatusTime>2026-03-06 14:05:09</LastStatusTime>"), std::string::npos);
  EXPECT_NE(text.find("<CI1Time>2026-03-06 14:05:00</CI1Time>"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
