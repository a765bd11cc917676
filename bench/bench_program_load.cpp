// Program load against the simulated unit's bootloader. Prints ratios; not a test.
//  1. Virtual time: the records of a 3,000-record program file at 38400 bit/s take within 2%
//     of the protocol's floor: per record the 20 ms + 20 ms pauses around the purge, plus the
//     record's bytes (with CR LF) and the reply's bytes at the line rate.
//  2. Real time (SteadyClock): a load uses under 5% of one core.
// Usage: bench_program_load [records for the real-time run, default 300]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "firmware/srecord_image.h"
#include "unit/transponder.h"
#include "sim/sim_bench.h"
#include "sim/virtual_clock.h"
#include "tools/sample_programs.h"
#include "bench/bench_cpu.h"

namespace {
size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
  return n;
}
}  // namespace

int main(int argc, char** argv) {
  const int realRecords = argc > 1 ? std::atoi(argv[1]) : 300;
  const auto root = std::filesystem::temp_directory_path() / ("vt-bench-load-" + std::to_string(::getpid()));
  std::filesystem::create_directories(root / "T7Status");
  int status = 0;

  // 1. Virtual time, the 3,000 records of the large sample.
  {
    VirtualClock clock;
    SimBench bench(clock);
    ScriptedOperator op;
    CTransponder unit(bench.port, op, DataPaths{root});
    const std::string path = (root / "large.a07").string();
    WriteSampleProgram(path, LargeSampleProgram());
    if (unit.StartLoad(path.c_str()) != 0) {
      std::printf("virtual time: the load did not start\n");
      return 1;
    }
    const size_t wireBefore = bench.line().written.size();
    const uint64_t t0 = clock.NowUs();
    char message[200] = "";
    int r = 1;
    while (r > 0) r = unit.ContinueLoad(message, 0);
    const uint64_t t1 = clock.NowUs();
    const std::string sent = bench.line().written.substr(wireBefore);
    const int lines = unit.ProgramImage().lineCount;
    unit.FinishLoad();
    if (r < 0) {
      std::printf("virtual time: the load stopped with %d (%s)\n", r, message);
      return 1;
    }
    const size_t records = Count(sent, "\r\n");
    const size_t replyBytes = 4;  // "OK" CR LF
    const double byteMs = ByteTimeUs(38400) / 1000.0;
    const double floorMs = records * 40.0 + (sent.size() + records * replyBytes) * byteMs;
    const double measuredMs = (t1 - t0) / 1000.0;
    const double ratio = measuredMs / floorMs;
    std::printf("virtual time, %zu records sent (%d file lines and the trailer) at 38400 bit/s:\n", records, lines);
    std::printf("  floor %.1f s, measured %.1f s, measured/floor %.4f (target within 2%%: 0.98 to 1.02)\n",
                floorMs / 1000, measuredMs / 1000, ratio);
    std::printf("  per record: floor %.2f ms, measured %.2f ms; loads completed by the unit: %d\n", floorMs / records,
                measuredMs / records, bench.unit->state.flash.loadsCompleted);
    if (ratio < 0.98 || ratio > 1.02 || bench.unit->state.flash.loadsCompleted != 1) status = 1;
  }

  // 2. Real time: the load's three steps with a smaller file, CPU time over wall time for
  // the records alone and for the whole load (start and finish are mostly waiting).
  {
    SteadyClock clock;
    SimBench bench(clock);
    ScriptedOperator op;
    CTransponder unit(bench.port, op, DataPaths{root});
    SampleProgramSpec spec = LargeSampleProgram();
    spec.dataRecords = realRecords;
    const std::string path = (root / "real.a07").string();
    WriteSampleProgram(path, spec);
    const double c0 = CpuSeconds(), w0 = WallSeconds();
    const int started = unit.StartLoad(path.c_str());
    const double c1 = CpuSeconds(), w1 = WallSeconds();
    char message[200] = "";
    int r = started == 0 ? 1 : -1;
    while (r > 0) r = unit.ContinueLoad(message, 0);
    const double c2 = CpuSeconds(), w2 = WallSeconds();
    const bool cameBack = unit.FinishLoad();
    const double c3 = CpuSeconds(), w3 = WallSeconds();
    const double recordShare = 100.0 * (c2 - c1) / (w2 - w1);
    const double wholeShare = 100.0 * (c3 - c0) / (w3 - w0);
    std::printf("real time, %d data records:\n", realRecords);
    std::printf("  records: wall %.1f s, cpu %.3f s, cpu/wall %.2f%% (target < 5%%)\n", w2 - w1, c2 - c1, recordShare);
    std::printf("  whole load (start, records, finish): wall %.1f s, cpu %.3f s, cpu/wall %.2f%% (target < 5%%)\n",
                w3 - w0, c3 - c0, wholeShare);
    std::printf("  result: %s\n", r == 0 && cameBack ? "loaded, unit back" : "FAILED");
    if (r != 0 || !cameBack || recordShare >= 5.0 || wholeShare >= 5.0) status = 1;
  }
  std::filesystem::remove_all(root);
  return status;
}
