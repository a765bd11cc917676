// Whole program loads through "Bootload new program" against the simulated unit's bootloader,
// in virtual time, with the scripted operator answering.
#include <gtest/gtest.h>

#include "firmware/srecord_image.h"
#include "sim/sim_bootloader.h"
#include "tests/firmware/load_bench.h"

namespace {

const char* const kMayNotOperate = "The program may not now operate\r\nSettings may also have been changed";

class Load : public ::testing::Test, public LoadBench {};

TEST_F(Load, CleanLoadOfTheSmallSample) {
  ASSERT_TRUE(RunAction());

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

TEST_F(Load, ErrorFourAnsweredNoEndsInAProgrammingErrorAndTheLogSumsItUp) {
  // The first data byte of the file will not program, so page 0's check fails.
  const std::string first = WireLines(text)[1];
  ASSERT_NE(first.substr(8, 2), "FF");
  b.sim().state.flash.stuckAddress = std::stoll(first.substr(4, 4), nullptr, 16);
  b.op.answers = {MbAnswer::No};

  // The session log numbers the trailer's records as such and sums up the stopped load.
  const std::string log = LoggedRun();
  EXPECT_NE(log.find("record trailer 1/9 S60B00002001"), std::string::npos);
  EXPECT_NE(
      log.find("41 of 42 records sent, load stopped on an error: BootLoader: Checksum error on programmed memory"),
      std::string::npos);
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

// A bootloader silent on the header goes on without a question: the one asked is the record's.
TEST_F(Load, ErrorAnsweredYesRepeatsTheRecordAfterY) {
  const std::string third = WireLines(text)[2];
  b.sim().state.flash.silentOnHeader = true;
  b.sim().state.flash.failLine = 3;  // the bootloader finds line noise in the third record once
  b.sim().state.flash.failDigit = 1;
  b.op.answers = {MbAnswer::Yes};

  ASSERT_TRUE(RunAction());
  ASSERT_EQ(b.op.boxes.size(), 2u);
  EXPECT_EQ(b.op.boxes[0].text, Question("BootLoader: S record checksum error", -1));
  EXPECT_NE(b.wire().find(third + "\r\nY\r\n" + third + "\r\n" + WireLines(text)[3] + "\r\n"), std::string::npos);
  EXPECT_EQ(pane.substr(0, 20), "Programming complete");
}

TEST_F(Load, UnitThatDiesDuringTheLoadIsAskedAboutAfterThreeSilentRecords) {
  const std::vector<std::string> lines = WireLines(text);
  b.sim().state.flash.deadAfterLine = 5;  // lines 6, 7 and 8 get nothing back
  b.op.answers = {MbAnswer::Yes, MbAnswer::No};

  ASSERT_TRUE(RunAction());
  ASSERT_EQ(b.op.boxes.size(), 3u);
  EXPECT_EQ(b.op.boxes[1].text, Question("Unknown reply recieved from bootloader", -13));
  EXPECT_EQ(b.op.boxes[2].text, kMayNotOperate);
  EXPECT_EQ(Count(b.wire(), lines[5] + "\r\n"), 1u);
  EXPECT_EQ(Count(b.wire(), lines[7] + "\r\n"), 2u) << "going on sent the third silent record again";
  EXPECT_EQ(Count(b.wire(), lines[9] + "\r\n"), 1u) << "asked again after three more";
  EXPECT_EQ(Count(b.wire(), lines[10]), 0u);
  EXPECT_EQ(pane, "Programming error!!");
}

TEST_F(Load, FileFailingItsCheckIsRefusedBeforeTheUnitIsTouched) {
  text = "Status^#HWST^10\r\nFirmware^#FVFV\r\n";  // no S-records at all
  EXPECT_FALSE(RunAction());
  EXPECT_EQ(outcome.kind, OutcomeKind::BadFile);
  EXPECT_EQ(outcome.reason, "line 1: Illegal S record read from file");
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{"Illegal S record read from file\r\nLine 1 of " + outcome.file +
                                                      "\r\nNothing has been sent to the unit"});
  EXPECT_EQ(b.wire(), "");
}

// A file without data records: the header, the eight empty page checks and the end line itself.
TEST_F(Load, FileWithoutDataRecordsSendsTheHeaderAndTheTrailer) {
  text = "S00600004844521B\r\nS9030000FC\r\n";
  ASSERT_TRUE(RunAction());
  EXPECT_EQ(outcome.kind, OutcomeKind::Done);
  EXPECT_EQ(pane.substr(0, 20), "Programming complete");
  EXPECT_NE(b.wire().find("S00600004844521B\r\nS60B00002001000000000000D3\r\nS60B0000400000"), std::string::npos);
  EXPECT_EQ(Count(b.wire(), "\r\nS6"), 8u);
  EXPECT_NE(b.wire().find("S60B0004800000000000000070\r\nS9030000FC\r\nX\r\n"), std::string::npos);
  EXPECT_EQ(b.sim().state.flash.loadsCompleted, 1);
}

// Lines that change after the check. "Yes" goes past a blank line or a count record and the
// load completes. A record whose count disagrees with its length is sent again on "Yes" (and
// refused by the unit too), never skipped; a line that may hold data and is gone past leaves
// the load incomplete, though the unit's page checks cannot see the hole. The session log sums
// each load up with the counts of the load itself.
TEST(LoadChanged, LinesTheLoadMeetsThatTheCheckDidNotSee) {
  const char* const kIllegal = "Illegal S record read from file";
  const std::string kWhole = "1 passed over, 39 of 39 data records acknowledged, load complete";
  const std::string kHole = "a line holding program data was not programmed (39 of 40 data records acknowledged)";
  const struct {
    std::string line;
    const char* question;
    int error;
    std::vector<MbAnswer> answers;
    std::string summary;  // what the session log's summary says after the records sent
  } cases[] = {
      {"", kIllegal, -11, {MbAnswer::Yes}, kWhole},
      {"S5030028D4", "Unsupported S record type read from file", -12, {MbAnswer::Yes}, kWhole},
      {"S1092000AABB71", "Checksum error on record read from file", -10, {MbAnswer::Yes, MbAnswer::No}, "load stopped"},
      {"garbage", kIllegal, -11, {MbAnswer::Yes}, "1 passed over, " + kHole},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    LoadBench l;
    l.ChangeLineAfterTheCheck(5, c.line);
    l.b.op.answers.assign(c.answers.begin(), c.answers.end());
    const std::string log = l.LoggedRun();
    const bool complete = c.summary.find("complete") != std::string::npos;
    EXPECT_EQ(l.b.op.boxes[0].text, l.Question(c.question, c.error));
    EXPECT_EQ(l.outcome.kind, complete ? OutcomeKind::Done : OutcomeKind::Refused) << l.outcome.reason;
    EXPECT_EQ(l.pane.substr(0, 20), complete ? "Programming complete" : "Programming error!!");
    if (c.error == -10) {
      EXPECT_NE(l.b.wire().find("Y\r\n" + c.line + "\r\n"), std::string::npos) << "sent again, never skipped";
    } else {
      EXPECT_EQ(l.b.sim().state.flash.loadsCompleted, 1) << "the unit's page checks cannot see a hole";
      EXPECT_NE(log.find("41 of 42 records sent, " + c.summary), std::string::npos) << log;
    }
  }
}

}  // namespace
