#include "sim/sim_setup.h"

#include <cstdio>
#include <vector>

namespace {
using Reply = SimUnit::Reply;

// Splits "a,b,c" into decimal integers; false when a field is empty, not a number or too large.
bool ParseArgs(const std::string& args, std::vector<long>& out) {
  out.clear();
  long value = 0;
  bool digits = false, negative = false;
  for (size_t i = 0;; ++i) {
    const char c = i < args.size() ? args[i] : ',';
    if (c == ',') {
      if (!digits) return false;
      out.push_back(negative ? -value : value);
      if (i >= args.size()) return true;
      value = 0;
      digits = negative = false;
    } else if (c == '-' && !digits && !negative) {
      negative = true;
    } else if (c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
      if (value > 2147483647L) return false;
      digits = true;
    } else {
      return false;
    }
  }
}

Reply Lines(std::initializer_list<std::string> lines) {
  Reply r;
  r.lines = lines;
  return r;
}

std::string Format(const char* fmt, double a) {
  char text[80];
  std::snprintf(text, sizeof text, fmt, a);
  return text;
}

Reply SetClock(SimUnit& u, const std::string& args) {
  std::vector<long> v;
  if (!ParseArgs(args, v) || v.size() != 7 || v[0] > 23 || v[1] > 59 || v[2] > 59 || v[3] < 1 || v[3] > 7 || v[4] < 1 ||
      v[4] > 31 || v[5] < 1 || v[5] > 12 || v[6] < 0 || v[6] > 99 || v[0] < 0 || v[1] < 0 || v[2] < 0)
    return Lines({"SRTC Error: bad time"});
  char text[160];
  std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld %02ld/%02ld/%02ld", v[0], v[1], v[2], v[4], v[5], v[6]);
  u.state.clockText = text;
  u.state.setup.clockWeekday = static_cast<int32_t>(v[3]);
  return Lines({"RTC set " + u.state.clockText});
}

Reply ZeroDepth(SimUnit& u, const std::string& args) {
  std::vector<long> v;
  if (!ParseArgs(args, v) || v.size() != 1 || v[0] <= 0) return Lines({"ZDOF Error: bad pressure"});
  SimUnitState& s = u.state;
  s.setup.lastPressure = static_cast<int32_t>(v[0]);
  // The sensor reads in psi; the offset is the atmosphere it sees at the surface, and the
  // next "#RDSE" reports it.
  s.pressureOffset = static_cast<double>(v[0]) * 0.0145037738;
  Reply r;
  r.delayMs = 2000;  // the unit averages the sensor for a while
  if (s.setup.depthError) {
    r.lines = {"Pressure sensor Error: reading unstable", "Offset stored, check with #RDSE"};
    return r;
  }
  r.lines = {"Atmospheric pressure = " + std::to_string(v[0]) + " mbar", Format("Offset   = %.3f", s.pressureOffset)};
  return r;
}

Reply Debug(SimUnit& u, const std::string& args) {
  std::vector<long> v;
  if (!ParseArgs(args, v) || v.size() != 1) return Lines({"ENDB Error"});
  if (v[0] == 1) u.state.setup.privileged = true;
  return Lines({"Debug " + std::to_string(v[0]) + " on"});
}

Reply SerialNumber(SimUnit& u, const std::string& args) {
  std::vector<long> v;
  SimUnitState& s = u.state;
  if (!s.setup.privileged) return Lines({"TPSN Error: not allowed"});
  if (!ParseArgs(args, v) || v.size() != 2 || v[0] < 0 || v[1] < 0 || v[1] > 999)
    return Lines({"TPSN Error: bad number"});
  s.serialNumber = static_cast<int32_t>(v[0]);
  s.serialSuffix = static_cast<int32_t>(v[1]);
  return Lines({"S/N, " + std::to_string(v[0]) + "-" + std::to_string(v[1])});
}

Reply DasCalibration(SimUnit& u, const std::string& args) {
  if (args != "22") return Lines({"DAST Error"});
  u.state.setup.dasCalibration = true;
  return Lines({"DAS entering calibration"});
}
}  // namespace

std::optional<SimUnit::Reply> SetupModeCommand(SimUnit& unit, const std::string& args) {
  auto& s = unit.state.setup;
  if (args == "2") {
    // The owner of "#GCMD" disables every mode; "#ENTP" brings these letters back.
    if (unit.state.enabled.find_first_not_of('D') != std::string::npos) s.enabledBefore = unit.state.enabled;
    s.mode = 2;
    return Lines({"GCMD 2 Transponder disabled"});
  }
  if (args == "3" || args == "4") {
    s.mode = args == "3" ? 3 : 4;
    return Lines({"GCMD " + args + " OK"});
  }
  return std::nullopt;
}

void InstallSetupCommands(SimUnit& unit) {
  unit.Handle("SRTC", [](SimUnit& u, const std::string&, const std::string& a) { return SetClock(u, a); });
  unit.Handle("ZDOF", [](SimUnit& u, const std::string&, const std::string& a) { return ZeroDepth(u, a); });
  unit.Handle("ENDB", [](SimUnit& u, const std::string&, const std::string& a) { return Debug(u, a); });
  unit.Handle("TPSN", [](SimUnit& u, const std::string&, const std::string& a) { return SerialNumber(u, a); });
  unit.Handle("DAST", [](SimUnit& u, const std::string&, const std::string& a) { return DasCalibration(u, a); });
  unit.Handle("INTP", [](SimUnit& u, const std::string&, const std::string&) {
    ++u.state.setup.initialisations;
    return Lines({"Initialising transponder"});
  });
  unit.Handle("ENTP", [](SimUnit& u, const std::string&, const std::string&) {
    // A unit that was disabled takes up the modes it had; one that never had any ranges in
    // its first mode, wideband when it has it.
    std::string& e = u.state.enabled;
    if (e.find_first_not_of('D') == std::string::npos) {
      if (!u.state.setup.enabledBefore.empty() && u.state.setup.enabledBefore.size() == e.size())
        e = u.state.setup.enabledBefore;
      else if (!e.empty()) e[0] = u.state.widebandEnabled ? 'W' : 'E';
    }
    return Lines({"Transponder enabled " + e});
  });
  unit.Handle("ISFD", [](SimUnit& u, const std::string&, const std::string&) {
    ++u.state.setup.factoryDefaults;
    u.state.address = 10;  // shown as 1001: address 10, channel 01
    u.state.channel = 1;
    return Lines({"Installing factory defaults", "Address 1001"});
  });
  unit.Handle("TXPG", [](SimUnit& u, const std::string&, const std::string&) {
    ++u.state.setup.synchOutPulses;
    return Lines({"Synch out pulse sent"});
  });
  unit.Handle("ENSI", [](SimUnit& u, const std::string&, const std::string&) {
    u.state.setup.synchInEnabled = true;
    return Lines({"Synch in enabled"});
  });
  // "#GCMD" belongs to the settings commands, which hand the lone 2, 3 and 4 to SetupModeCommand.
}
