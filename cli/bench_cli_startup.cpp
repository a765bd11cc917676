// velmoor-cli's start-up cost: `velmoor-cli --simulate status` as a process, against the same
// search and status read run inside this process (the protocol's own time on the real-time
// simulated line), and against a bare `velmoor-cli --version`. Prints the start-up overhead
// and its ratio to the 100 ms budget (below 1 meets it).
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_run.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double TimeProcess(const std::string& command) {
  const auto t0 = Clock::now();
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::filesystem::path root = std::filesystem::temp_directory_path() / "vt-bench-cli";
  std::filesystem::remove_all(root);
  const std::string cli = VT_CLI_PATH;
  const std::string rootArg = " --root " + root.string();

  std::vector<double> version, process, inProcess;
  for (int i = 0; i < runs; ++i) {
    version.push_back(TimeProcess(cli + " --version"));
    process.push_back(TimeProcess(cli + rootArg + " --simulate status"));
    CliOptions o;
    std::string message;
    const std::string rootText = root.string();
    const char* args[] = {"velmoor-cli", "--root", rootText.c_str(), "--simulate", "status"};
    if (!ParseCliOptions(5, args, o, message)) return 1;
    std::FILE* null = std::fopen("/dev/null", "w");
    const auto t0 = Clock::now();
    const int code = RunCli(
        o, [](const DataPaths&) { return std::unique_ptr<ISerialProvider>(); }, null, null);
    inProcess.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    std::fclose(null);
    if (code != 0) return 1;
  }
  std::filesystem::remove_all(root);

  const double v = Median(version), p = Median(process), q = Median(inProcess);
  const double overhead = p - q;
  std::printf("velmoor-cli start-up (median of %d runs)\n", runs);
  std::printf("  --version as a process:                 %8.1f ms\n", v);
  std::printf("  --simulate status as a process:         %8.1f ms\n", p);
  std::printf("  the same status read inside one process: %7.1f ms (the protocol's own time)\n", q);
  std::printf("  start-up over the protocol's time:      %8.1f ms\n", overhead);
  std::printf("ratio start-up / 100 ms budget: %.3f (below 1 meets it)\n", overhead / 100.0);
  std::printf("ratio start-up / bare --version: %.2f\n", v > 0 ? overhead / v : 0.0);
  return 0;
}
