#include "sim/sim_switches.h"

#include "sim/sim_unit.h"

bool ApplySimSwitches(SimUnit& unit, std::string_view list, SimSwitches& out) {
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view s = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    if (s.empty()) continue;
    if (s == "silent") unit.faults.silent = true;
    else if (s == "dead") unit.faults.dead = true;
    else if (s == "stuck-boot") unit.faults.stuckInBootloader = true;
    else if (s == "no-lf") unit.faults.noLf = true;
    else if (s == "garbage") unit.faults.garbage = true;
    else if (s == "slow") unit.faults.slowReplyMs = 2000;
    else if (s == "self-test-fail") unit.state.tests.selfTestCode = 4;
    else if (s == "release-fail") unit.state.tests.releaseCode = 3;
    else if (s.substr(0, 7) == "ignore=" && s.size() > 7) unit.state.settings.ignored = std::string(s.substr(7));
    else if (s.substr(0, 5) == "mute=" && s.size() > 5)
      unit.Handle(std::string(s.substr(5)), [](SimUnit&, const std::string&, const std::string&) {
        SimUnit::Reply r;
        r.silent = true;
        return r;
      });
    else if (s == "fast") out.virtualTime = true;
    else {
      out.error = "unknown simulation switch " + std::string(s);
      return false;
    }
  }
  return true;
}

bool SimSwitchesWantVirtualTime(std::string_view list) {
  const std::string padded = "," + std::string(list) + ",";
  return padded.find(",fast,") != std::string::npos;
}
