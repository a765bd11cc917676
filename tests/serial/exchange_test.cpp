// The command exchange, the comms check, the port search and the reply helpers, end to end
// against the simulated unit in virtual time.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/test_bench.h"

namespace {

TEST(ReplyTimeoutTable, PicksByCodeWithLaterRowsOverriding) {
  EXPECT_EQ(CTransponder::ReplyTimeoutFor("#GCMD,4"), 12);
  EXPECT_EQ(CTransponder::ReplyTimeoutFor("#XXXX"), 3);
  EXPECT_EQ(CTransponder::ReplyTimeoutFor("#DAST,22"), 1);
  EXPECT_EQ(CTransponder::ReplyTimeoutFor("#HWST"), 8);
  EXPECT_EQ(CTransponder::ReplyTimeoutFor("#RDSE"), 40);
  // A command holding two codes takes the later row: RTST (50) is listed before GCMD (12).
  EXPECT_EQ(CTransponder::ReplyTimeoutFor("#RTST GCMD"), 12);
  EXPECT_EQ(CTransponder::ReplyTimeoutFor("#GCMD RTST"), 12);
  EXPECT_EQ(CTransponder::ReplyTimeoutFor("#ISFD HWST"), 20);
}

TEST(Exchange, SilentUnitCostsTwoAttemptsEachAfterHalfASecond) {
  UnitOnBench b;
  b.sim().faults.silent = true;
  char reply[1000];
  uint64_t start = b.nowMs();
  EXPECT_FALSE(b.unit->Exchange("#GCMD,4", reply));
  uint64_t took = b.nowMs() - start;
  // Two attempts, each 500 + 20 + 20 ms, then a wait of more than 12 s and at most 14 s.
  EXPECT_GT(took, 2 * (540 + 12000u));
  EXPECT_LE(took, 2 * (540 + 14000u));
  EXPECT_EQ(Count(b.wire(), "#GCMD,4\r\n"), 2u);
  EXPECT_STREQ(reply, "");
}

TEST(Exchange, TimeoutOverrideIsUsedOnceThenTheTableAgain) {
  UnitOnBench b;
  b.sim().faults.silent = true;
  char reply[1000];
  b.unit->serial.timeoutOverride = 25;
  uint64_t start = b.nowMs();
  EXPECT_FALSE(b.unit->Exchange("#GCMD,4", reply, true, true));
  uint64_t took = b.nowMs() - start;
  EXPECT_GT(took, 540 + 25000u);
  EXPECT_LE(took, 540 + 27000u);
  EXPECT_EQ(b.unit->serial.timeoutOverride, 0);
  start = b.nowMs();
  EXPECT_FALSE(b.unit->Exchange("#GCMD,4", reply, true, true));
  took = b.nowMs() - start;
  EXPECT_GT(took, 540 + 12000u);
  EXPECT_LE(took, 540 + 14000u);
}

TEST(Exchange, AnsweredCommandIsSentOnceAndCleaned) {
  UnitOnBench b;
  char reply[1000];
  uint64_t start = b.nowMs();
  EXPECT_TRUE(b.unit->Exchange("#RRTC", reply));
  EXPECT_STREQ(reply, "#RRTC\r\nRTC 12:00:00 01/01/26");
  EXPECT_EQ(Count(b.wire(), "#RRTC\r\n"), 1u);
  EXPECT_LT(b.nowMs() - start, 700u);
}

TEST(Exchange, CountedExchangesSpendTheBudgetAndTheFourthFailsWithoutWriting) {
  UnitOnBench b;
  b.sim().faults.silent = true;
  ASSERT_FALSE(b.unit->CheckComms(3));  // sets the budget to 3 and fails on a silent unit
  b.op.boxes.clear();
  b.unit->port.failuresLeft = 3;
  char reply[1000];
  // Each counted exchange of two attempts spends two; the budget is gone after the second.
  EXPECT_FALSE(b.unit->Exchange("#HWST", reply, false, true));
  EXPECT_FALSE(b.unit->Exchange("#HWST", reply, false, true));
  EXPECT_FALSE(b.unit->Exchange("#HWST", reply, false, true));
  EXPECT_EQ(b.unit->port.failuresLeft, 0);
  size_t written = b.wire().size();
  uint64_t t = b.nowMs();
  EXPECT_FALSE(b.unit->Exchange("#HWST", reply, false, true));
  EXPECT_EQ(b.wire().size(), written) << "the fourth counted exchange writes nothing";
  EXPECT_STREQ(reply, "") << "and the command does not pass for a reply";
  EXPECT_EQ(b.nowMs() - t, 500u) << "only the pause before the attempt";
  EXPECT_FALSE(b.unit->Exchange("#HWST", reply, true, true));
  EXPECT_GT(b.wire().size(), written) << "uncounted exchanges still run";
}

TEST(Exchange, ReadinessFollowUpRunsAnswerOrNotAndStopsAtDaspOk) {
  UnitOnBench b;
  char reply[1000];
  // Answered: the unit is busy for 3 s after "#ISFD", so a few probes go unanswered first.
  EXPECT_TRUE(b.unit->Exchange("#ISFD", reply));
  size_t probes = Count(b.wire(), "#DASP,0\r\n");
  EXPECT_GE(probes, 2u);
  EXPECT_LE(probes, 4u);
  char next[1000];
  EXPECT_TRUE(b.unit->Exchange("#RRTC", next)) << "ready again after the follow-up";

  // Not answered: still probed, ten times at most.
  UnitOnBench silent;
  silent.sim().faults.silent = true;
  EXPECT_FALSE(silent.unit->Exchange("#STAD,1,2", reply, true));
  EXPECT_EQ(Count(silent.wire(), "#DASP,0\r\n"), 10u);
  EXPECT_EQ(Count(silent.wire(), "#STAD,1,2\r\n"), 2u);
}

TEST(Exchange, ReplyOfAMegabyteWithoutLfIsCutAndEndsAtItsTimeout) {
  UnitOnBench b;
  b.sim().appBaud = 115200;
  b.sim().Handle("HUGE", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.raw = std::string(1 << 20, 'Z');
    return r;
  });
  ASSERT_TRUE(b.unit->port.SetBaudFromText("115200"));
  char guard1[16] = "GUARD";
  char reply[300];
  char guard2[16] = "GUARD";
  uint64_t start = b.nowMs();
  EXPECT_FALSE(b.unit->Exchange("#HUGE", reply, true, true));
  uint64_t took = b.nowMs() - start;
  EXPECT_GT(took, 540 + 3000u);
  EXPECT_LE(took, 540 + 5000u);
  EXPECT_EQ(std::strlen(reply), 299u);
  EXPECT_STREQ(guard1, "GUARD");
  EXPECT_STREQ(guard2, "GUARD");
}

TEST(Exchange, PortThatWillNotOpenGivesNoReply) {
  UnitOnBench b;
  b.unit->port.Close();
  b.unit->port.portNumber = 9;
  char reply[100] = "old";
  EXPECT_FALSE(b.unit->Exchange("#RRTC", reply));
  EXPECT_STREQ(reply, "");
}

TEST(CleanReply, AddsLfAfterInnerCrAndDropsTrailingControlBytes) {
  char out[100];
  CTransponder::CleanReply("first\rsecond\n", out);
  EXPECT_STREQ(out, "first\r\nsecond");
  CTransponder::CleanReply("", out);
  EXPECT_STREQ(out, "");
  CTransponder::CleanReply("ab\r\n\x01\xC3\xA9", out);
  EXPECT_STREQ(out, "ab") << "bytes above 127 count as control bytes at the end";
  CTransponder::CleanReply("caf\xC3\xA9 ok\r", out);
  EXPECT_STREQ(out, "caf\xC3\xA9 ok") << "inside the text they stay";
  char small[6];
  CTransponder::CleanReply("a\rb\rc\rd", small);
  EXPECT_STREQ(small, "a\r\nb") << "cut at capacity less one, then the trailing CR goes";
}

TEST(ExtractValue, TakesTheRestOfTheLineAfterTheKey) {
  char v[64];
  EXPECT_TRUE(CTransponder::ExtractValue("TYPE,8132\rUNIT ID,  1A2B\r\nX", "UNIT ID,", v));
  EXPECT_STREQ(v, "1A2B");
  EXPECT_FALSE(CTransponder::ExtractValue("nothing here", "UNIT ID,", v));
  EXPECT_STREQ(v, " ");
  EXPECT_TRUE(CTransponder::ExtractValue("KEY,\r\nNEXT", "KEY,", v));
  EXPECT_STREQ(v, "NEXT") << "leading control bytes, line ends included, are skipped";
  EXPECT_TRUE(CTransponder::ExtractValue("KEY,   ", "KEY,", v));
  EXPECT_STREQ(v, " ");
  EXPECT_TRUE(CTransponder::ExtractValue("K= a, b c\xC3\xA9z", "K=", v));
  EXPECT_STREQ(v, "a, b c") << "spaces and commas stay; a byte above 127 ends the value";
  char tiny[4];
  EXPECT_TRUE(CTransponder::ExtractValue("K=abcdef", "K=", tiny));
  EXPECT_STREQ(tiny, "abc");
  EXPECT_TRUE(CTransponder::ExtractValue("K=1,K=2", "K=", v));
  EXPECT_STREQ(v, "1,K=2") << "the first occurrence";
}

TEST(CopyField, TakesTheFirstCommaSeparatedField) {
  char f[64];
  CTransponder::CopyField(f, "ABC,DEF");
  EXPECT_STREQ(f, "ABC");
  CTransponder::CopyField(f, " ");
  EXPECT_STREQ(f, " ");
  CTransponder::CopyField(f, "");
  EXPECT_STREQ(f, "");
  CTransponder::CopyField(f, "XY\rZ,W");
  EXPECT_STREQ(f, "XY");
  char tiny[3];
  CTransponder::CopyField(tiny, "LONGFIELD,2");
  EXPECT_STREQ(tiny, "LO");
  // Walking a comma list with the two helpers.
  char rest[64];
  CTransponder::ExtractValue("Batt,ID7,DRW-1,B", ",", rest);
  CTransponder::CopyField(f, rest);
  EXPECT_STREQ(f, "ID7");
}

TEST(CheckComms, ProbesTwiceThenTellsTheOperator) {
  UnitOnBench b;
  EXPECT_TRUE(b.unit->CheckComms(3));
  EXPECT_EQ(b.unit->port.failuresLeft, 3);
  EXPECT_TRUE(b.op.boxes.empty());
  EXPECT_EQ(Count(b.wire(), "#RRTC\r\n"), 1u);

  UnitOnBench dead;
  dead.sim().faults.silent = true;
  dead.unit->ShowBusy();
  EXPECT_FALSE(dead.unit->CheckComms(3));
  EXPECT_EQ(Count(dead.wire(), "#RRTC\r\n"), 2u);
  ASSERT_EQ(dead.op.boxes.size(), 1u);
  EXPECT_EQ(dead.op.boxes[0].text, "No valid comms");
  EXPECT_EQ(dead.op.boxes[0].icon, MbIcon::Exclamation);
  EXPECT_FALSE(dead.unit->serial.busyShown);
  EXPECT_EQ(dead.op.busyCaptions.front(), "Checking for valid comms");
}

TEST(CheckBootPrompt, SeesAUnitStuckAtItsBootloader) {
  UnitOnBench b;
  b.sim().faults.stuckInBootloader = true;
  b.sim().EnterBootloader(0);
  EXPECT_FALSE(b.unit->CheckBootPrompt());
  EXPECT_TRUE(b.unit->serial.inBootMode);
  UnitOnBench running;
  EXPECT_TRUE(running.unit->CheckBootPrompt());
  EXPECT_FALSE(running.unit->serial.inBootMode);
}

TEST(FindUnitPort, FindsTheUnitOnPortFiveAndMarksThePortsThatOpened) {
  UnitOnBench b(5, 8);
  b.bench.provider.RemovePort(2);
  b.bench.provider.RemovePort(3);
  std::vector<bool> flags(20, true);
  EXPECT_EQ(b.unit->FindUnitPort(1, 8, flags), 5);
  ASSERT_GE(flags.size(), 9u);
  std::vector<bool> expected = {false, true, false, false, true, true, false, false, false};
  for (size_t p = 0; p < expected.size(); ++p) EXPECT_EQ(flags[p], expected[p]) << p;
  EXPECT_EQ(b.bench.provider.opens[1], 1);
  EXPECT_EQ(b.bench.provider.opens[4], 1);
  EXPECT_EQ(b.bench.provider.opens.count(6), 0u) << "stops at the unit";
  EXPECT_FALSE(b.unit->port.isOpen);
  EXPECT_EQ(b.unit->port.portNumber, 5);
  char reply[1000];
  EXPECT_TRUE(b.unit->Exchange("#RRTC", reply)) << "the next exchange opens the found port";

  UnitOnBench none(5, 4);  // the unit's port is 5, only ports 1..4 and 5 exist; make it silent
  none.sim().faults.silent = true;
  std::vector<bool> f2;
  EXPECT_EQ(none.unit->FindUnitPort(1, 10, f2), 0);
  EXPECT_TRUE(f2[5]);
  EXPECT_FALSE(f2[6]);
}

TEST(BusyWindow, ShowsOnceAndHidesOnce) {
  UnitOnBench b;
  b.unit->ShowBusy();
  b.unit->ShowBusy();
  EXPECT_EQ(b.op.busyShows, 1);
  b.unit->SetBusyCaption("Getting status");
  b.unit->HideBusy();
  b.unit->HideBusy();
  EXPECT_EQ(b.op.busyHides, 1);
  EXPECT_FALSE(b.unit->serial.busyShown);
}

}  // namespace
