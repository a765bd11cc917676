// Four terminals sharing one data folder of 1,000 units against one terminal alone: the time
// of a status read's file work (LoadCurrentEntry, then SaveCurrentEntry under the file's lock).
// Target: with four, under 2 times the time alone.
//
// Each terminal is a process of its own and reads one of its own units at a random moment
// every 3 to 6 s: a real status read takes at least five exchanges of over half a second each
// (2.7 s and more), and the operator acts between reads, so a real terminal saves no more often
// than this. With four, a save may wait for another terminal's lock, and it finds the file
// changed by the others, so it parses it again.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_units.h"
#include "platform/time_ops.h"
#include "unit/transponder.h"
#include "sim/scripted_operator.h"
#include "sim/sim_bench.h"
#include "sim/virtual_clock.h"

namespace fs = std::filesystem;

namespace {
constexpr int kUnits = 1000;
constexpr int kSaves = 12;

// One terminal: kSaves status reads of its own units, the first at startUs; writes the seconds
// of each to fd, one a line.
void Terminal(const fs::path& root, int index, uint64_t startUs, int fd) {
  VirtualClock clock;
  SimBench bench(clock);
  ScriptedOperator op;
  CTransponder unit(bench.port, op, DataPaths{root});
  std::mt19937 random(1234u + static_cast<unsigned>(index));
  std::uniform_int_distribution<uint64_t> pause(3'000'000, 6'000'000);
  uint64_t next = startUs + pause(random) / 2;
  std::string lines;
  for (int i = 0; i < kSaves; ++i) {
    time_ops::SleepUntilMonotonicUs(next);
    const int32_t id = 0x100000 + index * 250 + i;
    const uint64_t t0 = time_ops::MonotonicUs();
    unit.LoadCurrentEntry(id);
    unit.status.currentStatus = unit.records.storedStatus;
    unit.status.currentChecks = unit.records.storedChecks;
    unit.status.currentChecks.LastStatusTime = DateTime::FromCivil({2026, 3, 1, 12, i % 60, index});
    unit.SaveCurrentEntry();
    const uint64_t t1 = time_ops::MonotonicUs();
    lines += std::to_string((t1 - t0) / 1e6) + "\n";
    next = std::max(next + pause(random), t1);
  }
  for (const auto& box : op.boxes) std::fprintf(stderr, "terminal %d was told: %s\n", index, box.text.c_str());
  if (::write(fd, lines.data(), lines.size()) < 0) std::perror("write");
}

struct Figures {
  double mean = 0, median = 0, worst = 0;
};

// Runs `terminals` terminals at once on the folder; the figures of all their saves.
Figures Run(const fs::path& root, int terminals) {
  const uint64_t startUs = time_ops::MonotonicUs() + 200'000;
  std::vector<std::pair<pid_t, int>> children;
  for (int t = 0; t < terminals; ++t) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      Terminal(root, t, startUs, fds[1]);
      _exit(0);
    }
    close(fds[1]);
    children.push_back({pid, fds[0]});
  }
  std::vector<double> times;
  for (auto [pid, fd] : children) {
    std::FILE* in = fdopen(fd, "r");
    double s;
    while (std::fscanf(in, "%lf", &s) == 1) times.push_back(s);
    std::fclose(in);
    waitpid(pid, nullptr, 0);
  }
  Figures f;
  if (times.empty()) return f;
  std::sort(times.begin(), times.end());
  for (double s : times) f.mean += s / times.size();
  f.median = times[times.size() / 2];
  f.worst = times.back();
  return f;
}
}  // namespace

int main() {
  const fs::path root = fs::temp_directory_path() / ("vt-bench-shared-" + std::to_string(getpid()));
  fs::remove_all(root);
  DataPaths paths{root};
  paths.CreateFolders();
  WriteRealisticFile(kUnits, paths.CurrentStatusFile());
  std::printf("current-status file: %d units, %.1f MB; each terminal %d status reads, one every 3 to 6 s\n", kUnits,
              fs::file_size(paths.CurrentStatusFile()) / 1e6, kSaves);
  const Figures alone = Run(root, 1);
  const Figures four = Run(root, 4);
  std::printf("one terminal alone:   mean %.1f ms, median %.1f ms, worst %.1f ms\n", alone.mean * 1e3,
              alone.median * 1e3, alone.worst * 1e3);
  std::printf("four terminals:       mean %.1f ms, median %.1f ms, worst %.1f ms\n", four.mean * 1e3, four.median * 1e3,
              four.worst * 1e3);
  const double ratio = alone.mean > 0 ? four.mean / alone.mean : 0;
  std::printf("four / alone (mean):  %.2f (target < 2)\n", ratio);
  fs::remove_all(root);
  return ratio > 0 && ratio < 2 ? 0 : 1;
}
