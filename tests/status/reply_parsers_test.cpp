// The status readers' parse rules against hand-written replies: the cases that tell a correct
// reading from a plausible wrong one, replies that lack keys, and numbers too large for a field.
#include <gtest/gtest.h>

#include <cfloat>
#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "platform/text_numbers.h"
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

UnitStatus Tpst(const std::vector<std::string>& lines) {
  UnitStatus s;
  ParseTransponderStatus(Reply(lines).c_str(), s);
  return s;
}

UnitStatus Ts(const std::string& line) { return Tpst({"#TPST", "TS = " + line}); }

TEST(HardwareStatus, TypeLineSerialNumberIdentityAndAssembly) {
  auto type = [](const UnitStatus& s) {
    return std::to_string(s.DataFormat) + "|" + s.TypeNo.str() + "|" + s.Band.str() + "|" + s.TdrType.str();
  };
  EXPECT_EQ(type(Hwst({"#HWST", "TYPE, 7815,  MF,30deg"})), "2|7815|MF|30deg");
  EXPECT_EQ(type(Hwst({"#HWST", "TYPE, 7815,MF"})), "2|7815|MF|");
  EXPECT_EQ(type(Hwst({"#HWST", "TYPE,   7805 Mk2"})), "1|7805 Mk2||");
  // clang-format off
  const std::pair<const char*, const char*> serials[] = {
      {"S/N, 1000000123-45", "E00123-045"},    {"S/N, 1234-5", "001234-005"}, {"x", "000000-000"},
      {"S/N, 1000000000-1", "1000000000-001"}, {"S/N, 2345", "002345-000"},
      {"S/N, 99999999999999-99999999999", "E1147483647-2147483"}};  // clamped, cut to the field
  // clang-format on
  for (const auto& [line, serial] : serials) EXPECT_EQ(Hwst({"TYPE, 1", line}).SerialNo, serial) << line;
  const std::pair<const char*, int32_t> ids[] = {
      {"UNIT ID,  1A2B", 0x1A2B}, {"UNIT ID, none", -1}, {"x", -1}, {"UNIT ID, FFFFFFFFFF", INT32_MAX}};
  for (const auto& [line, id] : ids) EXPECT_EQ(Hwst({"TYPE, 1", line}).UnitId, id) << line;

  // The assembly's comma lists.
  UnitStatus s = Hwst({"#HWST", "TYPE, 7815", "ENDCAP S/N, EC-1", "BATTERY, Lithium 3.6V", "Batt, B-1, 7815-410, C",
                       "Bat3, B-3, 7815-411, D", "Tx, TX-9", "DAS, DAS-7, 0104"});
  // No "Bat2": the second pack stays empty; a line short of fields leaves a space in each missing one.
  const std::vector<std::string> texts = {s.EndcapSerial.str(), s.Type.str(),    s.BattId.str(),  s.BattDraw.str(),
                                          s.BattIss.str(),      s.Batt2Id.str(), s.Batt3Id.str(), s.Batt3Iss.str(),
                                          s.TxId.str(),         s.TxDraw.str(),  s.TxIss.str(),   s.DasId.str()};
  EXPECT_EQ(texts, (std::vector<std::string>{"EC-1", "Lithium 3.6V", "B-1", "7815-410", "C", "", "B-3", "D", "TX-9",
                                             " ", " ", "DAS-7"}));
  EXPECT_EQ(s.Fitted, 0x0104u);
}

TEST(TransponderStatus, AddressChannelHprAndPowers) {
  // "312" is address 3, channel 12; "1207" address 12, channel 7; other lengths give 0 and 0.
  const std::pair<const char*, std::array<int32_t, 2>> ad[] = {
      {"AD = 312", {3, 12}}, {"AD = 1207", {12, 7}}, {"AD = 5", {0, 0}}, {"AD = 12345", {0, 0}}, {"#TPST", {0, 0}}};
  for (const auto& [line, want] : ad) {
    const UnitStatus s = Tpst({line});
    EXPECT_EQ((std::array<int32_t, 2>{s.Address, s.Channel}), want) << line;
  }
  const UnitStatus one = Tpst({"HPR = 3"}), two = Tpst({"HPR = 34"});
  EXPECT_EQ((std::array<int32_t, 4>{one.HPRms, one.HPRls, two.HPRms, two.HPRls}),
            (std::array<int32_t, 4>{-1, -1, 3, 4}));

  // The power letters, each with its level; one level for all is the common power.
  auto powers = [](const UnitStatus& s) {
    return std::array<int32_t, 7>{s.CPU, s.CPJ, s.CPT, s.CPS, s.CPL, s.RxGain, s.CPA};
  };
  EXPECT_EQ(powers(Tpst({"PS = L3S2"})), (std::array<int32_t, 7>{-1, -1, -1, 2, 3, -1, -1}));
  EXPECT_EQ(powers(Tpst({"PS = U4 J3 T2 S1 L4 G5"})), (std::array<int32_t, 7>{4, 3, 2, 1, 4, 5, 4}));
  EXPECT_EQ(Tpst({"PS = L"}).CPL, -1) << "a letter at the very end has no level";
}

TEST(TransponderStatus, TimingLineWalk) {
  // Reply and interrogate channel, TAT, override and warning flags, CWT/CWR/CWC/block, enable status.
  auto timing = [](const UnitStatus& s) {
    return textnum::Format("%d %d %.2f O%d B%d T%d/%d/%d/%d %s", s.CIFReplyCHannel, s.AltCIFChannel,
                           static_cast<double>(s.Tat), s.Override, s.Warning, s.CWTIndex, s.CWRIndex, s.CWCIndex,
                           s.BlockIndex, s.Enabled.c_str());
  };
  const std::pair<const char*, const char*> cases[] = {
      {"RF12 IF14 TAT/12.50 OB T3/2/1/4 EDD", "12 14 12.50 O1 B1 T3/2/1/4 EDD"},
      // IRS wins over "RF"; no "IF" is the common channel 16; no block index copies CWC.
      {"IRS RF12 /8.00 T5/6/7 WDD", "99 16 8.00 O0 B0 T5/6/7/7 WDD"},
      // Only the first run of letters after the time carries the flags.
      {"RF12 IF14 /9.5 B T1/1/1 O", "12 14 9.50 O0 B1 T1/1/1/1 O"},
      // Numbers before the enable status are stepped over, two at most.
      {"RF1 IF2 /1 T1/2/3/4 77 88 DED", "1 2 1.00 O0 B0 T1/2/3/4 DED"},
      {"RF1 IF2 /1 T1/2/3/4 77 88 99 DED", "1 2 1.00 O0 B0 T1/2/3/4 99 DED"},
      {"RF1 IF2 /1 T1/2/3/4 EDDDDDDDDD", "1 2 1.00 O0 B0 T1/2/3/4 "},  // ten characters: not believed
      {"RFxx IFyy /1 T1/2/3 EDD", "-1 16 1.00 O0 B0 T1/2/3/3 EDD"},
      {"RF12 IF14 TAT/xx T/a/b EDD", "12 14 -1.00 O0 B0 T-1/-1/-1/-1 EDD"},
  };
  for (const auto& [line, want] : cases) EXPECT_EQ(timing(Ts(line)), want) << line;
  EXPECT_EQ(timing(Tpst({"#TPST", "AD = 312"})), "-1 16 -1.00 O0 B0 T-1/-1/-1/-1  ");
  EXPECT_EQ(Ts("RF12 IF14 /1e300 T1/2/3").Tat, FLT_MAX);
}

TEST(FirmwareVersions, ModelMainAndPartVersions) {
  // The model the reply names, and the main version.
  const std::tuple<const char*, int32_t, const char*> cases[] = {
      {"Main V3.12", 0, "V3.12"},
      {"T7Max V2.05\r\nQRN V1", 0, "V2.05"},
      {"QRN Main V1.40", 2, "V1.40"},
      {"QRNMain V1.40", 0, "V1.40"},
      {"Version 3", 0, "before"}};  // neither "Main" nor "Max": the version stays
  for (const auto& [line, model, main] : cases) {
    UnitStatus s;
    s.T7V = "before";
    EXPECT_EQ(ParseFirmwareVersions(Reply({"#FVFV", line}).c_str(), s), model) << line;
    EXPECT_EQ(s.T7V, main) << line;
  }
  UnitStatus s;
  ParseFirmwareVersions(
      Reply({"#FVFV", "DAS, V1.07", "U4, V2.01", "U10, V1.10", "U5, V1.03", "U8, V1.00", "Dcard, V4.20 beta"}).c_str(),
      s);
  EXPECT_EQ((std::vector<std::string>{s.Das.str(), s.U4.str(), s.U10.str(), s.U5.str(), s.U8.str(), s.Dcard.str()}),
            (std::vector<std::string>{"V1.07", "V2.01", "V1.10", "V1.03", "V1.00", "V4.20 beta"}));
  ParseFirmwareVersions(Reply({"#FVFV", "DCard, V1.1"}).c_str(), s);
  EXPECT_EQ(s.Dcard, "V1.1");
  EXPECT_EQ(s.U4, " ");  // missing key: a single space
  // "Dcard," takes precedence; a value without an upper-case V empties the field.
  ParseFirmwareVersions(Reply({"#FVFV", "Dcard, not fitted", "DCard, V1.1"}).c_str(), s);
  EXPECT_EQ(s.Dcard, "");
}

TEST(InformationAndSerialStatus, ChannelEscapedTextAndKeysInOrder) {
  UnitStatus s;
  ParseUnitInformation(Reply({"#INFO", "IIFReplyCh = 15", "x\\y"}).c_str(), s);
  EXPECT_EQ(s.IIFChannel, 15);
  EXPECT_EQ(s.String2, "#INFO\\\\\\/IIFReplyCh = 15\\\\\\/x\\y");

  ParseUnitInformation("#INFO", s);
  EXPECT_EQ(s.IIFChannel, 0);
  EXPECT_EQ(s.String2, "#INFO");

  // The serial status: its keys in order.
  s = UnitStatus{};
  const std::string record = "RT1,TT2,BR4,RF13,EW1,DC1,STX3,DR5,DI10,MD6,UP7,CW20,CR8,IC9,XS1,CDT120,CLG240,FE11,CDP4";
  ParseSerialStatus(record.c_str(), s);
  EXPECT_EQ(s.String1, record);
  const std::vector<int32_t> read = {
      s.RangingType,        s.TelemetryType,     s.BaudRate,         s.CIFReplyCHannel,   s.WideBandEnabled,
      s.DaughterCardFitted, s.BatteryStacks,     s.ChirpDuration,    s.DataTelemetryType, s.DownlinkInterPacketTime,
      s.DataDelay,          s.UplinkPacketDelay, s.CommandWaitDelay, s.CommandReplyType,  s.InterCharacterTime,
      s.ExternalSync,       s.DetectThreshold,   s.LinearGain,       s.FEEnabled,         s.CPD};
  EXPECT_EQ(read, (std::vector<int32_t>{1, 2, 4, 13, 1, 1, 3, 3, 5, 10, 6, 7, 20, 8, 9, 1, 120, 240, 11, 4}));
  // The reply channel only when not known already; absent keys give 0, the CPD 2.
  s = UnitStatus{};
  s.CIFReplyCHannel = 99;
  ParseSerialStatus("RT1,RF13,STX2", s);
  EXPECT_EQ((std::array<int32_t, 4>{s.CIFReplyCHannel, s.CPD, s.TelemetryType, s.ExternalSync}),
            (std::array<int32_t, 4>{99, 2, 0, 0}));
}

// Whole numbers are read by the platform's text reader and pinned there; leading digits
// before a unit and the clamp to a float field show in the timing line's cases.
TEST(Reals, ReadTheirLeadingDigitsAndClampAndTheSensorReplysFactors) {
  EXPECT_DOUBLE_EQ(reply::ToReal("1.5e2V"), 150.0);
  EXPECT_DOUBLE_EQ(reply::ToReal("nan"), 0.0);
  EXPECT_DOUBLE_EQ(reply::ToReal("-1e400"), -DBL_MAX);
  EXPECT_DOUBLE_EQ(reply::ToReal("0." + std::string(500, '0') + "1"), 0.0);

  // The sensor reply's values through both factors in double precision, the accuracy absolute.
  UnitStatus s;
  ParseSensorReply(Reply({"#RDSE", "Offset   = 0.125", "Range    = 500.000", "Accuracy = +/-0.5"}).c_str(), s);
  EXPECT_EQ(s.DepthOffset, static_cast<float>(0.125 * 1.459321415541773 * 6.894757));
  EXPECT_EQ(s.PressureFullScale, static_cast<float>(500.0 * 1.459321415541773 * 6.894757));
  EXPECT_EQ(s.PressureAccuracy, static_cast<float>(0.5 * 1.459321415541773 * 6.894757));
}

}  // namespace
