// One terminal of the shared-folder tests: reads the simulated unit's status again and again
// into the data folder ROOT, which other writers share at the same time. Save i reads unit
// i % (units + 1) of this writer's own units, or the shared unit when that is units; the unit
// reports the mark "w<writer>-<i>" as its DAS identity, so the file tells whose save landed.
//
//   status_writer ROOT WRITER UNITS SHARED_ID SAVES [STALL_AT]
//
// With STALL_AT, the writer stops itself (SIGSTOP) inside save STALL_AT, holding the lock, once
// its new file is on disk and before it replaces the old one, as a suspended PC would; it
// goes on when it is sent SIGCONT.
//
// Prints "saved <i>" after each save. Exits 0 when every read and save succeeded and the
// operator was never told anything; 1 otherwise.
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "unit/transponder.h"
#include "sim/scripted_operator.h"
#include "sim/sim_bench.h"
#include "sim/virtual_clock.h"
#include "tests/shared_folder/writer/writer_plan.h"

namespace {
int stallAt = -1;  // the save to stall in, counted by the flushes of new status files
int savesFlushed = 0;
}  // namespace

// The writer's flushes pass through here: after the flush of the new file of save STALL_AT (the
// only file it flushes; the others are folders), the writer stops.
extern "C" int fsync(int fd) {
  static auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
  const int result = real(fd);
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && savesFlushed++ == stallAt) raise(SIGSTOP);
  return result;
}

int main(int argc, char** argv) {
  if (argc != 6 && argc != 7) {
    std::fprintf(stderr, "usage: status_writer ROOT WRITER UNITS SHARED_ID SAVES [STALL_AT]\n");
    return 2;
  }
  const WriterPlan plan{std::atoi(argv[2]), std::atoi(argv[3]),
                        static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 0)), std::atoi(argv[5])};
  VirtualClock clock;
  SimBench bench(clock);
  ScriptedOperator op;
  CTransponder unit(bench.port, op, DataPaths{argv[1]});
  if (argc == 7) stallAt = std::atoi(argv[6]);
  for (int i = 0; i < plan.saves; ++i) {
    bench.unit->state.unitId = plan.UnitOf(i);
    bench.unit->state.dasId = plan.Mark(i);
    char reply[CTransponder::kReplyTextSize];
    if (!unit.GetStatus("", reply, false)) {
      std::fprintf(stderr, "status read %d failed\n", i);
      return 1;
    }
    std::printf("saved %d\n", i);
    std::fflush(stdout);
  }
  for (const auto& box : op.boxes) std::fprintf(stderr, "told: %s\n", box.text.c_str());
  return op.boxes.empty() ? 0 : 1;
}
