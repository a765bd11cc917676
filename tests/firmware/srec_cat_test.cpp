// Program images written by an S-record writer of another make, Debian's srec_cat (package
// srecord), in each layout the load takes: S1 and S2 data records, with and without a count
// record, S9 and S8 end records, 1 to 19 data bytes a record, LF and CR LF line ends. Each loads
// whole into the simulated unit; the same images damaged one byte at a time, and the layouts
// the load cannot take, are refused before the unit is touched or asked about as the load
// judges them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "firmware/srecord_image.h"
#include "sim/sim_bootloader.h"
#include "tests/firmware/load_bench.h"

namespace fs = std::filesystem;

namespace {

const char* const kNoSrecCat =
    "srec_cat is not installed (Debian package srecord; scripts/install-deps.sh installs it)";
const std::string kChecksum = "Checksum error on record read from file";
const std::string kUnsupported = "Unsupported S record type read from file";

bool NoSrecCat() { return std::system("command -v srec_cat >/dev/null") != 0; }

// The program: pages 0, 1 running on into 3, and the top of 2 (16-bit addresses); wide, pages 4
// and 7 as well, up to near the end of the programming area. Each byte a function of its address.
const int64_t kRegions[][2] = {{0x2010, 150}, {0x7FC0, 0x60}, {0xFFF0, 16}, {0x18000, 64}, {0x4BF80, 0x70}};
uint8_t Byte(int64_t address) { return static_cast<uint8_t>((address * 2654435761u) >> 13); }

struct Layout {
  int addressLength;  // 2: S1 records (S2 above 0xFFFF) and S9; 3: S2 and S8; 4: S3 and S7
  bool wide;
  bool count;  // an S5 count record
  int obs;     // data bytes a record
  bool crlf;
  std::string header = "T7 V3.14.0";  // "" none; "srec_cat" srec_cat's own
  bool end = true;
};

// The lines of the image srec_cat writes in the layout (each without its LF), written to `file`.
std::vector<std::string> Image(const fs::path& dir, const Layout& l, const fs::path& file) {
  std::string args;
  for (int i = 0; i < (l.wide ? 5 : 3); ++i) {
    const fs::path bin = dir / ("r" + std::to_string(i) + ".bin");
    std::ofstream out(bin, std::ios::binary);
    for (int64_t a = kRegions[i][0]; a < kRegions[i][0] + kRegions[i][1]; ++a) out.put(static_cast<char>(Byte(a)));
    args += " '" + bin.string() + "' -binary -offset " + std::to_string(kRegions[i][0]);
  }
  args += " -o '" + file.string() + "' -motorola -obs=" + std::to_string(l.obs) +
          " -address-length=" + std::to_string(l.addressLength) + (l.count ? " -enable" : " -disable") + "=data-count" +
          (l.end ? " -execution-start-address=0" : "") + (l.crlf ? " -crlf" : "") +
          (l.header.empty()         ? " -disable=header"
           : l.header == "srec_cat" ? ""
                                    : " -header '" + l.header + "'");
  EXPECT_EQ(std::system(("srec_cat" + args).c_str()), 0) << args;
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(SrecCat, EveryLayoutTheLoadTakesLoadsWhole) {
  if (NoSrecCat()) GTEST_SKIP() << kNoSrecCat;
  const Layout layouts[] = {{2, false, false, 16, false}, {2, false, true, 19, true},   {2, false, true, 1, false, ""},
                            {2, true, true, 16, true},    {2, true, false, 8, false},   {3, true, false, 18, false},
                            {3, true, true, 16, true},    {3, false, true, 4, true, ""}};
  for (const Layout& layout : layouts) {
    SCOPED_TRACE("S" + std::to_string(layout.addressLength - 1) + " obs " + std::to_string(layout.obs) +
                 (layout.count ? " S5" : "") + (layout.crlf ? " CRLF" : " LF") + (layout.wide ? " wide" : ""));
    LoadBench l;
    const std::vector<std::string> lines = Image(l.b.root, layout, l.b.root / "image.a07");
    l.text = (std::stringstream() << std::ifstream(l.b.root / "image.a07", std::ios::binary).rdbuf()).str();
    ASSERT_EQ(lines.back().substr(0, 2), layout.addressLength == 2 ? "S9" : "S8");
    ASSERT_EQ(l.text.find("\nS5") != std::string::npos, layout.count);
    l.b.op.answers = {MbAnswer::Yes};
    ASSERT_TRUE(l.RunAction());

    EXPECT_EQ(l.pane.substr(0, 20), "Programming complete");
    std::vector<std::string> boxes = {"Warning - the address has been changed to 1001"};
    if (layout.count) boxes.insert(boxes.begin(), l.Question(kUnsupported.c_str(), -12));
    EXPECT_EQ(l.b.op.BoxTexts(), boxes);
    const SimUnitState& s = l.b.sim().state;
    int wrong = 0;
    for (int i = 0; i < (layout.wide ? 5 : 3); ++i)
      for (int64_t a = kRegions[i][0]; a < kRegions[i][0] + kRegions[i][1]; ++a) wrong += SimFlashByte(s, a) != Byte(a);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(s.flash.loadsCompleted, 1);
    EXPECT_EQ(s.flash.programVersion == "V3.14.0", !layout.header.empty());
  }
}

// Each hex digit of a data record spoilt in turn is a checksum error at its line; its type digit
// spoilt, the line is refused as the load would stop on it or lose it, or (made a page check)
// sent for the bootloader to judge (the load tests show its refusal asked about); a count record
// spoilt anywhere is still only asked about. Layouts the load cannot take whole are refused at
// the line that would be lost.
TEST(SrecCat, DamagedImagesAndLayoutsTheLoadCannotTake) {
  if (NoSrecCat()) GTEST_SKIP() << kNoSrecCat;
  const fs::path dir = FreshTempDir("srec"), path = dir / "image.a07";
  for (const Layout& layout : {Layout{2, false, true, 16, true}, Layout{3, true, true, 16, false}}) {
    const std::vector<std::string> lines = Image(dir, layout, dir / "clean.a07");
    const size_t data = 2, count = lines.size() - 2, eol = layout.crlf ? 1 : 0;
    ASSERT_EQ(lines[count].substr(0, 2), "S5");
    auto Check = [&](size_t index, size_t at, char c) {  // the file with line `index` spoilt at `at`
      std::ofstream out(path, std::ios::binary);
      for (size_t i = 0; i < lines.size(); ++i)
        out << (i == index ? lines[i].substr(0, at) + c + lines[i].substr(at + 1) : lines[i]) << "\n";
      out.close();
      return CSRecordImage::CheckFile(path.string());
    };
    for (size_t at = 2; at + eol < lines[data].size(); ++at) {
      const char c = lines[data][at];
      const ProgramFileCheck check = Check(data, at, c == 'F' ? 'E' : c == '9' ? 'A' : static_cast<char>(c + 1));
      EXPECT_EQ(check.line, 3) << "at " << at;
      EXPECT_EQ(check.text, kChecksum) << "at " << at;
    }
    for (size_t at = 2; at + eol < lines[count].size(); ++at)
      EXPECT_EQ(Check(count, at, lines[count][at] == '0' ? '8' : '0').questions, 1) << "at " << at;

    const bool s1 = lines[data][1] == '1';
    // clang-format off
    const std::string byType[] = {CSRecordImage::kHeaderAmongDataText,
                                  "Code address below programming area",  // an S2 record read as S1
                                  "Code address exceeds programming area",
                                  kUnsupported, kUnsupported, kUnsupported, "", kUnsupported,
                                  CSRecordImage::kEndRecordWithDataText, CSRecordImage::kEndRecordWithDataText,
                                  "Illegal S record read from file"};
    // clang-format on
    for (char type : std::string("0123456789X")) {
      if (type == lines[data][1]) continue;
      const ProgramFileCheck check = Check(data, 1, type);
      EXPECT_EQ(check.text, byType[type == 'X' ? 10 : type - '0']) << type;
      EXPECT_EQ(check.ok, type == '6') << type << (s1 ? " in S1" : " in S2");
    }
  }

  const struct {
    Layout layout;
    int line;  // 0: after the last
    std::string text;
  } refused[] = {
      {{2, false, false, 20, false}, 2, kChecksum},  // 50 characters
      {{3, false, false, 19, false}, 2, kChecksum},
      {{2, false, false, 16, false, "srec_cat"}, 1, "Illegal S record read from file"},  // a 70-character header
      {{4, false, false, 16, false}, 2, kUnsupported},
      {{2, false, true, 16, false, "T7", false}, 0, CSRecordImage::kNoEndRecordText},
  };
  for (const auto& c : refused) {
    const int lines = static_cast<int>(Image(dir, c.layout, path).size());
    const ProgramFileCheck check = CSRecordImage::CheckFile(path.string());
    EXPECT_EQ(check.line, c.line > 0 ? c.line : lines + 1) << c.text;
    EXPECT_EQ(check.text, c.text);
  }
  fs::remove_all(dir);
}

}  // namespace
