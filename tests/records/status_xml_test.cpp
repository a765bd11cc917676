// The XML status document: its shape, the 96 fields and their kinds, finding, writing, reading
// and listing units, and the value conversions. The date-times the earlier Windows terminal
// wrote into status files are read, so a migrated unit's history is not shown as never; only
// the project's own form is written.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstdlib>

#include "platform/text_encoding.h"
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

TEST_F(DocFixture, AllNinetySixFieldsRoundTripThroughAFileUnderTheirElementNames) {
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

  // Under the element paths that the other programs that read these files know.
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
  CStatusXml doc;
  ASSERT_EQ(doc.Load(file).outcome, CStatusXml::LoadOutcome::Loaded);
  for (std::string path; paths >> path;)
    EXPECT_TRUE(CStatusXml::GetFieldValue(doc.FindUnit("1193046", false), path).has_value()) << path;
}

// Status files are XML 1.0 in UTF-8 whatever the unit's replies hold: its 8-bit text is
// converted on the way into the document and back, control bytes other than TAB, CR and LF
// are left out, and files written raw by earlier versions still load and are put right by the
// next save. 0xB0 (degree sign), 0xE9 (e acute) and 0x07 (bell) in both texts that keep
// replies. Each value is written in its kind's form, raw: no declaration, no line break.
TEST_F(DocFixture, ValuesInTheirKindsFormAndHighAndControlBytesGiveAFileEveryReaderAccepts) {
  StatusEntry entry;
  entry.status.UnitId = 77, entry.status.Tat = 2.5f, entry.status.Voltage = 3.14159f;
  entry.status.String1 = ",N\xB0\xE9\x07Z";
  entry.status.String2 = "Note \xB0\xE9\x07 end";
  entry.checks.UpdatedResult = 7;  // any true value is written as 1
  entry.checks.LastStatusTime = At(2026, 12, 4, 21, 59, 0);
  const std::string saved = Saved(entry);
  for (const char* form : {"<Tat>2.50</Tat>", "<Voltage>3.14</Voltage>", "<DepthOffset>-9999.00</DepthOffset>",
                           "<UpdatedResult>1</UpdatedResult>", "<LastStatusTime>2026-12-04 21:59:00</LastStatusTime>"})
    EXPECT_NE(saved.find(form), std::string::npos) << form;
  EXPECT_EQ(saved.find("<CI1Time>"), std::string::npos) << "a zero date-time is not written: " << saved;
  EXPECT_EQ(saved.rfind("<Velmoors><Velmoor><General><UnitId>77</UnitId><DataFormat>-1</DataFormat>", 0), 0u);
  EXPECT_EQ(saved.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(saved.find("<?xml"), std::string::npos);
  EXPECT_TRUE(text_encoding::IsValidUtf8(saved));
  EXPECT_NE(saved.find("Note \xC2\xB0\xC3\xA9 end"), std::string::npos) << "UTF-8, bell left out";
#ifndef _WIN32
  // libxml2's xmllint, a strict reader of another make, takes it too (Windows has no xmllint).
  EXPECT_EQ(std::system(("xmllint --noout '" + file.string() + "'").c_str()), 0);
#endif

  // Read back: the same 8-bit text less the bell; a second save changes nothing.
  const StatusEntry read = ReadBack(saved, "77");
  EXPECT_EQ(read.status.String1.view(), ",N\xB0\xE9Z");
  EXPECT_EQ(read.status.String2.view(), "Note \xB0\xE9 end");
  EXPECT_EQ(Saved(read), saved);

  // A file of an earlier version: the same unit with raw 8-bit bytes and a bell written as a
  // character reference. It loads, reads the same, and saving the loaded document writes it
  // correctly.
  std::string old = saved;
  for (size_t at; (at = old.find("\xC2\xB0\xC3\xA9")) != std::string::npos;) old.replace(at, 4, "\xB0\xE9&#07;");
  WriteFile(file, old);
  CStatusXml legacy;
  ASSERT_EQ(legacy.Load(file).outcome, CStatusXml::LoadOutcome::Loaded);
  EXPECT_EQ(legacy.ReadUnit("77").status.String2.view(), read.status.String2.view());
  ASSERT_TRUE(legacy.Save(file).saved);
  EXPECT_EQ(ReadFile(file), saved);
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
  // The text and the date-time read from it.
  // clang-format off
  const std::pair<const char*, std::optional<DateTime>> cases[] = {
      {"2026-12-04 21:59:07", At(2026, 12, 4, 21, 59, 7)}, {"04/12/2026 21:59", At(2026, 12, 4, 21, 59, 0)},
      {"04/12/2026 21:59:07", At(2026, 12, 4, 21, 59, 7)}, {"4.12.2026 9:05:30", At(2026, 12, 4, 9, 5, 30)},
      {"04.12.2026", At(2026, 12, 4, 0, 0, 0)},             {"12/4/2026 9:05 PM", At(2026, 12, 4, 21, 5, 0)},
      {"12/4/2026 12:00:01 am", At(2026, 12, 4, 0, 0, 1)}, {"12/4/2026 12:30 PM", At(2026, 12, 4, 12, 30, 0)},
      {"13/12/2026 10:00", At(2026, 12, 13, 10, 0, 0)},
      {"13/12/2026 10:00 AM", std::nullopt},  // no thirteenth month
      {"04.12.2026 9:05 PM", std::nullopt},   // the marker goes with the slash form only
      {"12/4/2026 13:05 PM", std::nullopt}, {"04/12/26 21:59", std::nullopt},
      {"04-12-2026 21:59", std::nullopt},   {"31/04/2026 10:00", std::nullopt},
  };
  // clang-format on
  for (const auto& [text, expected] : cases) EXPECT_EQ(DateTime::FromText(text), expected) << text;
}
