// "Get file status" over a current-status file of 1,000 and of 10,000 units, each with a
// new-status file of a tenth as many: the time must grow linearly with the units (each file
// read once, one look-up per unit), so the ratio of the two times stays near 10 and under 15.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "records/status_xml.h"
#include "unit/transponder.h"
#include "sim/scripted_operator.h"
#include "sim/sim_bench.h"
#include "sim/virtual_clock.h"

namespace {

namespace fs = std::filesystem;

DateTime At(int y, int mo, int d) { return DateTime::FromCivil({y, mo, d, 9, 30, 0}); }

// A unit as the terminal records it after a status read and the bench tests.
void Fill(int i, UnitStatus& s, StatusChecks& c) {
  s = UnitStatus{};
  s.UnitId = 0x100000 + i;
  char serial[20];
  std::snprintf(serial, sizeof serial, "%06d-%03d", i, i % 1000);
  s.SerialNo = serial;
  s.TypeNo = "7815";
  s.Band = "MF";
  s.TdrType = "30deg";
  s.Address = 1 + i % 15;
  s.Channel = 1 + i % 14;
  s.T7V = i % 7 ? "V3.12.4 12/03/2021" : "V1.1H";
  s.Das = "V1.07";
  s.Enabled = "WDD";
  s.Tat = 250.0f;
  s.String1 = "#STTX\r\nRT=1,TT=0,BR=4,RF=99,EW=1,DC=1,STX=2,DR=0,DI=10,MD=5,UP=3,CW=20,CR=1,IC=2,XS=0";
  s.String2 = "#INFO\\\\\\/IIFReplyCh = 15\\\\\\/";
  c = StatusChecks{};
  c.LastStatusTime = At(2026, 1 + i % 12, 1 + i % 28);
  if (i % 3 == 0) {
    c.CI1Result = i % 2;
    c.CI1Time = At(2026, 3, 4);
  }
  if (i % 4 == 0) {
    c.HardwareResult = i % 5 == 0 ? 9 : 8;
    c.HardwareTime = At(2026, 3, 5);
  }
  if (i % 5 == 0) {
    c.ReleaseResult = 0;
    c.ReleaseTime = At(i % 10 == 0 ? 1999 : 2026, 3, 6);
  }
}

void MakeFiles(const DataPaths& paths, int units) {
  CStatusXml current;
  CStatusXml pending;
  UnitStatus s;
  StatusChecks c;
  for (int i = 0; i < units; ++i) {
    Fill(i, s, c);
    current.WriteUnit(c, s);
    if (i % 10 == 0) {
      StatusChecks applied;
      applied.UpdatedResult = i % 20 == 0;
      applied.UpdatedTime = At(2026, 4, 1);
      pending.WriteUnit(applied, s);
    }
  }
  current.Save(paths.CurrentStatusFile());
  pending.Save(paths.NewStatusFile());
}

struct Run {
  double seconds;
  size_t reportBytes;
  uintmax_t fileBytes;
};

Run TimeFileStatus(int units) {
  const fs::path root =
      fs::temp_directory_path() / ("vt-bench-file-status-" + std::to_string(::getpid()) + "-" + std::to_string(units));
  fs::remove_all(root);
  DataPaths paths{root};
  paths.CreateFolders();
  MakeFiles(paths, units);

  VirtualClock clock;
  SimBench bench(clock);
  ScriptedOperator op;
  CTransponder unit(bench.port, op, paths);
  double best = 1e30;
  size_t bytes = 0;
  for (int round = 0; round < 3; ++round) {
    const auto start = std::chrono::steady_clock::now();
    const std::string report = unit.FileStatusReport();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
    bytes = report.size();
  }
  const uintmax_t fileBytes = fs::file_size(paths.CurrentStatusFile());
  fs::remove_all(root);
  return {best, bytes, fileBytes};
}

}  // namespace

int main() {
  const Run small = TimeFileStatus(1000);
  const Run large = TimeFileStatus(10000);
  std::printf("Get file status (best of 3 runs each)\n");
  std::printf("  1,000 units (current-status file %.1f MB, 100 pending):   %8.3f s, report %zu bytes\n",
              small.fileBytes / 1e6, small.seconds, small.reportBytes);
  std::printf("  10,000 units (current-status file %.1f MB, 1,000 pending): %8.3f s, report %zu bytes\n",
              large.fileBytes / 1e6, large.seconds, large.reportBytes);
  const double ratio = large.seconds / small.seconds;
  std::printf("  ratio 10,000 / 1,000: %.2f (target under 15; linear is 10)\n", ratio);
  return ratio < 15.0 ? 0 : 1;
}
