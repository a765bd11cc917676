// Start-up of the main window against the simulated bench: the controls shown, the folders,
// the search of COM1 to COM10, the port selection and the connection.
#include <gtest/gtest.h>

#include "tests/ui/ui_support.h"

namespace {
const std::set<int> kStartControls = {ctl::kPane,     ctl::kQuickSet,     ctl::kGeneralStatus,
                                      ctl::kBootload, ctl::kLoadCommands, ctl::kExit};
}

TEST(Startup, InitialisationShowsFiveButtonsSetsTheTitleMakesTheFoldersAndArmsTheTimer) {
  WindowOnBench w;
  std::filesystem::remove_all(w.root);
  ASSERT_TRUE(w.dlg->OnInitDialog());
  EXPECT_EQ(w.Visible(), kStartControls);
  EXPECT_EQ(w.dlg->title, "Dranmere Test terminal V3.00.012");
  EXPECT_TRUE(std::filesystem::is_directory(w.root / "T7Status"));
  EXPECT_TRUE(w.dlg->actionsHidden);
  EXPECT_TRUE(w.dlg->searchPending);
  EXPECT_EQ(w.view.timerId, kSearchTimerId);
  EXPECT_EQ(w.view.timerMs, 10);
  EXPECT_EQ(w.wire(), "") << "nothing is sent before the timer fires";
  EXPECT_FALSE(w.view.changed.empty()) << "the view heard of the controls that start-up hid";
}

TEST(Startup, TheUnitIsFoundAndConnectedWithoutAsking) {
  // COM4 among six ports, and COM10, the last port searched, alone.
  for (const auto& [unitPort, portCount] : {std::pair{4, 6}, std::pair{10, 0}}) {
    SCOPED_TRACE(unitPort);
    WindowOnBench w(unitPort, portCount);
    w.Start();
    const std::string found = "Velmoor detected on Comm " + std::to_string(unitPort);
    EXPECT_EQ(w.dlg->unitPort, unitPort);
    EXPECT_EQ(w.dlg->paneText, found);
    EXPECT_EQ(w.view.pushedPane, found);
    EXPECT_TRUE(w.op.portDialogs.empty());
    EXPECT_TRUE(w.op.boxes.empty());
    EXPECT_TRUE(w.bench.port.isOpen);
    EXPECT_EQ(w.bench.port.portNumber, unitPort);
    EXPECT_FALSE(w.dlg->searchPending);
    EXPECT_EQ(w.Visible(), kStartControls) << "the unit buttons wait for General Status";
    if (unitPort != 4) continue;
    EXPECT_EQ(w.op.busyCaptions.front(), "Searching for Velmoor");
    EXPECT_FALSE(w.op.busyVisible);
    EXPECT_TRUE(w.view.checkBox) << "raw replies are on, and the push ticks the hidden check box";
    // The ports that opened are remembered for the port selection dialog: 1 to 4 were tried.
    for (int p = 1; p <= 10; ++p) EXPECT_EQ(w.dlg->portSelect.portPresent[p], p <= 4) << p;
    // The timer is one-shot: a second tick searches nothing.
    const std::string sent = w.wire();
    w.dlg->OnTimer(kSearchTimerId);
    EXPECT_EQ(w.wire(), sent);
  }
}

TEST(Startup, NoUnitAnsweringAsksForOneOfThePortsThatOpened) {
  WindowOnBench w(12, 0);  // the unit sits beyond the ten ports searched
  w.bench.provider.AddPort(1);
  w.bench.provider.AddPort(3);
  w.op.portChoices.push_back(PortChoice{3});
  w.Start();
  ASSERT_EQ(w.op.portDialogs.size(), 1u);
  EXPECT_EQ(w.dlg->portSelect.entries, (std::vector<std::string>{"COMM  1", "COMM  3"}));
  EXPECT_EQ(w.dlg->unitPort, 3);
  EXPECT_EQ(w.bench.port.portNumber, 3);
  // The pane says what each port did, in view while the operator chooses.
  EXPECT_EQ(w.dlg->paneText,
            "No unit answered. The ports tried:\r\nCOM1 (sim:COM1): no answer to #DASP,0 within 100 ms\r\n"
            "COM2: not present\r\nCOM3 (sim:COM3): no answer to #DASP,0 within 100 ms\r\nCOM4: not present\r\n"
            "COM5: not present\r\nCOM6: not present\r\nCOM7: not present\r\nCOM8: not present\r\n"
            "COM9: not present\r\nCOM10: not present");
  EXPECT_FALSE(w.dlg->ended);
}

TEST(Startup, NoPortsAtAllEndsTheProgramAfterTheStopBox) {
  WindowOnBench w(12, 0);
  w.Start();
  ASSERT_EQ(w.op.boxes.size(), 1u);
  EXPECT_EQ(w.op.boxes[0].text, "Failed to find any Comm ports\r\nCheck for valid device drivers");
  EXPECT_EQ(w.op.boxes[0].icon, MbIcon::Stop);
  EXPECT_TRUE(w.op.portDialogs.empty()) << "the empty list is never offered";
  EXPECT_TRUE(w.dlg->ended);
  EXPECT_EQ(w.view.endings, 1);
  EXPECT_FALSE(w.view.endedOk);
}
