// "Produce test report" end to end against the simulated unit: the report's every step, the
// file named after the serial number with its exact bytes, both result boxes, and the reply text
// the steps leave for the raw replies.
#include <gtest/gtest.h>

#include "records/test_report.h"
#include "ui/test_report_action.h"
#include "sim/sim_status.h"
#include "status/status_report.h"
#include "tests/support/test_bench.h"

namespace {

struct TestReportTest : ::testing::Test {
  TestReportTest() {
    b.unit->localNow = [] { return DateTime::FromCivil({2026, 12, 4, 21, 59, 30}); };
  }
  std::filesystem::path ReportFile() { return b.root / "T7Status" / "002345-007.txt"; }
  UnitOnBench b;
  char reply[CTransponder::kReplyTextSize] = {};  // the window's reply text
};

TEST_F(TestReportTest, TheReleaseTestWaitsASecondAfterTheOperatorSaysYes) {
  std::vector<uint64_t> arrivals;  // of "#CKHW" (the self test just before the question) and "#RTST"
  const std::pair<const char*, std::vector<std::string>> answers[] = {
      {"CKHW", {"RX 1-6 OK", "TX OK", "Self test passed"}}, {"RTST", {"Release fired", "E:0"}}};
  for (const auto& [code, lines] : answers)
    b.sim().Handle(code, [&arrivals, lines](SimUnit& u, const std::string&, const std::string&) {
      arrivals.push_back(u.nowUs() / 1000);
      SimUnit::Reply r;
      r.lines = lines;
      return r;
    });
  b.sim().busyAfterMs = 0;         // the self test's readiness probe is answered at once
  b.op.answers = {MbAnswer::Yes};  // "Run Release test"
  ASSERT_TRUE(ProduceTestReport(*b.unit, reply).Ok());
  ASSERT_EQ(arrivals.size(), 2u);
  // Without the second: the self test's reply, the 500 ms before every attempt and the bytes.
  EXPECT_GE(arrivals[1] - arrivals[0], 1500u);
  EXPECT_LT(arrivals[1] - arrivals[0], 1800u);
}

TEST_F(TestReportTest, FullReportWithReleaseTestWritesTheFileWithBlanksForCrs) {
  b.op.answers = {MbAnswer::Yes};  // "Run Release test"
  const Outcome o = ProduceTestReport(*b.unit, reply);
  EXPECT_EQ(o.kind, OutcomeKind::Done);
  EXPECT_EQ(o.testResult, 0);
  EXPECT_EQ(o.file, ReportFile().string());
  const UnitStatus& s = b.unit->status.currentStatus;
  std::string sensors;
  for (const std::string& line : SensorLines(b.sim().state)) sensors += line + "\r\n";
  const std::string expected = IdentityText(s) + InterrogateText(s) + TimingPowerText(s) + "\r\n" +
                               DaughterCardText(s) + "\r\n" + SelfTestText(0, s) + "\r\n" +
                               "#RTST\r\nRelease fired\r\nE:0\r\n" + "\r\n" + VersionsSensorsText(s) + "\r\n\r\n" +
                               "#RDSE\r\n" + sensors + "\r\nData stored at 21:59 04/12/2026 ";
  EXPECT_EQ(o.pane, expected);
  std::string file = expected;
  for (char& c : file)
    if (c == '\r') c = ' ';
  std::ifstream in(ReportFile());  // text mode, as the report is written: CR LF on Windows
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), file + "\n");
  EXPECT_EQ(b.op.BoxTexts(),
            (std::vector<std::string>{"Run Release test", "Results stored in " + ReportFile().string()}));
  EXPECT_EQ(b.op.boxes.at(0).caption + "|" + b.op.boxes.at(1).caption, "Release test|Result stored");
  // Each step's reply went into the window's reply text: "Display raw replies" shows the last.
  EXPECT_EQ(std::string(reply), "#RDSE\r\n" + sensors.substr(0, sensors.size() - 2));
}

// A unit whose "#TPST" never answered: the operator is asked whether to go on. No stops before
// the self test; Yes reports the address, channel and HPR pair that were never read as the
// unknown values they are.
TEST_F(TestReportTest, IncompleteStatusAsksAndGoesOnOnlyOnYes) {
  Silence(b.sim(), "TPST");
  b.op.answers = {MbAnswer::No};
  EXPECT_EQ(ProduceTestReport(*b.unit, reply).kind, OutcomeKind::Declined);
  EXPECT_FALSE(std::filesystem::exists(ReportFile()));
  EXPECT_EQ(b.op.boxes.back().text + "|" + b.op.boxes.back().caption,
            "Incomplete status recovered\r\nContinue anyway??|Communications error");
  EXPECT_EQ(b.wire().find("#CKHW"), std::string::npos);

  b.op.answers = {MbAnswer::Yes, MbAnswer::No};  // go on anyway; no release test
  const Outcome o = ProduceTestReport(*b.unit, reply);
  EXPECT_EQ(o.kind, OutcomeKind::Done) << o.reason;
  EXPECT_NE(o.pane.find("\r\nUnit ID 1A2B3C(hex)  Serial No 002345-007\r\nAddress -1-1   HPR -1-1\r\n"),
            std::string::npos)
      << o.pane;
  std::ifstream in(ReportFile());
  EXPECT_NE(std::string(std::istreambuf_iterator<char>(in), {}).find("\nAddress -1-1   HPR -1-1 \n"), std::string::npos);
}

}  // namespace
