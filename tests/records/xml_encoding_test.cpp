// The unit's 8-bit text (code page 1252) and UTF-8: the conversions both ways, the characters
// XML forbids, and export lines that never cut a character. (The status document's own
// encoding is pinned with the document.)
#include <gtest/gtest.h>

#include <string>

#include "platform/text_encoding.h"
#include "records/export.h"

namespace {

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
  EXPECT_EQ(text_encoding::XmlCharsOnly(std::string("a\x01") + "b\xEF\xBF\xBE" + "c\xED\xA0\x80" + "d"), "abcd");
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
