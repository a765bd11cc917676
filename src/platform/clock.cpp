#include "platform/clock.h"

#include <chrono>
#include <thread>

void Delay(IClock& clock, uint32_t ms) {
  const uint32_t start = clock.Ticks();
  const uint32_t target = start + ms;
  // Lets the ticks still to go pass, in steps of at most the clock's longest step (1 ms on
  // the real clock); the loops below look at the counter again after each.
  auto step = [&clock](uint32_t remaining) {
    uint64_t us = static_cast<uint64_t>(remaining ? remaining : 1) * 1000;
    if (us > clock.MaxDelayStepUs()) us = clock.MaxDelayStepUs();
    clock.SleepUntilUs(clock.NowUs() + us);
  };
  if (target < start) {
    // The sum wrapped: first wait for the counter to wrap too.
    for (uint32_t now = clock.Ticks(); now >= start; now = clock.Ticks()) step(UINT32_MAX - now + 1);
  }
  for (uint32_t now = clock.Ticks(); now < target; now = clock.Ticks()) {
    if (target >= start && now < start) break;  // the counter wrapped past the target
    step(target - now);
  }
}

uint64_t SteadyClock::NowUs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void SteadyClock::SleepUntilUs(uint64_t t) {
  uint64_t now = NowUs();
  if (t <= now) return;
  std::this_thread::sleep_for(std::chrono::microseconds(t - now));
}
