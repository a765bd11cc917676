// The check report of one unit and of every unit of the current-status file, from status
// files written by the terminal itself and by hand.
#include <gtest/gtest.h>

#include "records/check_report.h"
#include "tests/records/records_support.h"

namespace {

TEST(CheckReport, PassesAndTheAppliedUpdate) {
  UnitOnBench b;
  // A unit with identity 0x1A2B3C at address 12 channel 7, firmware new enough for the
  // acoustic check, status read on 4 December 2026 at 21:59.
  UnitStatus& s = b.unit->status.currentStatus;
  s.UnitId = 0x1A2B3C, s.Address = 12, s.Channel = 7, s.T7V = "V3.12.4 12/03/2021";
  StatusChecks& c = b.unit->status.currentChecks;
  c.LastStatusTime = At(2026, 12, 4, 21, 59, 0);
  c.CI1Result = 1, c.CI1Time = At(2026, 12, 5, 8, 30, 0);
  c.DepthOffsetTime = At(2026, 12, 5, 9, 0, 0);
  c.HardwareResult = 8, c.HardwareTime = At(2026, 12, 5, 9, 5, 0);  // only the bit of 8: a pass
  c.ReleaseResult = 0, c.ReleaseTime = At(2026, 12, 5, 9, 10, 0);
  ASSERT_TRUE(b.unit->SaveCurrentEntry());
  b.unit->status.requiredStatus = s;
  b.unit->status.requiredChecks.UpdatedResult = 1;
  b.unit->status.requiredChecks.UpdatedTime = At(2026, 12, 6, 7, 1, 0);
  ASSERT_TRUE(b.unit->SaveNewEntry());
  EXPECT_EQ(b.unit->CheckReport(0x1A2B3C, true),
            "Unit 1A2B3C (1207)\r\n   Updated 6 Dec 2026  07:01\r\n   Current status 4 Dec 2026  21:59\r\n"
            "   Acoustic check passed 5 Dec 2026  08:30\r\n   Depth Offset set 5 Dec 2026  09:00\r\n"
            "   Self test passed 5 Dec 2026  09:05\r\n   Release passed 5 Dec 2026  09:10\r\n");
}

TEST(CheckReport, AUnitNeverReadHasItsUnknownAddressAndNothingDone) {
  // An entry that holds the unit's identity only, as another program prepares one.
  UnitOnBench b;
  records_test::WriteFile(b.unit->paths.CurrentStatusFile(),
                          "<Velmoors><Velmoor><General><UnitId>123</UnitId></General></Velmoor></Velmoors>");
  EXPECT_EQ(b.unit->CheckReport(123, true),
            "Unit 00007B (-1-1)\r\n   Update NOT required\r\n   Current status 30 Dec 1899  00:00\r\n"
            "   Acoustic check not available\r\n   Depth Offset NOT set\r\n   No Self test\r\n   No Release check\r\n");
}

TEST(AcousticCheckFirmware, FromVersionOnePointOneJ) {
  // Lower case counts as upper; "1.2A" has no "V"; "V1.1" has no letter, and its last
  // character, '1', sorts before J.
  const std::pair<const char*, bool> cases[] = {{"V1.1H", false}, {"V1.1J", true},       {"V1.1k 01/02/99", true},
                                                {"V1.2A", true},  {"V2.0", true},        {"V1.0Z", false},
                                                {"V0.9", false},  {"1.2A", false},       {"", false},
                                                {"V1.1", false},  {"Main  V 1.10", true}};
  for (const auto& [version, available] : cases) EXPECT_EQ(AcousticCheckAvailable(version), available) << version;
}

}  // namespace
