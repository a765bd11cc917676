// The one place that teaches the simulated unit every command set the subsystems provide.
#include "sim/sim_bench.h"

void InstallAllCommands(SimUnit& unit) {
  (void)unit;  // the readiness probe and "#RRTC" are built in
}
