// The unit going silent, and the port being pulled out, at every step of a status read and a
// program load. Whatever step it happens at, the action ends, the busy window
// is gone, the operator is told, success is never claimed for what the unit did not do, the
// status files stay sound, and once the unit is back the next action works.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fault_bench.h"
#include "firmware/bootload_action.h"
#include "firmware/srecord_image.h"
#include "tools/sample_programs.h"

namespace {

using faults::FaultBench;

enum class Fault { Dies, Unplugged };
const char* Name(Fault f) { return f == Fault::Dies ? "unit dies" : "port pulled out"; }

void Inject(FaultBench& b, Fault fault, int line) {
  if (fault == Fault::Dies) b.DieAtLine(line);
  else b.UnplugAtLine(line);
}

// ---- status read ----

// The reader of each status command and its bit of the failure mask.
struct Reader {
  const char* command;
  int32_t bit;
};
const Reader kReaders[] = {{"#HWST", 1}, {"#TPST", 2}, {"#FVFV", 4}, {"#INFO", 16}, {"#STTX", 8}};

// The failure mask when the lines before the fault were answered and none after: a reader
// fails when its command is not among the answered ones.
int32_t MaskFor(const std::vector<std::string>& cleanOrder, int answeredLines) {
  int32_t mask = 0;
  for (const Reader& r : kReaders) {
    const auto at = std::find(cleanOrder.begin(), cleanOrder.end(), r.command);
    if (at - cleanOrder.begin() >= answeredLines) mask |= r.bit;
  }
  return mask;
}

TEST(SilentUnit, StatusReadStoppedAtEachStep) {
  int total = 0;
  std::vector<std::string> cleanOrder;
  UnitStatus whole;
  {
    FaultBench clean;
    ASSERT_TRUE(clean.unit->GetStatus("", clean.unit->status.replyText, true));
    whole = clean.unit->status.currentStatus;
    total = clean.tap.lines;
    cleanOrder = clean.sim().received;
    ASSERT_EQ(total, 5);
  }
  for (Fault fault : {Fault::Dies, Fault::Unplugged}) {
    for (int line = 1; line <= total; ++line) {
      SCOPED_TRACE(std::string(Name(fault)) + " at line " + std::to_string(line));
      FaultBench b;
      Inject(b, fault, line);
      b.unit->ShowBusy();
      EXPECT_FALSE(b.unit->GetStatus("", b.unit->status.replyText, true));

      // Exactly the readers whose command was answered count as read.
      faults::ExpectBrokenRead(b, MaskFor(cleanOrder, line - 1), whole);

      // The unit comes back (plugged in, restarted): the next action's read is whole.
      b.Replug();
      b.sim().faults.dead = false;
      b.op.boxes.clear();
      EXPECT_TRUE(b.unit->CheckComms(3));
      EXPECT_TRUE(b.unit->GetStatus("", b.unit->status.replyText, true));
      EXPECT_EQ(b.unit->status.currentStatus.UnitId, 0x1A2B3C);
      EXPECT_TRUE(b.op.boxes.empty());
    }
  }
}

// ---- program load ----

struct LoadRun {
  LoadRun(FaultBench& b, const std::string& path) {
    b.op.files.push_back(path);
    b.op.answers.assign(3, MbAnswer::Yes);  // go on after the first error prompts, then give up
    b.op.answers.resize(30, MbAnswer::No);
    b.unit->ShowBusy();
    ran = BootloadNewProgram(*b.unit, pane);
    b.unit->HideBusy();
  }
  bool ran = false;
  std::string pane;
};

std::string SmallProgram(const std::filesystem::path& folder) {
  SampleProgramSpec spec = SmallSampleProgram();
  spec.dataRecords = 10;
  const std::string path = (folder / "small.a07").string();
  WriteSampleProgram(path, spec);
  return path;
}

TEST(SilentUnit, ProgramLoadStoppedAtEachStep) {
  int total = 0;
  {
    FaultBench clean;
    LoadRun run(clean, SmallProgram(clean.root));
    ASSERT_TRUE(run.ran);
    ASSERT_EQ(run.pane.rfind("Programming complete", 0), 0u) << run.pane;
    ASSERT_EQ(clean.sim().state.flash.loadsCompleted, 1);
    total = clean.tap.lines;
    ASSERT_GT(total, 20);
  }
  for (Fault fault : {Fault::Dies, Fault::Unplugged}) {
    for (int line = 1; line <= total; ++line) {
      SCOPED_TRACE(std::string(Name(fault)) + " at line " + std::to_string(line));
      FaultBench b;
      Inject(b, fault, line);
      LoadRun run(b, SmallProgram(b.root));

      EXPECT_FALSE(b.op.busyVisible);
      EXPECT_FALSE(b.op.progressVisible);
      EXPECT_FALSE(b.unit->ProgramImage().isOpen);
      const bool complete = run.pane.rfind("Programming complete", 0) == 0;
      // Complete only for a unit that took the whole program and came back.
      if (complete) {
        EXPECT_EQ(b.sim().state.flash.loadsCompleted, 1);
      }
      if (!complete) {
        EXPECT_TRUE(b.Warned());
        if (run.ran) {
          EXPECT_EQ(run.pane, "Programming error!!");
        }
      }
    }
  }
}

}  // namespace
