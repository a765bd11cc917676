// The status record's fresh values, the reading variant and whole-record copies.
#include <gtest/gtest.h>

#include <string>

#include "status/unit_status.h"

namespace {

TEST(UnitStatusRecord, FreshValues) {
  const UnitStatus s = UnitStatus::Fresh();
  EXPECT_EQ(s.UnitId, -1);
  EXPECT_EQ(s.DataFormat, -1);
  EXPECT_EQ(s.Tat, -1.0f);
  EXPECT_EQ(s.Voltage, -1.0f);
  EXPECT_EQ(s.DepthOffset, -9999.0f);
  EXPECT_EQ(s.PressureFullScale, -1.0f);
  EXPECT_EQ(s.FunctionLevel, 0);
  EXPECT_EQ(s.Fitted, 0xFFFFFFFFu);
  EXPECT_EQ(s.GenericFormat, -1);
  EXPECT_TRUE(s.SerialNo.empty());
  EXPECT_TRUE(s.String1.empty());
  EXPECT_TRUE(s.String2.empty());
  EXPECT_TRUE(s.Enabled.empty());
  EXPECT_EQ(UnitStatus::ForReading().Fitted, 0u);
  EXPECT_EQ(UnitStatus::ForReading().UnitId, -1);

  const StatusChecks c = StatusChecks::Fresh();
  EXPECT_EQ(c.UpdatedResult, 0);
  EXPECT_EQ(c.LastStatusTime, DateTime::Zero());
  EXPECT_EQ(c.DepthOffsetValue, -1.0f);
  EXPECT_EQ(c.HardwareResult, -1);
  EXPECT_EQ(c.ReleaseResult, -1);
}

TEST(UnitStatusRecord, CapacitiesKeepTheTerminatorAndCopiesAreWhole) {
  EXPECT_EQ(decltype(UnitStatus::SerialNo)::Capacity(), 20u);
  EXPECT_EQ(decltype(UnitStatus::TypeNo)::Capacity(), 40u);
  EXPECT_EQ(decltype(UnitStatus::DcardIss)::Capacity(), 5u);
  EXPECT_EQ(decltype(UnitStatus::Type)::Capacity(), 15u);
  EXPECT_EQ(decltype(UnitStatus::Enabled)::Capacity(), 10u);
  EXPECT_EQ(decltype(UnitStatus::String1)::Capacity(), 1000u);

  UnitStatus a;
  a.String1 = std::string(2000, 'a');
  a.String2 = std::string(999, 'b');
  a.BattIss = "ABCDEFG";
  EXPECT_EQ(a.String1.size(), 999u);
  EXPECT_EQ(a.BattIss, "ABCD");
  UnitStatus b;
  b = a;
  EXPECT_EQ(b.String1.view(), std::string(999, 'a'));
  EXPECT_EQ(b.String2.view(), std::string(999, 'b'));
  a.String1 = "changed";
  EXPECT_EQ(b.String1.size(), 999u);
}

}  // namespace
