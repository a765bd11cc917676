// Start-up of the main window against the simulated bench: the controls shown, the folders,
// the search of COM1 to COM10, the port selection and the connection.
#include <gtest/gtest.h>

#include "tests/ui/ui_support.h"

namespace {
const std::set<int> kStartControls = {ctl::kPane,     ctl::kQuickSet,     ctl::kGeneralStatus,
                                      ctl::kBootload, ctl::kLoadCommands, ctl::kExit};
}

TEST(Startup, TheUnitIsFoundAndConnectedWithoutAsking) {
  // COM4 among six ports, and COM10, the last port searched, alone.
  for (const auto& [unitPort, portCount] : {std::pair{4, 6}, std::pair{10, 0}}) {
    SCOPED_TRACE(unitPort);
    WindowOnBench w(unitPort, portCount);
    // The initialisation sets the title, makes the folders and arms the timer.
    std::filesystem::remove_all(w.root);
    ASSERT_TRUE(w.dlg->OnInitDialog());
    EXPECT_EQ(w.dlg->title, "Dranmere Test terminal V3.00.012");
    EXPECT_TRUE(std::filesystem::is_directory(w.root / "T7Status"));
    EXPECT_EQ(w.wire(), "") << "nothing is sent before the timer fires";
    w.dlg->OnTimer(w.view.timerId);  // the search's timer, or nothing is found
    const std::string found = "Velmoor detected on Comm " + std::to_string(unitPort);
    EXPECT_EQ(w.dlg->paneText, found);
    EXPECT_EQ(w.view.pushedPane, found);
    EXPECT_TRUE(w.op.portDialogs.empty());
    EXPECT_TRUE(w.op.boxes.empty());
    EXPECT_EQ(w.bench.port.portNumber, unitPort);
    EXPECT_EQ(w.Visible(), kStartControls) << "only five buttons: the unit buttons wait for General Status";
    if (unitPort != 4) {
      w.dlg->OnCancel();  // Esc
      EXPECT_EQ(w.view.ended, false);
      continue;
    }
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

// No unit answers: the operator is asked for one of the ports that opened; a port typed in that
// will not open says why in the status line (named while the box that says so is up; the
// search's last port, COM10, names nothing) and the pane.
TEST(Startup, NoUnitAnsweringAsksForAPortAndOneThatWillNotOpenSaysWhy) {
  WindowOnBench w(12, 0);  // the unit sits beyond the ten ports searched
  w.bench.provider.AddPort(1);
  w.bench.provider.AddPort(2);
  w.bench.provider.AddPort(3).inUse = true;   // another program holds it
  w.op.portChoices.push_back(PortChoice{3});  // typed in
  w.Start();
  ASSERT_EQ(w.op.portDialogs.size(), 1u);
  EXPECT_EQ(w.dlg->portSelect.entries, (std::vector<std::string>{"COMM  1", "COMM  2"}));
  EXPECT_EQ(w.dlg->unitPort, 3);
  EXPECT_EQ(w.op.BoxTexts(), (std::vector<std::string>{"Failed to connect to comm port!"}));
  const std::string failed = "Port: COM3 (sim:COM3)  |  will not open: in use  |  unit not read yet";
  EXPECT_EQ(w.view.statusLines, (std::vector<std::string>{"Port: none chosen", "Port: none chosen", failed, failed}));
  // The pane says what each port did, in view while the operator chooses, and then why.
  const std::string& pane = w.dlg->paneText;
  const std::string why = "COM3 (sim:COM3) would not open: in use\r\n  close the other program that holds it";
  EXPECT_TRUE(
      pane.starts_with("No unit answered. The ports tried:\r\nCOM1 (sim:COM1): no answer to #DASP,0 within "
                       "100 ms\r\nCOM2 (sim:COM2): no answer"))
      << pane;
  EXPECT_NE(pane.find(why + "\r\nCOM4: not present"), std::string::npos) << pane;
  EXPECT_TRUE(pane.ends_with("\r\nCOM10: not present\r\n\r\n" + why)) << pane;
}

// The box ends the program: it carries what each port did, under its own words.
TEST(Startup, NoPortsAtAllEndsTheProgramAfterTheStopBoxThatSaysWhy) {
  WindowOnBench w(12, 0);
  w.bench.provider.AddPort(2).inUse = true;  // another program holds the only port
  w.Start();
  ASSERT_EQ(w.op.boxes.size(), 1u);
  EXPECT_TRUE(w.op.boxes[0].text.starts_with(
      "Failed to find any Comm ports\r\nCheck for valid device drivers\r\n\r\n"
      "No unit answered. The ports tried:\r\nCOM1: not present\r\n"
      "COM2 (sim:COM2) would not open: in use\r\n  close the other program that holds it\r\nCOM3: not present"))
      << w.op.boxes[0].text;
  EXPECT_TRUE(w.op.boxes[0].text.ends_with("\r\nCOM10: not present")) << w.op.boxes[0].text;
  EXPECT_EQ(w.op.boxes[0].icon, MbIcon::Stop);
  EXPECT_TRUE(w.op.portDialogs.empty()) << "the empty list is never offered";
  EXPECT_EQ(w.view.ended, false) << "the view was told once, as cancelled";
  EXPECT_EQ(w.view.statusLines, (std::vector<std::string>{"Port: none chosen", "Port: none chosen",
                                                          "Port: none would open", "Port: none would open"}));
}
