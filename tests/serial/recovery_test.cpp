// The comms-break reset and the watchdog restart against the simulated unit.
#include <gtest/gtest.h>

#include "tests/support/test_bench.h"

namespace {

TEST(BreakReset, BringsAHungUnitBack) {
  UnitOnBench b;
  b.sim().faults.hung = true;
  b.unit->ShowBusy();
  char message[200] = "";
  EXPECT_TRUE(b.unit->BreakReset(message));
  EXPECT_STREQ(message, "Comms break reset completed correctly");
  EXPECT_GE(b.sim().breaks, 1);
  EXPECT_EQ(b.unit->port.failuresLeft, 3);
  EXPECT_EQ(b.op.busyCaptions.front(), "Sending comms break");
  EXPECT_EQ(b.op.busyCaptions.back(), "Waiting for Transponder to reboot");
  EXPECT_EQ(b.sim().mode(), SimUnit::Mode::Application);
  EXPECT_EQ(b.unit->port.lineSettings.baud, 9600u);
}

TEST(BreakReset, UnitThatAnswersAtTheThirtiethProbeCountsAsReset) {
  UnitOnBench b;
  b.sim().bootMs = 0;
  b.sim().faults.probesBeforeReady = 30;
  char message[200] = "";
  EXPECT_TRUE(b.unit->BreakReset(message));
  EXPECT_EQ(Count(b.wire(), "#DASP,0\r\n"), 30u);
  EXPECT_STREQ(message, "Comms break reset completed correctly");
}

TEST(ResetWatchdog, WithoutTheFlagWaitsForTheApplication) {
  UnitOnBench b;
  b.unit->ShowBusy();
  EXPECT_TRUE(b.unit->ResetWatchdog(false));
  EXPECT_EQ(b.op.busyCaptions.front(), "Resetting watchdog timer");
  EXPECT_GE(Count(b.wire(), "#DASP,0\r\n"), 1u);
  EXPECT_EQ(b.sim().mode(), SimUnit::Mode::Application);
  char reply[1000];
  EXPECT_TRUE(b.unit->Exchange("#RRTC", reply));
}

}  // namespace
