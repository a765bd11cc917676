// One terminal of the shared-folder tests: reads the simulated unit's status again and again
// into the data folder ROOT, which other writers share at the same time. Save i reads unit
// i % (units + 1) of this writer's own units, or the shared unit when that is units; the unit
// reports the mark "w<writer>-<i>" as its DAS identity, so the file tells whose save landed.
//
//   status_writer ROOT WRITER UNITS SHARED_ID SAVES
//
// Prints "saved <i>" after each save. Exits 0 when every read and save succeeded and the
// operator was never told anything; 1 otherwise.
#include <cstdio>
#include <cstdlib>

#include "unit/transponder.h"
#include "sim/scripted_operator.h"
#include "sim/sim_bench.h"
#include "sim/virtual_clock.h"
#include "tests/shared_folder/writer/writer_plan.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: status_writer ROOT WRITER UNITS SHARED_ID SAVES\n");
    return 2;
  }
  const WriterPlan plan{std::atoi(argv[2]), std::atoi(argv[3]),
                        static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 0)), std::atoi(argv[5])};
  VirtualClock clock;
  SimBench bench(clock);
  ScriptedOperator op;
  CTransponder unit(bench.port, op, DataPaths{argv[1]});
  for (int i = 0; i < plan.saves; ++i) {
    bench.unit->state.unitId = plan.UnitOf(i);
    bench.unit->state.dasId = plan.Mark(i);
    if (!unit.GetStatus("", TextSpan(unit.status.replyText), false)) {
      std::fprintf(stderr, "status read %d failed\n", i);
      return 1;
    }
    std::printf("saved %d\n", i);
    std::fflush(stdout);
  }
  for (const auto& box : op.boxes) std::fprintf(stderr, "told: %s\n", box.text.c_str());
  return op.boxes.empty() ? 0 : 1;
}
