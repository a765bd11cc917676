// Placeholder program until the operator window exists: runs the start-up port search and one
// "#RRTC" exchange, on the built-in simulated unit with --simulate, and prints what happened.
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "qt_serial_port.h"
#include "serial/transponder.h"
#include "sim/scripted_operator.h"
#include "sim/sim_bench.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  bool simulate = false;
  DataPaths paths = DataPaths::Default();
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--simulate") == 0) simulate = true;
    if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) paths.root = argv[++i];
  }
  paths.CreateFolders();
  SteadyClock clock;
  ScriptedOperator op;
  std::unique_ptr<SimBench> bench;
  std::unique_ptr<QtSerialProvider> real;
  std::unique_ptr<CCommPort> port;
  if (simulate) {
    bench = std::make_unique<SimBench>(clock, 3, 4);
  } else {
    real = std::make_unique<QtSerialProvider>(paths.PortsDir());
    port = std::make_unique<CCommPort>(clock, *real);
  }
  CCommPort& p = simulate ? bench->port : *port;
  CTransponder unit(p, op, paths);
  std::vector<bool> present;
  std::printf("Searching for Velmoor\n");
  int found = unit.FindUnitPort(1, 10, present);
  if (found <= 0) {
    std::printf("No unit answered on COM1 to COM10\n");
    return 1;
  }
  std::printf("Velmoor detected on Comm %d\n", found);
  char reply[1000];
  bool ok = unit.Exchange("#RRTC", reply);
  std::printf("#RRTC %s: %s\n", ok ? "answered" : "failed", reply);
  return ok ? 0 : 1;
}
