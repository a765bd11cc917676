// The status readers' parse rules against hand-written replies: the cases that tell a correct
// reading from a plausible wrong one, replies that lack keys, values too long for their field,
// numbers too large for it, and garbage bytes.
#include <gtest/gtest.h>

#include <cfloat>
#include <array>
#include <climits>
#include <string>
#include <vector>

#include "status/reply_parsers.h"

namespace {

// A reply as the exchange hands it over: the echo and the lines, each CR followed by an LF.
std::string Reply(const std::vector<std::string>& lines) {
  std::string r;
  for (size_t i = 0; i < lines.size(); ++i) r += (i ? "\r\n" : "") + lines[i];
  return r;
}

UnitStatus Hwst(const std::vector<std::string>& lines) {
  UnitStatus s;
  EXPECT_TRUE(ParseHardwareStatus(Reply(lines).c_str(), s));
  return s;
}

UnitStatus Tpst(const std::vector<std::string>& lines, int32_t dataFormat = 2) {
  UnitStatus s;
  s.DataFormat = dataFormat;
  ParseTransponderStatus(Reply(lines).c_str(), s);
  return s;
}

UnitStatus Ts(const std::string& line) { return Tpst({"#TPST", "TS = " + line}); }

TEST(Conversions, NumbersReadTheirLeadingDigitsAndClampToTheField) {
  EXPECT_EQ(reply::ToInt("  -12abc"), -12);
  EXPECT_EQ(reply::ToInt("x12"), 0);
  EXPECT_EQ(reply::ToInt("99999999999999999999999"), INT32_MAX);
  EXPECT_EQ(reply::ToInt("-2147483649"), INT32_MIN);
  EXPECT_DOUBLE_EQ(reply::ToReal("12.50ms"), 12.5);
  EXPECT_DOUBLE_EQ(reply::ToReal("1.5e2V"), 150.0);
  EXPECT_DOUBLE_EQ(reply::ToReal("nan"), 0.0);
  EXPECT_DOUBLE_EQ(reply::ToReal("-1e400"), -DBL_MAX);
  EXPECT_DOUBLE_EQ(reply::ToReal("0." + std::string(500, '0') + "1"), 0.0);
  EXPECT_EQ(reply::ToFloat(1e300), FLT_MAX);
}

TEST(HardwareStatus, TypeLineOfThreeValuesOrOne) {
  UnitStatus s = Hwst({"#HWST", "TYPE, 7815,  MF,30deg"});
  EXPECT_EQ(s.DataFormat, 2);
  EXPECT_EQ(s.TypeNo, "7815");
  EXPECT_EQ(s.Band, "MF");
  EXPECT_EQ(s.TdrType, "30deg");

  s = Hwst({"#HWST", "TYPE, 7815,MF"});
  EXPECT_EQ(s.DataFormat, 2);
  EXPECT_EQ(s.Band, "MF");
  EXPECT_EQ(s.TdrType, "");

  s = Hwst({"#HWST", "TYPE,   7805 Mk2"});
  EXPECT_EQ(s.DataFormat, 1);
  EXPECT_EQ(s.TypeNo, "7805 Mk2");
  EXPECT_EQ(s.Band, "");
}

TEST(HardwareStatus, SerialNumberPlainAndESeries) {
  EXPECT_EQ(Hwst({"TYPE, 1", "S/N, 1000000123-45"}).SerialNo, "E00123-045");
  EXPECT_EQ(Hwst({"TYPE, 1", "S/N, 1234-5"}).SerialNo, "001234-005");
  EXPECT_EQ(Hwst({"TYPE, 1"}).SerialNo, "000000-000");
  EXPECT_EQ(Hwst({"TYPE, 1", "S/N, 1000000000-1"}).SerialNo, "1000000000-001");
  EXPECT_EQ(Hwst({"TYPE, 1", "S/N, 2345"}).SerialNo, "002345-000");
  // A number beyond the 32-bit range is clamped, and the text is cut to the field.
  EXPECT_EQ(Hwst({"TYPE, 1", "S/N, 99999999999999-99999999999"}).SerialNo, "E1147483647-2147483");
}

TEST(HardwareStatus, IdentityInHexClampedAndLeftAloneWhenUnreadable) {
  EXPECT_EQ(Hwst({"TYPE, 1", "UNIT ID,  1A2B"}).UnitId, 0x1A2B);
  EXPECT_EQ(Hwst({"TYPE, 1", "UNIT ID, none"}).UnitId, -1);
  EXPECT_EQ(Hwst({"TYPE, 1"}).UnitId, -1);
  EXPECT_EQ(Hwst({"TYPE, 1", "UNIT ID, FFFFFFFFFF"}).UnitId, INT32_MAX);
}

TEST(HardwareStatus, AssemblyCommaLists) {
  UnitStatus s = Hwst({"#HWST", "TYPE, 7815", "ENDCAP S/N, EC-1", "BATTERY, Lithium 3.6V",
                       "Batt, B-1, 7815-410, C", "Bat3, B-3, 7815-411, D", "Tx, TX-9", "DAS, DAS-7, 0104"});
  EXPECT_EQ(s.EndcapSerial, "EC-1");
  EXPECT_EQ(s.Type, "Lithium 3.6V");
  EXPECT_EQ(s.BattId, "B-1");
  EXPECT_EQ(s.BattDraw, "7815-410");
  EXPECT_EQ(s.BattIss, "C");
  // No "Bat2": the second pack stays empty; "Bat3" is read.
  EXPECT_EQ(s.Batt2Id, "");
  EXPECT_EQ(s.Batt2Draw, "");
  EXPECT_EQ(s.Batt3Id, "B-3");
  EXPECT_EQ(s.Batt3Iss, "D");
  // A line short of fields leaves a single space in each missing one.
  EXPECT_EQ(s.TxId, "TX-9");
  EXPECT_EQ(s.TxDraw, " ");
  EXPECT_EQ(s.TxIss, " ");
  EXPECT_EQ(s.DasId, "DAS-7");
  EXPECT_EQ(s.Fitted, 0x0104u);
}

TEST(TransponderStatus, FunctionLevelIsTheLowByteOfAHexValue) {
  EXPECT_EQ(Tpst({"Function Level = 2C"}).FunctionLevel, 0x2C);
  EXPECT_EQ(Tpst({"Function Level = 1A4"}).FunctionLevel, 0xA4);
  EXPECT_EQ(Tpst({"Function Level = ??"}).FunctionLevel, 0);
}

TEST(TransponderStatus, AddressChannelAndHprByLength) {
  // "312" is address 3, channel 12; "1207" address 12, channel 7; other lengths give 0 and 0.
  const std::pair<const char*, std::array<int32_t, 2>> ad[] = {
      {"AD = 312", {3, 12}}, {"AD = 1207", {12, 7}}, {"AD = 5", {0, 0}}, {"AD = 12345", {0, 0}}, {"#TPST", {0, 0}}};
  for (const auto& [line, want] : ad) {
    const UnitStatus s = Tpst({line});
    EXPECT_EQ((std::array<int32_t, 2>{s.Address, s.Channel}), want) << line;
  }
  const UnitStatus one = Tpst({"HPR = 3"}), two = Tpst({"HPR = 34"});
  EXPECT_EQ((std::array<int32_t, 4>{one.HPRms, one.HPRls, two.HPRms, two.HPRls}), (std::array<int32_t, 4>{-1, -1, 3, 4}));
}

TEST(TransponderStatus, TimingLineWalk) {
  UnitStatus s = Ts("RF12 IF14 TAT/12.50 OB T3/2/1/4 EDD");
  EXPECT_EQ(s.CIFReplyCHannel, 12);
  EXPECT_EQ(s.AltCIFChannel, 14);
  EXPECT_FLOAT_EQ(s.Tat, 12.5f);
  EXPECT_EQ(s.Override, 1);
  EXPECT_EQ(s.Warning, 1);
  EXPECT_EQ(s.CWTIndex, 3);
  EXPECT_EQ(s.CWRIndex, 2);
  EXPECT_EQ(s.CWCIndex, 1);
  EXPECT_EQ(s.BlockIndex, 4);
  EXPECT_EQ(s.Enabled, "EDD");

  // IRS wins over "RF"; no "IF" means the common interrogate channel; no block index copies CWC;
  // no flags clears both.
  s = Ts("IRS RF12 /8.00 T5/6/7 WDD");
  EXPECT_EQ(s.CIFReplyCHannel, 99);
  EXPECT_EQ(s.AltCIFChannel, 16);
  EXPECT_FLOAT_EQ(s.Tat, 8.0f);
  EXPECT_EQ(s.Warning, 0);
  EXPECT_EQ(s.Override, 0);
  EXPECT_EQ(s.CWCIndex, 7);
  EXPECT_EQ(s.BlockIndex, 7);
  EXPECT_EQ(s.Enabled, "WDD");

  // Only the first run of letters after the time carries the flags.
  s = Ts("RF12 IF14 /9.5 B T1/1/1 O");
  EXPECT_EQ(s.Warning, 1);
  EXPECT_EQ(s.Override, 0);

  // Numbers before the enable status are stepped over (at most two).
  s = Ts("RF1 IF2 /1 T1/2/3/4 77 88 DED");
  EXPECT_EQ(s.Enabled, "DED");
  s = Ts("RF1 IF2 /1 T1/2/3/4 77 88 99 DED");
  EXPECT_EQ(s.Enabled, "99 DED");

  // An enable status of ten characters or more is not believed.
  s = Ts("RF1 IF2 /1 T1/2/3/4 EDDDDDDDDD");
  EXPECT_EQ(s.Enabled, "");

  // A reply channel or interrogate channel that is not a number.
  s = Ts("RFxx IFyy /1 T1/2/3 EDD");
  EXPECT_EQ(s.CIFReplyCHannel, -1);
  EXPECT_EQ(s.AltCIFChannel, 16);
}

TEST(TransponderStatus, PowerLettersAndCommonPower) {
  auto powers = [](const UnitStatus& s) { return std::array<int32_t, 7>{s.CPU, s.CPJ, s.CPT, s.CPS, s.CPL, s.RxGain, s.CPA}; };
  EXPECT_EQ(powers(Tpst({"PS = L3S2"})), (std::array<int32_t, 7>{-1, -1, -1, 2, 3, -1, -1}));
  EXPECT_EQ(powers(Tpst({"PS = U4 J3 T2 S1 L4 G5"})), (std::array<int32_t, 7>{4, 3, 2, 1, 4, 5, 4}));
  EXPECT_EQ(Tpst({"PS = L"}).CPL, -1) << "a letter at the very end has no level";
}

TEST(TransponderStatus, BatteryCountAndVoltage) {
  UnitStatus s = Tpst({"BC = 57", "V= 14.62 V"});
  EXPECT_EQ(s.Count, 57);
  EXPECT_FLOAT_EQ(s.Voltage, 14.62f);
  s = Tpst({"#TPST"});
  EXPECT_EQ(s.Count, 0);
  EXPECT_FLOAT_EQ(s.Voltage, 0.0f);
  s = Tpst({"BC = 123456789012345", "V= -1e99"});
  EXPECT_EQ(s.Count, INT32_MAX);
  EXPECT_EQ(s.Voltage, -FLT_MAX);
}

TEST(FirmwareVersions, ModelAndMainVersion) {
  UnitStatus s;
  EXPECT_EQ(ParseFirmwareVersions(Reply({"#FVFV", "Main V3.12", "DAS, V1.07"}).c_str(), s), 0);
  EXPECT_EQ(s.T7V, "V3.12");
  EXPECT_EQ(s.Das, "V1.07");

  s = UnitStatus{};
  EXPECT_EQ(ParseFirmwareVersions(Reply({"#FVFV", "T7Max V2.05", "QRN V1"}).c_str(), s), 0);
  EXPECT_EQ(s.T7V, "V2.05");

  s = UnitStatus{};
  EXPECT_EQ(ParseFirmwareVersions(Reply({"#FVFV", "QRN Main V1.40"}).c_str(), s), 2);
  EXPECT_EQ(s.T7V, "V1.40");

  s = UnitStatus{};
  EXPECT_EQ(ParseFirmwareVersions(Reply({"#FVFV", "QRNMain V1.40"}).c_str(), s), 0);

  // Neither "Main" nor "Max": the main version stays as it was.
  s = UnitStatus{};
  s.T7V = "before";
  ParseFirmwareVersions(Reply({"#FVFV", "Version 3"}).c_str(), s);
  EXPECT_EQ(s.T7V, "before");
}

TEST(FirmwareVersions, PartVersionsAndDaughterCard) {
  UnitStatus s;
  ParseFirmwareVersions(Reply({"#FVFV", "Main V3", "U4, V2.01", "U10, V1.10", "U5, V1.03", "U8, V1.00",
                               "Dcard, V4.20 beta"})
                            .c_str(),
                        s);
  EXPECT_EQ(s.U4, "V2.01");
  EXPECT_EQ(s.U10, "V1.10");
  EXPECT_EQ(s.U5, "V1.03");
  EXPECT_EQ(s.U8, "V1.00");
  EXPECT_EQ(s.Dcard, "V4.20 beta");

  ParseFirmwareVersions(Reply({"#FVFV", "DCard, V1.1"}).c_str(), s);
  EXPECT_EQ(s.Dcard, "V1.1");
  EXPECT_EQ(s.U4, " ");  // missing key: a single space
  // "Dcard," takes precedence; a value without an upper-case V empties the field.
  ParseFirmwareVersions(Reply({"#FVFV", "Dcard, not fitted", "DCard, V1.1"}).c_str(), s);
  EXPECT_EQ(s.Dcard, "");
  s.Dcard = "V9";
  ParseFirmwareVersions("#FVFV", s);
  EXPECT_EQ(s.Dcard, "");
}

TEST(UnitInformation, ChannelAndEscapedText) {
  UnitStatus s;
  ParseUnitInformation(Reply({"#INFO", "IIFReplyCh = 15", "x\\y"}).c_str(), s);
  EXPECT_EQ(s.IIFChannel, 15);
  EXPECT_EQ(s.String2, "#INFO\\\\\\/IIFReplyCh = 15\\\\\\/x\\y");

  ParseUnitInformation("#INFO", s);
  EXPECT_EQ(s.IIFChannel, 0);
  EXPECT_EQ(s.String2, "#INFO");
}

TEST(UnitInformation, EscapedTextIsCutAtAWholeCharacter) {
  // 998 characters, then a CR: its two-character escape does not fit in what is left.
  UnitStatus s;
  std::string text(998, 'a');
  text += "\r\nmore";
  ParseUnitInformation(text.c_str(), s);
  EXPECT_EQ(s.String2.view(), std::string(998, 'a'));
  // A reply of line breaks alone doubles in length and is cut to whole escapes.
  std::string breaks;
  for (int i = 0; i < 900; ++i) breaks += "\r\n";
  ParseUnitInformation(breaks.c_str(), s);
  EXPECT_EQ(s.String2.size(), 998u);
  EXPECT_EQ(s.String2.view().substr(0, 4), "\\\\\\/");
}

TEST(SerialStatus, KeysInOrder) {
  UnitStatus s;
  const std::string record =
      "RT1,TT2,BR4,RF13,EW1,DC1,STX3,DR5,DI10,MD6,UP7,CW20,CR8,IC9,XS1,CDT120,CLG240,FE11,CDP4";
  ParseSerialStatus(record.c_str(), s);
  EXPECT_EQ(s.String1, record);
  const std::vector<int32_t> read = {
      s.RangingType,      s.TelemetryType,     s.BaudRate,          s.CIFReplyCHannel,         s.WideBandEnabled,
      s.DaughterCardFitted, s.BatteryStacks,   s.ChirpDuration,     s.DataTelemetryType,       s.DownlinkInterPacketTime,
      s.DataDelay,        s.UplinkPacketDelay, s.CommandWaitDelay,  s.CommandReplyType,        s.InterCharacterTime,
      s.ExternalSync,     s.DetectThreshold,   s.LinearGain,        s.FEEnabled,               s.CPD};
  EXPECT_EQ(read, (std::vector<int32_t>{1, 2, 4, 13, 1, 1, 3, 3, 5, 10, 6, 7, 20, 8, 9, 1, 120, 240, 11, 4}));
}

TEST(SerialStatus, ReplyChannelOnlyWhenNotKnownAlreadyAndCpdDefault) {
  UnitStatus s;
  s.CIFReplyCHannel = 99;
  ParseSerialStatus("RT1,RF13,STX2", s);
  EXPECT_EQ(s.CIFReplyCHannel, 99);
  EXPECT_EQ(s.CPD, 2);
  EXPECT_EQ(s.TelemetryType, 0);  // absent key: 0
  EXPECT_EQ(s.ExternalSync, 0);
}

TEST(SerialStatus, MereEchoFillsOnlyTheText) {
  UnitStatus s;
  ParseSerialStatus("#STTX", s);
  EXPECT_EQ(s.String1, "#STTX");
  EXPECT_EQ(s.RangingType, -1);
  EXPECT_EQ(s.CPD, -1);
  EXPECT_EQ(s.BatteryStacks, -1);
}

TEST(SensorReply, FactorsInDoublePrecisionAndAbsoluteAccuracy) {
  UnitStatus s;
  ParseSensorReply(Reply({"#RDSE", "Offset   = 0.125", "Range    = 500.000", "Accuracy = +/-0.5"}).c_str(), s);
  EXPECT_EQ(s.DepthOffset, static_cast<float>(0.125 * 1.459321415541773 * 6.894757));
  EXPECT_EQ(s.PressureFullScale, static_cast<float>(500.0 * 1.459321415541773 * 6.894757));
  EXPECT_EQ(s.PressureAccuracy, static_cast<float>(0.5 * 1.459321415541773 * 6.894757));
  EXPECT_NEAR(s.PressureAccuracy, 0.5 * 10.0617, 1e-3);
}

}  // namespace
