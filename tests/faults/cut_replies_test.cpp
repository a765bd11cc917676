// Replies cut short: the answer to one command loses its end (the LF among it) after every
// length it can have. The reader of that reply fails and says so; nothing is parsed from the
// piece that came, the other readers are not disturbed, and the files stay sound.
#include <gtest/gtest.h>

#include <string>

#include "fault_bench.h"
#include "firmware/bootload_action.h"
#include "tools/sample_programs.h"

namespace {

using faults::FaultBench;

struct CutCase {
  const char* command;
  int32_t bit;  // the reader's bit of the failure mask
};

// The lengths to cut at: every one near the start and the end, and a spread between.
std::vector<size_t> CutPoints(size_t length) {
  std::vector<size_t> points;
  for (size_t n = 0; n < length; ++n)
    if (n < 6 || n + 4 >= length || n % 29 == 0) points.push_back(n);
  return points;
}

TEST(CutReplies, EachStatusReplyCutAtEachLength) {
  for (const CutCase c :
       {CutCase{"#HWST", 1}, CutCase{"#TPST", 2}, CutCase{"#FVFV", 4}, CutCase{"#INFO", 16}, CutCase{"#STTX", 8}}) {
    // How long the whole answer is, and what a whole read gives.
    size_t length = 0;
    UnitStatus whole;
    {
      FaultBench clean;
      clean.cutter.rule = {c.command, 100000};
      ASSERT_TRUE(clean.unit->GetStatus("", clean.unit->status.replyText, false));
      whole = clean.unit->status.currentStatus;
      length = clean.cutter.rule.seen;
      ASSERT_GT(length, 10u);
    }
    for (size_t keep : CutPoints(length)) {
      SCOPED_TRACE(std::string(c.command) + " cut after " + std::to_string(keep) + " bytes");
      FaultBench b;
      b.cutter.rule = {c.command, keep};
      b.port.failuresLeft = 20;  // the cut reader's time-outs must not use up the others' budget
      b.unit->ShowBusy();
      EXPECT_FALSE(b.unit->GetStatus("", b.unit->status.replyText, true));
      EXPECT_EQ(b.unit->status.partialMask, c.bit);
      EXPECT_FALSE(b.op.busyVisible);
      ASSERT_EQ(b.op.boxes.size(), 1u);
      EXPECT_EQ(b.op.boxes[0].icon, MbIcon::Exclamation);
      const UnitStatus& s = b.unit->status.currentStatus;
      // The cut reply's reader left its fields fresh; the others read what a whole read does.
      EXPECT_EQ(s.UnitId, c.bit == 1 ? -1 : whole.UnitId);
      EXPECT_EQ(s.Address, c.bit == 2 ? -1 : whole.Address);
      EXPECT_EQ(s.T7V, c.bit == 4 ? std::string() : whole.T7V.str());
      EXPECT_EQ(s.IIFChannel, c.bit == 16 ? -1 : whole.IIFChannel);
      EXPECT_EQ(s.BaudRate, c.bit == 8 ? -1 : whole.BaudRate);
      EXPECT_EQ(faults::FileProblem(b.CurrentFile()), "");
    }
  }
}

}  // namespace
