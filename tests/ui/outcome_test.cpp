// Each action says what happened as a value: the kind the command line turns into its exit
// code and the history keeps, with the details a reader needs; and the session log records the
// operation's start, its questions with who answered them, and its outcome.

#include <sqlite3.h>

#include <functional>
#include <utility>

#include "history/history_store.h"
#include "platform/logged_operator.h"
#include "platform/session_log.h"
#include "tests/ui/ui_support.h"

TEST(Outcomes, EachActionSaysWhatHappened) {
  const struct {
    const char* name;
    int id;
    std::function<void(WindowOnBench&)> fault;
    OutcomeKind kind;
    bool statusRead = false;  // the action read the whole status (the history keeps it)
    bool sensorsRead = false;
  } cases[] = {
      {"whole read", ctl::kGeneralStatus, [](WindowOnBench&) {}, OutcomeKind::Done, true},
      {"sensors read", ctl::kReadSensors, [](WindowOnBench&) {}, OutcomeKind::Done, false, true},
      {"a reader unanswered", ctl::kGeneralStatus, [](WindowOnBench& w) { Silence(w.sim(), "FVFV"); },
       OutcomeKind::Refused, true},
      {"record not saved", ctl::kGeneralStatus,
       [](WindowOnBench& w) {
         const auto file = w.root / "T7Status" / "Current-Status.xml";
         std::filesystem::remove(file);
         std::filesystem::create_directories(file);
       },
       OutcomeKind::NotRecorded, true},
      {"self test failed", ctl::kHardwareSelfTest, [](WindowOnBench& w) { w.sim().state.tests.selfTestCode = 0x10; },
       OutcomeKind::Refused, true},
      {"silent unit", ctl::kReadSensors, [](WindowOnBench& w) { w.sim().faults.silent = true; }, OutcomeKind::NoUnit},
      {"no command file chosen", ctl::kLoadCommands, [](WindowOnBench& w) { w.op.files = {std::nullopt}; },
       OutcomeKind::Declined},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WindowOnBench w;
    history::HistoryStore store;  // every action is in the history, whatever its outcome
    ASSERT_TRUE(store.Open(w.root / "history.sqlite"));
    w.dlg->history = &store;
    w.Start();
    const Outcome read = w.dlg->OnCommand(ctl::kGeneralStatus);  // the unit, read on its port
    ASSERT_TRUE(read.Ok()) << read.reason;
    c.fault(w);
    const Outcome o = w.dlg->OnCommand(c.id);
    const auto visits = store.Visits(0x1A2B3C);
    ASSERT_EQ(visits.size(), 2u);
    EXPECT_EQ(visits[0].outcome, OutcomeKindName(c.kind));
    EXPECT_EQ(visits[0].action, o.action);
    EXPECT_EQ(visits[0].port, w.dlg->PortName());
    EXPECT_EQ(o.kind, c.kind) << o.reason;
    EXPECT_EQ(o.action, w.dlg->ActionName(c.id));
    EXPECT_EQ(o.pane, w.dlg->paneText);
    EXPECT_EQ(o.failedReaders != 0, std::string(c.name) == "a reader unanswered");
    EXPECT_EQ(o.statusRead, c.statusRead);
    EXPECT_EQ(visits[0].statusRead, c.statusRead);
    EXPECT_EQ(o.sensorsRead, c.sensorsRead);
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
  const std::string log = LoggedText(w.root);
  for (const std::string& want : std::vector<std::string>{
           "] op \"Produce test report\"", "] ask release-test \"Run Release test\" answered \"No\" by operator",
           "] box \"Result stored\" Results stored in ", "] outcome " + EscapeBytes(OutcomeSummary(o))})
    EXPECT_NE(log.find(want), std::string::npos) << want << "\n" << log.substr(0, 3000);
}

// A history whose event cannot be written is told once: the command line gets a box (a line of
// its output), the window the message to tell in its own place, and no box; the log has it.
TEST(Outcomes, AHistoryThatCannotBeWrittenIsToldOnceInABoxOrByTheWindow) {
  for (const bool inBox : {true, false}) {
    SCOPED_TRACE(inBox ? "box" : "window");
    WindowOnBench w;
    history::HistoryStore store;
    ASSERT_TRUE(store.Open(w.root / "history.sqlite"));
    ASSERT_EQ(sqlite3_exec(store.Db(), "PRAGMA query_only = 1", nullptr, nullptr, nullptr), SQLITE_OK);
    w.dlg->history = &store;
    w.dlg->historyProblemInBox = inBox;
    w.Start();
    ASSERT_NE(SessionLog::Start(DataPaths{w.root}, true, "test"), nullptr);
    std::string left;  // for the window, by two actions
    for (int i = 0; i < 2; ++i) {
      w.dlg->OnCommand(ctl::kGeneralStatus);
      left += std::exchange(w.dlg->historyProblem, {});
    }
    SessionLog::Stop();
    EXPECT_EQ(Count(left, "The unit history "), inBox ? 0u : 1u);
    EXPECT_EQ(w.op.boxes.size(), inBox ? 1u : 0u);  // "Unit history"
    EXPECT_EQ(Count(LoggedText(w.root), "] history The unit history "), inBox ? 0u : 1u);
  }
}
