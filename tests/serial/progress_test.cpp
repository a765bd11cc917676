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
  busy.Step("before");  // nothing is shown: not seen
  busy.Ended();         // nothing to hide
  EXPECT_EQ(op.busyHides, 0);
  busy.Shown();
  busy.Shown();
  EXPECT_EQ(op.busyShows, 1);
  EXPECT_TRUE(shown && busy.Showing());
  busy.Step("Getting status", 40);
  busy.Ended();
  busy.Ended();
  busy.Step("after");
  EXPECT_EQ(op.busyHides, 1);
  EXPECT_FALSE(shown);
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
  b.sim().faults.hung = true;
  b.unit->ShowBusy();
  char message[200] = "";
  EXPECT_TRUE(b.unit->BreakReset(message));
  ASSERT_GE(progress.events.size(), 3u);
  EXPECT_EQ(progress.events[0], "shown");
  EXPECT_EQ(progress.events[1], "Sending comms break");
  EXPECT_EQ(progress.events.back(), "Waiting for Transponder to reboot");

  // A failed comms check ends the progress before the operator is told.
  b.sim().faults.hung = false;
  b.sim().faults.silent = true;
  progress.events.clear();
  EXPECT_FALSE(b.unit->CheckComms(3));
  EXPECT_EQ(progress.events, (std::vector<std::string>{"Checking for valid comms", "ended"}));
  EXPECT_FALSE(progress.Showing());
  EXPECT_EQ(b.op.busyShows + b.op.busyHides, 0);
  EXPECT_TRUE(b.op.busyCaptions.empty());
}

}  // namespace
