// The simulated unit's set-up commands: clock, depth-reading zero, serial number (after
// "#ENDB,1"), calibration mode, initialise, enable, factory defaults and the synch tests, and
// what the lone mode commands "#GCMD,2", "#GCMD,3" and "#GCMD,4" leave behind. Each keeps what
// it changes in the unit's state, so the next status read shows it.
#pragma once
#include <optional>
#include <string>

#include "sim/sim_unit.h"

void InstallSetupCommands(SimUnit& unit);

// The answer to a lone mode command ("#GCMD" with 2, 3 or 4); nothing for any other argument,
// so that the owner of the "#GCMD" pairs can hand these three over.
std::optional<SimUnit::Reply> SetupModeCommand(SimUnit& unit, const std::string& args);
