// The main window's bench actions end to end: the boxes they ask, what goes over the line,
// what the pane shows and what the status files hold afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sim/sim_tests.h"
#include "status/status_report.h"
#include "tests/ui/ui_support.h"
#include "ui/bench_actions.h"

namespace {

using Acoustic = SimUnitState::Tests::Acoustic;

bool StartsWith(const std::string& text, const std::string& head) { return text.rfind(head, 0) == 0; }

struct BenchActions : ::testing::Test {
  BenchActions() : window(BenchWindowOf(*b.dlg)) {
    b.dlg->OnInitDialog();
    unit().utcNow = [] { return DateTime::FromCivil({2026, 12, 4, 21, 59, 0}); };
  }
  CTransponder& unit() { return b.dlg->unit; }
  size_t Find(const std::string& what) { return b.wire().find(what); }
  WindowOnBench b;
  BenchWindow window;
};

TEST_F(BenchActions, WidebandAcousticCheckAsksTheModeAndTheTestTransponder) {
  b.op.answers = {MbAnswer::Yes};
  b.op.entries.push_back(std::string("1203"));
  AcousticCheckAction(unit(), window);
  ASSERT_FALSE(b.op.boxes.empty());
  EXPECT_EQ(b.op.boxes[0].text, "Wideband is available\r\nDo you wish to use it?");
  EXPECT_EQ(b.op.boxes[0].caption, "Mode choice");
  EXPECT_EQ(b.op.boxes[0].icon, MbIcon::Question);
  EXPECT_EQ(b.op.entryTitles, std::vector<std::string>{"Enter address of test transponder"});
  EXPECT_NE(Find("#GCMD,23\r\n#GCMD,20\r\n#GCMD,4\r\n#ENDB,16\r\n#GCMD,10\r\n\r\n#DSDB,16\r\n"), std::string::npos);
  EXPECT_TRUE(StartsWith(b.dlg->paneText, "Wideband acoustic check passed\r\n\r\n"));
  EXPECT_FALSE(b.op.busyVisible);
  ASSERT_TRUE(unit().LoadCurrentEntry(unit().status.currentStatus.UnitId));
  EXPECT_EQ(unit().records.storedChecks.CI1Result, 1);
}

TEST_F(BenchActions, IllegalTestTransponderAddressSendsNothing) {
  b.op.answers = {MbAnswer::Yes};
  b.op.entries.push_back(std::string("1615"));  // address 16 does not exist
  AcousticCheckAction(unit(), window);
  EXPECT_EQ(b.op.boxes.back().text, "Illegal address!!");
  EXPECT_EQ(b.op.boxes.back().icon, MbIcon::Exclamation);
  EXPECT_EQ(Find("#GCMD"), std::string::npos);
  EXPECT_FALSE(b.op.busyVisible);
}

TEST_F(BenchActions, DecliningWidebandRunsTheToneCheck) {
  b.op.answers = {MbAnswer::No};
  b.sim().state.tests.acoustic = Acoustic::NoReply;
  AcousticCheckAction(unit(), window);
  EXPECT_TRUE(b.op.entryTitles.empty());
  EXPECT_NE(Find("#GCMD,3\r\n#GCMD,8\r\n"), std::string::npos);
  EXPECT_TRUE(StartsWith(b.dlg->paneText, "Tone acoustic check - no acoustic reply detected\r\n\r\n"));
}

TEST_F(BenchActions, UnitWithoutWidebandIsNotAsked) {
  b.sim().state.daughterCardFitted = 0;
  AcousticCheckAction(unit(), window);
  EXPECT_TRUE(b.op.boxes.empty());
  EXPECT_TRUE(StartsWith(b.dlg->paneText, "Tone acoustic check passed"));
}

TEST_F(BenchActions, HardwareSelfTestAndReleaseTestShowTheirResults) {
  b.sim().state.tests.selfTestCode = 0x30;
  HardwareSelfTestAction(unit(), window);
  EXPECT_TRUE(StartsWith(b.dlg->paneText, SelfTestText(0x30, unit().status.currentStatus) + "\r\n\r\n"));
  EXPECT_LT(Find("#HWST"), Find("#CKHW"));

  b.sim().state.tests.releaseCode = 2;
  ReleaseTestAction(unit(), window);
  EXPECT_NE(b.dlg->paneText.find("E:2"), std::string::npos);
  EXPECT_EQ(unit().status.currentChecks.ReleaseResult, 2);
  EXPECT_EQ(b.op.boxes.size(), 0u);
}

TEST_F(BenchActions, TestsStopWhenTheUnitDoesNotAnswer) {
  b.sim().faults.silent = true;
  b.dlg->paneText = "kept";
  HardwareSelfTestAction(unit(), window);
  ReleaseTestAction(unit(), window);
  AcousticCheckAction(unit(), window);
  SetAsTestTransponderAction(unit(), window);
  SetNewStatusAction(unit(), window);
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>(5, "No valid comms"));
  EXPECT_EQ(b.dlg->paneText, "kept");
  EXPECT_EQ(b.sim().state.tests.selfTests + b.sim().state.tests.releaseTests, 0);
}

TEST_F(BenchActions, SetAsWidebandTestTransponderReportsTheAddress) {
  b.op.answers = {MbAnswer::Yes};
  SetAsTestTransponderAction(unit(), window);
  EXPECT_TRUE(StartsWith(b.dlg->paneText, "Correctly set as wideband test transponder\r\nAddress is 1207\r\n\r\n"));
  EXPECT_TRUE(std::filesystem::exists(unit().paths.TestTransponderFile()));
  ASSERT_TRUE(unit().LoadNewEntry(unit().status.currentStatus.UnitId));
  EXPECT_EQ(unit().records.storedChecks.UpdatedResult, 0);
}

TEST_F(BenchActions, SetUpDoesNotStartWithoutTheWholeStatus) {
  b.sim().Handle("STTX", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.silent = true;
    return r;
  });
  SetAsTestTransponderAction(unit(), window);
  EXPECT_FALSE(std::filesystem::exists(unit().paths.TestTransponderFile()));
  EXPECT_EQ(Find("#GCMD"), std::string::npos);
  EXPECT_FALSE(b.op.busyVisible);
}

TEST_F(BenchActions, GetFileStatusReadsTheFilesAndSendsNothing) {
  char scratch[CTransponder::kReplyTextSize];
  ASSERT_TRUE(unit().GetStatus("", scratch, false));
  b.wire().clear();
  GetFileStatusAction(unit(), window);
  EXPECT_EQ(b.dlg->paneText, unit().FileStatusReport());
  EXPECT_TRUE(StartsWith(b.dlg->paneText, "Unit 1A2B3C (1207)\r\n   Update NOT required\r\n"));
  EXPECT_EQ(b.view.pushedPane, b.dlg->paneText);
  EXPECT_EQ(b.wire(), "");
  EXPECT_EQ(b.op.busyShows, 0);
}

TEST_F(BenchActions, SetNewStatusWithoutAnEntrySendsNoSetting) {
  b.dlg->rawReplies = true;
  b.view.checkBox = true;
  SetNewStatusAction(unit(), window);
  EXPECT_STREQ(unit().status.replyText, "No update information found");
  EXPECT_EQ(b.dlg->paneText, "No update information found");
  EXPECT_EQ(Find("#GCMD"), std::string::npos);
  EXPECT_EQ(Find("#STAD"), std::string::npos);
}

TEST_F(BenchActions, SetNewStatusAppliesThePendingEntry) {
  // The set-up as test transponder leaves the unit's normal settings pending.
  b.op.answers = {MbAnswer::No};
  SetAsTestTransponderAction(unit(), window);
  ASSERT_EQ(unit().status.currentStatus.AltCIFChannel, 1);
  b.wire().clear();
  SetNewStatusAction(unit(), window);
  EXPECT_NE(Find("#GCMD"), std::string::npos);
  EXPECT_EQ(unit().status.currentStatus.AltCIFChannel, 14);  // the unit's own interrogation channel again
  EXPECT_EQ(unit().status.currentStatus.Enabled.str(), "WDD");
  EXPECT_NE(unit().CheckReport(unit().status.currentStatus.UnitId, true).find("   Updated 4 Dec 2026  21:59\r\n"),
            std::string::npos);
}

TEST_F(BenchActions, ThroughTheWindowsButtons) {
  // As the running program does it: start-up search, "General Status", the test report, then a
  // command file from tests/data and one of its buttons.
  b.Start();
  b.dlg->OnCommand(ctl::kGeneralStatus);
  b.op.answers = {MbAnswer::No};  // no release test
  b.dlg->OnCommand(ctl::kTestReport);
  const auto report = unit().paths.StatusDir() / "002345-007.txt";
  EXPECT_TRUE(std::filesystem::exists(report));
  EXPECT_EQ(b.op.boxes.back().text, "Results stored in " + report.string());
  EXPECT_TRUE(StartsWith(b.view.pushedPane, IdentityText(unit().status.currentStatus)));

  b.op.files.push_back(std::string(VT_SOURCE_DIR) + "/tests/data/bench_six_commands.T7d");
  b.dlg->OnCommand(ctl::kLoadCommands);
  EXPECT_TRUE(b.dlg->IsVisible(ctl::kCommand4));
  EXPECT_EQ(b.dlg->ControlText(ctl::kCommand4), "Ping");
  b.wire().clear();
  b.dlg->OnCommand(ctl::kCommand4);
  EXPECT_EQ(b.wire(), "#RRTC\r\n#RRTC\r\n");  // the comms check, then the button's command
  EXPECT_TRUE(StartsWith(b.view.pushedPane, "#RRTC\r\nRTC "));
}

}  // namespace
