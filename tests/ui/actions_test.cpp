// The main window's actions end to end: what went over the line, the pane, every box asked,
// and which controls are visible after each step.
#include <gtest/gtest.h>

#include "status/status_report.h"
#include "tests/ui/ui_support.h"

namespace {
const std::set<int> kAfterGeneralStatus = {
    ctl::kPane,          ctl::kQuickSet,       ctl::kGeneralStatus, ctl::kBootload,    ctl::kLoadCommands,
    ctl::kExit,          ctl::kTestReport,     ctl::kSetAddress,    ctl::kReadSensors, ctl::kInitialise,
    ctl::kSetTime,       ctl::kReset,          ctl::kFactoryDefaults, ctl::kSetDepth,  ctl::kAcousticCheck,
    ctl::kHardwareSelfTest, ctl::kSetAsTestTransponder, ctl::kReleaseTest, ctl::kEnable, ctl::kDasCalibration};

const int kNeverShown[] = {ctl::kSetSerialNumber, ctl::kSynchOut,     ctl::kSynchIn,     ctl::kManualCommand,
                           ctl::kSetNewStatus,    ctl::kGetFileStatus, ctl::kExportStatus, ctl::kRawReplies,
                           ctl::kManualText};

DateTime At(int y, int mo, int d, int h, int mi, int s) { return DateTime::FromCivil({y, mo, d, h, mi, s}); }
}  // namespace

TEST(GeneralStatus, ReadsTheUnitShowsItsRepliesAndRevealsTheUnitButtons) {
  WindowOnBench w;
  w.Start();
  w.wire().clear();
  w.dlg->OnCommand(ctl::kGeneralStatus);
  EXPECT_EQ(SentCommands(w.wire()), (std::vector<std::string>{"#RRTC", "#HWST", "#TPST", "#FVFV", "#INFO", "#STTX"}));
  EXPECT_FALSE(w.dlg->actionsHidden);
  EXPECT_EQ(w.Visible(), kAfterGeneralStatus);
  // Raw replies are on from the search onwards: the pane holds the replies alone.
  EXPECT_EQ(w.dlg->paneText, w.unit().status.replyText);
  EXPECT_NE(w.dlg->paneText.find("TYPE, 7815"), std::string::npos) << w.dlg->paneText;
  EXPECT_EQ(w.view.pushedPane, w.dlg->paneText);
  EXPECT_EQ(w.dlg->lastReplyHeader, 0);
  EXPECT_FALSE(w.op.busyVisible);
  EXPECT_TRUE(w.op.boxes.empty());
  EXPECT_EQ(w.op.busyCaptions[1], "Checking for valid comms");
}

TEST(GeneralStatus, AnUnpluggedUnitStillRevealsTheUnitButtons) {
  WindowOnBench w;
  w.Start();
  w.sim().faults.dead = true;
  w.wire().clear();
  w.dlg->OnCommand(ctl::kGeneralStatus);
  EXPECT_EQ(SentCommands(w.wire()), (std::vector<std::string>{"#RRTC", "#RRTC"}));
  EXPECT_EQ(w.op.BoxTexts(), (std::vector<std::string>{"No valid comms"}));
  EXPECT_EQ(w.Visible(), kAfterGeneralStatus);
  EXPECT_EQ(w.dlg->paneText, "Velmoor detected on Comm 4") << "the pane keeps its text";
  EXPECT_FALSE(w.op.busyVisible);
}

TEST(GeneralStatus, CommandButtonsWithEntriesAppearWithTheirCaptions) {
  WindowOnBench w;
  w.Start();
  w.dlg->commandCaption[1] = "Self test";
  w.dlg->commandText[1] = "#CKHW";
  w.dlg->commandCaption[4] = "No command";
  w.dlg->OnCommand(ctl::kGeneralStatus);
  EXPECT_TRUE(w.dlg->IsVisible(ctl::kCommand2));
  EXPECT_EQ(w.dlg->ControlText(ctl::kCommand2), "Self test");
  EXPECT_FALSE(w.dlg->IsVisible(ctl::kCommand5)) << "a caption without a command stays hidden";
  EXPECT_FALSE(w.dlg->IsVisible(ctl::kCommand1));

  w.dlg->commandTimeout[1] = 25;
  w.dlg->ClearCommandEntries();
  EXPECT_EQ(w.dlg->commandTimeout[1], 25) << "the time-outs stay";
  w.dlg->UpdateCommandButtons();
  EXPECT_FALSE(w.dlg->IsVisible(ctl::kCommand2));
}

TEST(ShowReply, WithoutRawRepliesThePaneHoldsTheStatusReportAfterTheReply) {
  WindowOnBench w;
  w.StartAndReadStatus();
  const std::string report = StatusReportText(w.unit().status.currentStatus);
  ASSERT_FALSE(report.empty());
  w.dlg->rawReplies = false;
  w.dlg->ShowReply("reply", 1);
  EXPECT_EQ(w.dlg->paneText, "reply\r\n\r\n" + report);
  w.dlg->ShowReply("reply", 0);
  EXPECT_EQ(w.dlg->paneText, report);
  EXPECT_EQ(w.dlg->lastReplyHeader, 0);

  // "Display raw replies" pulls the check box and shows the reply text again.
  TextSpan(w.unit().status.replyText).Assign("last reply");
  w.dlg->lastReplyHeader = 1;
  w.view.checkBox = true;
  w.dlg->OnCommand(ctl::kRawReplies);
  EXPECT_EQ(w.dlg->paneText, "last reply");
  w.view.checkBox = false;
  w.dlg->OnCommand(ctl::kRawReplies);
  EXPECT_EQ(w.dlg->paneText, "last reply\r\n\r\n" + report);
}

TEST(UnitActions, EveryUnitActionStopsAtTheCommsCheckOnASilentUnit) {
  const int actions[] = {ctl::kReadSensors, ctl::kInitialise, ctl::kSetTime,        ctl::kFactoryDefaults,
                         ctl::kEnable,      ctl::kDasCalibration, ctl::kSynchOut,    ctl::kSynchIn,
                         ctl::kSetDepth,    ctl::kSetSerialNumber};
  for (int id : actions) {
    WindowOnBench w;
    w.StartAndReadStatus();
    w.sim().faults.silent = true;
    w.wire().clear();
    const std::string pane = w.dlg->paneText;
    w.dlg->OnCommand(id);
    EXPECT_EQ(SentCommands(w.wire()), (std::vector<std::string>{"#RRTC", "#RRTC"})) << id;
    EXPECT_EQ(w.op.BoxTexts(), (std::vector<std::string>{"No valid comms"})) << id;
    EXPECT_TRUE(w.op.entryTitles.empty()) << id;
    EXPECT_EQ(w.dlg->paneText, pane) << id;
    EXPECT_FALSE(w.op.busyVisible) << id;
  }
}

TEST(UnitActions, SetTimeSendsThePcsLocalTime) {
  WindowOnBench w;
  w.StartAndReadStatus();
  w.unit().localNow = [] { return At(2027, 3, 7, 9, 5, 3); };  // a Sunday
  w.wire().clear();
  w.dlg->OnCommand(ctl::kSetTime);
  EXPECT_EQ(SentCommands(w.wire()), (std::vector<std::string>{"#RRTC", "#SRTC,9,5,3,7,7,3,27"}));
  EXPECT_NE(w.dlg->paneText.find("RTC set 09:05:03 07/03/27"), std::string::npos) << w.dlg->paneText;
  EXPECT_EQ(w.dlg->lastReplyHeader, 1);
  EXPECT_EQ(w.op.busyCaptions.back(), "Setting time");
  EXPECT_FALSE(w.op.busyVisible);
}

TEST(UnitActions, DepthZeroAsksForThePressureWithTheEnterButton) {
  WindowOnBench w;
  w.StartAndReadStatus();
  w.wire().clear();
  w.op.entries.push_back(std::nullopt);  // cancelled: 1000 stands
  w.dlg->OnCommand(ctl::kSetDepth);
  EXPECT_EQ(w.op.entryTitles, (std::vector<std::string>{"Enter Atmospheric pressure in millibars"}));
  auto sent = SentCommands(w.wire());
  EXPECT_EQ(sent.front(), "#RRTC");
  EXPECT_EQ(sent.back(), "#ZDOF,1000");
  EXPECT_NE(w.dlg->paneText.find("Offset   = 14.504"), std::string::npos) << w.dlg->paneText;
  EXPECT_NEAR(w.unit().status.currentChecks.DepthOffsetValue, 14.504 * 1.459321415541773, 1e-3);
  EXPECT_FALSE(w.op.busyVisible);
}

TEST(UnitActions, DepthZeroRefusesAPressureThatIsNotANumberAndSaysNothingWasSent) {
  WindowOnBench w;
  w.StartAndReadStatus();
  // A previous zeroing's reply must not be shown again as if this one had worked.
  w.op.entries.push_back(std::string("1000"));
  w.dlg->OnCommand(ctl::kSetDepth);
  w.wire().clear();
  w.op.entries.push_back(std::string("one thousand"));
  w.dlg->OnCommand(ctl::kSetDepth);
  EXPECT_EQ(w.wire().find("#ZDOF"), std::string::npos);
  EXPECT_EQ(w.dlg->paneText, CTesterDlg::PressureRefusedText(0));
  EXPECT_EQ(w.dlg->paneText.find("Offset"), std::string::npos);
  // A number too large for an int is refused too, not wrapped into range.
  w.op.entries.push_back(std::string("4294968296"));
  w.dlg->OnCommand(ctl::kSetDepth);
  EXPECT_EQ(w.wire().find("#ZDOF"), std::string::npos);
}

TEST(UnitActions, SerialNumberFromTheEntryDialog) {
  WindowOnBench w;
  w.StartAndReadStatus();
  w.wire().clear();
  w.op.entries.push_back(std::string("E12345,12"));
  w.dlg->OnCommand(ctl::kSetSerialNumber);
  EXPECT_EQ(w.op.entryTitles, (std::vector<std::string>{"Enter serial number as xxxxx-yy"}));
  EXPECT_EQ(SentCommands(w.wire()), (std::vector<std::string>{"#RRTC", "#ENDB,1", "#TPSN,1000012345,12"}));
  EXPECT_NE(w.dlg->paneText.find("S/N, 1000012345-12"), std::string::npos) << w.dlg->paneText;

  w.wire().clear();
  w.op.entries.push_back(std::string("E99999999999-1"));
  w.dlg->OnCommand(ctl::kSetSerialNumber);
  EXPECT_EQ(SentCommands(w.wire()), (std::vector<std::string>{"#RRTC"}));
  EXPECT_EQ(w.dlg->paneText, "Incorrect length or format!!");
}

TEST(UnitActions, FactoryDefaultsWarnThenSetAddress1001) {
  WindowOnBench w;
  w.StartAndReadStatus();
  w.wire().clear();
  w.dlg->OnCommand(ctl::kFactoryDefaults);
  EXPECT_EQ(w.op.BoxTexts(), (std::vector<std::string>{"Warning - this will change the address to 1001"}));
  auto sent = SentCommands(w.wire());
  EXPECT_EQ(sent, (std::vector<std::string>{"#RRTC", "#ISFD"}));
  EXPECT_NE(w.dlg->paneText.find("Address 1001"), std::string::npos);
  EXPECT_FALSE(w.op.busyVisible);
  // The next status read shows the new address.
  w.dlg->OnCommand(ctl::kGeneralStatus);
  EXPECT_EQ(w.unit().status.currentStatus.Address, 10);
  EXPECT_EQ(w.unit().status.currentStatus.Channel, 1);
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
                        {ctl::kReadSensors, "#RDSE", "Offset   ="}};
  WindowOnBench w;
  w.StartAndReadStatus();
  for (const auto& c : cases) {
    w.wire().clear();
    w.dlg->OnCommand(c.id);
    EXPECT_EQ(SentCommands(w.wire()), (std::vector<std::string>{"#RRTC", c.command})) << c.command;
    EXPECT_NE(w.dlg->paneText.find(c.shown), std::string::npos) << w.dlg->paneText;
    EXPECT_EQ(w.dlg->lastReplyHeader, 1);
  }
  EXPECT_TRUE(w.op.boxes.empty());
}

TEST(UnitActions, DasCalibrationShowsTheEntryTextWithItsOwnHeader) {
  WindowOnBench w;
  w.StartAndReadStatus();
  w.dlg->OnCommand(ctl::kDasCalibration);
  EXPECT_EQ(w.dlg->paneText, "DAS calibration mode entry");
  EXPECT_EQ(w.dlg->lastReplyHeader, 255);
  EXPECT_TRUE(w.sim().state.setup.dasCalibration);
}

TEST(UnitActions, ResetSendsNoCommsCheckAndBringsAHungUnitBack) {
  WindowOnBench w;
  w.StartAndReadStatus();
  w.sim().faults.silent = true;
  w.wire().clear();
  const int breaks = w.sim().breaks;
  w.dlg->OnCommand(ctl::kReset);
  EXPECT_EQ(w.wire().find("#RRTC"), std::string::npos);
  EXPECT_GT(w.sim().breaks, breaks);
  EXPECT_TRUE(w.op.boxes.empty());
  // The application stays hung after the restart: 30 probes, then the failure with the last reply.
  EXPECT_EQ(w.dlg->paneText, "Comms break reset failed to return\rError reply []");

  w.sim().faults.silent = false;
  w.dlg->OnCommand(ctl::kReset);
  EXPECT_EQ(w.dlg->paneText, "Comms break reset completed correctly");
  EXPECT_FALSE(w.op.busyVisible);
}

TEST(UnitActions, HiddenControlsNeverShow) {
  WindowOnBench w;
  w.StartAndReadStatus();
  w.dlg->commandCaption[0] = "Ping";
  w.dlg->commandText[0] = "#RRTC";
  for (int id : {ctl::kGeneralStatus, ctl::kReadSensors, ctl::kSetTime, ctl::kEnable, ctl::kInitialise})
    w.dlg->OnCommand(id);
  for (int id : kNeverShown) EXPECT_FALSE(w.dlg->IsVisible(id)) << id;
  EXPECT_FALSE(w.dlg->IsVisible(ctl::kProgress));
}

TEST(UnitActions, SetNewStatusWithoutAnEntrySaysSo) {
  WindowOnBench w;
  w.StartAndReadStatus();
  w.dlg->OnCommand(ctl::kSetNewStatus);
  EXPECT_EQ(w.dlg->paneText, "No update information found");
  EXPECT_EQ(w.dlg->lastReplyHeader, 0);
}

TEST(UnitActions, ManualCommandListsTheStoredUnits) {
  WindowOnBench w;
  w.StartAndReadStatus();
  const size_t sent = w.wire().size();
  w.dlg->OnCommand(ctl::kManualCommand);
  EXPECT_EQ(w.wire().size(), sent) << "no comms check, nothing sent";
  EXPECT_NE(w.dlg->paneText.find("1A2B3C"), std::string::npos) << w.dlg->paneText;
  EXPECT_EQ(w.dlg->paneText.substr(w.dlg->paneText.size() - 2), "\r\n");
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

TEST(Window, ControlTableHasEveryIdOnceAndTheUnitButtonsInTheRightColumns) {
  std::set<int> ids;
  for (const auto& c : MainControls()) {
    EXPECT_TRUE(ids.insert(c.id).second) << c.id;
    EXPECT_LE(c.x + c.w, kMainWindowWidthDu) << c.id;
    EXPECT_LE(c.y + c.h, kMainWindowHeightDu) << c.id;
    EXPECT_NE(std::string(c.text), "") << c.id;
  }
  EXPECT_EQ(ids.size(), 36u);
  EXPECT_STREQ(FindControl(ctl::kReset)->text, "Reset (Comms break)");
  EXPECT_EQ(FindControl(ctl::kSetSerialNumber)->shown, Shown::Hidden);
  EXPECT_EQ(CommandIndexOf(ctl::kCommand6), 5);
  EXPECT_EQ(CommandIndexOf(ctl::kExit), -1);
}
