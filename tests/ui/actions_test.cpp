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
using Lines = std::vector<std::string>;
}  // namespace

// "General Status" shows the replies and reveals the unit buttons, also when the unit is
// unplugged (the read itself belongs to the status tests). Each of those checks the comms
// first: a silent unit gets the check's two probes and its box, nothing more. An answering one
// gets the button's own command, and the pane shows the reply under a header. Exit ends the
// window as OK.
TEST(UnitActions, StatusRevealsTheButtonsEachChecksTheCommsThenSendsItsCommand) {
  const struct {
    int id;
    Lines wire;
    const char* shown;  // null: the answered action is left to its own tests
  } cases[] = {{ctl::kInitialise, {"#RRTC", "#INTP"}, "Initialising transponder"},
               {ctl::kEnable, {"#RRTC", "#ENTP"}, "Transponder enabled"},
               {ctl::kSynchOut, {"#RRTC", "#TXPG"}, "Synch out pulse sent"},
               {ctl::kSynchIn, {"#RRTC", "#ENSI"}, "Synch in enabled"},
               {ctl::kReadSensors, {"#RRTC", "#RDSE"}, "Offset   ="},
               {ctl::kFactoryDefaults, {"#RRTC", "#ISFD"}, "Address 1001"},
               {ctl::kSetSerialNumber, {"#RRTC", "#ENDB,1", "#TPSN,1000012345,12"}, "S/N, 1000012345-12"},
               {ctl::kSetTime, {}, nullptr},
               {ctl::kDasCalibration, {}, nullptr},
               {ctl::kSetDepth, {}, nullptr}};
  WindowOnBench w;
  w.Start();
  w.sim().faults.dead = true;
  w.dlg->OnCommand(ctl::kGeneralStatus);
  EXPECT_EQ(w.Visible(), kAfterGeneralStatus);
  EXPECT_EQ(w.op.BoxTexts(), (Lines{"No valid comms"}));
  EXPECT_EQ(w.dlg->paneText, "Velmoor detected on Comm 4") << "the pane keeps its text";
  w.sim().faults.dead = false;
  w.dlg->OnCommand(ctl::kGeneralStatus);
  // Raw replies are on from the search onwards: the pane holds the replies alone.
  EXPECT_EQ(w.dlg->paneText, w.dlg->replyText);
  EXPECT_NE(w.dlg->paneText.find("TYPE, 7815"), std::string::npos) << w.dlg->paneText;
  EXPECT_EQ(w.dlg->lastReplyHeader, 0);
  w.op.entries.push_back(std::string("E12345,12"));  // taken by the serial number alone
  Lines boxes = {"No valid comms"};                  // every box so far
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    w.sim().faults.silent = true;
    w.wire().clear();
    w.dlg->OnCommand(c.id);
    EXPECT_EQ(WireLines(w.wire()), (Lines{"#RRTC", "#RRTC"}));
    boxes.push_back("No valid comms");
    EXPECT_EQ(w.op.BoxTexts(), boxes);
    if (!c.shown) continue;
    w.sim().faults.silent = false;
    w.wire().clear();
    w.dlg->OnCommand(c.id);
    EXPECT_EQ(WireLines(w.wire()), c.wire);
    EXPECT_NE(w.dlg->paneText.find(c.shown), std::string::npos) << w.dlg->paneText;
    EXPECT_EQ(w.dlg->lastReplyHeader, 1);
    if (c.id == ctl::kFactoryDefaults) boxes.push_back("Warning - this will change the address to 1001");
    EXPECT_EQ(w.op.BoxTexts(), boxes);
  }
  EXPECT_EQ(w.op.entryTitles, (Lines{"Enter serial number as xxxxx-yy"})) << "the silent unit was never asked";
  w.dlg->OnCommand(ctl::kExit);
  EXPECT_EQ(w.view.ended, true);
}
