// A bench for fault tests: the simulated unit on COM5 behind a tap on the unit's side that
// counts the lines the unit receives and makes something happen at a chosen one. Plus the
// checks every fault test makes afterwards.
#pragma once
#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "records/status_xml.h"
#include "tests/support/test_bench.h"

namespace faults {

// Sits between the line and the simulated unit. Counts the lines that reach the unit (each
// ends with its CR) and runs the action as the chosen line ends, before the unit sees it.
class LineTap : public SimFarEnd {
 public:
  LineTap(SimLine& line, SimUnit& unit) : unit_(unit) { line.Attach(this); }
  uint32_t Baud() const override { return unit_.Baud(); }
  void OnByte(SimLine& line, uint8_t b, uint64_t atUs) override {
    if (b == '\r' && ++lines == atLine && action) action();
    unit_.OnByte(line, b, atUs);
  }
  void OnBreak(SimLine& line, uint64_t startUs, uint64_t endUs) override { unit_.OnBreak(line, startUs, endUs); }

  int lines = 0;
  int atLine = 0;  // 0: never
  std::function<void()> action;

 private:
  SimUnit& unit_;
};

struct FaultBench : UnitOnBench {
  FaultBench() : tap(bench.line(), *bench.unit) {
    // The program load stamps its start and end: local time that moves with the bench's clock.
    unit->localNow = [this] {
      DateTime t = DateTime::FromCivil({2026, 3, 6, 9, 0, 0});
      t.value += static_cast<double>(clock.NowMs()) / 86400000.0;
      return t;
    };
  }
  bool Warned() const {
    return std::any_of(op.boxes.begin(), op.boxes.end(),
                       [](const auto& box) { return box.icon == MbIcon::Exclamation; });
  }

  LineTap tap;
};

// Empty when the file is missing or loads sound; otherwise what is wrong with it.
inline std::string FileProblem(const std::filesystem::path& path) {
  if (!std::filesystem::exists(path)) return {};
  CStatusXml doc;
  const CStatusXml::LoadResult r = doc.Load(path);
  return r.Damaged() ? path.filename().string() + ": " + r.reason : std::string();
}

// After a status read that a fault broke: exactly the readers of the failed bits count as
// failed, the operator was warned and the busy window is gone; what was not read is not made
// up (those readers' fields stay fresh) and the others read what a whole read does; the status
// files stay sound. Bits: 1 "#HWST", 2 "#TPST", 4 "#FVFV", 8 "#STTX", 16 "#INFO".
inline void ExpectBrokenRead(FaultBench& b, int32_t failed, const UnitStatus& whole) {
  EXPECT_EQ(b.unit->status.partialMask, failed);
  EXPECT_TRUE(b.Warned());
  EXPECT_FALSE(b.op.busyVisible);
  const UnitStatus& s = b.unit->status.currentStatus;
  EXPECT_EQ(s.UnitId, failed & 1 ? -1 : whole.UnitId);
  EXPECT_EQ(s.Address, failed & 2 ? -1 : whole.Address);
  EXPECT_EQ(s.T7V, failed & 4 ? std::string() : whole.T7V.str());
  EXPECT_EQ(s.BaudRate, failed & 8 ? -1 : whole.BaudRate);
  EXPECT_EQ(s.IIFChannel, failed & 16 ? -1 : whole.IIFChannel);
  EXPECT_EQ(FileProblem(b.unit->paths.CurrentStatusFile()), "");
}

}  // namespace faults
