// Replies cut short: the answer to one command loses its end (the LF among it) after every
// length it can have, and nothing more comes. The reader of that reply fails and says so;
// nothing is parsed from the piece that came, the other readers are not disturbed, and the
// files stay sound.
#include <gtest/gtest.h>

#include <string>

#include "fault_bench.h"
#include "sim/sim_status.h"

namespace {

using faults::FaultBench;

// The bytes the unit sends for a reply: the echo (when given) and each line ended by CR, then LF.
std::string Framed(const std::string& echo, const std::vector<std::string>& lines) {
  std::string text = echo.empty() ? "" : echo + "\r";
  for (const auto& l : lines) text += l + "\r";
  return text + "\n";
}

struct CutCase {
  const char* code;
  int32_t bit;  // the reader's bit of the failure mask
  std::string (*reply)(const SimUnitState&);
};
const CutCase kCases[] = {
    {"HWST", 1, [](const SimUnitState& s) { return Framed("#HWST", HardwareStatusLines(s)); }},
    {"TPST", 2, [](const SimUnitState& s) { return Framed("#TPST", TransponderStatusLines(s)); }},
    {"FVFV", 4, [](const SimUnitState& s) { return Framed("#FVFV", FirmwareVersionLines(s)); }},
    {"INFO", 16, [](const SimUnitState& s) { return Framed("#INFO", UnitInformationLines(s)); }},
    {"STTX", 8, [](const SimUnitState& s) { return Framed("", {SerialStatusRecord(s)}); }},
};

// The unit answers the case's command with the first `keep` bytes of its reply only.
void CutAfter(SimUnit& unit, const CutCase& c, size_t keep) {
  unit.Handle(c.code, [c, keep](SimUnit& u, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.raw = c.reply(u.state).substr(0, keep);
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
      length = c.reply(clean.sim().state).size();
      CutAfter(clean.sim(), c, length);
      ASSERT_TRUE(clean.unit->GetStatus("", clean.unit->status.replyText, false)) << c.code;
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
      EXPECT_FALSE(b.unit->GetStatus("", b.unit->status.replyText, true));
      faults::ExpectBrokenRead(b, c.bit, whole);
      EXPECT_EQ(b.op.boxes.size(), 1u);
    }
  }
}

}  // namespace
