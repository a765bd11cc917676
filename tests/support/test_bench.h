// A unit on the bench for end-to-end tests: virtual clock, simulated ports with the unit on
// COM5, the scripted operator, a fresh data folder, and the CTransponder under test.
#pragma once
#include <atomic>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>

#include "unit/transponder.h"
#include "sim/scripted_operator.h"
#include "sim/scripted_window.h"
#include "sim/sim_bench.h"
#include "sim/virtual_clock.h"

// How many times a text holds another (non-overlapping).
inline size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
  return n;
}

// The lines the terminal wrote, in order, each without its CR LF; the readiness probes
// ("#DASP,0") are left out unless asked for.
inline std::vector<std::string> WireLines(const std::string& wire, bool withProbes = false) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t at = wire.find("\r\n"); at != std::string::npos; at = wire.find("\r\n", start)) {
    std::string line = wire.substr(start, at - start);
    if (withProbes || line != "#DASP,0") out.push_back(line);
    start = at + 2;
  }
  return out;
}

// The unit answers code with these lines from now on (silent: it does not answer at all).
inline void Answer(SimUnit& unit, const std::string& code, std::vector<std::string> lines, bool silent = false) {
  unit.Handle(code, [lines, silent](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.lines = lines;
    r.silent = silent;
    return r;
  });
}
inline void Silence(SimUnit& unit, const std::string& code) { Answer(unit, code, {}, true); }

inline DateTime At(int y, int mo, int d, int h, int mi, int s) { return DateTime::FromCivil({y, mo, d, h, mi, s}); }

inline std::filesystem::path FreshTempDir(const std::string& tag) {
  static std::atomic<int> counter{0};
  auto dir = std::filesystem::temp_directory_path() /
             ("vt-" + tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "T7Status");
  return dir;
}

// The bytes of a file ("" when there is none).
inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The session log of a data folder: its day files' text, oldest first.
inline std::string LoggedText(const std::filesystem::path& root) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(root / "T7Status" / "logs", ec)) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  std::string text;
  for (const auto& f : files) text += ReadText(f);
  return text;
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

// A whole status read, its replies kept nowhere (the tests read the status records).
inline bool ReadStatus(CTransponder& unit, bool showMessageBox) {
  char reply[CTransponder::kReplyTextSize];
  return unit.GetStatus("", reply, showMessageBox);
}
