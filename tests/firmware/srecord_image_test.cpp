// The program image: reply judgement, line pieces, record checks, the trailer, error texts,
// the page map and the file chooser.
#include <gtest/gtest.h>

#include "firmware/srecord_image.h"
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
  void TearDown() override {
    image.Close();  // Windows removes no file that is still open
    std::filesystem::remove_all(dir);
  }

  // Opens the image on a file of these lines (CR LF ends).
  void OpenLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
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

TEST_F(Image, RecordTypesAndChecks) {
  const std::string badSum = "S1052000AA0031";  // the checksum should be 0x30
  // Counts that disagree with the line although the checksum holds.
  const std::string longCount = "S1092000AABB71";  // count 9 but three bytes follow the address
  const std::string shortCount = "S1042000AABB76";
  OpenLines({"S00600004844521B", "S0FFbadheader", "S3070000200001D7", "S4030000FC", "S5030001FB", "S70500000000FA",
             "S6anything", "X1030000FC", "", badSum, longCount, shortCount, "s1042000AA31", "S1042000aa31",
             "S1042000AA31  ", "S1042000AA31 ", "S1052000AA31", "S9030000FC"});
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
  EXPECT_EQ(Next(), 10) << "count longer than the line";
  EXPECT_EQ(Next(), 10) << "count shorter than the line";
  EXPECT_EQ(Buf(), shortCount) << "the record stays, to be sent again";
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
      Rec('1', 0x1FF0, {1}),                              // 15: below the area
      Rec('2', 0x4BFFF, {1}),                             // 14: at the limit
      Rec('2', 0x4BFFE, {0x5A, 0xA5}),                    // accepted: the last two bytes of page 7
      Rec('2', 0x10000, {1}),                             // 14: between the pages
      Rec('2', 0xFFF8, std::vector<uint8_t>(16, 0x77)),   // 14: runs from page 2 into the gap
      Rec('2', 0x4BFF8, std::vector<uint8_t>(16, 0x66)),  // 14: runs past the last page
      Rec('1', 0x7FFE, {0x12, 0x34, 0x56, 0x78}),         // accepted: page 1 runs on into page 3
      "S9030000FC",
  });
  EXPECT_EQ(Next(), 15);
  EXPECT_EQ(Next(), 14);
  char text[100];
  CSRecordImage::ErrorText(14, text);  // what the operator is asked about
  EXPECT_STREQ(text, "Code address exceeds programming area");
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

// The whole file judged before a load: it fails on the first line whose loss would leave a hole
// in the program, by its line in the file (a long header line is two pieces but one line), or
// on what the whole file lacks; blank lines and count records are left to the load's question.
TEST_F(Image, CheckFileRefusesOnlyWhatWouldLoseProgramData) {
  const std::string data = Rec('1', 0x2000, {0xAA}), header = "S00600004844521B", end = "S9030000FC";
  const char* const illegal = "Illegal S record read from file";
  const char* const unsupported = "Unsupported S record type read from file";
  const struct {
    std::vector<std::string> lines;
    int line;  // 0: the file passes
    std::string text;
  } cases[] = {
      {{header, end}, 0, ""},  // no data at all: the load sends the header and the trailer
      {{header, "", data, "   ", "S5030001FB", "S4030000FC", end, "trailing words"}, 0, ""},
      {{header, data, "S1092000AABB71", end}, 3, "Checksum error on record read from file"},
      {{"Status^#HWST^10", end}, 1, illegal},
      {{data, "\t" + data, end}, 2, illegal},  // blank only as the load cuts it
      {{data, std::string("\0", 1) + data, end}, 2, illegal},
      {{"S0" + std::string(60, '4'), data, end}, 1, illegal},
      {{data, "S3070000200001D7", end}, 2, unsupported},
      {{data, "S70500000000FA", end}, 2, unsupported},
      {{data, "S5052000AA30", end}, 2, unsupported},  // a data record with its type spoilt
      {{data, header, data, end}, 2, CSRecordImage::kHeaderAmongDataText},
      {{data, "S9052000AA30", end}, 2, CSRecordImage::kEndRecordWithDataText},
      {{data, "S804000000FB", data}, 3, CSRecordImage::kDataAfterEndText},
      {{header, data}, 3, CSRecordImage::kNoEndRecordText},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines[1]);
    OpenLines(c.lines);
    const ProgramFileCheck check = CSRecordImage::CheckFile(image.path.str());
    EXPECT_EQ(check.ok, c.line == 0);
    EXPECT_EQ(check.line, c.line);
    EXPECT_EQ(check.text, c.text);
  }
  EXPECT_EQ(CSRecordImage::CheckFile((dir / "none.a07").string()).text, "No data file open");
}

}  // namespace
