// Start-up of the main window against the simulated bench: the controls shown, the folders,
// the search of COM1 to COM10, the port selection and the connection.
#include <gtest/gtest.h>

#include "tests/ui/ui_support.h"

namespace {
const std::set<int> kStartControls = {ctl::kPane, ctl::kQuickSet, ctl::kGeneralStatus, ctl::kBootload,
                                      ctl::kLoadCommands, ctl::kExit};
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
  // The view heard of every control that start-up hid.
  EXPECT_FALSE(w.view.changed.empty());
  EXPECT_GE(w.view.pushes, 1);
}

TEST(Startup, UnitOnCom4IsFoundAndConnectedWithoutAsking) {
  WindowOnBench w(4, 6);
  w.Start();
  EXPECT_EQ(w.dlg->unitPort, 4);
  EXPECT_EQ(w.dlg->paneText, "Velmoor detected on Comm 4");
  EXPECT_EQ(w.view.pushedPane, "Velmoor detected on Comm 4");
  EXPECT_TRUE(w.op.portDialogs.empty());
  EXPECT_TRUE(w.op.boxes.empty());
  EXPECT_EQ(w.op.busyCaptions.front(), "Searching for Velmoor");
  EXPECT_FALSE(w.op.busyVisible);
  EXPECT_TRUE(w.dlg->rawReplies);
  EXPECT_TRUE(w.view.checkBox) << "the hidden check box is ticked by the push";
  EXPECT_TRUE(w.bench.port.isOpen);
  EXPECT_EQ(w.bench.port.portNumber, 4);
  EXPECT_FALSE(w.dlg->searchPending);
  EXPECT_EQ(w.Visible(), kStartControls) << "the unit buttons wait for General Status";
  // The ports that opened are remembered for the port selection dialog: 1 to 4 were tried.
  for (int p = 1; p <= 10; ++p) EXPECT_EQ(w.dlg->portSelect.portPresent[p], p <= 4) << p;

  // The timer is one-shot: a second tick searches nothing.
  const std::string sent = w.wire();
  w.dlg->OnTimer(kSearchTimerId);
  EXPECT_EQ(w.wire(), sent);
}

TEST(Startup, NoUnitAnsweringAsksForOneOfThePortsThatOpened) {
  WindowOnBench w(12, 0);  // the unit sits beyond the ten ports searched
  w.bench.provider.AddPort(1);
  w.bench.provider.AddPort(3);
  w.op.portChoices.push_back(PortChoice{3});
  w.Start();
  ASSERT_EQ(w.op.portDialogs.size(), 1u);
  std::vector<bool> present = w.op.portDialogs[0];
  ASSERT_GE(present.size(), 11u);
  for (int p = 1; p <= 10; ++p) EXPECT_EQ(present[p], p == 1 || p == 3) << p;
  EXPECT_EQ(w.dlg->portSelect.entries, (std::vector<std::string>{"COMM  1", "COMM  3"}));
  EXPECT_EQ(w.dlg->unitPort, 3);
  EXPECT_TRUE(w.bench.port.isOpen);
  EXPECT_EQ(w.bench.port.portNumber, 3);
  EXPECT_TRUE(w.op.boxes.empty());
  // The pane says what each port did, in view while the operator chooses.
  EXPECT_EQ(w.dlg->paneText,
            "No unit answered. The ports tried:\r\nCOM1 (sim:COM1): no answer to #DASP,0 within 100 ms\r\n"
            "COM2: not present\r\nCOM3 (sim:COM3): no answer to #DASP,0 within 100 ms\r\nCOM4: not present\r\n"
            "COM5: not present\r\nCOM6: not present\r\nCOM7: not present\r\nCOM8: not present\r\n"
            "COM9: not present\r\nCOM10: not present");
  EXPECT_FALSE(w.dlg->ended);
}

TEST(Startup, AnEmptySelectionConnectsNowhereAndSaysSo) {
  WindowOnBench w(12, 0);
  w.bench.provider.AddPort(2);
  w.op.portChoices.push_back(PortChoice{0});
  w.Start();
  EXPECT_EQ(w.dlg->unitPort, 0);
  ASSERT_EQ(w.op.boxes.size(), 1u);
  EXPECT_EQ(w.op.boxes[0].text, "Failed to connect to comm port!");
  EXPECT_EQ(w.op.boxes[0].caption, kDefaultCaption);
  EXPECT_EQ(w.op.boxes[0].icon, MbIcon::None);
  EXPECT_EQ(w.op.boxes[0].buttons, MbButtons::Ok);
  EXPECT_FALSE(w.dlg->ended) << "the window stays open";
  // Later actions report the missing unit through the comms check.
  w.dlg->OnCommand(ctl::kGeneralStatus);
  EXPECT_EQ(w.op.boxes.back().text, "No valid comms");
}

TEST(Startup, NoPortsAtAllEndsTheProgramAfterTheStopBox) {
  WindowOnBench w(12, 0);
  w.Start();
  ASSERT_EQ(w.op.boxes.size(), 1u);
  EXPECT_EQ(w.op.boxes[0].text, "Failed to find any Comm ports\r\nCheck for valid device drivers");
  EXPECT_EQ(w.op.boxes[0].caption, "Error!");
  EXPECT_EQ(w.op.boxes[0].icon, MbIcon::Stop);
  EXPECT_TRUE(w.op.portDialogs.empty()) << "the empty list is never offered";
  EXPECT_EQ(w.dlg->unitPort, -1);
  EXPECT_TRUE(w.dlg->ended);
  EXPECT_FALSE(w.dlg->endedOk);
  EXPECT_EQ(w.view.endings, 1);
  EXPECT_FALSE(w.view.endedOk);
}

TEST(Startup, ATypedNegativeNumberNamesNoPortInsteadOfEndingTheProgram) {
  WindowOnBench w(12, 0);
  w.bench.provider.AddPort(2);
  w.op.portChoices.push_back(PortChoice{-1});
  w.Start();
  EXPECT_FALSE(w.dlg->ended);
  EXPECT_EQ(w.dlg->unitPort, 0);
  EXPECT_EQ(w.op.BoxTexts(), (std::vector<std::string>{"Failed to connect to comm port!"}));
}

TEST(PortSelection, EntriesAndTheNumberInTheLastTwoCharacters) {
  CPortSelectDlg d;
  d.SetPresent({false, true, false, true, false, false, false, false, false, false, true});
  ASSERT_TRUE(d.Open());
  EXPECT_EQ(d.entries, (std::vector<std::string>{"COMM  1", "COMM  3", "COMM 10"}));
  EXPECT_EQ(d.chosenPort, 0);
  d.Select("COMM  3");
  EXPECT_EQ(d.chosenPort, 3);
  d.Select("COMM 10");
  EXPECT_EQ(d.chosenPort, 10);
  d.Select("");
  EXPECT_EQ(d.chosenPort, 0);
  d.Select("7");
  EXPECT_EQ(d.chosenPort, 7);
  d.Select("COM12");
  EXPECT_EQ(d.chosenPort, 12);
  d.Select("abc");
  EXPECT_EQ(d.chosenPort, 0);
  d.Select("COMM -1");
  EXPECT_EQ(d.chosenPort, 0);

  CPortSelectDlg none;
  EXPECT_FALSE(none.Open());
  EXPECT_EQ(none.chosenPort, -1);
  EXPECT_TRUE(none.entries.empty());
}

TEST(PortSelection, DetailsNameTheDeviceBehindTheNumber) {
  std::vector<SerialPortInfo> ports(2);
  ports[0] = {1, "/dev/ttyUSB0", "USB serial adapter", 0x0403, 0x6001, "A10K3XYZ",
              "/dev/serial/by-id/usb-FTDI_A10K3XYZ-if00-port0"};
  ports[1].comNumber = 3;
  ports[1].device = "/dev/ttyS0";
  EXPECT_EQ(CPortSelectDlg::DetailsFor(1, ports),
            "Device: /dev/ttyUSB0\nUSB serial adapter\nUSB 0403:6001  serial A10K3XYZ\n"
            "/dev/serial/by-id/usb-FTDI_A10K3XYZ-if00-port0");
  EXPECT_EQ(CPortSelectDlg::RowFor(ports[1]), (std::array<std::string, 6>{"COMM  3", "/dev/ttyS0", "", "", "", ""}));
  EXPECT_EQ(CPortSelectDlg::DetailsFor(3, ports), "Device: /dev/ttyS0");
  EXPECT_EQ(CPortSelectDlg::DetailsFor(2, ports), "No device information");
  EXPECT_EQ(CPortSelectDlg::DetailsFor(0, ports), "");
}

TEST(EntryDialog, ValueInAndOutAndOneButton) {
  CEntryDlg e;
  e.useEnterButton = true;
  e.title = "Enter Atmospheric pressure in millibars";
  e.value = "1000";
  e.Open();
  EXPECT_EQ(e.editText, "1000");
  EXPECT_STREQ(e.ButtonText(), "Enter");
  e.editText = "1013";
  // Esc: the value stays.
  EXPECT_EQ(e.value, "1000");
  e.Accept();
  EXPECT_EQ(e.value, "1013");
  e.useEnterButton = false;
  EXPECT_STREQ(e.ButtonText(), "OK");
}
