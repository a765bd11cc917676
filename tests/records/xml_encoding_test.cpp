// Status files are XML 1.0 in UTF-8 whatever the unit's replies hold: its 8-bit text (code page
// 1252) is converted on the way into the document and back, control bytes other than TAB, CR
// and LF are left out, and files written raw by earlier versions still load and are put right
// by the next save.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/text_encoding.h"
#include "records/export.h"
#include "tests/records/records_support.h"

namespace {
using records_test::ReadFile;
using records_test::WriteFile;

// 0xB0 (degree sign), 0xE9 (e acute) and 0x07 (bell), as the unit's replies bring them into
// both texts that keep them.
const std::string kOdd = "\xB0\xE9\x07";

TEST(XmlEncoding, HighAndControlBytesGiveAFileEveryReaderAccepts) {
  const auto root = FreshTempDir("encoding");
  const auto path = root / "T7Status" / "Current-Status.xml";
  StatusEntry entry;
  entry.status.UnitId = 77;
  entry.status.String1 = ",N" + kOdd + "Z";
  entry.status.String2 = "Note " + kOdd + " end";
  CStatusXml doc;
  doc.WriteUnit(entry.checks, entry.status);
  ASSERT_TRUE(doc.Save(path).saved);
  const std::string saved = ReadFile(path);
  EXPECT_TRUE(text_encoding::IsValidUtf8(saved));
  EXPECT_NE(saved.find("Note \xC2\xB0\xC3\xA9 end"), std::string::npos) << "UTF-8, bell left out";
#ifndef _WIN32
  // libxml2's xmllint, a strict reader of another make, takes it too (Windows has no xmllint).
  EXPECT_EQ(std::system(("xmllint --noout '" + path.string() + "'").c_str()), 0);
#endif

  // Read back: the same 8-bit text less the bell; a second read and save changes nothing.
  CStatusXml again;
  ASSERT_EQ(again.Load(path).outcome, CStatusXml::LoadOutcome::Loaded);
  const StatusEntry read = again.ReadUnit("77");
  EXPECT_EQ(read.status.String1.view(), ",N\xB0\xE9Z");
  EXPECT_EQ(read.status.String2.view(), "Note \xB0\xE9 end");
  again.WriteUnit(read.checks, read.status);
  ASSERT_TRUE(again.Save(path).saved);
  EXPECT_EQ(ReadFile(path), saved);

  // A file of an earlier version: the same unit with raw 8-bit bytes and a bell written as a
  // character reference. It loads, reads the same, and the next save writes it correctly.
  std::string old = saved;
  for (size_t at; (at = old.find("\xC2\xB0\xC3\xA9")) != std::string::npos;) old.replace(at, 4, "\xB0\xE9&#07;");
  WriteFile(path, old);
  CStatusXml legacy;
  ASSERT_EQ(legacy.Load(path).outcome, CStatusXml::LoadOutcome::Loaded);
  EXPECT_EQ(legacy.ReadUnit("77").status.String2.view(), read.status.String2.view());
  ASSERT_TRUE(legacy.Save(path).saved);
  EXPECT_EQ(ReadFile(path), saved);
  std::filesystem::remove_all(root);
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
