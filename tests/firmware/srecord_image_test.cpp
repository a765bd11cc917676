// The program image: reply judgement, line pieces, record checks, the trailer, error texts,
// the page map and the file chooser.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "firmware/srecord_image.h"
#include "sim/scripted_operator.h"
#include "tests/support/test_bench.h"
#include "tools/sample_programs.h"

namespace {

// A record with a correct checksum and count: type '1' (16-bit address) or '2' (24-bit).
std::string Rec(char type, uint32_t address, std::vector<uint8_t> data) {
  return sample_programs::Record(type, address, type == '1' ? 2 : 3, data.data(), static_cast<int>(data.size()));
}

class Image : public ::testing::Test {
 protected:
  void SetUp() override { dir = FreshTempDir("srec"); }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Opens the image on a file of these lines (CR LF ends).
  void OpenLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    OpenText(text);
  }
  void OpenText(const std::string& text) {
    const auto path = (dir / "p.a07").string();
    std::ofstream(path, std::ios::binary) << text;
    image.path.Assign(path);
    ASSERT_TRUE(image.Open());
  }
  // The next step with the reply "OK" to the record before.
  int Next() {
    buffer.Assign("OK");
    return image.NextRecord(buffer);
  }
  std::string Buf() const { return buf; }

  std::filesystem::path dir;
  CSRecordImage image;
  char buf[52] = {};
  TextSpan buffer{buf};
};

TEST_F(Image, RepliesThatLetTheNextRecordGo) {
  OpenLines({"S0030000FC", Rec('1', 0x2000, {1, 2}), Rec('1', 0x2002, {3}), Rec('1', 0x2003, {4}),
             Rec('1', 0x2004, {5}), "S9030000FC"});
  for (const char* reply : {"", "abc", "OK", "Programmed OK 4\r\n", "Error 0\r\n"}) {
    buffer.Assign(reply);
    EXPECT_EQ(image.NextRecord(buffer), 0) << "reply [" << reply << "]";
  }
  EXPECT_EQ(image.recordsRead, 5);
}

TEST_F(Image, RepliesThatStopTheLoad) {
  const std::string data = Rec('1', 0x2000, {0xAA});
  OpenLines({data, "S9030000FC"});
  EXPECT_EQ(Next(), 0);
  EXPECT_EQ(Buf(), data);

  buffer.Assign("ERROR 3\r\n");  // first digit 3, no "OK": the record comes back
  EXPECT_EQ(image.NextRecord(buffer), 3);
  EXPECT_EQ(Buf(), data);

  buffer.Assign("Boot>\r\n");  // no digit and no "OK": kept as it came
  EXPECT_EQ(image.NextRecord(buffer), 13);
  EXPECT_EQ(Buf(), "Boot>\r\n");

  // Nothing at all came back for several records in a row: not taken for acceptance.
  buffer.Clear();
  image.silentRecords = CSRecordImage::kSilentLimit;
  EXPECT_EQ(image.NextRecord(buffer), 13);
  EXPECT_EQ(Buf(), data) << "going on sends the record again";
  EXPECT_EQ(image.recordsRead, 1) << "no line was read meanwhile";
}

TEST_F(Image, LinesAreReadInPiecesOf49Characters) {
  // 48 characters (18 data bytes): read whole. 50 characters (19 data bytes): split into a
  // piece of 49, whose count no longer matches it, and a piece holding the rest.
  const std::string whole = Rec('2', 0x4000, std::vector<uint8_t>(18, 0x11));
  const std::string split = Rec('1', 0x5000, std::vector<uint8_t>(20, 0x22));
  ASSERT_EQ(whole.size(), 48u);
  ASSERT_EQ(split.size(), 50u);
  OpenLines({whole, split, "S9030000FC"});
  EXPECT_EQ(image.lineCount, 4);
  EXPECT_EQ(Next(), 0);
  EXPECT_EQ(Buf(), whole);
  EXPECT_EQ(Next(), 10) << "the first piece lacks its checksum byte";
  EXPECT_EQ(Next(), 11) << "the second piece";
  EXPECT_EQ(Buf(), "");
  EXPECT_EQ(Next(), 0);
  EXPECT_EQ(image.recordsRead, 4);
}

TEST_F(Image, RecordTypesAndChecks) {
  const std::string badSum = "S1052000AA0031";  // the checksum should be 0x30
  // Counts that disagree with the line although the checksum holds.
  const std::string longCount = "S1092000AABB71";  // count 9 but three bytes follow the address
  const std::string shortCount = "S1042000AABB76";
  OpenLines({"S00600004844521B", "S0FFbadheader", "S3070000200001D7", "S4030000FC", "S5030001FB", "S70500000000FA",
             "S6anything", "X1030000FC", "", badSum, longCount, shortCount, "s1042000AA31",
             "S1042000aa31", "S1042000AA31  ", "S1042000AA31 ", "S1052000AA31", "S9030000FC"});
  EXPECT_EQ(Next(), 0) << "S0 passed on";
  EXPECT_EQ(Next(), 0) << "S0 passed on unchecked";
  EXPECT_EQ(Buf(), "S0FFbadheader");
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Next(), 12) << "S3, S4, S5, S7";
    EXPECT_EQ(Buf(), "");
  }
  EXPECT_EQ(Next(), 0) << "S6 from the file passed on";
  EXPECT_EQ(Next(), 11) << "no S";
  EXPECT_EQ(Next(), 11) << "empty line";
  EXPECT_EQ(Next(), 10) << "checksum";
  EXPECT_EQ(Buf(), badSum) << "the faulty record stays for a retry";
  EXPECT_EQ(image.lastRecord.str(), badSum);
  EXPECT_EQ(Next(), 11) << "count longer than the line";
  EXPECT_EQ(Next(), 11) << "count shorter than the line";
  EXPECT_EQ(Buf(), "") << "nothing to send again";
  EXPECT_EQ(Next(), 11) << "lower-case type letter";
  EXPECT_EQ(Next(), 0) << "lower-case hex digits read as upper-case";
  EXPECT_EQ(image.pages[0][0x2000], 0xAA);
  EXPECT_EQ(Next(), 0) << "blanks after the last pair are not part of the record";
  EXPECT_EQ(Buf(), "S1042000AA31  ") << "passed on as read";
  EXPECT_EQ(Next(), 0) << "one blank";
  EXPECT_EQ(Next(), 10) << "a spoilt count fails the checksum first";
  EXPECT_EQ(Buf(), "S1052000AA31");
}

TEST_F(Image, ProgrammingArea) {
  OpenLines({
      Rec('1', 0x1FF0, {1}),                               // 15: below the area
      Rec('2', 0x4BFFF, {1}),                              // 14: at the limit
      Rec('2', 0x4BFFE, {0x5A, 0xA5}),                     // accepted: the last two bytes of page 7
      Rec('2', 0x10000, {1}),                              // 14: between the pages
      Rec('2', 0xFFF8, std::vector<uint8_t>(16, 0x77)),    // 14: runs from page 2 into the gap
      Rec('2', 0x4BFF8, std::vector<uint8_t>(16, 0x66)),   // 14: runs past the last page
      Rec('1', 0x7FFE, {0x12, 0x34, 0x56, 0x78}),          // accepted: page 1 runs on into page 3
      "S9030000FC",
  });
  EXPECT_EQ(Next(), 15);
  EXPECT_EQ(Next(), 14);
  EXPECT_EQ(Next(), 0);
  EXPECT_EQ(image.pages[7][0x3FFE], 0x5A);
  EXPECT_EQ(image.pages[7][0x3FFF], 0xA5);
  EXPECT_EQ(Next(), 14);
  EXPECT_EQ(Next(), 14);
  EXPECT_EQ(image.pages[2][0x3FF8], 0xFF) << "nothing of a refused record is stored";
  EXPECT_FALSE(image.pageUsed[2]);
  EXPECT_EQ(Next(), 14);
  EXPECT_EQ(Next(), 0);
  EXPECT_EQ(image.pages[1][0x3FFE], 0x12);
  EXPECT_EQ(image.pages[3][0x0001], 0x78);
}

TEST_F(Image, TrailerOfAPageOneImage) {
  const std::string data = Rec('1', 0x4000, {0x01, 0x02, 0xFE});
  OpenLines({"S0030000FC", data, "S9030000FC", "S1042000AA31" /* after the end: never read */});
  EXPECT_EQ(Next(), 0);
  EXPECT_EQ(Next(), 0);
  std::vector<std::string> trailer;
  int r;
  while ((r = Next()) == 0) trailer.push_back(Buf());
  EXPECT_EQ(r, -1);
  ASSERT_EQ(trailer.size(), 9u);
  EXPECT_EQ(trailer[0], "S60B00002001000000000000D3") << "page 0 from 0x2001, unused";
  // Page 1: 0x4000, length 0x4000, sum 1 + 2 + 0xFE + 16381 * 0xFF = 0x3FBE04, kept as 0xBE04.
  EXPECT_EQ(trailer[1], "S60B0000400000004000BE04B2");
  EXPECT_EQ(trailer[2], "S60B0000C00000000000000034") << "page 2 at 0xC000, unused";
  EXPECT_EQ(trailer[3], "S60B0000800000000000000074") << "page 3 at 0x8000, unused";
  EXPECT_EQ(trailer[7], "S60B0004800000000000000070");
  EXPECT_EQ(trailer[8], "S9030000FC") << "no page 0 data: the end line itself";
  EXPECT_EQ(image.recordsRead, 3);
  EXPECT_EQ(Next(), -1);
}

TEST_F(Image, TrailerOfAPageZeroImage) {
  // Page 0 used, but only at 0x2000: everything from 0x2001 on is still 0xFF.
  OpenLines({Rec('1', 0x2000, {0x12}), "S9030000FC"});
  EXPECT_EQ(Next(), 0);
  EXPECT_EQ(Next(), 0);
  EXPECT_EQ(Buf(), "S60B0000200100001FFFDF01D5");
  std::string last;
  while (Next() == 0) last = Buf();
  EXPECT_EQ(last, "S20500200006D4") << "the marker instead of the end line";
}

TEST_F(Image, FilesThatGiveNothingToSend) {
  CSRecordImage closed;
  char b[52] = "";
  EXPECT_EQ(closed.NextRecord(b), 16);
  closed.path.Assign((dir / "missing.a07").string());
  EXPECT_FALSE(closed.Open());

  OpenText("");
  EXPECT_EQ(image.lineCount, 0);
  EXPECT_EQ(Next(), 11);

  OpenLines({Rec('1', 0x2000, {1})});  // no end record
  EXPECT_EQ(Next(), 0);
  EXPECT_EQ(Next(), 11);
  EXPECT_EQ(Next(), 11);
  image.Close();
  EXPECT_EQ(image.lineCount, 0);
  EXPECT_EQ(Next(), 16);
}

TEST(ImageTexts, ErrorTextsAsTheOperatorReadsThem) {
  char t[80];
  const std::pair<int, const char*> expected[] = {
      {1, "BootLoader: S record checksum error"},
      {2, "BootLoader: Sector erase error"},
      {3, "BootLoader: Flash programming failure"},
      {4, "BootLoader: Checksum error on programmed memory"},
      {5, "BootLoader: Unresolved charater"},
      {6, "BootLoader: Input buffer overrun"},
      {10, "Checksum error on record read from file"},
      {11, "Illegal S record read from file"},
      {12, "Unsupported S record type read from file"},
      {13, "Unknown reply recieved from bootloader"},
      {14, "Code address exceeds programming area"},
      {15, "Code address below programming area"},
      {16, "No data file open"},
      {7, "Unknown errer number 7"},
      {-4, "Unknown errer number -4"},
  };
  for (const auto& [n, text] : expected) {
    CSRecordImage::ErrorText(n, t);
    EXPECT_STREQ(t, text);
  }
}

TEST(ImagePages, WindowsAndAddresses) {
  EXPECT_EQ(CSRecordImage::PageOf(0x0000), 0);
  EXPECT_EQ(CSRecordImage::PageOf(0x7FFF), 1);
  EXPECT_EQ(CSRecordImage::PageOf(0x8000), 3);
  EXPECT_EQ(CSRecordImage::PageOf(0xC000), 2);
  EXPECT_EQ(CSRecordImage::PageOf(0xFFFF), 2);
  EXPECT_EQ(CSRecordImage::PageOf(0x10000), -1);
  EXPECT_EQ(CSRecordImage::PageOf(0x17FFF), -1);
  EXPECT_EQ(CSRecordImage::PageOf(0x18000), 4);
  EXPECT_EQ(CSRecordImage::PageOf(0x2C000), -1);
  EXPECT_EQ(CSRecordImage::PageOf(0x4BFFF), 7);
  EXPECT_EQ(CSRecordImage::PageOf(0x4C000), -1);
  EXPECT_EQ(CSRecordImage::PageOf(-1), -1);
  EXPECT_EQ(CSRecordImage::PageAddress(2, 0x10), 0xC010);
  EXPECT_EQ(CSRecordImage::PageAddress(3, 0), 0x8000);
  EXPECT_EQ(CSRecordImage::PageAddress(6, 0x3FFF), 0x3BFFF);
  EXPECT_EQ(CSRecordImage::PageAddress(8, 0), -1);
  EXPECT_EQ(CSRecordImage::PageAddress(-1, 0), -1);
}

TEST(ImageChooser, ChosenCancelledAndTooLong) {
  ScriptedOperator op;
  char path[501] = "/initial";
  op.files.push_back(std::string("/bench/progs/new.a07"));
  EXPECT_TRUE(CSRecordImage::ChooseFile(op, path, 0));
  EXPECT_STREQ(path, "/bench/progs/new.a07");

  EXPECT_FALSE(CSRecordImage::ChooseFile(op, path, 0)) << "cancelled";
  EXPECT_STREQ(path, "");

  op.files.push_back("/" + std::string(520, 'd') + ".a07");
  EXPECT_FALSE(CSRecordImage::ChooseFile(op, path, 0)) << "would be cut to another name";
  EXPECT_STREQ(path, "");

  int n = 0;
  const auto* programs = CSRecordImage::FileFilters(0, n);
  ASSERT_EQ(n, 2);
  EXPECT_STREQ(programs[0].description, "Programs (*.a07)");
  EXPECT_STREQ(programs[0].pattern, "*.a07");
  EXPECT_STREQ(programs[1].description, "All (*.*)");
  EXPECT_STREQ(CSRecordImage::FileFilters(1, n)[0].description, "Commands (*.T7d)");
  EXPECT_STREQ(CSRecordImage::FileFilters(1, n)[0].pattern, "*.T7d");
}

}  // namespace
