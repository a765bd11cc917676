// Status files are XML 1.0 in UTF-8 whatever the unit's replies hold: its 8-bit text (code page
// 1252) is converted on the way into the document and back, control bytes other than TAB, CR
// and LF are left out, and files written raw by earlier versions still load and are put right
// by the next save.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/text_encoding.h"
#include "records/export.h"
#include "sim/sim_status.h"
#include "tests/records/records_support.h"

namespace {
using records_test::ReadFile;
using records_test::WriteFile;

// 0xB0 (degree sign), 0xE9 (e acute) and 0x07 (bell) in both texts the unit sends.
const std::string kOdd = "\xB0\xE9\x07";

// libxml2's xmllint, a strict reader of another make (Linux builds; Windows has no xmllint).
bool StrictXmlParserAccepts(const std::filesystem::path& file) {
#ifdef _WIN32
  (void)file;
  return true;
#else
  const std::string command = "xmllint --noout '" + file.string() + "'";
  return std::system(command.c_str()) == 0;
#endif
}

void Replace(std::string& text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

TEST(XmlEncoding, RepliesWithHighAndControlBytesGiveAFileEveryReaderAccepts) {
  UnitOnBench b;
  b.sim().Handle("INFO", [](SimUnit& u, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.lines = UnitInformationLines(u.state);
    r.lines.push_back("Note " + kOdd + " end");
    return r;
  });
  b.sim().Handle("STTX", [](SimUnit& u, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.noEcho = true;
    r.lines.push_back(SerialStatusRecord(u.state) + ",N" + kOdd + "Z");
    return r;
  });
  ASSERT_TRUE(b.unit->GetStatus("", TextSpan(b.unit->status.replyText), false));
  ASSERT_NE(b.unit->status.currentStatus.String1.view().find(kOdd), std::string::npos)
      << b.unit->status.currentStatus.String1.str();
  ASSERT_NE(b.unit->status.currentStatus.String2.view().find(kOdd), std::string::npos);

  const auto path = b.root / "T7Status" / "Current-Status.xml";
  const std::string saved = ReadFile(path);
  EXPECT_TRUE(text_encoding::IsValidUtf8(saved));
  EXPECT_NE(saved.find("Note \xC2\xB0\xC3\xA9 end"), std::string::npos) << "UTF-8, bell left out";
  EXPECT_TRUE(StrictXmlParserAccepts(path));

  // Read back: the same 8-bit text less the bell; a second read and save changes nothing.
  char id[16];
  std::snprintf(id, sizeof id, "%d", b.unit->status.currentStatus.UnitId);
  CStatusXml doc;
  ASSERT_EQ(doc.Load(path).outcome, CStatusXml::LoadOutcome::Loaded);
  const StatusEntry entry = doc.ReadUnit(id);
  EXPECT_NE(entry.status.String2.view().find("Note \xB0\xE9 end"), std::string::npos);
  EXPECT_NE(entry.status.String1.view().find(",N\xB0\xE9Z"), std::string::npos);
  doc.WriteUnit(entry.checks, entry.status);
  ASSERT_TRUE(doc.Save(path).saved);
  EXPECT_EQ(ReadFile(path), saved);

  // A file of an earlier version: the same unit with raw 8-bit bytes and a bell written as a
  // character reference. It loads, reads the same, and the next save writes it correctly.
  std::string old = saved;
  Replace(old, "\xC2\xB0\xC3\xA9", "\xB0\xE9&#07;");
  ASSERT_NE(old, saved);
  WriteFile(path, old);
  CStatusXml legacy;
  ASSERT_EQ(legacy.Load(path).outcome, CStatusXml::LoadOutcome::Loaded);
  EXPECT_EQ(legacy.ReadUnit(id).status.String2.view(), entry.status.String2.view());
  ASSERT_TRUE(legacy.Save(path).saved);
  EXPECT_EQ(ReadFile(path), saved);
}

TEST(XmlEncoding, CodePageRoundTripsAndForbiddenCharacters) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  const std::string utf8 = text_encoding::Cp1252ToUtf8(all, true);
  EXPECT_TRUE(text_encoding::IsValidUtf8(utf8));
  EXPECT_FALSE(text_encoding::HasNonXmlChars(utf8));
  std::string kept;
  for (char c : all)
    if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r') kept.push_back(c);
  EXPECT_EQ(text_encoding::Utf8ToCp1252(utf8), kept) << "every byte but the controls comes back";
  EXPECT_EQ(text_encoding::Cp1252ToUtf8("\x80", false), "\xE2\x82\xAC") << "the euro sign";
  EXPECT_EQ(text_encoding::Utf8ToCp1252("\xCE\xA9"), "?") << "a character the code page lacks";
  EXPECT_EQ(text_encoding::XmlCharsOnly("a\x01"
                                        "b\xEF\xBF\xBE"
                                        "c\xED\xA0\x80"
                                        "d"),
            "abcd");
}

TEST(XmlEncoding, ExportLinesAreNeverCutInsideACharacter) {
  // One piece longer than an export line, made of two-byte characters after one ASCII byte.
  std::string piece = "<";
  while (piece.size() < 2 * kExportLineMax) piece += "\xC3\xA9";
  const std::vector<std::string> lines = ExportLines(piece);
  ASSERT_GE(lines.size(), 2u);
  std::string joined;
  for (const std::string& l : lines) {
    EXPECT_LE(l.size(), kExportLineMax);
    EXPECT_TRUE(text_encoding::IsValidUtf8(l));
    joined += l;
  }
  EXPECT_EQ(joined, piece);
}

}  // namespace
