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
  uint32_t tickBase = 0;  // added to the ticks, so tests can start near the wrap
};

// Waits until the tick counter has moved on by ms from where it stood, across its 32-bit wrap
// too. One sleep to the deadline (ms from now on the clock's own time), then one look at the
// counter; never returns early by the counter, never spins.
void Delay(IClock& clock, uint32_t ms);

class SteadyClock : public IClock {
 public:
  uint64_t NowUs() override;
  void SleepUntilUs(uint64_t t) override;  // an absolute sleep on the monotonic clock
};
