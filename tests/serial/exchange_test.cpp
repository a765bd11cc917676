// The command exchange, the comms check, the port search and the reply helpers, end to end
// against the simulated unit in virtual time; the trace's lines from two threads.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "serial/diagnostic_trace.h"
#include "tests/support/test_bench.h"

namespace {

TEST(ReplyTimeoutTable, PicksByCodeWithLaterRowsOverriding) {
  // Rows of the unit's time-out table, in seconds; anything else waits 3 s.
  const std::pair<const char*, int32_t> rows[] = {{"#TXPG", 6},    {"#RDSE", 40},   {"#ZDOF,1", 50},
                                                  {"#DAST,22", 1}, {"#GCMD,4", 12}, {"#XXXX", 3}};
  for (const auto& [command, seconds] : rows) EXPECT_EQ(CTransponder::ReplyTimeoutFor(command), seconds) << command;
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
  const uint64_t took = b.nowMs() - start;
  EXPECT_EQ(Count(b.wire(), "#GCMD,4\r\n"), 2u);
  // Two attempts, each a pause of 500 ms and then the port's wait for a reply in 12 s (the
  // port's tests pin that wait).
  char line[100] = "#GCMD,4";
  start = b.nowMs();
  b.unit->port.SendLine(line, 12, true);
  EXPECT_NEAR(static_cast<double>(took), 2.0 * static_cast<double>(500 + b.nowMs() - start), 10.0);

  // With the readiness follow-up asked for: still probed, ten times at most.
  EXPECT_FALSE(b.unit->Exchange("#STAD,1,2", reply, true));
  EXPECT_EQ(Count(b.wire(), "#DASP,0\r\n"), 10u);
  EXPECT_EQ(Count(b.wire(), "#STAD,1,2\r\n"), 2u);
}

TEST(Exchange, ReadinessFollowUpStopsAtDaspOk) {
  UnitOnBench b;
  char reply[1000];
  // Answered: the unit is busy for 3 s after "#ISFD", so a few probes go unanswered first.
  EXPECT_TRUE(b.unit->Exchange("#ISFD", reply));
  size_t probes = Count(b.wire(), "#DASP,0\r\n");
  EXPECT_GE(probes, 2u);
  EXPECT_LE(probes, 4u);
  EXPECT_TRUE(b.unit->Exchange("#RRTC", reply)) << "ready again after the follow-up";
}

TEST(CleanReply, AddsLfAfterInnerCrAndDropsTrailingControlBytes) {
  const std::pair<const char*, const char*> cases[] = {
      {"first\rsecond\n", "first\r\nsecond"},
      {"", ""},
      // Bytes above 127 count as control bytes at the end; inside the text they stay.
      {"ab\r\n\x01\xC3\xA9", "ab"},
      {"caf\xC3\xA9 ok\r", "caf\xC3\xA9 ok"},
  };
  char out[100];
  for (const auto& [reply, cleaned] : cases) {
    CTransponder::CleanReply(reply, out);
    EXPECT_STREQ(out, cleaned) << reply;
  }
  char small[6];
  CTransponder::CleanReply("a\rb\rc\rd", small);
  EXPECT_STREQ(small, "a\r\nb") << "cut at capacity less one, then the trailing CR goes";
}

// (An answered check is one "#RRTC": the window's action tests show it before each command.)
TEST(CheckComms, ProbesTwiceThenTellsTheOperator) {
  UnitOnBench b;
  b.sim().faults.silent = true;
  b.unit->ShowBusy();
  EXPECT_FALSE(b.unit->CheckComms(3));
  EXPECT_EQ(Count(b.wire(), "#RRTC\r\n"), 2u);
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{"No valid comms"});
  EXPECT_FALSE(b.unit->serial.busyShown);
  EXPECT_EQ(b.op.busyCaptions.front(), "Checking for valid comms");
}

}  // namespace

// The pane does not wrap: a port's diagnosis is folded between words to the pane's width, the
// remedy indented, and nothing of it lost.
TEST(OpenFailureText, FoldsTheDiagnosisToThePanesWidth) {
  PortOpenReport r;
  r.comNumber = 1;
  r.device = "/dev/ttyUSB0";
  r.reason = "Permission denied";
  r.remedy =
      "this user is not in the 'dialout' group that owns /dev/ttyUSB0: run 'sudo usermod -aG dialout $USER', "
      "then log out and in again";
  const std::string text = CTransponder::OpenFailureText(r);
  std::string words;
  size_t start = 0;
  for (size_t end; start <= text.size(); start = end + 2) {
    end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    EXPECT_LE(line.size(), 50u) << line;
    if (start > 0) {
      EXPECT_EQ(line.rfind("  ", 0), 0u) << "continuation lines are indented: " << line;
    }
    words += line.substr(line.find_first_not_of(' ')) + " ";
  }
  EXPECT_EQ(words, "COM1 (/dev/ttyUSB0) would not open: Permission denied " + r.remedy + " ");
}

// The trace takes lines from two threads at once (the window's worker and another): each line
// whole, none lost.
TEST(DiagnosticTraceLines, TwoThreadsWriteWholeLinesAtOnce) {
  Trace().StartCapture();
  std::thread other([] {
    for (int i = 0; i < 500; ++i) Trace().Write("other " + std::to_string(i));
  });
  for (int i = 0; i < 500; ++i) Trace().Echo("this " + std::to_string(i));
  other.join();
  const std::vector<std::string> lines = Trace().Captured();
  Trace().StopCapture();
  EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), 1000u);
}
