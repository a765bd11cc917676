// How an operation's progress reaches the operator: the busy window binding, and a unit bound to
// another progress, which then hears every step and leaves the busy window alone.
#include <gtest/gtest.h>

#include "platform/progress.h"
#include "tests/support/test_bench.h"

namespace {

TEST(BusyWindowProgress, ShowsOnceTakesStepsOnlyWhileShownAndHidesOnce) {
  ScriptedOperator op;
  bool shown = false;
  BusyWindowProgress busy(op, shown);
  busy.Step("before"), busy.Ended();  // nothing shown: not seen, nothing to hide
  busy.Shown(), busy.Shown();
  EXPECT_TRUE(op.busyShows == 1 && shown && busy.Showing());
  busy.Step("Getting status", 40), busy.Ended(), busy.Ended(), busy.Step("after");
  EXPECT_TRUE(op.busyHides == 1 && !shown);
  EXPECT_EQ(op.busyCaptions, std::vector<std::string>{"Getting status"});
}

struct RecordedProgress : IProgress {
  void Shown() override { showing = true, events.push_back("shown"); }
  void Step(const std::string& caption, int) override { events.push_back(caption); }
  void Ended() override { showing = false, events.push_back("ended"); }
  bool Showing() const override { return showing; }
  bool showing = false;
  std::vector<std::string> events;
};

TEST(BoundProgress, HearsEveryStepOfAnOperationAndTheBusyWindowNone) {
  UnitOnBench b;
  RecordedProgress progress;
  b.unit->BindProgress(progress);
  b.sim().faults.silent = true;
  b.unit->ShowBusy();
  EXPECT_FALSE(b.unit->CheckComms(3));  // ends the progress before the operator is told
  EXPECT_EQ(progress.events, (std::vector<std::string>{"shown", "Checking for valid comms", "ended"}));
  EXPECT_EQ(b.op.busyShows + b.op.busyHides + b.op.busyCaptions.size(), 0u);
}

}  // namespace
