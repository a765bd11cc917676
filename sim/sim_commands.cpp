// The one place that teaches the simulated unit every command set the subsystems provide.
#include "sim/sim_bench.h"
#include "sim/sim_bootloader.h"
#include "sim/sim_settings.h"
#include "sim/sim_setup.h"
#include "sim/sim_status.h"
#include "sim/sim_tests.h"

void InstallAllCommands(SimUnit& unit) {
  (void)unit;  // the readiness probe and "#RRTC" are built in
  InstallBootloader(unit);
  InstallSetupCommands(unit);
  InstallStatusCommands(unit);
  // After the set-up commands: the settings own "#GCMD" whole (pairs and lone commands alike).
  InstallSettingsCommands(unit);
  InstallTestCommands(unit);
}
