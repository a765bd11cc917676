// The status line under the window's controls follows the connection: the port and its rate,
// the unit once read, and "unplugged" while the adapter is out, then the history's and the
// site's state; the port selection dialog's entries.

#include "tests/ui/ui_support.h"

namespace {

std::string Line(WindowOnBench& w) { return ConnectionStatus::Of(*w.dlg).Text(); }

// The ports the system lists, by their COM numbers.
std::vector<SerialPortInfo> Listed(std::initializer_list<int> numbers) {
  std::vector<SerialPortInfo> ports;
  for (int n : numbers) ports.emplace_back().comNumber = n;
  return ports;
}

TEST(ConnectionStatusLine, FollowsTheUnitThroughUnpluggingAndPluggingBack) {
  WindowOnBench w;
  w.Start();
  EXPECT_EQ(Line(w), "Port: COM4 (sim:COM4)  |  9600 bit/s  |  unit not read yet");
  w.dlg->OnCommand(ctl::kGeneralStatus);
  const std::string connected = Line(w);
  EXPECT_EQ(connected.rfind("Port: COM4 (sim:COM4)  |  9600 bit/s  |  unit 1A2B3C, serial ", 0), 0u) << connected;
  EXPECT_NE(connected.find("  |  not in its bootloader"), std::string::npos);

  // Pulled out: the next action fails and the line says so.
  w.bench.line().unplugged = true;
  w.dlg->OnCommand(ctl::kReadSensors);
  EXPECT_NE(Line(w).find("  |  unplugged: plug the adapter back in"), std::string::npos) << Line(w);
  // Plugged back: the next action finds the unit on its port, without a restart.
  w.bench.line().unplugged = false;
  w.dlg->OnCommand(ctl::kGeneralStatus);
  EXPECT_EQ(Line(w), connected);
  // A device the window no longer finds reads as unplugged before any action notices.
  EXPECT_NE(ConnectionStatus::Of(*w.dlg).Text(false).find("unplugged"), std::string::npos);
  // The history's state and the site's, as the window sets them, after the unit.
  ConnectionStatus s = ConnectionStatus::Of(*w.dlg);
  s.history = "no unit history", s.site = "site: up to date";
  EXPECT_EQ(s.Text(), connected + "  |  no unit history  |  site: up to date");
}

TEST(PortSelection, DetailsAndTheTableRowNameTheAdapter) {
  std::vector<SerialPortInfo> ports(2);
  // clang-format off
  ports[0] = {1, "/dev/ttyUSB0", "USB serial adapter", 0x0403, 0x6001, "A10K3XYZ",
              "/dev/serial/by-id/usb-FTDI_A10K3XYZ-if00-port0"};
  // clang-format on
  ports[1].comNumber = 3;
  ports[1].device = "/dev/ttyS0";
  EXPECT_EQ(CPortSelectDlg::DetailsFor(1, ports),
            "Device: /dev/ttyUSB0\nUSB serial adapter\nUSB 0403:6001  serial A10K3XYZ\n"
            "/dev/serial/by-id/usb-FTDI_A10K3XYZ-if00-port0");
  EXPECT_EQ(CPortSelectDlg::RowFor(ports[1]), (std::array<std::string, 6>{"COMM  3", "/dev/ttyS0", "", "", "", ""}));
}

TEST(PortSelection, TheListFollowsPortsThatComeAndGo) {
  CPortSelectDlg d;
  d.SetPresent({false, true, false, true});  // the search opened COM1 and COM3
  ASSERT_TRUE(d.Open());
  // COM4 is listed, but it did not open for the search.
  EXPECT_FALSE(d.FollowPorts(Listed({1, 3, 4}))) << "the first listing only notes what is there";
  EXPECT_EQ(d.entries, (std::vector<std::string>{"COMM  1", "COMM  3"}));
  // COM1 pulled out, COM5 plugged in.
  EXPECT_TRUE(d.FollowPorts(Listed({3, 4, 5})));
  EXPECT_EQ(d.entries, (std::vector<std::string>{"COMM  3", "COMM  5"}));
  EXPECT_FALSE(d.FollowPorts(Listed({3, 4, 5})));
}

}  // namespace
