// The pause the watchdog restart leaves the unit after its command sequence, in virtual time.
#include <gtest/gtest.h>

#include "tests/support/test_bench.h"

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
