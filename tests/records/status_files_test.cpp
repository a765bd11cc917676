// The terminal's two status files: loading and saving a unit's entry, the reload before each
// operation, the time source and the list of stored units.
#include <gtest/gtest.h>

#include "tests/records/records_support.h"

using namespace records_test;

TEST(StatusFiles, SavingAppendsANewUnitReplacesItInPlaceAndOtherProgramsChangesArePickedUp) {
  Terminal t;
  WriteFile(t.Current(), "<Velmoors>" + UnitXml(1, 1, 1) + "</Velmoors>");
  CTransponder& unit = t.Start();
  unit.status.currentStatus.UnitId = 1193046;
  unit.status.currentStatus.Address = 12;
  unit.status.currentChecks.LastStatusTime = At(2026, 1, 2, 3, 4, 5);
  EXPECT_TRUE(unit.SaveCurrentEntry());
  EXPECT_EQ(unit.records.storedStatus.Address, 12) << "the save stages the entry";
  unit.status.currentStatus.Address = 13;
  unit.status.currentChecks.LastStatusTime = DateTime::Zero();
  EXPECT_TRUE(unit.SaveCurrentEntry());

  std::string text = ReadFile(t.Current());
  EXPECT_EQ(Count(text, "<Velmoor>"), 2u);
  EXPECT_EQ(text.find(UnitXml(1, 1, 1)), strlen("<Velmoors>")) << "the other unit stays first and as it was";
  unit.records.storedStatus = UnitStatus::Fresh();
  ASSERT_TRUE(unit.LoadCurrentEntry(1193046));
  EXPECT_EQ(unit.records.storedStatus.Address, 13);
  EXPECT_EQ(unit.records.storedChecks.LastStatusTime, At(2026, 1, 2, 3, 4, 5));

  // Changes other programs make between operations are picked up. One digit changed: the file
  // keeps its size. (Units that other programs add are kept by the next save: the shared-folder
  // tests show it.)
  const size_t at = text.find("<Address>13</Address>");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 21, "<Address>42</Address>");
  WriteFile(t.Current(), text);
  ASSERT_TRUE(unit.LoadCurrentEntry(1193046));
  EXPECT_EQ(unit.records.storedStatus.Address, 42);

  // Replaced whole by another file.
  WriteFile(t.Current(), "<Velmoors>" + UnitXml(88, 8, 8) + "</Velmoors>");
  EXPECT_FALSE(unit.LoadCurrentEntry(1193046));
  std::vector<std::string> lines;
  EXPECT_EQ(unit.ListStoredUnits(lines), 1);
  EXPECT_EQ(lines, (std::vector<std::string>{"000058  Address  808"}));
}
