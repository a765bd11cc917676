#include "platform/clock.h"

#include "platform/time_ops.h"

void Delay(IClock& clock, uint32_t ms) {
  const uint32_t start = clock.Ticks();
  uint64_t deadline = clock.NowUs() + uint64_t{ms} * 1000;
  // The counter moves on by one every 1000 us of the clock, so at the deadline it has moved on
  // by ms at least. The counter is still the judge: should it lag (a clock whose counter is
  // kept apart from its time), each missing tick is slept for again. The difference is taken
  // modulo 2^32, so the wrap of the counter changes nothing.
  for (;;) {
    clock.SleepUntilUs(deadline);
    const uint32_t moved = clock.Ticks() - start;
    if (moved >= ms) return;
    deadline = clock.NowUs() + uint64_t{ms - moved} * 1000;
  }
}

uint64_t SteadyClock::NowUs() { return time_ops::MonotonicUs(); }

void SteadyClock::SleepUntilUs(uint64_t t) { time_ops::SleepUntilMonotonicUs(t); }
