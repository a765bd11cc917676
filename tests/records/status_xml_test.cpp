// The XML status document: its shape, the 96 fields and their kinds, finding, writing, reading
// and listing units, and the value conversions. The date-times the earlier Windows terminal
// wrote into status files are read, so a migrated unit's history is not shown as never; only
// the project's own form is written.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>

#include "tests/records/records_support.h"

using namespace records_test;

namespace {
struct DocFixture : ::testing::Test {
  DocFixture() : dir(FreshTempDir("statusxml") / "T7Status"), file(dir / "Current-Status.xml") {}
  ~DocFixture() override {
    std::error_code ec;
    fs::remove_all(dir.parent_path(), ec);
  }
  // Saves the entry alone to the file; returns the file's text.
  std::string Saved(const StatusEntry& e) {
    CStatusXml out;
    out.WriteUnit(e.checks, e.status);
    EXPECT_TRUE(out.Save(file).saved);
    return ReadFile(file);
  }
  // Loads the document text from the file and reads the unit from it.
  StatusEntry ReadBack(const std::string& xml, const char* id) {
    WriteFile(file, xml);
    CStatusXml doc;
    EXPECT_EQ(doc.Load(file).outcome, CStatusXml::LoadOutcome::Loaded);
    return doc.ReadUnit(id);
  }
  fs::path dir, file;
};
}  // namespace

TEST_F(DocFixture, AllNinetySixFieldsRoundTripThroughAFile) {
  const StatusEntry written = FilledEntry();
  const std::string text = Saved(written);
  const StatusEntry read = ReadBack(text, "1193046");

  // What comes back: texts cut at capacity less one (already so in the record), reals at two
  // decimals, everything else exactly.
  StatusEntry expected = written;
  ForEachStatusField(expected.checks, expected.status, [](const char*, const char*, auto&& member) {
    using T = std::remove_cv_t<std::remove_reference_t<decltype(member)>>;
    if constexpr (std::is_same_v<T, float>) member = *status_text::ToReal(status_text::FromReal(member));
  });
  EXPECT_EQ(Describe(read), Describe(expected));
  EXPECT_NE(text.find("<Fitted>4294967295</Fitted>"), std::string::npos);
  EXPECT_NE(text.find("<FunctionLevel>200</FunctionLevel>"), std::string::npos);
  EXPECT_NE(text.find("<SerialNo>SerialNoSerialNoSer</SerialNo>"), std::string::npos) << "19 of 30 characters";
}

TEST_F(DocFixture, ValuesAreWrittenInTheirKindsForm) {
  StatusEntry e;
  e.status.UnitId = 4660, e.status.Tat = 2.5f, e.status.Voltage = 3.14159f, e.status.FunctionLevel = 200;
  e.checks.UpdatedResult = 7;  // any true value is written as 1
  e.checks.LastStatusTime = At(2026, 12, 4, 21, 59, 0);
  const std::string text = Saved(e);
  EXPECT_NE(text.find("<Tat>2.50</Tat>"), std::string::npos);
  EXPECT_NE(text.find("<Voltage>3.14</Voltage>"), std::string::npos);
  EXPECT_NE(text.find("<DepthOffset>-9999.00</DepthOffset>"), std::string::npos);
  EXPECT_NE(text.find("<UpdatedResult>1</UpdatedResult>"), std::string::npos);
  EXPECT_NE(text.find("<LastStatusTime>2026-12-04 21:59:00</LastStatusTime>"), std::string::npos);
  EXPECT_EQ(text.find("<CI1Time>"), std::string::npos) << "a zero date-time is not written: " << text;
  // Raw: no declaration, no indentation, no line break anywhere.
  EXPECT_EQ(text.rfind("<Velmoors><Velmoor><General><UnitId>4660</UnitId><DataFormat>-1</DataFormat>", 0), 0u);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(text.find("<?xml"), std::string::npos);
}

TEST_F(DocFixture, FieldsAreWrittenUnderTheElementNamesOtherProgramsRead) {
  // The paths as the other programs that read these files know them.
  std::istringstream paths(
      "General/UnitId General/SerialNo General/TypeNo General/DataFormat General/Channel General/Address "
      "Ranging/HPRms Ranging/HPRls General/FunctionLevel General/Band General/TdrType Version/T7V Version/Das "
      "Version/U4 Version/U10 Version/U5 Version/U8 Version/Dcard Battery/Type General/EndcapSerial "
      "Ranging/Enabled Engineering/String1 Engineering/String2 Power/DetectThreshold Power/LinearGain "
      "Power/RxGain Power/CPU Power/CPJ Power/CPT Power/CPS Power/CPL Power/CPA Timing/CWTIndex Timing/CWRIndex "
      "Timing/CWCIndex Timing/BlockIndex Ranging/AltCIFChannel Ranging/CIFReplyCHannel Timing/Tat "
      "Battery/Warning Battery/Override Battery/Count Battery/Voltage Ranging/IIFChannel Telemetry/BaudRate "
      "Ranging/WideBandEnabled Ranging/DaughterCardFitted Battery/BatteryStacks Ranging/ExternalSync "
      "Sensors/Fitted Sensors/PressureFullScale Sensors/PressureAccuracy Sensors/DepthOffset "
      "Sensors/GenericFormat Sensors/InclinometerInteralScale");
  StatusEntry e = FilledEntry();
  CStatusXml d;
  d.WriteUnit(e.checks, e.status);
  pugi::xml_node unit = d.FindUnit("1193046", false);
  for (std::string path; paths >> path;) EXPECT_TRUE(CStatusXml::GetFieldValue(unit, path).has_value()) << path;
}

TEST_F(DocFixture, BadValuesKeepTheirDefaultsAndTheRestIsStillRead) {
  const StatusEntry e = ReadBack(
      "<Velmoors><Velmoor><General><UnitId>1193046</UnitId><Address>1x</Address><Channel>99999999999</Channel>"
      "<FunctionLevel>300</FunctionLevel><SerialNo>012345-007</SerialNo></General>"
      "<Timing><Tat>2,5</Tat><CWTIndex>3</CWTIndex></Timing>"
      "<Checks><HardwareResult>abc</HardwareResult><HardwareTime>yesterday</HardwareTime>"
      "<ReleaseTime>2024-02-30 10:00:00</ReleaseTime><CI1Time>2024-02-29</CI1Time>"
      "<LastStatusTime>3/6/2026 2:05:09 PM</LastStatusTime><UpdatedTime>06.03.2026 14:05</UpdatedTime>"
      "<CI1Result>true</CI1Result><UpdatedResult>maybe</UpdatedResult><ReleaseResult>-7</ReleaseResult>"
      "</Checks><Sensors><Fitted>99999999999</Fitted><DepthOffset>1e99</DepthOffset><PressureAccuracy>nan"
      "</PressureAccuracy><PressureFullScale> 2.5 </PressureFullScale></Sensors></Velmoor></Velmoors>",
      "1193046");
  EXPECT_EQ(e.status.Address, -1) << "letters in a number";
  EXPECT_EQ(e.status.Channel, INT32_MAX) << "a number beyond the field is clamped";
  EXPECT_EQ(e.status.FunctionLevel, 44) << "300 through 16 bits, low byte";
  EXPECT_EQ(e.status.SerialNo.view(), "012345-007");
  EXPECT_EQ(e.status.Tat, -1.0f) << "a comma is not the decimal point";
  EXPECT_EQ(e.status.CWTIndex, 3);
  EXPECT_EQ(e.checks.HardwareResult, -1);
  EXPECT_EQ(e.checks.HardwareTime, DateTime::Zero());
  EXPECT_EQ(e.checks.ReleaseTime, DateTime::Zero()) << "30 February";
  EXPECT_EQ(e.checks.CI1Time, At(2024, 2, 29, 0, 0, 0)) << "a date alone";
  EXPECT_EQ(e.checks.LastStatusTime, At(2026, 3, 6, 14, 5, 9)) << "the earlier terminal's form";
  EXPECT_EQ(e.checks.UpdatedTime, At(2026, 3, 6, 14, 5, 0)) << "the earlier terminal's form";
  EXPECT_EQ(e.checks.CI1Result, 1);
  EXPECT_EQ(e.checks.UpdatedResult, 0);
  EXPECT_EQ(e.checks.ReleaseResult, -7);
  EXPECT_EQ(e.status.Fitted, 0xFFFFFFFFu) << "clamped to the unsigned field";
  EXPECT_EQ(e.status.DepthOffset, FLT_MAX);
  EXPECT_EQ(e.status.PressureAccuracy, -1.0f);
  EXPECT_EQ(e.status.PressureFullScale, 2.5f);
}

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
