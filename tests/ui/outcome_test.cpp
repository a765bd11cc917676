// Each action says what happened as a value: the kind the command line turns into its exit
// code and the history keeps, with the details a reader needs; and the session log records the
// operation's start, its questions with who answered them, and its outcome.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "platform/logged_operator.h"
#include "platform/session_log.h"
#include "tests/ui/ui_support.h"

TEST(Outcomes, EachActionSaysWhatHappened) {
  const struct {
    const char* name;
    int id;
    std::function<void(WindowOnBench&)> fault;
    OutcomeKind kind;
  } cases[] = {
      {"whole read", ctl::kGeneralStatus, [](WindowOnBench&) {}, OutcomeKind::Done},
      {"a reader unanswered", ctl::kGeneralStatus, [](WindowOnBench& w) { Silence(w.sim(), "FVFV"); },
       OutcomeKind::Refused},
      {"record not saved", ctl::kGeneralStatus,
       [](WindowOnBench& w) { std::filesystem::create_directories(w.root / "T7Status" / "Current-Status.xml"); },
       OutcomeKind::NotRecorded},
      {"self test failed", ctl::kHardwareSelfTest, [](WindowOnBench& w) { w.sim().state.tests.selfTestCode = 0x10; },
       OutcomeKind::Refused},
      {"silent unit", ctl::kReadSensors, [](WindowOnBench& w) { w.sim().faults.silent = true; }, OutcomeKind::NoUnit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WindowOnBench w;
    w.Start();
    c.fault(w);
    const Outcome o = w.dlg->OnCommand(c.id);
    EXPECT_EQ(o.kind, c.kind) << o.reason;
    EXPECT_EQ(o.action, w.dlg->ActionName(c.id));
    EXPECT_EQ(o.pane, w.dlg->paneText);
    EXPECT_EQ(o.failedReaders != 0, std::string(c.name) == "a reader unanswered");
    if (c.id == ctl::kHardwareSelfTest) {
      EXPECT_EQ(o.testResult, 0x10);
    }
    EXPECT_EQ(o.reason.empty(), o.kind == OutcomeKind::Done);
  }
}

TEST(Outcomes, TheLogHoldsTheOperationItsQuestionsWithWhoAnsweredAndItsOutcome) {
  WindowOnBench w;
  LoggedOperator logged(w.op);
  CTesterDlg dlg(w.bench.port, logged, DataPaths{w.root});
  dlg.OnInitDialog();
  dlg.OnTimer(kSearchTimerId);
  w.op.answers = {MbAnswer::No};  // "Run Release test"
  ASSERT_NE(SessionLog::Start(DataPaths{w.root}, true, "test"), nullptr);
  const Outcome o = dlg.OnCommand(ctl::kTestReport);
  SessionLog::Stop();
  std::string log;
  for (const auto& e : std::filesystem::directory_iterator(w.root / "T7Status" / "logs")) {
    std::ifstream in(e.path());
    log.assign(std::istreambuf_iterator<char>(in), {});
  }
  for (const std::string& want : std::vector<std::string>{
           "] op \"Produce test report\"", "] ask release-test \"Run Release test\" answered \"No\" by operator",
           "] box \"Result stored\" Results stored in ", "] outcome " + EscapeBytes(OutcomeSummary(o))})
    EXPECT_NE(log.find(want), std::string::npos) << want << "\n" << log.substr(0, 3000);
}
