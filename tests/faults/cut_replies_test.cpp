// Replies cut short: the answer to one command loses its end (the LF among it) after every
// length it can have, and nothing more comes. The reader of that reply fails and says so;
// nothing is parsed from the piece that came, the other readers are not disturbed, and the
// files stay sound.
#include <gtest/gtest.h>

#include "fault_bench.h"
#include "sim/sim_status.h"

namespace {

using faults::FaultBench;

struct CutCase {
  const char* code;
  int32_t bit;  // the reader's bit of the failure mask
  std::vector<std::string> (*lines)(const SimUnitState&);
  bool echoed;  // the serial status record comes without the command's echo
};
const CutCase kCases[] = {
    {"HWST", 1, HardwareStatusLines, true},
    {"TPST", 2, TransponderStatusLines, true},
    {"FVFV", 4, FirmwareVersionLines, true},
    {"INFO", 16, UnitInformationLines, true},
    {"STTX", 8, [](const SimUnitState& s) { return std::vector<std::string>{SerialStatusRecord(s)}; }, false},
};

// The whole reply to the case's command, as the unit frames it.
std::string WholeReply(const SimUnit& unit, const CutCase& c) {
  SimUnit::Reply r;
  r.lines = c.lines(unit.state);
  r.noEcho = !c.echoed;
  return unit.Frame(std::string("#") + c.code, r);
}

// The unit answers the case's command with the first `keep` bytes of its reply only.
void CutAfter(SimUnit& unit, const CutCase& c, size_t keep) {
  unit.Handle(c.code, [c, keep](SimUnit& u, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.raw = WholeReply(u, c).substr(0, keep);
    r.silent = r.raw.empty();
    return r;
  });
}

TEST(CutReplies, EachStatusReplyCutAtEachLength) {
  for (const CutCase& c : kCases) {
    // The whole reply sent the same way reads whole: what each cut is measured against.
    UnitStatus whole;
    size_t length = 0;
    {
      FaultBench clean;
      length = WholeReply(clean.sim(), c).size();
      CutAfter(clean.sim(), c, length);
      ASSERT_TRUE(ReadStatus(*clean.unit, false)) << c.code;
      whole = clean.unit->status.currentStatus;
    }
    // The lengths to cut at: every one near the start and the end, and a spread between.
    for (size_t keep = 0; keep < length; ++keep) {
      if (keep >= 6 && keep + 4 < length && keep % 29 != 0) continue;
      SCOPED_TRACE(std::string(c.code) + " cut after " + std::to_string(keep) + " bytes");
      FaultBench b;
      CutAfter(b.sim(), c, keep);
      b.bench.port.failuresLeft = 20;  // the cut reader's time-outs must not use up the others' budget
      b.unit->ShowBusy();
      EXPECT_FALSE(ReadStatus(*b.unit, true));
      faults::ExpectBrokenRead(b, c.bit, whole);
      EXPECT_EQ(b.op.boxes.size(), 1u);
    }
  }
}

}  // namespace
