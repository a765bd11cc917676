// Virtual time for tests and benchmarks: sleeping moves the clock on at once, so a 30-probe
// reset or a whole quick set runs in milliseconds and its timing can be asserted exactly.
#pragma once
#include <cstdint>

#include "platform/clock.h"

class VirtualClock : public IClock {
 public:
  uint64_t NowUs() override { return nowUs_; }
  void SleepUntilUs(uint64_t t) override {
    if (t > nowUs_) nowUs_ = t;
  }
  void AdvanceMs(uint64_t ms) { nowUs_ += ms * 1000; }
  uint64_t NowMs() const { return nowUs_ / 1000; }

 private:
  uint64_t nowUs_ = 0;
};
