// The bench tests end to end against the simulated unit: the acoustic check (wideband and
// tone, each outcome), the hardware self test, the release test, and the set-up as test
// transponder with its pending entry and its file.
#include <gtest/gtest.h>

#include "commands/unit_tests.h"
#include "status/status_report.h"
#include "tests/support/test_bench.h"
#include "ui/bench_actions.h"

namespace {

using Acoustic = SimUnitState::Tests::Acoustic;
using Lines = std::vector<std::string>;
const DateTime kCheckTime = At(2026, 12, 4, 21, 59, 0);

struct BenchTest : ::testing::Test {
  BenchTest() {
    b.unit->utcNow = [] { return kCheckTime; };
    EXPECT_TRUE(b.unit->GetStatus("", text, false));
  }
  // The checks of the unit as its current-status file now holds them.
  StatusChecks Recorded() {
    EXPECT_TRUE(b.unit->LoadCurrentEntry(b.unit->status.currentStatus.UnitId));
    return b.unit->records.storedChecks;
  }
  UnitOnBench b;
  char text[CTransponder::kReplyTextSize] = {};
};

TEST(SelectionCodes, OfTheTestTransponder) {
  // Address 47 gives 23, 1 gives 1, 8 gives 16; channel 1 gives 8, 8 gives 15, 9 gives 24.
  const int addresses[][2] = {{47, 23}, {1, 1}, {7, 7}, {8, 16}}, channels[][2] = {{1, 8}, {8, 15}, {9, 24}};
  for (const auto& a : addresses) EXPECT_EQ(WidebandAddressCode(a[0]), a[1]) << a[0];
  for (const auto& c : channels) EXPECT_EQ(WidebandChannelCode(c[0]), c[1]) << c[0];
}

TEST_F(BenchTest, WidebandCheckOutcomes) {
  const struct {
    Acoustic acoustic;
    const char* line;  // the unit's report line instead of its own, when set
    const char* result;
  } cases[] = {
      {Acoustic::Reply, "", "Wideband acoustic check passed"},
      {Acoustic::Reply, "t/o then R: 1203", "Wideband acoustic check passed"},
      {Acoustic::NoReply, "", "Wideband acoustic check - no acoustic reply detected"},
      {Acoustic::Nothing, "", "Wideband acoustic check failed - possible comms error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    b.wire().clear();
    b.sim().state.tests.acoustic = c.acoustic;
    b.sim().state.tests.acousticLine = c.line;
    const uint64_t start = b.nowMs();
    b.unit->AcousticCheck(text, true, 12, 3);
    // Nothing reported: the listen waits its 10 s; a report line ends it at its CR.
    EXPECT_EQ(b.nowMs() - start > 11000, c.acoustic == Acoustic::Nothing);
    EXPECT_EQ(WireLines(b.wire()), (Lines{"#GCMD,23", "#GCMD,20", "#GCMD,4", "#ENDB,16", "#GCMD,10", "", "#DSDB,16"}));
    EXPECT_STREQ(text, c.result);
    EXPECT_EQ(b.bench.port.terminator, 10);
    EXPECT_EQ(Recorded().CI1Result, c.acoustic == Acoustic::Reply ? 1 : 0);
    EXPECT_EQ(Recorded().CI1Time, kCheckTime);
  }
}

TEST_F(BenchTest, ToneCheckHearsANonZeroFourthToNinthCharacter) {
  const struct {
    const char* value;  // after "0x"
    bool heard;
  } cases[] = {{"000000000", false},  {"000100000", true},  {"000000400", true},  {"000000001", true},
               {"0000000001", false}, {"700000000", false}, {"077000000", false}, {"0001", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    b.wire().clear();
    b.sim().state.tests.toneValue = c.value;
    b.unit->AcousticCheck(text, false, 0, 0);
    EXPECT_EQ(WireLines(b.wire()), (Lines{"#GCMD,3", "#GCMD,8"}));
    EXPECT_STREQ(text, c.heard ? "Tone acoustic check passed" : "Tone acoustic check - no acoustic reply detected");
    EXPECT_EQ(Recorded().CI1Result, c.heard ? 1 : 0);
  }
  b.sim().faults.silent = true;
  b.unit->AcousticCheck(text, false, 0, 0);
  EXPECT_STREQ(text, "Tone acoustic check failed - possible comms error");
  EXPECT_EQ(Recorded().CI1Result, 0);
}

TEST_F(BenchTest, SelfTestAndReleaseRecordTheirCodes) {
  b.sim().state.tests.selfTestCode = 40;
  b.unit->HardwareSelfCheck(text, false);
  EXPECT_EQ(std::string(text), SelfTestText(40, b.unit->status.currentStatus));
  EXPECT_NE(b.wire().find("#DASP,0\r\n", b.wire().find("#CKHW\r\n")), std::string::npos) << "readiness follows";
  EXPECT_EQ(Recorded().HardwareResult, 40);
  b.sim().state.tests.selfTestNoMarkers = true;  // an answer without markers is a pass, shown as it came
  b.unit->HardwareSelfCheck(text, false);
  EXPECT_EQ(Recorded().HardwareResult, 0);
  EXPECT_NE(std::string(text).find("Hardware check complete"), std::string::npos);

  b.sim().state.tests.releaseCode = 3;
  b.unit->ReleaseCheck(text, false);
  EXPECT_EQ(Recorded().ReleaseResult, 3);
  EXPECT_NE(std::string(text).find("E:3"), std::string::npos);
}

TEST_F(BenchTest, AWidebandTestTransponderShowsItsAddressAndChannel) {
  b.sim().state.channel = 3;
  ScriptedWindow window(*b.unit);
  b.op.answers = {MbAnswer::Yes};  // wideband
  SetAsTestTransponderAction(*b.unit, window);
  EXPECT_STREQ(window.reply, "Correctly set as wideband test transponder\r\nAddress is 1203");
}

TEST(TestTransponderFile, SixteenLinesExactly) {
  TestTransponderInfo t;
  t.unitId = 1715004, t.serialNo = "002345-007", t.typeNo = "7815", t.band = "MF", t.transducer = "30deg";
  t.address = 12, t.channel = 7, t.hprHigh = 3, t.hprLow = 4, t.functionLevel = 200;
  t.widebandStatus = 1, t.daughterCard = 1, t.cifReply = 99, t.altCif = 14, t.tat = 250.0f;
  EXPECT_EQ(TestTransponderFileText(t),
            "1715004\tUnit ID\n002345-007\tSerial Number\n7815\tType number\nMF\tFrequency band\n"
            "30deg\tTransducer\n12\tAddress\n7\tChannel\n3\tHPR high\t\n4\tHPR low\n200\tFunction level\n"
            "1\tWideband status\n1\tDaughter card\n99\tCIF reply\n14\tAlt CIF\n250.00\tTAT\n"
            "0\tFile update status\n");
}

}  // namespace
