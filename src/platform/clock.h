// The millisecond tick counter and Delay. The real clock reads a steady clock and sleeps
// while it waits; the virtual clock (tests, benchmarks) moves time on at once.
#pragma once
#include <cstdint>

class IClock {
 public:
  virtual ~IClock() = default;
  // Microseconds since an arbitrary start; never goes back.
  virtual uint64_t NowUs() = 0;
  // Lets time pass until NowUs() >= t (the real clock sleeps, the virtual one jumps).
  virtual void SleepUntilUs(uint64_t t) = 0;
  // The 32-bit millisecond tick counter; it wraps after about 49.7 days.
  virtual uint32_t Ticks() { return static_cast<uint32_t>(NowUs() / 1000 + tickBase); }
  // The longest single sleep Delay takes before it looks at the counter again.
  virtual uint64_t MaxDelayStepUs() const { return UINT64_MAX; }
  uint32_t tickBase = 0;  // added to the ticks, so tests can start near the wrap
};

// Waits until the tick counter reaches start + ms. When that sum overflows 32 bits it
// first waits for the counter itself to wrap, then for the wrapped target. Never returns
// early, never spins: each wait step sleeps at most 1 ms of real time.
void Delay(IClock& clock, uint32_t ms);

class SteadyClock : public IClock {
 public:
  uint64_t NowUs() override;
  void SleepUntilUs(uint64_t t) override;
  uint64_t MaxDelayStepUs() const override { return 1000; }
};
