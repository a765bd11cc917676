// The check report of one unit and of every unit of the current-status file, from status
// files written by the terminal itself and by hand.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "records/check_report.h"
#include "tests/support/test_bench.h"

namespace {

DateTime At(int y, int mo, int d, int h = 21, int mi = 59) { return DateTime::FromCivil({y, mo, d, h, mi, 0}); }

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

struct CheckReportTest : ::testing::Test {
  // A unit with identity 0x1A2B3C at address 12 channel 7, firmware new enough for the
  // acoustic check, status read on 4 December 2026 at 21:59.
  UnitStatus Unit(int32_t id = 0x1A2B3C, int32_t address = 12, int32_t channel = 7) {
    UnitStatus s;
    s.UnitId = id;
    s.Address = address;
    s.Channel = channel;
    s.T7V = "V3.12.4 12/03/2021";
    return s;
  }
  void SaveCurrent(const UnitStatus& s, const StatusChecks& c) {
    b.unit->status.currentStatus = s;
    b.unit->status.currentChecks = c;
    ASSERT_TRUE(b.unit->SaveCurrentEntry());
  }
  void SaveNew(const UnitStatus& s, const StatusChecks& c) {
    b.unit->status.requiredStatus = s;
    b.unit->status.requiredChecks = c;
    ASSERT_TRUE(b.unit->SaveNewEntry());
  }
  StatusChecks ReadOn(DateTime t = At(2026, 12, 4)) {
    StatusChecks c;
    c.LastStatusTime = t;
    return c;
  }
  UnitOnBench b;
};

TEST_F(CheckReportTest, NeverTestedUnitInTheCurrentFileOnly) {
  SaveCurrent(Unit(), ReadOn());
  EXPECT_EQ(b.unit->FileStatusReport(),
            "Unit 1A2B3C (1207)\r\n"
            "   Update NOT required\r\n"
            "   Current status 4 Dec 2026  21:59\r\n"
            "   No Acoustic check\r\n"
            "   Depth Offset NOT set\r\n"
            "   No Self test\r\n"
            "   No Release check\r\n");
  // Without the unit line: no indentation.
  EXPECT_EQ(b.unit->CheckReport(0x1A2B3C, false).substr(0, 21), "Update NOT required\r\n");
}

TEST_F(CheckReportTest, PassesAndTheAppliedUpdate) {
  StatusChecks c = ReadOn();
  c.CI1Result = 1;
  c.CI1Time = At(2026, 12, 5, 8, 30);
  c.DepthOffsetTime = At(2026, 12, 5, 9, 0);
  c.HardwareResult = 8;  // only the bit of 8: a pass
  c.HardwareTime = At(2026, 12, 5, 9, 5);
  c.ReleaseResult = 0;
  c.ReleaseTime = At(2026, 12, 5, 9, 10);
  SaveCurrent(Unit(), c);
  StatusChecks applied;
  applied.UpdatedResult = 1;
  applied.UpdatedTime = At(2026, 12, 6, 7, 1);
  SaveNew(Unit(), applied);
  EXPECT_EQ(b.unit->CheckReport(0x1A2B3C, true),
            "Unit 1A2B3C (1207)\r\n"
            "   Updated 6 Dec 2026  07:01\r\n"
            "   Current status 4 Dec 2026  21:59\r\n"
            "   Acoustic check passed 5 Dec 2026  08:30\r\n"
            "   Depth Offset set 5 Dec 2026  09:00\r\n"
            "   Self test passed 5 Dec 2026  09:05\r\n"
            "   Release passed 5 Dec 2026  09:10\r\n");
}

TEST_F(CheckReportTest, FailuresAndAPendingUpdate) {
  StatusChecks c = ReadOn();
  c.CI1Result = 0;
  c.CI1Time = At(2026, 12, 5, 8, 30);
  c.HardwareResult = 9;
  c.HardwareTime = At(2026, 12, 5, 9, 5);
  c.ReleaseResult = 3;
  c.ReleaseTime = At(2026, 12, 5, 9, 10);
  SaveCurrent(Unit(), c);
  SaveNew(Unit(), StatusChecks{});
  EXPECT_EQ(b.unit->CheckReport(0x1A2B3C, true),
            "Unit 1A2B3C (1207)\r\n"
            "   ******** Update required ********\r\n"
            "   Current status 4 Dec 2026  21:59\r\n"
            "   Acoustic check FAIL 5 Dec 2026  08:30\r\n"
            "   Depth Offset NOT set\r\n"
            "   Self test FAIL error 9  5 Dec 2026  09:05\r\n"
            "   Release FAIL 3  5 Dec 2026  09:10\r\n");
}

TEST_F(CheckReportTest, TimesUpToTheYear2000CountAsNever) {
  StatusChecks c = ReadOn();
  c.ReleaseResult = 0;
  c.ReleaseTime = At(1999, 6, 1);
  c.HardwareResult = 0;
  c.HardwareTime = At(2000, 12, 31, 23, 59);
  c.DepthOffsetTime = At(2001, 1, 1, 0, 0);
  SaveCurrent(Unit(), c);
  const std::string report = b.unit->CheckReport(0x1A2B3C, true);
  EXPECT_NE(report.find("   No Release check\r\n"), std::string::npos);
  EXPECT_NE(report.find("   No Self test\r\n"), std::string::npos);
  EXPECT_NE(report.find("   Depth Offset set 1 Jan 2001  00:00\r\n"), std::string::npos);
  EXPECT_TRUE(NeverDone(DateTime::Zero()));
  EXPECT_TRUE(NeverDone(DateTime{45000.0, false}));
}

TEST(AcousticCheckFirmware, FromVersionOnePointOneJ) {
  EXPECT_FALSE(AcousticCheckAvailable("V1.1H"));
  EXPECT_TRUE(AcousticCheckAvailable("V1.1J"));
  EXPECT_TRUE(AcousticCheckAvailable("V1.1k 01/02/99"));  // lower case counts as upper
  EXPECT_TRUE(AcousticCheckAvailable("V1.2A"));
  EXPECT_TRUE(AcousticCheckAvailable("V2.0"));
  EXPECT_FALSE(AcousticCheckAvailable("V1.0Z"));
  EXPECT_FALSE(AcousticCheckAvailable("V0.9"));
  EXPECT_FALSE(AcousticCheckAvailable("1.2A"));  // no "V"
  EXPECT_FALSE(AcousticCheckAvailable(""));
  EXPECT_FALSE(AcousticCheckAvailable("V1.1"));  // no letter: its last character, '1', sorts before J
  EXPECT_TRUE(AcousticCheckAvailable("Main  V 1.10"));
}

TEST_F(CheckReportTest, OldFirmwareHasNoAcousticCheck) {
  UnitStatus s = Unit();
  s.T7V = "V1.1H";
  StatusChecks c = ReadOn();
  c.CI1Result = 1;
  c.CI1Time = At(2026, 12, 5);
  SaveCurrent(s, c);
  EXPECT_NE(b.unit->CheckReport(0x1A2B3C, true).find("   Acoustic check not available\r\n"), std::string::npos);
}

TEST_F(CheckReportTest, UnitOnlyInTheNewStatusFile) {
  SaveNew(Unit(0x0000FF, 3, 12), StatusChecks{});
  EXPECT_EQ(b.unit->CheckReport(0xFF, true),
            "Unit 0000FF (312)\r\n"
            "   ******** Update required ********\r\n"
            "   NO Current status\r\n"
            "   No acoustic check\r\n"
            "   Depth Offset NOT set\r\n"
            "   No Hardware check\r\n"
            "   No Release check\r\n");
}

TEST_F(CheckReportTest, IdentityWithALeadingZeroIsReportedButNotFound) {
  WriteText(b.unit->paths.CurrentStatusFile(),
            "<Velmoors><Velmoor><General><UnitId>4660</UnitId><Address>1</Address><Channel>5</Channel></General>"
            "<Checks><LastStatusTime>2026-12-04 21:59:00</LastStatusTime></Checks></Velmoor>"
            "<Velmoor><General><UnitId>00123</UnitId><Address>9</Address><Channel>9</Channel></General></Velmoor>"
            "</Velmoors>");
  const std::string report = b.unit->FileStatusReport();
  // Unit 123 is not found under "123": its unit line is made from what the last load left.
  EXPECT_NE(report.find("Unit 00007B (105)\r\n   Update NOT required\r\n"), std::string::npos);
  EXPECT_EQ(report.substr(report.find("Unit 00007B")), "Unit 00007B (105)\r\n   Update NOT required\r\n");
}

TEST_F(CheckReportTest, ReportOverAllUnitsAgreesWithTheReportOfEachUnit) {
  // Units in both files, in one only, a duplicate identity, pending and applied updates.
  StatusChecks c = ReadOn();
  c.HardwareResult = 17;
  c.HardwareTime = At(2026, 12, 5);
  SaveCurrent(Unit(1), c);
  SaveCurrent(Unit(2, 3, 4), ReadOn(At(2026, 11, 1)));
  SaveCurrent(Unit(3, 5, 6), ReadOn(At(2026, 10, 1)));
  SaveNew(Unit(2), StatusChecks{});
  StatusChecks applied;
  applied.UpdatedResult = 1;
  applied.UpdatedTime = At(2026, 12, 7);
  SaveNew(Unit(3), applied);
  SaveNew(Unit(77), StatusChecks{});
  std::string text;
  {
    std::ifstream in(b.unit->paths.CurrentStatusFile(), std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // A second element for unit 2, later in the file: the later one is read.
  const size_t at = text.rfind("</Velmoors>");
  ASSERT_NE(at, std::string::npos);
  text.insert(at,
              "<Velmoor><General><UnitId>2</UnitId><Address>14</Address><Channel>2</Channel></General></Velmoor>");
  WriteText(b.unit->paths.CurrentStatusFile(), text);

  const std::string all = b.unit->FileStatusReport();
  std::string each;
  for (int32_t id : {1, 2, 3, 2}) each += b.unit->CheckReport(id, true);
  EXPECT_EQ(all, each);
  EXPECT_NE(all.find("Unit 000002 (1402)"), std::string::npos);
  EXPECT_NE(all.find("   Self test FAIL error 17  5 Dec 2026  21:59\r\n"), std::string::npos);
  EXPECT_EQ(all.find("Unit 00004D"), std::string::npos);  // only in the new-status file
}

TEST_F(CheckReportTest, ReportReadsTheFilesAsTheyStandWhenItStarts) {
  SaveCurrent(Unit(1), ReadOn());
  EXPECT_EQ(b.unit->FileStatusReport().find("Unit 000002"), std::string::npos);
  // Another terminal records a second unit and a pending update.
  {
    ScriptedOperator op;
    CTransponder other(b.bench.port, op, b.unit->paths);
    other.status.currentStatus = Unit(2, 3, 4);
    other.status.currentChecks = ReadOn();
    other.SaveCurrentEntry();
    other.status.requiredStatus = Unit(1);
    other.status.requiredChecks = StatusChecks{};
    other.SaveNewEntry();
  }
  const std::string report = b.unit->FileStatusReport();
  EXPECT_NE(report.find("Unit 000002 (304)"), std::string::npos);
  EXPECT_NE(report.find("Unit 000001 (1207)\r\n   ******** Update required ********"), std::string::npos);
}

TEST_F(CheckReportTest, NoFilesGiveAnEmptyReport) {
  EXPECT_EQ(b.unit->FileStatusReport(), "");
  EXPECT_EQ(b.unit->CheckReport(5, false), "Update NOT required\r\n");
}

}  // namespace
