// The unit going silent, and the port being pulled out, at every step of a status read and a
// program load. Whatever step it happens at, the action ends, the busy window
// is gone, the operator is told, success is never claimed for what the unit did not do, the
// status files stay sound, and once the unit is back the next action works.
#include <gtest/gtest.h>

#include "fault_bench.h"
#include "firmware/bootload_action.h"
#include "firmware/srecord_image.h"
#include "tools/sample_programs.h"

namespace {

using faults::FaultBench;

enum class Fault { Dies, Unplugged };
const char* Name(Fault f) { return f == Fault::Dies ? "unit dies" : "port pulled out"; }

// At the chosen line the unit dies (from then on nothing answers, not even the bootloader), or
// the port is pulled out (reads fail and it will not open again).
void Inject(FaultBench& b, Fault fault, int line) {
  b.tap.atLine = line;
  if (fault == Fault::Dies) b.tap.action = [&b] { b.sim().faults.dead = true; };
  else b.tap.action = [&b] { b.bench.line().unplugged = true; };
}

// ---- status read ----

// The readers' bits of the failure mask, in the order their commands go out (the status
// tests pin the order).
const int32_t kBitsInOrder[] = {1, 2, 4, 16, 8};

TEST(SilentUnit, StatusReadStoppedAtEachStep) {
  UnitStatus whole;
  {
    FaultBench clean;
    ASSERT_TRUE(ReadStatus(*clean.unit, true));
    whole = clean.unit->status.currentStatus;
    ASSERT_EQ(clean.tap.lines, 5);
  }
  for (Fault fault : {Fault::Dies, Fault::Unplugged}) {
    for (int line = 1; line <= 5; ++line) {
      SCOPED_TRACE(std::string(Name(fault)) + " at line " + std::to_string(line));
      FaultBench b;
      Inject(b, fault, line);
      b.unit->ShowBusy();
      EXPECT_FALSE(ReadStatus(*b.unit, true));

      // Exactly the readers whose command was answered count as read.
      int32_t mask = 0;
      for (int i = line - 1; i < 5; ++i) mask |= kBitsInOrder[i];
      faults::ExpectBrokenRead(b, mask, whole);

      // The unit comes back (plugged in, restarted): the next action's read is whole.
      b.bench.line().unplugged = false;
      b.tap.atLine = 0;
      b.sim().faults.dead = false;
      b.op.boxes.clear();
      EXPECT_TRUE(b.unit->CheckComms(3));
      EXPECT_TRUE(ReadStatus(*b.unit, true));
      EXPECT_EQ(b.unit->status.currentStatus.UnitId, 0x1A2B3C);
      EXPECT_TRUE(b.op.boxes.empty());
    }
  }
}

// ---- program load ----

// A program load of a small program of ten data records, the operator going on after the
// first error prompts and then giving up.
struct LoadRun {
  explicit LoadRun(FaultBench& b) {
    SampleProgramSpec spec = SmallSampleProgram();
    spec.dataRecords = 10;
    const std::string path = (b.root / "small.a07").string();
    WriteSampleProgram(path, spec);
    b.op.files.push_back(path);
    b.op.answers.assign(3, MbAnswer::Yes);  // go on after the first error prompts, then give up
    b.op.answers.resize(30, MbAnswer::No);
    b.unit->ShowBusy();
    pane = BootloadNewProgram(b.unit->loader).pane;
    ran = !pane.empty();
    b.unit->HideBusy();
  }
  bool ran = false;
  std::string pane;
};

TEST(SilentUnit, ProgramLoadStoppedAtEachStep) {
  int total = 0;
  {
    FaultBench clean;
    LoadRun run(clean);
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
      LoadRun run(b);

      EXPECT_FALSE(b.op.busyVisible);
      EXPECT_FALSE(b.op.progressVisible);
      EXPECT_FALSE(b.unit->ProgramImage().isOpen);
      // Complete only for a unit that took the whole program and came back.
      if (run.pane.rfind("Programming complete", 0) == 0) {
        EXPECT_EQ(b.sim().state.flash.loadsCompleted, 1);
      } else {
        EXPECT_TRUE(b.Warned());
        if (run.ran) {
          EXPECT_EQ(run.pane, "Programming error!!");
        }
      }
      if (fault == Fault::Dies) continue;
      // Plugged back in (the unit restarted meanwhile): the next action opens the port at
      // 9600 bit/s, as the unit's program talks, not at the load's 38400, and is answered at once.
      b.bench.line().unplugged = false;
      b.tap.atLine = 0;
      b.sim().StartApplication(b.sim().nowUs());
      const int breaks = b.sim().breaks;
      EXPECT_TRUE(ReadStatus(*b.unit, true));
      EXPECT_EQ(b.unit->port.lineSettings.baud, 9600u);
      EXPECT_EQ(b.sim().breaks, breaks) << "answered without a comms-break reset";
    }
  }
}

}  // namespace
