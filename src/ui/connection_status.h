// The status line under the main window's controls: the port (COM n and its device), the rate,
// the unit's identity and serial number once a status read has them, whether the unit is in its
// bootloader, and "unplugged" while the adapter is gone; after a status read, with a unit history,
// what changed since the unit's last visit and what is due; with a site set, how sending to it
// goes; a unit history that is not kept, or lost an event. Plain state; the Qt window draws it.
#pragma once
#include <cstdint>
#include <string>

class CTesterDlg;

struct ConnectionStatus {
  int comNumber = 0;        // the open port, or the one chosen; 0 while none is
  bool noneOpened = false;  // the search found no port that would open
  std::string device;       // empty until the port was opened once
  bool open = false;
  uint32_t baud = 0;
  bool unplugged = false;   // the device vanished under the open port
  std::string openProblem;  // why the last open failed (empty when it did not)
  int32_t unitId = -1;      // -1: not read yet
  std::string serialNumber;
  bool bootloader = false;
  std::string visitNote;  // history::SinceLastVisitNote of the unit; set by the window
  std::string site;       // history::SiteStatusText of the site's sender; set by the window
  std::string history;    // the unit history's state when it is not as it should be; set by the window

  static ConnectionStatus Of(const CTesterDlg& dlg);
  // devicePresent: whether the device still exists now (the window checks it once a second).
  std::string Text(bool devicePresent = true) const;
  bool operator==(const ConnectionStatus&) const = default;
};
