// Whole program loads through "Bootload new program" against the simulated unit's bootloader,
// in virtual time, with the scripted operator answering.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "firmware/bootload_action.h"
#include "firmware/srecord_image.h"
#include "platform/session_log.h"
#include "sim/sim_bootloader.h"
#include "tests/support/test_bench.h"
#include "tools/sample_programs.h"

namespace {

const char* const kMayNotOperate = "The program may not now operate\r\nSettings may also have been changed";

class Load : public ::testing::Test {
 protected:
  void SetUp() override {
    // The PC's local time: 09:08:07 when the bench starts, moving with the virtual clock.
    b.unit->localNow = [this] {
      DateTime t = DateTime::FromCivil(CivilTime{2026, 3, 4, 9, 8, 7});
      t.value += static_cast<double>(b.clock.NowMs()) / 86400000.0;
      times.push_back(t.ToCivil());
      return t;
    };
  }
  // Writes the small sample program, chooses it in the dialog and runs the action.
  bool Run() {
    const std::string path = (b.root / "small.a07").string();
    std::ofstream(path, std::ios::binary) << text;
    b.op.files.push_back(path);
    outcome = BootloadNewProgram(*b.unit);
    pane = outcome.pane;
    return !outcome.pane.empty();  // a load ran
  }
  std::string Question(const char* message, int number) {
    char text[300];
    std::snprintf(text, sizeof text, "%s\r\n(Error number %d)\r\nTry to continue programming", message, number);
    return text;
  }

  UnitOnBench b;
  // Line `index` of the file becomes `replacement` once the unit is on its way to its
  // bootloader, after the file was checked.
  void ChangeLineAfterTheCheck(size_t index, std::string replacement) {
    std::vector<std::string> lines = WireLines(text);
    lines[index] = replacement;
    b.sim().HandleBoot([this, lines](SimUnit&, const std::string&) {
      std::ofstream out(b.root / "small.a07", std::ios::binary);
      for (const std::string& l : lines) out << l << "\r\n";
      return std::optional<std::string>();
    });
  }

  std::string text = MakeSampleProgram(SmallSampleProgram());
  std::string pane;
  Outcome outcome;
  std::vector<CivilTime> times;
};

TEST_F(Load, CleanLoadOfTheSmallSample) {
  ASSERT_TRUE(Run());

  ASSERT_EQ(times.size(), 2u);
  char expected[200];
  std::snprintf(expected, sizeof expected,
                "Programming complete\r\nStarted %02d:%02d:%02d\r\nEnded %02d:%02d:%02d\r\n"
                "The address has been changed to 1001",
                times[0].hour, times[0].minute, times[0].second, times[1].hour, times[1].minute, times[1].second);
  EXPECT_EQ(pane, expected);
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{"Warning - the address has been changed to 1001"});

  // The bar: 0, then 1 to 100, never going back, ending at 100 (and hidden: the fault tests).
  const auto& progress = b.op.progress;
  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(progress.front(), 0);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_EQ(progress.back(), 100);

  // The unit holds the program (its page checks passed), the marker, the version; it runs again
  // with its factory address and the terminal is back at 9600 bit/s.
  const SimUnitState& s = b.sim().state;
  EXPECT_EQ(SimFlashByte(s, 0x2000), 0x06);
  EXPECT_EQ(s.flash.loadsCompleted, 1);
  EXPECT_EQ(s.flash.programVersion, "V3.13.0");
  EXPECT_EQ(s.address * 100 + s.channel, 1001);
  EXPECT_EQ(b.sim().mode(), SimUnit::Mode::Application);
  EXPECT_EQ(b.unit->port.lineSettings.baud, 9600u);

  const std::string& wire = b.wire();
  EXPECT_NE(wire.find(" \r\nZ4x\r\n \r\nS00D"), std::string::npos) << "the rate switch, then the records";
  const size_t marker = wire.find("S20500200006D4\r\n");
  ASSERT_NE(marker, std::string::npos);
  EXPECT_EQ(Count(wire.substr(marker), "X\r\n"), 1u) << "the bootloader answered the first X with its prompt";
  EXPECT_LT(wire.find("#ISFD\r\n", marker), wire.find("#INTP\r\n", marker));
  EXPECT_EQ(Count(wire, "S9030000FC"), 0u) << "page 0 data: the marker goes instead of the end line";
  EXPECT_EQ(outcome.kind, OutcomeKind::Done);
  EXPECT_EQ(outcome.recordsSent, static_cast<int>(WireLines(text).size()));
}

TEST_F(Load, ErrorFourAnsweredNoEndsInAProgrammingError) {
  // The first data byte of the file will not program, so page 0's check fails.
  const std::string first = WireLines(text)[1];
  ASSERT_NE(first.substr(8, 2), "FF");
  b.sim().state.flash.stuckAddress = std::stoll(first.substr(4, 4), nullptr, 16);
  b.op.answers = {MbAnswer::No};

  ASSERT_TRUE(Run());
  EXPECT_EQ(b.op.BoxTexts(), (std::vector<std::string>{Question("BootLoader: Checksum error on programmed memory", -4),
                                                       kMayNotOperate}));
  EXPECT_EQ(pane, "Programming error!!");

  const std::string& wire = b.wire();
  const size_t pageCheck = wire.find("S60B00002001");
  ASSERT_NE(pageCheck, std::string::npos);
  EXPECT_EQ(wire.find("S60B00004000", pageCheck), std::string::npos) << "no record after the refusal";
  EXPECT_EQ(Count(wire.substr(pageCheck), "X\r\n"), 2u) << "abandoned, then the finish";
  EXPECT_EQ(b.sim().mode(), SimUnit::Mode::Application) << "restarted";
  EXPECT_EQ(b.sim().state.flash.loadsCompleted, 0);
}

TEST_F(Load, ErrorAnsweredYesRepeatsTheRecordAfterY) {
  const std::string third = WireLines(text)[2];
  b.sim().state.flash.failLine = 3;  // the bootloader finds line noise in the third record once
  b.sim().state.flash.failDigit = 1;
  b.op.answers = {MbAnswer::Yes};

  ASSERT_TRUE(Run());
  ASSERT_EQ(b.op.boxes.size(), 2u);
  EXPECT_EQ(b.op.boxes[0].text, Question("BootLoader: S record checksum error", -1));
  EXPECT_NE(b.wire().find(third + "\r\nY\r\n" + third + "\r\n" + WireLines(text)[3] + "\r\n"), std::string::npos);
  EXPECT_EQ(pane.substr(0, 20), "Programming complete");
}

TEST_F(Load, UnitThatDiesDuringTheLoadIsAskedAboutAfterThreeSilentRecords) {
  const std::vector<std::string> lines = WireLines(text);
  b.sim().state.flash.deadAfterLine = 5;  // lines 6, 7 and 8 get nothing back
  b.op.answers = {MbAnswer::Yes, MbAnswer::No};

  ASSERT_TRUE(Run());
  ASSERT_EQ(b.op.boxes.size(), 3u);
  EXPECT_EQ(b.op.boxes[1].text, Question("Unknown reply recieved from bootloader", -13));
  EXPECT_EQ(b.op.boxes[2].text, kMayNotOperate);
  EXPECT_EQ(Count(b.wire(), lines[5] + "\r\n"), 1u);
  EXPECT_EQ(Count(b.wire(), lines[7] + "\r\n"), 2u) << "going on sent the third silent record again";
  EXPECT_EQ(Count(b.wire(), lines[9] + "\r\n"), 1u) << "asked again after three more";
  EXPECT_EQ(Count(b.wire(), lines[10]), 0u);
  EXPECT_EQ(pane, "Programming error!!");
}

TEST_F(Load, BootloaderSilentOnTheHeaderLoadsWithoutAQuestion) {
  b.sim().state.flash.silentOnHeader = true;
  ASSERT_TRUE(Run());
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{"Warning - the address has been changed to 1001"});
  EXPECT_EQ(pane.substr(0, 20), "Programming complete");
}

TEST_F(Load, FileFailingItsCheckIsRefusedBeforeTheUnitIsTouched) {
  text = "Status^#HWST^10\r\nFirmware^#FVFV\r\n";  // no S-records at all
  EXPECT_FALSE(Run());
  EXPECT_EQ(outcome.kind, OutcomeKind::BadFile);
  EXPECT_EQ(outcome.reason, "line 1: Illegal S record read from file");
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{"Illegal S record read from file\r\nLine 1 of " + outcome.file +
                                                      "\r\nNothing has been sent to the unit"});
  EXPECT_EQ(b.wire(), "");
}

// Lines that turn bad after the check. A record whose count disagrees with its length is sent
// again on "Yes" (and refused by the unit too), never skipped.
TEST_F(Load, RecordWithAWrongCountIsSentAgainOnYes) {
  ChangeLineAfterTheCheck(5, "S1092000AABB71");
  b.op.answers = {MbAnswer::Yes, MbAnswer::No};
  ASSERT_TRUE(Run());
  EXPECT_EQ(b.op.boxes[0].text, Question("Checksum error on record read from file", -10));
  EXPECT_NE(b.wire().find("Y\r\nS1092000AABB71\r\n"), std::string::npos);
  EXPECT_EQ(pane, "Programming error!!");
}

// An illegal line that "Yes" goes past leaves a hole that the page checks cannot see: the load
// must not pass for complete.
TEST_F(Load, IllegalLineGonePastEndsInAProgrammingError) {
  ChangeLineAfterTheCheck(5, "garbage");
  b.op.answers = {MbAnswer::Yes};
  ASSERT_TRUE(Run());
  EXPECT_EQ(b.sim().state.flash.loadsCompleted, 1) << "the unit's page checks passed over the hole";
  EXPECT_EQ(outcome.kind, OutcomeKind::Refused);
  EXPECT_EQ(outcome.recordsSent, outcome.recordsTotal - 1);
}

// The session log numbers the trailer's records as such and sums up a stopped load with the
// lines that went out and its error.
TEST_F(Load, SessionLogSumsUpAStoppedLoad) {
  b.sim().state.flash.stuckAddress = std::stoll(WireLines(text)[1].substr(4, 4), nullptr, 16);
  b.op.answers = {MbAnswer::No};
  ASSERT_NE(SessionLog::Start(DataPaths{b.root}, true, "test"), nullptr);
  Run();
  SessionLog::Stop();
  std::string log;
  for (const auto& e : std::filesystem::directory_iterator(b.root / "T7Status" / "logs"))
    log += (std::stringstream() << std::ifstream(e.path()).rdbuf()).str();
  const size_t lines = WireLines(text).size();
  EXPECT_NE(log.find("record trailer 1/9 S60B00002001"), std::string::npos);
  EXPECT_NE(log.find(std::to_string(lines - 1) + " of " + std::to_string(lines) +
                     " records sent, load stopped on an error: BootLoader: Checksum error on programmed memory"),
            std::string::npos);
}

}  // namespace
