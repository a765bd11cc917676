// The file work of one status read (LoadCurrentEntry, then SaveCurrentEntry) against what
// pugixml alone needs to parse and write the same current-status file, for files of 1,000 and
// 10,000 units. Target: at most 3 times pugixml's time. Also the peak memory of each against
// the file size.
//
// Two cases of ours: "steady", the usual one, where the file still holds what the terminal last
// saved (it is read and recognised, not parsed again); and "changed", where another program
// changed the file just before the read, so it is parsed again. The save always writes a
// temporary file, flushes it to disk (fsync), renames it and flushes the folder; pugixml's
// save_file does none of that, so its time is a floor, not a like-for-like figure.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "bench/bench_units.h"
#include "records/status_xml.h"
#include "unit/transponder.h"
#include "sim/scripted_operator.h"
#include "sim/sim_bench.h"
#include "sim/virtual_clock.h"

#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// Peak resident memory since the last reset, in bytes (Linux).
long long PeakRss() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
  return 0;
}
long long CurrentRss() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
  return 0;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double Seconds(const std::function<void()>& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// One measurement in a process of its own, so that its peak memory is its own: prints the
// median seconds of the rounds and the peak resident memory above the process's start.
int Child(const std::string& mode, const fs::path& root, int units, int rounds) {
  const long long start = CurrentRss();
  ResetPeak();
  DataPaths paths{root};
  std::vector<double> times;
  if (mode == "pugixml") {
    const fs::path out = root / "pugixml-out.xml";
    pugi::xml_document doc;  // one document for all rounds, as the terminal keeps one
    for (int r = 0; r < rounds; ++r)
      times.push_back(Seconds([&] {
        doc.load_file(paths.CurrentStatusFile().c_str());
        doc.save_file(out.c_str(), PUGIXML_TEXT(""), pugi::format_raw | pugi::format_no_declaration);
      }));
  } else {
    VirtualClock clock;
    SimBench bench(clock);
    ScriptedOperator op;
    CTransponder unit(bench.port, op, paths);
    const int32_t id = 0x100000 + units / 2;
    int minute = 0;
    auto statusRead = [&] {
      unit.LoadCurrentEntry(id);
      unit.status.currentStatus = unit.records.storedStatus;
      unit.status.currentChecks = unit.records.storedChecks;
      unit.status.currentChecks.LastStatusTime = DateTime::FromCivil({2026, 3, 1, 12, minute++ % 60, 0});
      unit.SaveCurrentEntry();
    };
    statusRead();  // the terminal has saved the file once
    for (int r = 0; r < rounds; ++r) {
      if (mode == "changed") {
        // Another program changes a digit of another unit: the read parses the file again.
        std::string text = ReadAll(paths.CurrentStatusFile());
        size_t at = text.find("<Address>");
        text[at + 9] = text[at + 9] == '1' ? '2' : '1';
        std::ofstream(paths.CurrentStatusFile(), std::ios::binary | std::ios::trunc) << text;
      }
      times.push_back(Seconds(statusRead));
    }
    if (!op.boxes.empty()) std::fprintf(stderr, "unexpected message box: %s\n", op.boxes[0].text.c_str());
  }
  std::printf("%.6f %lld\n", Median(times), PeakRss() - start);
  return 0;
}

struct Figures {
  double seconds = 0;
  long long peakBytes = 0;
};

Figures Measure(const char* mode, const fs::path& root, int units, int rounds) {
  static const std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string command = "'" + self + "' --child " + std::string(mode) + " '" + root.string() + "' " +
                        std::to_string(units) + " " + std::to_string(rounds);
  Figures f;
  if (std::FILE* p = popen(command.c_str(), "r")) {
    if (std::fscanf(p, "%lf %lld", &f.seconds, &f.peakBytes) != 2) std::fprintf(stderr, "%s failed\n", mode);
    pclose(p);
  }
  return f;
}

// True when both status-read cases stay within 3 times pugixml's time.
bool Run(int units, int rounds) {
  fs::path root = fs::temp_directory_path() / ("vt-bench-status-" + std::to_string(::getpid()));
  fs::remove_all(root);
  DataPaths paths{root};
  paths.CreateFolders();
  WriteRealisticFile(units, paths.CurrentStatusFile());
  const double fileBytes = static_cast<double>(fs::file_size(paths.CurrentStatusFile()));
  Figures base = Measure("pugixml", root, units, rounds);
  Figures steady = Measure("steady", root, units, rounds);
  Figures changed = Measure("changed", root, units, rounds);

  const double mb = 1024.0 * 1024.0;
  std::printf("%6d units, file %.1f MB (%.0f bytes a unit), median of %d rounds\n", units, fileBytes / mb,
              fileBytes / units, rounds);
  auto line = [&](const char* what, const Figures& f, bool ratio) {
    std::printf("  %-30s %8.1f ms   peak %6.1f MB = %4.2f x file", what, f.seconds * 1e3, f.peakBytes / mb,
                f.peakBytes / fileBytes);
    if (ratio) std::printf("   ratio %4.2f (target <= 3)", f.seconds / base.seconds);
    std::printf("\n");
  };
  line("pugixml parse + write", base, false);
  line("status read, file unchanged", steady, true);
  line("status read, file changed", changed, true);
  fs::remove_all(root);
  return base.seconds > 0 && steady.seconds <= 3 * base.seconds && changed.seconds <= 3 * base.seconds;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--child") == 0)
    return Child(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
  bool small = Run(1000, 9);
  bool large = Run(10000, 5);
  return small && large ? 0 : 1;
}
