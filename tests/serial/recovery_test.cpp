// The comms-break reset and the watchdog restart against the simulated unit, in virtual time.
// (The restart without the bootloader flag ends every update: the update tests show the unit
// answering after it.)
#include <gtest/gtest.h>

#include "tests/support/test_bench.h"

namespace {

TEST(BreakReset, BringsAHungUnitBackAndWaitsUpToTheThirtiethProbe) {
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

  // A unit that answers only the thirtieth readiness probe after its restart counts as reset.
  b.sim().bootMs = 0;
  b.sim().faults.probesBeforeReady = 30;
  b.wire().clear();
  EXPECT_TRUE(b.unit->BreakReset(message));
  EXPECT_EQ(Count(b.wire(), "#DASP,0\r\n"), 30u);
}

TEST(ResetWatchdog, PausesOneSecondAfterTheRestartSequenceIsAnswered) {
  UnitOnBench b;
  b.sim().EnterBootloader(0);
  uint64_t answeredUs = 0;
  b.sim().HandleBoot([&](SimUnit& u, const std::string& line) -> std::optional<std::string> {
    if (line != "Wx7") return std::nullopt;
    answeredUs = u.Send("\r\n", u.nowUs() + 5000);  // the bootloader's answer to the sequence
    return std::string();
  });
  ASSERT_TRUE(b.unit->ResetWatchdog(true));
  ASSERT_GT(answeredUs, 0u);
  EXPECT_NEAR(static_cast<double>(b.clock.NowUs() - answeredUs) / 1000.0, 1000.0, 1.0);
}

}  // namespace
