// A whole bench in one object for tests, benchmarks and --simulate: a clock, simulated ports
// with one simulated unit, the program's port, an operator and a data folder.
#pragma once
#include <filesystem>
#include <memory>

#include "platform/paths.h"
#include "serial/comm_port.h"
#include "sim/scripted_operator.h"
#include "sim/sim_line.h"
#include "sim/sim_unit.h"
#include "sim/virtual_clock.h"

// Teaches a simulated unit every command it knows (each subsystem adds its own).
void InstallAllCommands(SimUnit& unit);

struct SimBench {
  // unitPort: the COM number the unit is on; ports 1..portCount exist.
  SimBench(IClock& clock, int unitPort = 5, int portCount = 8) : provider(clock), port(clock, provider) {
    for (int p = 1; p <= portCount; ++p) provider.AddPort(p);
    unit = std::make_unique<SimUnit>(provider.AddPort(unitPort));
    InstallAllCommands(*unit);
    port.portNumber = unitPort;
  }
  SimLine& line() { return unit->line(); }

  SimSerialProvider provider;
  CCommPort port;
  std::unique_ptr<SimUnit> unit;
};
