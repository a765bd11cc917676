// The status text report and its helpers, compared with the texts exactly as the reply pane
// and the test report show them.
#include <gtest/gtest.h>

#include <tuple>

#include "status/status_report.h"
#include "tests/support/test_bench.h"

namespace {

TEST(StatusReport, WidebandUnitWholeReport) {
  UnitStatus s;
  s.TypeNo = "7815", s.Band = "MF", s.TdrType = "30deg", s.FunctionLevel = 0x2C;
  s.UnitId = 0x1A2B3C, s.SerialNo = "002345-007";
  s.Address = 12, s.Channel = 7, s.HPRms = 3, s.HPRls = 4;
  s.Voltage = 14.62f, s.Type = "Lithium", s.BatteryStacks = 2, s.Count = 58, s.T7V = "V3.12.4 12/03/2021";
  s.Enabled = "WDD", s.WideBandEnabled = 1, s.AltCIFChannel = 14, s.CIFReplyCHannel = 99, s.Tat = 12.5f, s.RxGain = 4;
  s.CPU = s.CPJ = s.CPT = s.CPS = s.CPL = s.CPA = 3;
  s.CWTIndex = 3, s.CWRIndex = 2, s.CWCIndex = 1, s.BlockIndex = 4, s.DetectThreshold = 125, s.LinearGain = 240;
  s.DaughterCardFitted = 1, s.DcardDraw = "7815-520", s.DcardIss = "B", s.Dcard = "V4.20";
  s.EndcapSerial = "EC-10442", s.Das = "V1.07", s.Fitted = 0x0104;
  EXPECT_EQ(StatusReportText(s),
            "Type 7815   MF 30deg  Wideband\r\nUnit ID 1A2B3C(hex)  Serial No 002345-007\r\n"
            "Address 1207   HPR 34\r\nBatt 14.6V 29% used\r\n   Lithium 2 stacks  Count 58\r\n"
            "Firmware V3.12.4 12/03/2021\r\nInterrogate CIS14  Reply IRS\r\nTAT 12.50 ms  Rx gain 4\r\nCPA 3\r\n"
            "CWT 3  CWR 2  CWC 1  Block 4\r\nFunction level 2c\r\nDaughter card 7815-520 B fitted\r\n"
            "Firmware V4.20\r\nDetect threshold 12.5\r\nLinear gain linked to CG\r\n"
            "Endcap serial number EC-10442\r\nDas firmware V1.07\r\n DQZ REL\r\n");
}

TEST(StatusReport, BatteryUsedCountsAHundredPerLithiumStackAndOneFiftyPerAlkaline) {
  // Battery type, stacks and count, and the share used.
  const std::tuple<const char*, int32_t, int32_t, double> cases[] = {
      {"Lithium", 2, 58, 29.0}, {"Alkaline 9V", 2, 60, 20.0}, {"NiMH", 2, 58, -1.0}, {"Lithium", 2, 0, -1.0}};
  for (const auto& [type, stacks, count, used] : cases) {
    UnitStatus s;
    s.Type = type, s.BatteryStacks = stacks, s.Count = count;
    EXPECT_DOUBLE_EQ(BatteryUsedPercent(s), used) << type << " " << count;
  }
}

TEST(InterrogateLine, ByModeAndEnableStatus) {
  // Wideband mode, enable status, interrogation and reply channels, channel; the line.
  const std::tuple<int32_t, const char*, int32_t, int32_t, int32_t, const char*> cases[] = {
      {0, "EDD", 15, 16, 0, "Interrogate CRF  Reply CIF\r\n"},
      {0, "ED", 15, 16, 0, "Interrogate CRF  Reply CIF\r\n"},  // two letters: the third mode is off
      {0, "DED", 15, 16, 7, "Interrogate 7  Reply CRF\r\n"},
      {0, "DED", 15, 99, 7, "Interrogate 7  Reply IRS\r\n"},
      {0, "DDD", 15, 16, 0, "Disabled tone\r\n"},
      {0, "EEE", 15, 16, 0, "Interrogation/Reply status unknown\r\n"},
      {0, "DDE", 15, 16, 0, "Interrogate HPR B34\r\n"},
      {-1, "DDE", 15, 16, 0, "Interrogate HPR B34\r\n"},  // the HPR line does not depend on the mode
      {1, "WDD", 16, 16, 0, "Interrogate CIS00  Reply IRS\r\n"},
      {1, "WDD", 7, 16, 0, "Interrogate CIS07  Reply IRS\r\n"},
      {1, "DWD", 7, 16, 0, "Interrogate IIS  Reply CRS03\r\n"},  // address 19: 19 mod 16
      {1, "DD", 7, 16, 0, "Disabled wideband\r\n"},
      {1, "EDD", 7, 16, 0, "Interrogation/Reply status unknown\r\n"},
      {2, "EDD", 7, 16, 0, ""},
  };
  for (const auto& [wideband, enabled, alt, reply, channel, line] : cases) {
    UnitStatus s;
    s.WideBandEnabled = wideband, s.Enabled = enabled, s.AltCIFChannel = alt, s.CIFReplyCHannel = reply;
    s.Channel = channel, s.Address = 19, s.HPRms = 3, s.HPRls = 4;
    EXPECT_EQ(InterrogateText(s), line) << wideband << " " << enabled;
  }
}

TEST(ReportHelpers, SelfTestAndDateTexts) {
  UnitStatus s;
  // Bit 8 alone is no failure.
  for (int32_t code : {0, 8})
    EXPECT_EQ(SelfTestText(code, s), "Hardware self test passed\r\nRX 1,2,3,4,5,6 OK\r\nTX OK\r\n");
  s.DaughterCardFitted = 1;
  EXPECT_EQ(SelfTestText(0xF7, s),
            "Hardware self test failed error code 247\r\nTX coil overheat warning\r\nRX error!\r\nTX error!\r\n"
            "Wideband RX check failed\r\nEEPROM error\r\nOne wire error\r\nRTC RAM error\r\n");
  EXPECT_EQ(SelfTestText(0x08 | 0x80, s),
            "Hardware self test failed error code 136\r\nTX coil overheat warning\r\nRX 1,2,3,4,5,6 OK\r\nTX OK\r\n"
            "Wideband RX check OK\r\n");

  EXPECT_EQ(DateText(At(2026, 3, 6, 14, 5, 0)), "6 Mar 2026  14:05");
  DateTime huge;
  huge.value = 1e300;
  EXPECT_EQ(DateText(huge), "0 ??? 0  00:00");
}

}  // namespace
