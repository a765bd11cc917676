// The bench tests end to end against the simulated unit: the acoustic check (wideband and
// tone, each outcome), the hardware self test, the release test, and the set-up as test
// transponder with its pending entry and its file.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "commands/unit_tests.h"
#include "records/status_xml.h"
#include "sim/sim_tests.h"
#include "status/status_report.h"
#include "tests/support/test_bench.h"

namespace {

using Acoustic = SimUnitState::Tests::Acoustic;

// The command lines the terminal wrote, in order (each without its CR LF).
std::vector<std::string> Lines(const std::string& wire) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t at = wire.find("\r\n"); at != std::string::npos; at = wire.find("\r\n", start)) {
    out.push_back(wire.substr(start, at - start));
    start = at + 2;
  }
  return out;
}

const DateTime kCheckTime = DateTime::FromCivil({2026, 12, 4, 21, 59, 0});

struct BenchTest : ::testing::Test {
  BenchTest() {
    b.unit->utcNow = [] { return kCheckTime; };
    char scratch[CTransponder::kReplyTextSize];
    EXPECT_TRUE(b.unit->GetStatus("", scratch, false));
    b.wire().clear();
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
  // 4701 gives 23 and 8; 101 gives 1 and 8; 809 gives 16 and 24.
  EXPECT_EQ(WidebandAddressCode(47), 23);
  EXPECT_EQ(WidebandAddressCode(1), 1);
  EXPECT_EQ(WidebandAddressCode(8), 16);
  EXPECT_EQ(WidebandChannelCode(1), 8);
  EXPECT_EQ(WidebandChannelCode(9), 24);
}

TEST_F(BenchTest, WidebandCheckSendsTheSequenceListensForCrAndPasses) {
  b.unit->AcousticCheck(text, true, 12, 3);
  EXPECT_EQ(Lines(b.wire()), (std::vector<std::string>{"#GCMD,23", "#GCMD,20", "#GCMD,4", "#ENDB,16", "#GCMD,10", "",
                                                       "#DSDB,16"}));
  EXPECT_STREQ(text, "Wideband acoustic check passed");
  EXPECT_EQ(b.bench.port.terminator, 10);
  const StatusChecks c = Recorded();
  EXPECT_EQ(c.CI1Result, 1);
  EXPECT_EQ(c.CI1Time, kCheckTime);
}

TEST_F(BenchTest, WidebandListenOutcomes) {
  // Both markers in the one line: heard.
  b.sim().state.tests.acousticLine = "t/o then R: 1203";
  b.unit->AcousticCheck(text, true, 12, 3);
  EXPECT_STREQ(text, "Wideband acoustic check passed");

  b.sim().state.tests.acousticLine.clear();
  b.sim().state.tests.acoustic = Acoustic::NoReply;
  b.unit->AcousticCheck(text, true, 12, 3);
  EXPECT_STREQ(text, "Wideband acoustic check - no acoustic reply detected");
  EXPECT_EQ(Recorded().CI1Result, 0);

  // Nothing reported: the listen waits its 10 s (ends after 11 s at most 12) and the link is in doubt.
  b.sim().state.tests.acoustic = Acoustic::Nothing;
  b.unit->AcousticCheck(text, true, 12, 3);
  EXPECT_STREQ(text, "Wideband acoustic check failed - possible comms error");
  EXPECT_EQ(Recorded().CI1Result, 0);
  EXPECT_EQ(b.bench.port.terminator, 10);
  EXPECT_EQ(Lines(b.wire()).back(), "#DSDB,16");
}

TEST_F(BenchTest, WidebandListenWaitsTenSecondsForItsLine) {
  // When the channel selection arrives and when "#DSDB,16" does: the listen lies between them.
  uint64_t selectedAt = 0, endedAt = 0;
  b.sim().Handle("GCMD", [&](SimUnit& u, const std::string&, const std::string& a) {
    if (a == "10") selectedAt = b.nowMs();
    if (auto r = TestGcmdCommand(u, a)) return *r;
    SimUnit::Reply r;
    r.lines = {"GCMD " + a + " OK"};
    return r;
  });
  b.sim().Handle("DSDB", [&](SimUnit&, const std::string&, const std::string&) {
    endedAt = b.nowMs();
    SimUnit::Reply r;
    r.lines = {"Debug 16 off"};
    return r;
  });
  b.sim().state.tests.acoustic = Acoustic::Nothing;
  b.unit->AcousticCheck(text, true, 12, 3);
  // 10 s of listening end once more than 10 whole seconds have passed; then the 500 ms pause
  // before "#DSDB,16".
  EXPECT_GT(endedAt - selectedAt, 11000u);
  EXPECT_LT(endedAt - selectedAt, 12800u);

  b.sim().state.tests.acoustic = Acoustic::Reply;
  b.unit->AcousticCheck(text, true, 12, 3);
  // The report line ends the listen as soon as its CR arrives.
  EXPECT_LT(endedAt - selectedAt, 2500u);
}

TEST_F(BenchTest, ToneCheckJudgesTheFourthToNinthCharacters) {
  b.sim().state.tests.toneValue = "000000000";
  b.unit->AcousticCheck(text, false, 0, 0);
  EXPECT_EQ(Lines(b.wire()), (std::vector<std::string>{"#GCMD,3", "#GCMD,8"}));
  EXPECT_STREQ(text, "Tone acoustic check - no acoustic reply detected");
  EXPECT_EQ(Recorded().CI1Result, 0);

  b.sim().state.tests.toneValue = "000000400";  // 7th character
  b.unit->AcousticCheck(text, false, 0, 0);
  EXPECT_STREQ(text, "Tone acoustic check passed");
  EXPECT_EQ(Recorded().CI1Result, 1);

  b.sim().state.tests.toneValue = "700000000";  // only among the first three
  b.unit->AcousticCheck(text, false, 0, 0);
  EXPECT_STREQ(text, "Tone acoustic check - no acoustic reply detected");

  b.sim().state.tests.toneValue = "0001";  // a short value: only the positions it has count
  b.unit->AcousticCheck(text, false, 0, 0);
  EXPECT_STREQ(text, "Tone acoustic check passed");
}

TEST_F(BenchTest, ToneCheckWithoutAnAnswerIsAPossibleCommsError) {
  b.sim().faults.silent = true;
  b.unit->AcousticCheck(text, false, 0, 0);
  EXPECT_STREQ(text, "Tone acoustic check failed - possible comms error");
  b.sim().faults.silent = false;
  const StatusChecks c = Recorded();
  EXPECT_EQ(c.CI1Result, 0);
  EXPECT_EQ(c.CI1Time, kCheckTime);
}

TEST_F(BenchTest, SelfTestRecordsTheCodeAfterTheColon) {
  b.sim().state.tests.selfTestCode = 40;
  b.unit->HardwareSelfCheck(text, false);
  EXPECT_EQ(b.unit->status.currentChecks.HardwareResult, 40);
  EXPECT_EQ(std::string(text), SelfTestText(40, b.unit->status.currentStatus));
  StatusChecks c = Recorded();
  EXPECT_EQ(c.HardwareResult, 40);
  EXPECT_EQ(c.HardwareTime, kCheckTime);
  // "#CKHW" is followed by the readiness probes.
  EXPECT_NE(b.wire().find("#CKHW\r\n"), std::string::npos);
  EXPECT_NE(b.wire().find("#DASP,0\r\n", b.wire().find("#CKHW")), std::string::npos);

  b.sim().state.tests.selfTestCode = 0;
  b.unit->HardwareSelfCheck(text, false);
  EXPECT_EQ(Recorded().HardwareResult, 0);
  EXPECT_EQ(std::string(text), SelfTestText(0, b.unit->status.currentStatus));

  // An answer without either marker counts as a pass and is shown as it came.
  b.sim().state.tests.selfTestCode = 40;
  b.sim().state.tests.selfTestNoMarkers = true;
  b.unit->HardwareSelfCheck(text, false);
  EXPECT_EQ(Recorded().HardwareResult, 0);
  EXPECT_NE(std::string(text).find("Hardware check complete"), std::string::npos);
}

TEST_F(BenchTest, SelfTestOrReleaseWithoutAnAnswerKeepsTheLastResult) {
  const DateTime earlier = DateTime::FromCivil({2026, 1, 2, 3, 4, 0});
  b.unit->status.currentChecks.HardwareResult = 9;
  b.unit->status.currentChecks.HardwareTime = earlier;
  b.unit->status.currentChecks.ReleaseResult = 3;
  b.unit->status.currentChecks.ReleaseTime = earlier;
  ASSERT_TRUE(b.unit->SaveCurrentEntry());
  b.sim().state.tests.selfTestSilent = true;
  b.sim().state.tests.releaseSilent = true;

  b.unit->HardwareSelfCheck(text, false);
  EXPECT_NE(std::string(text).find(kSelfTestNotAnswered), std::string::npos);
  b.unit->ReleaseCheck(text, false);
  EXPECT_NE(std::string(text).find(kReleaseNotAnswered), std::string::npos);

  for (const StatusChecks& c : {b.unit->status.currentChecks, Recorded()}) {
    EXPECT_EQ(c.HardwareResult, 9);
    EXPECT_EQ(c.HardwareTime, earlier);
    EXPECT_EQ(c.ReleaseResult, 3);
    EXPECT_EQ(c.ReleaseTime, earlier);
  }
}

TEST_F(BenchTest, ReleaseRecordsTheNumberAfterE) {
  b.sim().state.tests.releaseCode = 3;
  b.unit->ReleaseCheck(text, false);
  StatusChecks c = Recorded();
  EXPECT_EQ(c.ReleaseResult, 3);
  EXPECT_EQ(c.ReleaseTime, kCheckTime);
  // The reply itself is the result text, with a line end after it.
  const std::string shown(text);
  EXPECT_NE(shown.find("E:3"), std::string::npos);
  EXPECT_EQ(shown.substr(shown.size() - 2), "\r\n");

  b.sim().state.tests.releaseNoMarkers = true;
  b.unit->ReleaseCheck(text, false);
  EXPECT_EQ(Recorded().ReleaseResult, 0);
}

TEST(TestTransponderFile, SixteenLinesExactly) {
  TestTransponderInfo t;
  t.unitId = 1715004;
  t.serialNo = "002345-007";
  t.typeNo = "7815";
  t.band = "MF";
  t.transducer = "30deg";
  t.address = 12;
  t.channel = 7;
  t.hprHigh = 3;
  t.hprLow = 4;
  t.functionLevel = 200;
  t.widebandStatus = 1;
  t.daughterCard = 1;
  t.cifReply = 99;
  t.altCif = 14;
  t.tat = 250.0f;
  EXPECT_EQ(TestTransponderFileText(t),
            "1715004\tUnit ID\n"
            "002345-007\tSerial Number\n"
            "7815\tType number\n"
            "MF\tFrequency band\n"
            "30deg\tTransducer\n"
            "12\tAddress\n"
            "7\tChannel\n"
            "3\tHPR high\t\n"
            "4\tHPR low\n"
            "200\tFunction level\n"
            "1\tWideband status\n"
            "1\tDaughter card\n"
            "99\tCIF reply\n"
            "14\tAlt CIF\n"
            "250.00\tTAT\n"
            "0\tFile update status\n");
}

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST_F(BenchTest, SetUpAsWidebandTestTransponderLeavesThePendingEntryAndTheFile) {
  const UnitStatus before = b.unit->status.currentStatus;
  ASSERT_TRUE(b.unit->SetAsTestTransponder(text, true));
  // The unit was given the test transponder's settings, and its status was read again.
  const auto& taken = b.sim().state.settings.taken;
  EXPECT_NE(std::find(taken.begin(), taken.end(), "Tat=250"), taken.end());
  EXPECT_FLOAT_EQ(b.unit->status.currentStatus.Tat, 250.0f);
  EXPECT_EQ(Lines(b.wire()).back(), "#STTX");
  // The new-status file holds the unit's settings from before the set-up, not yet applied.
  ASSERT_TRUE(b.unit->LoadNewEntry(before.UnitId));
  EXPECT_EQ(b.unit->records.storedChecks.UpdatedResult, 0);
  EXPECT_EQ(b.unit->records.storedStatus.Enabled.str(), before.Enabled.str());
  EXPECT_FLOAT_EQ(b.unit->records.storedStatus.Tat, before.Tat);
  // The test-transponder file describes the unit as it was set up.
  const std::string file = ReadFile(b.unit->paths.TestTransponderFile());
  EXPECT_EQ(file, TestTransponderFileText(b.unit->commands.testTransponder));
  EXPECT_EQ(file.substr(0, file.find('\t')), std::to_string(before.UnitId));
  EXPECT_EQ(b.unit->commands.testTransponder.serialNo.str(), before.SerialNo.str());
  // The check report asks for the update that brings the unit back.
  EXPECT_NE(b.unit->CheckReport(before.UnitId, true).find("******** Update required ********"), std::string::npos);
}

TEST_F(BenchTest, SetUpAsToneTestTransponderKeepsAnEarlierPendingEntry) {
  // A pending entry prepared earlier, already applied once.
  b.unit->status.requiredStatus = b.unit->status.currentStatus;
  b.unit->status.requiredStatus.RxGain = 2;
  b.unit->status.requiredChecks = StatusChecks::Fresh();
  b.unit->status.requiredChecks.UpdatedResult = 1;
  ASSERT_TRUE(b.unit->SaveNewEntry());
  b.sim().state.enabled = "EDD";
  b.sim().state.widebandEnabled = 0;
  char scratch[CTransponder::kReplyTextSize];
  ASSERT_TRUE(b.unit->GetStatus("", scratch, false));

  ASSERT_TRUE(b.unit->SetAsTestTransponder(text, false));
  EXPECT_EQ(b.unit->status.currentStatus.AltCIFChannel, 1);
  EXPECT_EQ(b.unit->status.currentStatus.CIFReplyCHannel, 15);
  ASSERT_TRUE(b.unit->LoadNewEntry(b.unit->status.currentStatus.UnitId));
  EXPECT_EQ(b.unit->records.storedStatus.RxGain, 2);
  EXPECT_EQ(b.unit->records.storedChecks.UpdatedResult, 0);
}

}  // namespace
