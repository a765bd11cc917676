// The main window's bench actions end to end: the boxes they ask, what goes over the line,
// what the pane shows and what the status files hold afterwards.
#include <gtest/gtest.h>

#include "status/status_report.h"
#include "tests/ui/ui_support.h"
#include "ui/bench_actions.h"

namespace {

struct BenchActions : ::testing::Test {
  BenchActions() : window(*b.dlg) {
    b.dlg->OnInitDialog();
    unit().utcNow = [] { return DateTime::FromCivil({2026, 12, 4, 21, 59, 0}); };
  }
  CTransponder& unit() { return b.dlg->unit; }
  size_t Find(const std::string& what) { return b.wire().find(what); }
  WindowOnBench b;
  CTesterDlg& window;
};

TEST_F(BenchActions, WidebandAcousticCheckAsksTheModeAndTheTestTransponder) {
  b.op.answers = {MbAnswer::Yes};
  b.op.entries.push_back(std::string("1203"));
  AcousticCheckAction(unit(), window);
  ASSERT_FALSE(b.op.boxes.empty());
  EXPECT_EQ(b.op.boxes[0].text, "Wideband is available\r\nDo you wish to use it?");
  EXPECT_EQ(b.op.boxes[0].caption, "Mode choice");
  EXPECT_EQ(b.op.entryTitles, std::vector<std::string>{"Enter address of test transponder"});
  // The test transponder's address 12 reaches the check as its selection code.
  EXPECT_NE(Find("#GCMD,23\r\n#GCMD,20\r\n"), std::string::npos);
  EXPECT_TRUE(b.dlg->paneText.starts_with("Wideband acoustic check passed\r\n\r\n"));
}

TEST_F(BenchActions, HardwareSelfTestAndReleaseTestShowTheirResults) {
  b.sim().state.tests.selfTestCode = 0x30;
  HardwareSelfTestAction(unit(), window);
  EXPECT_TRUE(b.dlg->paneText.starts_with(SelfTestText(0x30, unit().status.currentStatus) + "\r\n\r\n"));
  EXPECT_LT(Find("#HWST"), Find("#CKHW"));

  b.sim().state.tests.releaseCode = 2;
  ReleaseTestAction(unit(), window);
  EXPECT_NE(b.dlg->paneText.find("E:2"), std::string::npos);
}

TEST_F(BenchActions, SetNewStatusAppliesThePendingEntryOnly) {
  // Raw replies: the pane shows the action's own text.
  b.dlg->rawReplies = true;
  b.view.checkBox = true;
  SetNewStatusAction(unit(), window);
  EXPECT_EQ(b.dlg->paneText, "No update information found");
  EXPECT_EQ(Find("#GCMD"), std::string::npos);
  // The set-up as test transponder leaves the unit's normal settings pending.
  b.op.answers = {MbAnswer::No};
  SetAsTestTransponderAction(unit(), window);
  ASSERT_EQ(unit().status.currentStatus.AltCIFChannel, 1);
  b.wire().clear();
  SetNewStatusAction(unit(), window);
  EXPECT_EQ(unit().status.currentStatus.AltCIFChannel, 14);  // the unit's own interrogation channel again
  EXPECT_EQ(unit().status.currentStatus.Enabled.str(), "WDD");
  EXPECT_NE(unit().CheckReport(unit().status.currentStatus.UnitId, true).find("   Updated 4 Dec 2026  21:59\r\n"),
            std::string::npos);
}

}  // namespace
