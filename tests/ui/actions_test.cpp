// The main window's actions end to end: what went over the line, the pane, every box asked,
// and which controls are visible after each step.
#include <gtest/gtest.h>

#include "status/status_report.h"
#include "tests/ui/ui_support.h"

namespace {
// clang-format off
const std::set<int> kAfterGeneralStatus = {
    ctl::kPane,          ctl::kQuickSet,       ctl::kGeneralStatus, ctl::kBootload,    ctl::kLoadCommands,
    ctl::kExit,          ctl::kTestReport,     ctl::kSetAddress,    ctl::kReadSensors, ctl::kInitialise,
    ctl::kSetTime,       ctl::kReset,          ctl::kFactoryDefaults, ctl::kSetDepth,  ctl::kAcousticCheck,
    ctl::kHardwareSelfTest, ctl::kSetAsTestTransponder, ctl::kReleaseTest, ctl::kEnable, ctl::kDasCalibration};
// clang-format on
}  // namespace

// The read itself (its commands and replies) belongs to the status tests; here the window
// shows the replies and reveals the unit buttons, also when the unit is unplugged.
TEST(GeneralStatus, RevealsTheUnitButtonsAndShowsTheReplies) {
  for (bool dead : {false, true}) {
    SCOPED_TRACE(dead ? "unplugged" : "answering");
    WindowOnBench w;
    w.Start();
    w.sim().faults.dead = dead;
    w.dlg->OnCommand(ctl::kGeneralStatus);
    EXPECT_FALSE(w.dlg->actionsHidden);
    EXPECT_EQ(w.Visible(), kAfterGeneralStatus);
    EXPECT_FALSE(w.op.busyVisible);
    if (dead) {
      EXPECT_EQ(w.op.BoxTexts(), (std::vector<std::string>{"No valid comms"}));
      EXPECT_EQ(w.dlg->paneText, "Velmoor detected on Comm 4") << "the pane keeps its text";
      continue;
    }
    // Raw replies are on from the search onwards: the pane holds the replies alone.
    EXPECT_EQ(w.dlg->paneText, w.unit().status.replyText);
    EXPECT_NE(w.dlg->paneText.find("TYPE, 7815"), std::string::npos) << w.dlg->paneText;
    EXPECT_EQ(w.view.pushedPane, w.dlg->paneText);
    EXPECT_EQ(w.dlg->lastReplyHeader, 0);
    EXPECT_TRUE(w.op.boxes.empty());
  }
}

TEST(UnitActions, EveryUnitActionStopsAtTheCommsCheckOnASilentUnit) {
  const int actions[] = {ctl::kReadSensors, ctl::kInitialise,     ctl::kSetTime,  ctl::kFactoryDefaults,
                         ctl::kEnable,      ctl::kDasCalibration, ctl::kSynchOut, ctl::kSynchIn,
                         ctl::kSetDepth,    ctl::kSetSerialNumber};
  for (int id : actions) {
    WindowOnBench w;
    w.StartAndReadStatus();
    w.sim().faults.silent = true;
    w.wire().clear();
    w.dlg->OnCommand(id);
    // The comms check's two probes and its box are all that happen.
    EXPECT_EQ(WireLines(w.wire()), (std::vector<std::string>{"#RRTC", "#RRTC"})) << id;
    EXPECT_EQ(w.op.BoxTexts(), (std::vector<std::string>{"No valid comms"})) << id;
    EXPECT_TRUE(w.op.entryTitles.empty()) << id;
  }
}

TEST(UnitActions, SerialNumberFromTheEntryDialog) {
  WindowOnBench w;
  w.StartAndReadStatus();
  w.wire().clear();
  w.op.entries.push_back(std::string("E12345,12"));
  w.dlg->OnCommand(ctl::kSetSerialNumber);
  EXPECT_EQ(w.op.entryTitles, (std::vector<std::string>{"Enter serial number as xxxxx-yy"}));
  EXPECT_EQ(WireLines(w.wire()), (std::vector<std::string>{"#RRTC", "#ENDB,1", "#TPSN,1000012345,12"}));
  EXPECT_NE(w.dlg->paneText.find("S/N, 1000012345-12"), std::string::npos) << w.dlg->paneText;
}

TEST(UnitActions, SingleCommandActionsShowTheirReplies) {
  struct Case {
    int id;
    const char* command;
    const char* shown;
  };
  const Case cases[] = {{ctl::kInitialise, "#INTP", "Initialising transponder"},
                        {ctl::kEnable, "#ENTP", "Transponder enabled"},
                        {ctl::kSynchOut, "#TXPG", "Synch out pulse sent"},
                        {ctl::kSynchIn, "#ENSI", "Synch in enabled"},
                        {ctl::kReadSensors, "#RDSE", "Offset   ="},
                        {ctl::kFactoryDefaults, "#ISFD", "Address 1001"}};
  WindowOnBench w;
  w.StartAndReadStatus();
  for (const auto& c : cases) {
    w.wire().clear();
    w.dlg->OnCommand(c.id);
    EXPECT_EQ(WireLines(w.wire()), (std::vector<std::string>{"#RRTC", c.command})) << c.command;
    EXPECT_NE(w.dlg->paneText.find(c.shown), std::string::npos) << w.dlg->paneText;
    EXPECT_EQ(w.dlg->lastReplyHeader, 1);
  }
  EXPECT_EQ(w.op.BoxTexts(), std::vector<std::string>{"Warning - this will change the address to 1001"});
}

TEST(Window, ExitEndsAsOkAndEscAsCancelled) {
  WindowOnBench w;
  w.Start();
  EXPECT_FALSE(CTesterDlg::RunsOnWorker(ctl::kExit));
  EXPECT_TRUE(CTesterDlg::RunsOnWorker(ctl::kGeneralStatus));
  w.dlg->OnCommand(ctl::kExit);
  EXPECT_TRUE(w.dlg->ended);
  EXPECT_TRUE(w.view.endedOk);
  WindowOnBench v;
  v.Start();
  v.dlg->OnCancel();
  EXPECT_TRUE(v.dlg->ended);
  EXPECT_FALSE(v.view.endedOk);
}
