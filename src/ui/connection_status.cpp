#include "ui/connection_status.h"

#include <cstdio>

#include "ui/tester_dlg.h"

ConnectionStatus ConnectionStatus::Of(const CTesterDlg& dlg) {
  const CTransponder& unit = dlg.unit;
  const CCommPort& port = unit.port;
  ConnectionStatus s;
  // The open port, or the one the window connects to. After a search that found no unit the
  // port's number is merely the last one tried: it names nothing until a port is chosen.
  s.comNumber = port.isOpen ? port.portNumber : dlg.unitPort;
  s.noneOpened = dlg.unitPort < 0 || dlg.portSelect.chosenPort < 0;
  const PortOpenReport& report = port.LastOpenReport();
  if (s.comNumber > 0 && report.comNumber == s.comNumber) {
    s.device = report.device;
    if (!report.opened && !port.isOpen) {
      s.openProblem = report.reason.empty() ? port.LastErrorText() : report.reason;
    }
  }
  s.open = port.isOpen;
  s.baud = port.isOpen ? port.lineSettings.baud : 0;
  s.unplugged = port.Unplugged() && !port.isOpen;
  s.unitId = unit.status.currentStatus.UnitId;
  s.serialNumber = unit.status.currentStatus.SerialNo.str();
  s.bootloader = unit.serial.inBootMode;
  return s;
}

std::string ConnectionStatus::Text(bool devicePresent) const {
  if (comNumber <= 0) return noneOpened ? "Port: none would open" : "Port: none chosen";
  std::string t = "Port: COM" + std::to_string(comNumber);
  if (!device.empty()) t += " (" + device + ")";
  if (unplugged || (!devicePresent && !device.empty())) {
    t += "  |  unplugged: plug the adapter back in; the next action finds the unit again";
  } else if (!openProblem.empty()) {
    t += "  |  will not open: " + openProblem;
  } else if (open) {
    t += "  |  " + std::to_string(baud) + " bit/s";
  } else {
    t += "  |  closed";
  }
  if (unitId >= 0) {
    char id[16];
    std::snprintf(id, sizeof id, "%06X", static_cast<unsigned>(unitId));
    t += std::string("  |  unit ") + id;
    if (!serialNumber.empty() && serialNumber != " ") t += ", serial " + serialNumber;
  } else {
    t += "  |  unit not read yet";
  }
  if (bootloader) t += "  |  in its bootloader";
  else if (unitId >= 0) t += "  |  not in its bootloader";
  if (!history.empty()) t += "  |  " + history;
  if (!site.empty()) t += "  |  " + site;
  if (unitId >= 0 && !visitNote.empty()) t += "\n" + visitNote;  // a second line
  return t;
}
