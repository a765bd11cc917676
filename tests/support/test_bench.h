// A unit on the bench for end-to-end tests: virtual clock, simulated ports with the unit on
// COM5, the scripted operator, a fresh data folder, and the CTransponder under test.
#pragma once
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "serial/transponder.h"
#include "sim/scripted_operator.h"
#include "sim/sim_bench.h"
#include "sim/virtual_clock.h"

// How many times a text holds another (non-overlapping).
inline size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
  return n;
}

inline std::filesystem::path FreshTempDir(const std::string& tag) {
  static std::atomic<int> counter{0};
  auto dir = std::filesystem::temp_directory_path() /
             ("vt-" + tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "T7Status");
  return dir;
}

struct UnitOnBench {
  explicit UnitOnBench(int unitPort = 5, int portCount = 8)
      : root(FreshTempDir("bench")), bench(clock, unitPort, portCount) {
    unit = std::make_unique<CTransponder>(bench.port, op, DataPaths{root});
  }
  ~UnitOnBench() {
    unit.reset();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  SimUnit& sim() { return *bench.unit; }
  std::string& wire() { return bench.line().written; }
  uint64_t nowMs() { return clock.NowMs(); }

  VirtualClock clock;
  std::filesystem::path root;
  SimBench bench;
  ScriptedOperator op;
  std::unique_ptr<CTransponder> unit;
};
