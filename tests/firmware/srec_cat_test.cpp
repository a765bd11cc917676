// Program images written by an S-record writer of another make, Debian's srec_cat (package
// srecord), in each layout the load takes: S1 and S2 data records, with and without a count
// record, S9 and S8 end records, lines of 1 to 48 characters' worth of data, LF and CR LF line
// ends. Each loads whole into the simulated unit; the same images damaged one byte at a time
// are refused before the unit is touched, or asked about, as the load judges them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "firmware/srecord_image.h"
#include "sim/sim_bootloader.h"
#include "tests/firmware/load_bench.h"

namespace fs = std::filesystem;

namespace {

// srec_cat on the PATH, or empty.
std::string SrecCat() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  for (std::string d; std::getline(dirs, d, ':');)
    if (!d.empty() && fs::exists(fs::path(d) / "srec_cat")) return (fs::path(d) / "srec_cat").string();
  return {};
}

const char* const kNoSrecCat = "srec_cat is not installed (Debian package srecord; scripts/install-deps.sh installs it)";

struct Region {
  int64_t address;
  std::vector<uint8_t> bytes;
};

// Program data within 16-bit addresses (pages 0, 1 running on into 3, and the top of 2), and
// when wide in pages 4 and 7 as well, up to near the end of the programming area.
std::vector<Region> Memory(bool wide) {
  std::vector<Region> memory = {{0x2010, {}}, {0x7FC0, {}}, {0xFFF0, {}}};
  std::vector<int> sizes = {150, 0x60, 16};
  if (wide) {
    memory.push_back({0x18000, {}}), sizes.push_back(64);
    memory.push_back({0x4BF80, {}}), sizes.push_back(0x70);
  }
  uint32_t x = 7;
  for (size_t i = 0; i < memory.size(); ++i)
    for (int n = 0; n < sizes[i]; ++n) memory[i].bytes.push_back(static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16));
  return memory;
}

struct Layout {
  int addressLength;  // 2: S1 records (S2 above 0xFFFF) and S9; 3: S2 and S8; 4: S3 and S7
  bool wide;
  bool count;  // an S5 count record
  int obs;     // data bytes a record
  bool crlf;
  std::string header = "T7 V3.14.0";  // "" none; "srec_cat" srec_cat's own
  bool end = true;
};

// The image srec_cat writes for the memory in the layout.
std::string Image(const fs::path& dir, const Layout& l, const std::vector<Region>& memory) {
  std::string args;
  for (size_t i = 0; i < memory.size(); ++i) {
    const fs::path bin = dir / ("r" + std::to_string(i) + ".bin");
    std::ofstream(bin, std::ios::binary).write(reinterpret_cast<const char*>(memory[i].bytes.data()),
                                               static_cast<std::streamsize>(memory[i].bytes.size()));
    args += " '" + bin.string() + "' -binary -offset " + std::to_string(memory[i].address);
  }
  const fs::path out = dir / "image.a07";
  args += " -o '" + out.string() + "' -motorola -obs=" + std::to_string(l.obs) +
          " -address-length=" + std::to_string(l.addressLength) + (l.count ? " -enable" : " -disable") +
          "=data-count" + (l.end ? " -execution-start-address=0" : "") + (l.crlf ? " -crlf" : "");
  if (l.header.empty()) args += " -disable=header";
  else if (l.header != "srec_cat") args += " -header '" + l.header + "'";
  EXPECT_EQ(std::system((SrecCat() + args).c_str()), 0) << args;
  return (std::stringstream() << std::ifstream(out, std::ios::binary).rdbuf()).str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

TEST(SrecCat, EveryLayoutTheLoadTakesLoadsWhole) {
  if (SrecCat().empty()) GTEST_SKIP() << kNoSrecCat;
  const Layout layouts[] = {
      {2, false, false, 16, false},      {2, false, true, 19, true},        {2, false, true, 1, false, ""},
      {2, true, true, 16, true},         {2, true, false, 8, false},        {3, true, false, 18, false},
      {3, true, true, 16, true},         {3, false, true, 4, true, ""},
  };
  for (const Layout& layout : layouts) {
    SCOPED_TRACE("S" + std::to_string(layout.addressLength - 1) + " obs " + std::to_string(layout.obs) +
                 (layout.count ? " S5" : "") + (layout.crlf ? " CRLF" : " LF") + (layout.wide ? " wide" : ""));
    LoadBench l;
    const std::vector<Region> memory = Memory(layout.wide);
    l.text = Image(l.b.root, layout, memory);
    const std::vector<std::string> lines = Lines(l.text);
    ASSERT_EQ(lines.back().substr(0, 2), layout.addressLength == 2 ? "S9" : "S8");
    ASSERT_EQ(l.text.find("\nS5") != std::string::npos, layout.count);
    l.b.op.answers = {MbAnswer::Yes};
    ASSERT_TRUE(l.RunAction());

    EXPECT_EQ(l.pane.substr(0, 20), "Programming complete");
    std::vector<std::string> boxes = {"Warning - the address has been changed to 1001"};
    if (layout.count) boxes.insert(boxes.begin(), l.Question("Unsupported S record type read from file", -12));
    EXPECT_EQ(l.b.op.BoxTexts(), boxes);
    const SimUnitState& s = l.b.sim().state;
    int wrong = 0;
    for (const Region& r : memory)
      for (size_t i = 0; i < r.bytes.size(); ++i) wrong += SimFlashByte(s, r.address + i) != r.bytes[i];
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(s.flash.loadsCompleted, 1);
    if (!layout.header.empty()) {
      EXPECT_EQ(s.flash.programVersion, "V3.14.0");
    }
  }
}

// Layouts the load cannot take whole: refused at the line that would be lost.
TEST(SrecCat, LayoutsTheLoadCannotTakeAreRefused) {
  if (SrecCat().empty()) GTEST_SKIP() << kNoSrecCat;
  const struct {
    Layout layout;
    int line;
    std::string text;
  } cases[] = {
      {{2, false, false, 20, false}, 2, "Checksum error on record read from file"},  // 50 characters
      {{3, false, false, 19, false}, 2, "Checksum error on record read from file"},
      {{2, false, false, 16, false, "srec_cat"}, 1, "Illegal S record read from file"},  // a 70-character header
      {{4, false, false, 16, false}, 2, "Unsupported S record type read from file"},
      {{2, false, true, 16, false, "T7", false}, 0, CSRecordImage::kNoEndRecordText},
  };
  for (const auto& c : cases) {
    const fs::path dir = FreshTempDir("srec");
    const std::string text = Image(dir, c.layout, Memory(false));
    const ProgramFileCheck check = CSRecordImage::CheckFile((dir / "image.a07").string());
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.line, c.line > 0 ? c.line : static_cast<int>(Lines(text).size()) + 1);
    EXPECT_EQ(check.text, c.text);
    fs::remove_all(dir);
  }
}

// Each hex digit of a data record spoilt in turn: refused at its line as a checksum error. Its
// type digit spoilt: refused as the load would stop on it, or (as a page check record) sent for
// the bootloader to judge. A count record spoilt anywhere is still only asked about.
TEST(SrecCat, ImagesDamagedOneByteAtATime) {
  if (SrecCat().empty()) GTEST_SKIP() << kNoSrecCat;
  const std::string checksum = "Checksum error on record read from file";
  const std::string unsupported = "Unsupported S record type read from file";
  for (const Layout& layout : {Layout{2, false, true, 16, true}, Layout{3, true, true, 16, false}}) {
    const fs::path dir = FreshTempDir("srec");
    const std::string text = Image(dir, layout, Memory(layout.wide));
    const std::vector<std::string> lines = Lines(text);
    const std::string eol = layout.crlf ? "\r" : "";
    const fs::path path = dir / "damaged.a07";
    // The file with line `index` spoilt at `at`; the check's verdict.
    auto Check = [&](size_t index, size_t at, char c) {
      std::string damaged;
      for (size_t i = 0; i < lines.size(); ++i) {
        std::string l = lines[i];
        if (i == index) l[at] = c;
        damaged += l + "\n";
      }
      std::ofstream(path, std::ios::binary) << damaged;
      return CSRecordImage::CheckFile(path.string());
    };
    const size_t data = 2, count = lines.size() - 2;
    ASSERT_EQ(lines[count].substr(0, 2), "S5");
    for (size_t at = 2; at + eol.size() < lines[data].size(); ++at) {
      const char c = lines[data][at];
      const ProgramFileCheck check = Check(data, at, c == 'F' ? 'E' : c == '9' ? 'A' : static_cast<char>(c + 1));
      EXPECT_EQ(check.line, 3) << "at " << at;
      EXPECT_EQ(check.text, checksum) << "at " << at;
    }
    for (size_t at = 2; at + eol.size() < lines[count].size(); ++at)
      EXPECT_EQ(Check(count, at, lines[count][at] == '0' ? '8' : '0').questions, 1) << "at " << at;

    const bool s1 = lines[data][1] == '1';
    const struct {
      char type;
      std::string text;  // empty: the check passes
    } types[] = {{'0', CSRecordImage::kHeaderAmongDataText},
                 {s1 ? '2' : '1', s1 ? "Code address exceeds programming area" : "Code address below programming area"},
                 {'3', unsupported},
                 {'4', unsupported},
                 {'5', unsupported},
                 {'6', ""},
                 {'7', unsupported},
                 {'8', CSRecordImage::kEndRecordWithDataText},
                 {'9', CSRecordImage::kEndRecordWithDataText},
                 {'X', "Illegal S record read from file"}};
    for (const auto& t : types) {
      const ProgramFileCheck check = Check(data, 1, t.type);
      EXPECT_EQ(check.ok, t.text.empty()) << t.type;
      EXPECT_EQ(check.text, t.text) << t.type;
    }
    fs::remove_all(dir);
  }

  // The load itself: a data record turned into a page check goes out for the bootloader to
  // judge, and its refusal is asked about; a spoilt count record is asked about and passed over.
  for (const bool pageCheck : {true, false}) {
    LoadBench l;
    std::vector<std::string> lines = Lines(Image(l.b.root, Layout{2, false, true, 16, false}, Memory(false)));
    std::string& spoilt = pageCheck ? lines[2] : lines[lines.size() - 2];
    if (pageCheck) spoilt[1] = '6';
    else spoilt[9] = spoilt[9] == '0' ? '1' : '0';
    l.text.clear();
    for (const std::string& line : lines) l.text += line + "\n";
    l.b.op.answers = {pageCheck ? MbAnswer::No : MbAnswer::Yes};
    ASSERT_TRUE(l.RunAction());
    EXPECT_EQ(l.b.op.boxes[0].text, pageCheck ? l.Question("BootLoader: S record checksum error", -1)
                                              : l.Question(unsupported.c_str(), -12));
    EXPECT_EQ(l.pane.substr(0, 20), pageCheck ? "Programming error!!" : "Programming complete");
  }
}

}  // namespace
