// Delay sleeps once, to its deadline, and then trusts only the tick counter: a counter that
// lags the clock's time (or sits just before its wrap) makes it sleep on, never end early.
#include <gtest/gtest.h>

#include "sim/virtual_clock.h"

namespace {
// Virtual time that counts its sleeps, and whose counter can fall behind its time: on the
// first wake-up it is stallMs behind, and it catches up one tick per sleep after that.
class LaggingClock : public VirtualClock {
 public:
  uint32_t Ticks() override { return VirtualClock::Ticks() - lag; }
  void SleepUntilUs(uint64_t t) override {
    VirtualClock::SleepUntilUs(t);
    lag = ++sleeps == 1 ? stallMs : (lag > 0 ? lag - 1 : 0);
  }
  uint32_t stallMs = 0, lag = 0;
  int sleeps = 0;
};
}  // namespace

TEST(DelayDeadline, OneSleepToTheDeadlineAndNeverEarlyByTheCounter) {
  struct Case {
    uint32_t ms, stallMs, tickBase;
    int sleeps;          // how many sleeps Delay takes
    uint64_t elapsedUs;  // virtual time it lets pass
  } cases[] = {
      {5000, 0, 0, 1, 5'000'000},              // one sleep, not one per millisecond
      {100, 0, 0xFFFFFFFFu - 30, 1, 100'000},  // across the wrap
      {0, 0, 0, 1, 0},
      {10, 3, 0, 2, 13'000},  // the counter 3 behind at the deadline: slept on for it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.ms << " ms, stall " << c.stallMs);
    LaggingClock clock;
    clock.AdvanceMs(7);
    clock.VirtualClock::SleepUntilUs(clock.NowUs() + 300);  // start part-way through a millisecond
    clock.tickBase = c.tickBase;
    clock.stallMs = c.stallMs;
    const uint32_t startTicks = clock.Ticks();
    const uint64_t startUs = clock.NowUs();
    Delay(clock, c.ms);
    EXPECT_EQ(clock.sleeps, c.sleeps);
    EXPECT_EQ(clock.NowUs() - startUs, c.elapsedUs);
    EXPECT_GE(static_cast<uint32_t>(clock.Ticks() - startTicks), c.ms);
  }
}
