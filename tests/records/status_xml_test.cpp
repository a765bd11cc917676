// The XML status document: its shape, the 96 fields and their kinds, finding, writing, reading
// and listing units, and the value conversions.
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
  // Loads a hand-written document into a fresh object.
  CStatusXml& LoadText(const std::string& xml) {
    WriteFile(file, xml);
    doc = std::make_unique<CStatusXml>();
    last = doc->Load(file);
    return *doc;
  }
  fs::path dir, file;
  std::unique_ptr<CStatusXml> doc;
  CStatusXml::LoadResult last;
};

std::string Unit(const std::string& general, const std::string& rest = "") {
  return "<Velmoor><General>" + general + "</General>" + rest + "</Velmoor>";
}
}  // namespace

TEST_F(DocFixture, AllNinetySixFieldsRoundTripThroughAFile) {
  StatusEntry written = FilledEntry();
  CStatusXml out;
  out.WriteUnit(written.checks, written.status);
  ASSERT_TRUE(out.Save(file).saved);

  CStatusXml in;
  EXPECT_EQ(in.Load(file).outcome, CStatusXml::LoadOutcome::Loaded);
  StatusEntry read = in.ReadUnit("1193046");

  // What comes back: texts cut at capacity less one (already so in the record), reals at two
  // decimals, everything else exactly.
  StatusEntry expected = written;
  ForEachStatusField(expected.checks, expected.status, [](const char*, const char*, auto&& member) {
    using T = std::remove_cv_t<std::remove_reference_t<decltype(member)>>;
    if constexpr (std::is_same_v<T, float>) member = *status_text::ToReal(status_text::FromReal(member));
  });
  EXPECT_EQ(Describe(read), Describe(expected));
  ASSERT_EQ(Describe(read).size(), 96u);

  std::string text = ReadFile(file);
  EXPECT_NE(text.find("<UnitId>1193046</UnitId>"), std::string::npos);
  EXPECT_NE(text.find("<Fitted>4294967295</Fitted>"), std::string::npos);
  EXPECT_NE(text.find("<FunctionLevel>200</FunctionLevel>"), std::string::npos);
  EXPECT_NE(text.find("<SerialNo>SerialNoSerialNoSer</SerialNo>"), std::string::npos) << "19 of 30 characters";
  EXPECT_EQ(read.status.String1.size(), 999u);
  EXPECT_EQ(read.status.Enabled.view(), "EnabledEn");
}

TEST_F(DocFixture, ValuesAreWrittenInTheirKindsForm) {
  StatusEntry e;
  e.status.UnitId = 4660;
  e.status.Tat = 2.5f;
  e.status.Voltage = 3.14159f;
  e.status.FunctionLevel = 200;
  e.checks.UpdatedResult = 7;  // any true value is written as 1
  e.checks.LastStatusTime = At(2026, 12, 4, 21, 59, 0);
  CStatusXml out;
  out.WriteUnit(e.checks, e.status);
  ASSERT_TRUE(out.Save(file).saved);
  std::string text = ReadFile(file);
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

TEST_F(DocFixture, ANewUnitHoldsEveryGroupAndFieldInTableOrder) {
  CStatusXml out;
  pugi::xml_node unit = out.CreateUnit("1193046");
  std::vector<std::string> groups, fields;
  for (pugi::xml_node g : unit.children()) {
    groups.push_back(g.name());
    for (pugi::xml_node f : g.children()) {
      fields.push_back(std::string(g.name()) + "/" + f.name());
      if (fields.size() > 1) {
        EXPECT_FALSE(f.first_child()) << fields.back() << " starts empty";
      }
    }
  }
  std::vector<std::string> expectedGroups(kStatusGroups, kStatusGroups + kStatusGroupCount), expectedFields;
  for (int i = 0; i < kStatusFieldCount; ++i)
    expectedFields.push_back(std::string(StatusFieldTable()[i].group) + "/" + StatusFieldTable()[i].element);
  EXPECT_EQ(groups, expectedGroups);
  EXPECT_EQ(fields, expectedFields);
  EXPECT_EQ(fields[44], "Ranging/CIFReplyCHannel");
  EXPECT_EQ(fields[64], "Sensors/InclinometerInteralScale");
  EXPECT_EQ(CStatusXml::GetFieldValue(unit, "General/UnitId").value_or("?"), "1193046");
}

TEST_F(DocFixture, WritingAUnitTwiceReplacesItsValuesButNotItsTimes) {
  CStatusXml d;
  StatusEntry first = FilledEntry(77);
  d.WriteUnit(first.checks, first.status);
  StatusEntry second;
  second.status = UnitStatus::Fresh();
  second.status.UnitId = 77;
  second.status.Address = 12;
  second.checks.LastStatusTime = DateTime::Zero();
  d.WriteUnit(second.checks, second.status);
  ASSERT_TRUE(d.Save(file).saved);

  CStatusXml in;
  in.Load(file);
  std::vector<std::string> ids;
  EXPECT_EQ(in.ListUnitIds(ids), 1);
  StatusEntry read = in.ReadUnit("77");
  EXPECT_EQ(read.status.Address, 12);
  EXPECT_EQ(read.status.SerialNo.view(), "");
  EXPECT_EQ(read.status.Fitted, 0xFFFFFFFFu) << "the second entry's Fitted";
  EXPECT_EQ(read.checks.LastStatusTime, first.checks.LastStatusTime) << "a zero time does not clear the file's";
  EXPECT_EQ(read.checks.ReleaseTime, first.checks.ReleaseTime);
}

TEST_F(DocFixture, FindUnitMatchesTheExactTextAndTheLastOfRepeatedUnits) {
  CStatusXml& d = LoadText("<Velmoors>" + Unit("<UnitId>5</UnitId><Address>1</Address>") +
                           Unit("<UnitId> 6</UnitId><Address>2</Address>") +
                           Unit("<UnitId>5</UnitId><Address>3</Address>") + "</Velmoors>");
  ASSERT_EQ(last.outcome, CStatusXml::LoadOutcome::Loaded);
  EXPECT_EQ(d.ReadUnit("5").status.Address, 3) << "the last of two units with one identity";
  EXPECT_FALSE(d.FindUnit("6", false)) << "a leading blank does not match";
  EXPECT_TRUE(d.FindUnit(" 6", false));

  StatusEntry e;
  e.status.UnitId = 5;
  e.status.Address = 9;
  d.WriteUnit(e.checks, e.status);
  ASSERT_TRUE(d.Save(file).saved);
  std::string text = ReadFile(file);
  EXPECT_NE(text.find("<Address>1</Address>"), std::string::npos) << "the first copy is left as it was";
  EXPECT_EQ(text.find("<Address>3</Address>"), std::string::npos) << "the last copy was written";
  std::vector<std::string> ids;
  EXPECT_EQ(d.ListUnitIds(ids), 3);
}

TEST_F(DocFixture, AMissingUnitReadsAsFreshRecordsWithNothingFitted) {
  CStatusXml& d = LoadText("<Velmoors>" + Unit("<UnitId>5</UnitId>") + "</Velmoors>");
  StatusEntry e = d.ReadUnit("1193046");
  EXPECT_EQ(e.status.UnitId, -1);
  EXPECT_EQ(e.status.Fitted, 0u);
  EXPECT_EQ(e.status.DepthOffset, -9999.0f);
  EXPECT_EQ(e.status.FunctionLevel, 0);
  EXPECT_EQ(e.checks.HardwareResult, -1);
  EXPECT_EQ(e.checks.LastStatusTime, DateTime::Zero());
  // A unit with nothing but its identity reads the same, with its identity.
  StatusEntry bare = d.ReadUnit("5");
  EXPECT_EQ(bare.status.UnitId, 5);
  EXPECT_EQ(bare.status.Fitted, 0u);
}

TEST_F(DocFixture, BadValuesKeepTheirDefaultsAndTheRestIsStillRead) {
  CStatusXml& d = LoadText(
      "<Velmoors>" +
      Unit("<UnitId>1193046</UnitId><Address>1x</Address><Channel>99999999999</Channel>"
           "<FunctionLevel>300</FunctionLevel><SerialNo>012345-007</SerialNo>",
           "<Timing><Tat>2,5</Tat><CWTIndex>3</CWTIndex></Timing>"
           "<Checks><HardwareResult>abc</HardwareResult><HardwareTime>yesterday</HardwareTime>"
           "<ReleaseTime>2024-02-30 10:00:00</ReleaseTime><CI1Time>2024-02-29</CI1Time>"
           "<CI1Result>true</CI1Result><UpdatedResult>maybe</UpdatedResult><ReleaseResult>-7</ReleaseResult>"
           "</Checks><Sensors><Fitted>99999999999</Fitted><DepthOffset>1e99</DepthOffset><PressureAccuracy>nan"
           "</PressureAccuracy><PressureFullScale> 2.5 </PressureFullScale></Sensors>") +
      "</Velmoors>");
  StatusEntry e = d.ReadUnit("1193046");
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
  EXPECT_EQ(e.checks.CI1Result, 1);
  EXPECT_EQ(e.checks.UpdatedResult, 0);
  EXPECT_EQ(e.checks.ReleaseResult, -7);
  EXPECT_EQ(e.status.Fitted, 0xFFFFFFFFu) << "clamped to the unsigned field";
  EXPECT_EQ(e.status.DepthOffset, FLT_MAX);
  EXPECT_EQ(e.status.PressureAccuracy, -1.0f);
  EXPECT_EQ(e.status.PressureFullScale, 2.5f);
}

TEST_F(DocFixture, MissingGroupsAndElementsReadAsDefaultsAndAreCreatedOnWriting) {
  CStatusXml& d = LoadText("<Velmoors>" + Unit("<UnitId>8</UnitId>", "<Power><CPU>4</CPU></Power>") +
                           "<Velmoor><Power><CPU>1</CPU></Power></Velmoor></Velmoors>");
  StatusEntry e = d.ReadUnit("8");
  EXPECT_EQ(e.status.CPU, 4);
  EXPECT_EQ(e.status.CPJ, -1);
  EXPECT_EQ(e.status.Tat, -1.0f);

  e.status.CPJ = 2;
  e.status.Tat = 1.25f;
  d.WriteUnit(e.checks, e.status);
  pugi::xml_node unit = d.FindUnit("8", false);
  EXPECT_EQ(CStatusXml::GetFieldValue(unit, "Power/CPJ").value_or("?"), "2");
  EXPECT_EQ(CStatusXml::GetFieldValue(unit, "Timing/Tat").value_or("?"), "1.25");
  int groups = 0;
  for (pugi::xml_node g : unit.children()) {
    (void)g;
    ++groups;
  }
  EXPECT_EQ(groups, 11);
  EXPECT_EQ(d.FindOrCreatePath(unit, "Power/CPJ"), d.FindOrCreatePath(unit, "Power/CPJ"));
}

TEST_F(DocFixture, TextsKeepLineBreaksMarkupAndBlanksWhileTheFileHasNoLineBreak) {
  StatusEntry e;
  e.status.UnitId = 3;
  e.status.String1 = "#STTX\r\nA = 1 <ok> & \"done\"\r\n\x01\tend\n";
  e.status.Type = "   ";
  CStatusXml d;
  d.WriteUnit(e.checks, e.status);
  ASSERT_TRUE(d.Save(file).saved);
  std::string text = ReadFile(file);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
  CStatusXml in;
  in.Load(file);
  StatusEntry read = in.ReadUnit("3");
  EXPECT_EQ(read.status.String1.view(), "#STTX\r\nA = 1 <ok> & \"done\"\r\n\tend\n") << "control bytes left out";
  EXPECT_EQ(read.status.Type.view(), "   ");
}

TEST_F(DocFixture, IndentedFilesWithADeclarationAndCdataAreRead) {
  CStatusXml& d = LoadText(
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!-- kept by hand -->\r\n<Velmoors>\r\n"
      "  <Velmoor>\r\n    <General>\r\n      <UnitId>42</UnitId>\r\n      <Address>7</Address>\r\n"
      "      <Channel>3</Channel>\r\n    </General>\r\n    <Engineering><String1><![CDATA[a\r\nb]]>"
      "</String1></Engineering>\r\n  </Velmoor>\r\n</Velmoors>\r\n");
  ASSERT_EQ(last.outcome, CStatusXml::LoadOutcome::Loaded);
  StatusEntry e = d.ReadUnit("42");
  EXPECT_EQ(e.status.Address, 7);
  EXPECT_EQ(e.status.String1.view(), "a\nb");
  std::vector<std::string> lines;
  EXPECT_EQ(d.ListUnits(lines), 1);
  EXPECT_EQ(lines[0], "00002A  Address  703");
}

TEST_F(DocFixture, ListUnitsShowsIdentityAndAddressOrNothingWhenAColumnIsShort) {
  CStatusXml& d = LoadText(
      "<Velmoors>" + Unit("<UnitId>1193046</UnitId><Address>12</Address><Channel>3</Channel>") +
      Unit("<UnitId>4660</UnitId><Address>1</Address><Channel>5</Channel>") +
      Unit("<UnitId>99</UnitId><Address></Address><Channel>5</Channel>") + "</Velmoors>");
  std::vector<std::string> lines{"stale"};
  EXPECT_EQ(d.ListUnits(lines), 2) << "a unit whose Address holds no text is skipped";
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "123456  Address 1203");
  EXPECT_EQ(lines[1], "001234  Address  105");

  CStatusXml& short_ = LoadText("<Velmoors>" + Unit("<UnitId>1</UnitId><Address>1</Address><Channel>2</Channel>") +
                                Unit("<UnitId>2</UnitId><Address>1</Address>") + "</Velmoors>");
  EXPECT_EQ(short_.ListUnits(lines), 0);
  EXPECT_TRUE(lines.empty());
  std::vector<std::string> ids{"stale"};
  EXPECT_EQ(short_.ListUnitIds(ids), 2);
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "2"}));
}

TEST_F(DocFixture, TheUnitIndexFollowsLoadsAndNewUnits) {
  CStatusXml& d = LoadText("<Velmoors>" + Unit("<UnitId>1</UnitId>") + Unit("<UnitId>2</UnitId>") + "</Velmoors>");
  EXPECT_EQ(d.UnitIndex().size(), 2u);
  StatusEntry e;
  e.status.UnitId = 3;
  d.WriteUnit(e.checks, e.status);
  EXPECT_EQ(d.UnitIndex().size(), 3u);
  EXPECT_EQ(d.UnitIndex().at("3"), d.FindUnit("3", false));
  WriteFile(file, "<Velmoors>" + Unit("<UnitId>9</UnitId>") + "</Velmoors>");
  d.Load(file);
  EXPECT_EQ(d.UnitIndex().size(), 1u);
  EXPECT_FALSE(d.FindUnit("1", false));
  EXPECT_TRUE(d.FindUnit("9", false));
}

TEST(StatusText, ConversionsClampWhatOverflowsAndRefuseWhatIsNotANumber) {
  using namespace status_text;
  EXPECT_EQ(ToInteger("-2147483649"), INT32_MIN);
  EXPECT_FALSE(ToInteger("1.5"));
  EXPECT_FALSE(ToInteger("-"));
  EXPECT_EQ(ToByte("-1"), 255);
  EXPECT_EQ(ToByte("70000"), 255) << "clamped to 32767, low byte";
  EXPECT_EQ(ToFlag("-1"), true);
  EXPECT_FALSE(ToFlag("yes"));
  EXPECT_EQ(ToReal("-1e999"), -FLT_MAX);
  EXPECT_EQ(ToReal("-1e-999"), -0.0f);
  EXPECT_FALSE(ToReal("inf"));
  EXPECT_FALSE(ToReal("2.5V"));
  EXPECT_EQ(FromReal(-0.006f), "-0.01");
}

TEST(StatusText, DateTimesReadBackExactlyInOneFixedForm) {
  DateTime t = At(2026, 12, 4, 21, 59, 7);
  EXPECT_EQ(t.ToText(), "2026-12-04 21:59:07");
  EXPECT_EQ(DateTime::FromText(t.ToText()), t);
  EXPECT_EQ(DateTime::FromText("2026-12-04"), At(2026, 12, 4, 0, 0, 0));
  EXPECT_EQ(DateTime::FromText(" 2026-1-4 1:2:3 "), At(2026, 1, 4, 1, 2, 3));
  EXPECT_EQ(DateTime::FromText("2024-02-29 00:00:00"), At(2024, 2, 29, 0, 0, 0));
  for (const char* bad : {"2023-02-29", "2026-13-01", "2026-12-04T21:59:07", "2026-12-0421:59:07",
                          "2026-12-04 24:00:00", "2026-12-04 21:59", "26-12-04", "",
                          "2026-12-04 21:59:07 x", "+2026-12-04"})
    EXPECT_FALSE(DateTime::FromText(bad)) << bad;
  // Far outside the range: shown at its end, never undefined.
  DateTime far;
  far.value = 1e300;
  EXPECT_EQ(far.ToText(), "9999-12-31 23:59:59");
  far.value = -1e300;
  EXPECT_EQ(far.ToText().substr(0, 10), "0100-01-01");
}
