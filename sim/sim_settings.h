// The simulated unit's settings commands, as the update engine uses them: "#STAD" (address,
// channel and HPR pair), "#ESSI" and "#DSSI" (synch input on and off), and "#GCMD", which is
// either a lone command (1 baud rate, 2 disable, 3 tone mode, 4 wideband mode) or a pair: a
// parameter's own command, then a selection code. The unit keeps what it is set to, so its
// next status replies show it.
#pragma once
#include "sim/sim_unit.h"

void InstallSettingsCommands(SimUnit& unit);
