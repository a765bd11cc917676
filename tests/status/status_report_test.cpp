// The status text report and its helpers, compared with the texts exactly as the reply pane
// and the test report show them.
#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "status/status_report.h"

namespace {

UnitStatus Wideband() {
  UnitStatus s;
  s.TypeNo = "7815";
  s.Band = "MF";
  s.TdrType = "30deg";
  s.FunctionLevel = 0x2C;
  s.UnitId = 0x1A2B3C;
  s.SerialNo = "002345-007";
  s.Address = 12;
  s.Channel = 7;
  s.HPRms = 3;
  s.HPRls = 4;
  s.Voltage = 14.62f;
  s.Type = "Lithium";
  s.BatteryStacks = 2;
  s.Count = 58;
  s.T7V = "V3.12.4 12/03/2021";
  s.Enabled = "WDD";
  s.WideBandEnabled = 1;
  s.AltCIFChannel = 14;
  s.CIFReplyCHannel = 99;
  s.Tat = 12.5f;
  s.RxGain = 4;
  s.CPU = s.CPJ = s.CPT = s.CPS = s.CPL = s.CPA = 3;
  s.CWTIndex = 3;
  s.CWRIndex = 2;
  s.CWCIndex = 1;
  s.BlockIndex = 4;
  s.DaughterCardFitted = 1;
  s.DcardDraw = "7815-520";
  s.DcardIss = "B";
  s.Dcard = "V4.20";
  s.DetectThreshold = 125;
  s.LinearGain = 240;
  s.EndcapSerial = "EC-10442";
  s.Das = "V1.07";
  s.Fitted = 0x0104;
  return s;
}

TEST(StatusReport, FreshRecord) {
  const UnitStatus s;
  EXPECT_EQ(IdentityText(s),
            "Type     \r\nUnit ID FFFFFFFF(hex)  Serial No \r\nAddress -1-1   HPR -1-1\r\n"
            "Batt -1.0V -1% used\r\n    -1 stacks  Count -1\r\nFirmware \r\n");
  EXPECT_EQ(InterrogateText(s), "");
  EXPECT_EQ(TimingPowerText(s),
            "TAT -1.00 ms  Rx gain -1\r\nCPU -1  CPJ -1  CPT -1  CPS -1  CPL -1\r\n"
            "CWT -1  CWR -1  CWC -1  Block -1\r\nFunction level 00\r\n");
  EXPECT_EQ(DaughterCardText(s), "");
  EXPECT_EQ(VersionsSensorsText(s),
            "Endcap serial number \r\nDas firmware \r\n"
            " PRT STR DQZ COND SQI INCL XINCL XSTR REL STR SV SV HRP SDQZ XGNPW QRNI\r\n");
}

TEST(StatusReport, WidebandUnitWholeReport) {
  EXPECT_EQ(StatusReportText(Wideband()),
            "Type 7815   MF 30deg  Wideband\r\n"
            "Unit ID 1A2B3C(hex)  Serial No 002345-007\r\n"
            "Address 1207   HPR 34\r\n"
            "Batt 14.6V 29% used\r\n"
            "   Lithium 2 stacks  Count 58\r\n"
            "Firmware V3.12.4 12/03/2021\r\n"
            "Interrogate CIS14  Reply IRS\r\n"
            "TAT 12.50 ms  Rx gain 4\r\n"
            "CPA 3\r\n"
            "CWT 3  CWR 2  CWC 1  Block 4\r\n"
            "Function level 2c\r\n"
            "Daughter card 7815-520 B fitted\r\n"
            "Firmware V4.20\r\n"
            "Detect threshold 12.5\r\n"
            "Linear gain linked to CG\r\n"
            "Endcap serial number EC-10442\r\n"
            "Das firmware V1.07\r\n"
            " DQZ REL\r\n");
}

TEST(StatusReport, BatteryFlagsAndResponder) {
  UnitStatus s = Wideband();
  s.Warning = 1;
  s.Override = 1;
  s.ExternalSync = 1;
  EXPECT_NE(IdentityText(s).find("Batt 14.6V 29% used Warn OV\r\n"), std::string::npos);
  EXPECT_NE(TimingPowerText(s).find("Function level 2c\r\nResponder enabled\r\n"), std::string::npos);
  s.FunctionLevel = 0x0C;
  EXPECT_EQ(IdentityText(s).substr(0, 22), "Type 7815   MF 30deg\r\n");
}

TEST(StatusReport, PowerLineCommonOrSeparate) {
  UnitStatus s = Wideband();
  s.CPA = 0;
  s.CPU = 0;
  s.CPL = 0;
  EXPECT_NE(TimingPowerText(s).find("CPU 0  CPJ 3  CPT 3  CPS 3  CPL 0\r\n"), std::string::npos);
  s.CPA = 5;
  EXPECT_NE(TimingPowerText(s).find("\r\nCPA 5\r\n"), std::string::npos);
}

TEST(StatusReport, DaughterCardGainLines) {
  UnitStatus s = Wideband();
  s.LinearGain = 255;
  EXPECT_NE(DaughterCardText(s).find("Detect threshold 12.5\r\nLinear gain Auto\r\n"), std::string::npos);
  s.LinearGain = 100;
  EXPECT_NE(DaughterCardText(s).find("Linear gain 100\r\n"), std::string::npos);
  s.DaughterCardFitted = 0;
  EXPECT_EQ(DaughterCardText(s), "");
}

TEST(StatusReport, GenericFormatAndNoSensors) {
  UnitStatus s = Wideband();
  s.GenericFormat = 0;
  s.Fitted = 0;
  EXPECT_EQ(VersionsSensorsText(s),
            "Endcap serial number EC-10442\r\nDas firmware V1.07\r\n Generic reply format 0\r\n\r\n");
}

TEST(InterrogateLine, ToneModes) {
  UnitStatus s;
  s.WideBandEnabled = 0;
  s.Enabled = "EDD";
  s.AltCIFChannel = 15;
  s.CIFReplyCHannel = 16;
  EXPECT_EQ(InterrogateText(s), "Interrogate CRF  Reply CIF\r\n");
  s.Enabled = "ED";  // two letters: the third mode is disabled
  EXPECT_EQ(InterrogateText(s), "Interrogate CRF  Reply CIF\r\n");
  s.Enabled = "DED";
  s.Channel = 7;
  EXPECT_EQ(InterrogateText(s), "Interrogate 7  Reply CRF\r\n");
  s.CIFReplyCHannel = 99;
  EXPECT_EQ(InterrogateText(s), "Interrogate 7  Reply IRS\r\n");
  s.Enabled = "DDD";
  EXPECT_EQ(InterrogateText(s), "Disabled tone\r\n");
  s.Enabled = "EEE";
  EXPECT_EQ(InterrogateText(s), "Interrogation/Reply status unknown\r\n");
  s.Enabled = "DDE";
  s.HPRms = 3;
  s.HPRls = 4;
  EXPECT_EQ(InterrogateText(s), "Interrogate HPR B34\r\n");
  s.WideBandEnabled = -1;  // the HPR line does not depend on the mode
  EXPECT_EQ(InterrogateText(s), "Interrogate HPR B34\r\n");
}

TEST(InterrogateLine, WidebandModes) {
  UnitStatus s;
  s.WideBandEnabled = 1;
  s.Enabled = "WDD";
  s.AltCIFChannel = 16;
  EXPECT_EQ(InterrogateText(s), "Interrogate CIS00  Reply IRS\r\n");
  s.AltCIFChannel = 7;
  EXPECT_EQ(InterrogateText(s), "Interrogate CIS07  Reply IRS\r\n");
  s.Enabled = "DWD";
  s.Address = 19;
  EXPECT_EQ(InterrogateText(s), "Interrogate IIS  Reply CRS03\r\n");
  s.Enabled = "DD";
  EXPECT_EQ(InterrogateText(s), "Disabled wideband\r\n");
  s.Enabled = "EDD";
  EXPECT_EQ(InterrogateText(s), "Interrogation/Reply status unknown\r\n");
  s.WideBandEnabled = 2;
  EXPECT_EQ(InterrogateText(s), "");
}

TEST(ReportHelpers, ChannelNames) {
  EXPECT_EQ(ChannelName(0, 15), "CRF");
  EXPECT_EQ(ChannelName(0, 16), "CIF");
  EXPECT_EQ(ChannelName(1, 15), "CRS");
  EXPECT_EQ(ChannelName(-1, 16), "CIS");
  EXPECT_EQ(ChannelName(0, 99), "IRS");
  EXPECT_EQ(ChannelName(1, 99), "IRS");
  EXPECT_EQ(ChannelName(1, 7), "7");
  EXPECT_EQ(ChannelName(0, -1), "-1");
}

TEST(ReportHelpers, BatteryUsedPercent) {
  UnitStatus s;
  s.Type = "Lithium";
  s.BatteryStacks = 4;
  s.Count = 100;
  EXPECT_DOUBLE_EQ(BatteryUsedPercent(s), 25.0);
  s.Type = "Alkaline";
  s.BatteryStacks = 2;
  s.Count = 30;
  EXPECT_DOUBLE_EQ(BatteryUsedPercent(s), 10.0);
  s.Type = "NiMH";
  EXPECT_DOUBLE_EQ(BatteryUsedPercent(s), -1.0);
  s.Type = "Lithium";
  s.Count = 0;
  EXPECT_DOUBLE_EQ(BatteryUsedPercent(s), -1.0);
  s.BatteryStacks = 0;
  s.Count = 5;
  EXPECT_DOUBLE_EQ(BatteryUsedPercent(s), -1.0);
  // A stack count far beyond reason does not overflow into a negative capacity.
  s.BatteryStacks = INT32_MAX;
  s.Count = INT32_MAX;
  EXPECT_NEAR(BatteryUsedPercent(s), 1.0, 1e-9);
}

TEST(ReportHelpers, SelfTestText) {
  UnitStatus s;
  EXPECT_EQ(SelfTestText(8, s), "Hardware self test passed\r\nRX 1,2,3,4,5,6 OK\r\nTX OK\r\n");
  EXPECT_EQ(SelfTestText(0, s), "Hardware self test passed\r\nRX 1,2,3,4,5,6 OK\r\nTX OK\r\n");
  s.DaughterCardFitted = 1;
  EXPECT_EQ(SelfTestText(0xF7, s),
            "Hardware self test failed error code 247\r\nTX coil overheat warning\r\nRX error!\r\nTX error!\r\n"
            "Wideband RX check failed\r\nEEPROM error\r\nOne wire error\r\nRTC RAM error\r\n");
  EXPECT_EQ(SelfTestText(0x08 | 0x80, s),
            "Hardware self test failed error code 136\r\nTX coil overheat warning\r\nRX 1,2,3,4,5,6 OK\r\nTX OK\r\n"
            "Wideband RX check OK\r\n");
}

TEST(ReportHelpers, DateText) {
  EXPECT_EQ(DateText(DateTime::FromCivil({2026, 3, 6, 14, 5, 0})), "6 Mar 2026  14:05");
  EXPECT_EQ(DateText(DateTime::FromCivil({1999, 12, 31, 0, 0, 0})), "31 Dec 1999  00:00");
  DateTime bad;
  bad.valid = false;
  EXPECT_EQ(DateText(bad), "0 ??? 0  00:00");
  DateTime huge;
  huge.value = 1e300;
  EXPECT_EQ(DateText(huge), "0 ??? 0  00:00");
}

}  // namespace
