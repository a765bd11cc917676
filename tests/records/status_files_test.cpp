// The terminal's two status files: loading and saving a unit's entry, the reload before each
// operation, the time source and the list of stored units.
#include <gtest/gtest.h>

#include "tests/records/records_support.h"

using namespace records_test;

namespace {
std::string Unit(int id, int address, int channel) {
  return "<Velmoor><General><UnitId>" + std::to_string(id) + "</UnitId><Address>" + std::to_string(address) +
         "</Address><Channel>" + std::to_string(channel) + "</Channel></General></Velmoor>";
}

}  // namespace

TEST(StatusFiles, SavingAppendsANewUnitAndThenReplacesItInPlace) {
  Terminal t;
  WriteFile(t.Current(), "<Velmoors>" + Unit(1, 1, 1) + "</Velmoors>");
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
  EXPECT_EQ(text.find(Unit(1, 1, 1)), strlen("<Velmoors>")) << "the other unit stays first and as it was";
  unit.records.storedStatus = UnitStatus::Fresh();
  ASSERT_TRUE(unit.LoadCurrentEntry(1193046));
  EXPECT_EQ(unit.records.storedStatus.Address, 13);
  EXPECT_EQ(unit.records.storedChecks.LastStatusTime, At(2026, 1, 2, 3, 4, 5));
  EXPECT_TRUE(t.op.boxes.empty());
  EXPECT_EQ(FolderListing(t.Folder()), (std::vector<std::string>{"Current-Status.xml"})) << "no temporary left";
}

TEST(StatusFiles, TheNewStatusFileKeepsTheRequiredStatus) {
  Terminal t;
  CTransponder& unit = t.Start();
  unit.status.requiredStatus.UnitId = 4660;
  unit.status.requiredStatus.CPU = 3;
  unit.status.requiredChecks.UpdatedResult = 1;
  unit.status.requiredChecks.UpdatedTime = At(2026, 5, 6, 7, 8, 9);
  EXPECT_TRUE(unit.SaveNewEntry());
  EXPECT_FALSE(fs::exists(t.Current()));
  ASSERT_TRUE(unit.LoadNewEntry(4660));
  EXPECT_EQ(unit.records.storedStatus.CPU, 3);
  EXPECT_EQ(unit.records.storedChecks.UpdatedResult, 1);
  EXPECT_FALSE(unit.LoadCurrentEntry(4660));

  // A failed load leaves the staging entry as the last success left it.
  EXPECT_FALSE(unit.LoadNewEntry(-1));
  EXPECT_FALSE(unit.LoadNewEntry(5));
  EXPECT_EQ(unit.records.storedStatus.UnitId, 4660);
  EXPECT_EQ(unit.records.storedStatus.CPU, 3);
}

TEST(StatusFiles, AUnitWithoutIdentityNeitherReadsNorWritesTheFile) {
  Terminal t;
  CTransponder& unit = t.Start();
  // Damage the file only now: reading it would tell the operator.
  WriteFile(t.Current(), "not xml");
  unit.records.storedStatus.CPU = 6;
  EXPECT_FALSE(unit.LoadCurrentEntry(-1));
  EXPECT_TRUE(t.op.boxes.empty()) << "the file was not read";
  EXPECT_EQ(unit.records.storedStatus.CPU, 6);

  fs::remove(t.Current());
  unit.status.currentStatus = UnitStatus::Fresh();
  EXPECT_TRUE(unit.SaveCurrentEntry());
  EXPECT_FALSE(fs::exists(t.Current())) << "nothing to write, so no file is made";
  WriteFile(t.Current(), "<Velmoors>" + Unit(1, 1, 1) + "</Velmoors>\n");
  EXPECT_TRUE(unit.SaveCurrentEntry());
  EXPECT_EQ(ReadFile(t.Current()), "<Velmoors>" + Unit(1, 1, 1) + "</Velmoors>\n") << "left exactly as it was";
}

TEST(StatusFiles, ChangesMadeByOtherProgramsBetweenOperationsArePickedUp) {
  Terminal t;
  CTransponder& unit = t.Start();
  unit.status.currentStatus.UnitId = 1193046;
  unit.status.currentStatus.Address = 12;
  ASSERT_TRUE(unit.SaveCurrentEntry());
  ASSERT_TRUE(unit.LoadCurrentEntry(1193046));

  // Another program changes one digit (the file keeps its size) and adds a unit.
  std::string text = ReadFile(t.Current());
  size_t at = text.find("<Address>12</Address>");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 21, "<Address>42</Address>");
  WriteFile(t.Current(), text);
  ASSERT_TRUE(unit.LoadCurrentEntry(1193046));
  EXPECT_EQ(unit.records.storedStatus.Address, 42);

  text = ReadFile(t.Current());
  text.insert(text.size() - strlen("</Velmoors>"), Unit(77, 7, 7));
  WriteFile(t.Current(), text);
  unit.status.currentStatus.CPU = 5;
  ASSERT_TRUE(unit.SaveCurrentEntry());
  text = ReadFile(t.Current());
  EXPECT_NE(text.find("<UnitId>77</UnitId>"), std::string::npos) << "the other program's unit is kept";
  EXPECT_NE(text.find("<Address>12</Address>"), std::string::npos) << "our unit is written as we hold it";
  EXPECT_NE(text.find("<CPU>5</CPU>"), std::string::npos);

  // Replaced whole by another file.
  WriteFile(t.Current(), "<Velmoors>" + Unit(88, 8, 8) + "</Velmoors>");
  EXPECT_FALSE(unit.LoadCurrentEntry(1193046));
  std::vector<std::string> lines;
  EXPECT_EQ(unit.ListStoredUnits(lines), 1);
  EXPECT_EQ(lines, (std::vector<std::string>{"000058  Address  808"}));
}

TEST(StatusFiles, LoadingTheCurrentEntryNamesItselfInTheBusyWindow) {
  Terminal t;
  CTransponder& unit = t.Start();
  unit.LoadCurrentEntry(5);
  unit.LoadNewEntry(5);
  EXPECT_TRUE(t.op.busyCaptions.empty()) << "no caption while the busy window is hidden";
  unit.ShowBusy();
  unit.LoadCurrentEntry(5);
  unit.LoadNewEntry(5);
  unit.LoadCurrentEntry(-1);
  EXPECT_EQ(t.op.busyCaptions, (std::vector<std::string>{"Getting current status", "Getting current status"}));
}

TEST(StatusFiles, CheckTimesComeFromTheUtcClock) {
  Terminal t;
  CTransponder& unit = t.Start();
  unit.utcNow = [] { return At(2026, 12, 4, 21, 59, 0); };
  EXPECT_EQ(unit.NowUtc(), At(2026, 12, 4, 21, 59, 0));
  unit.utcNow = nullptr;
  DateTime now = unit.NowUtc();
  EXPECT_GT(now.value, At(2020, 1, 1, 0, 0, 0).value);
  EXPECT_TRUE(now.valid);
}

TEST(StatusFiles, TheStoredUnitsListReadsTheFileAsItNowStands) {
  Terminal t;
  WriteFile(t.Current(), "<Velmoors>" + Unit(1193046, 12, 3) + "</Velmoors>");
  CTransponder& unit = t.Start();
  std::vector<std::string> lines{"stale"};
  EXPECT_EQ(unit.ListStoredUnits(lines), 1);
  EXPECT_EQ(lines, (std::vector<std::string>{"123456  Address 1203"}));
  WriteFile(t.Current(), "<Velmoors>" + Unit(1193046, 12, 3) + Unit(4660, 1, 5) + "</Velmoors>");
  EXPECT_EQ(unit.ListStoredUnits(lines), 2);
  EXPECT_EQ(lines[1], "001234  Address  105");
  fs::remove(t.Current());
  EXPECT_EQ(unit.ListStoredUnits(lines), 0) << "reopened afresh: a missing file lists nothing";
}
