// The time calls that differ between platforms: the monotonic clock, an absolute sleep on it,
// and the wall clock in UTC and local time. time_ops_posix.cpp and time_ops_win.cpp implement
// it; CMake builds the one for the platform.
#pragma once
#include <cstdint>

#include "platform/date_time.h"

namespace time_ops {

// Microseconds since an arbitrary start; never goes back, does not follow changes of the
// wall clock.
uint64_t MonotonicUs();
// Sleeps until MonotonicUs() >= t (at once when it already is): one sleep to the deadline,
// not steps.
void SleepUntilMonotonicUs(uint64_t t);

// The wall clock now, to the whole second (the fraction is dropped).
CivilTime UtcNow();
CivilTime LocalNow();
// The local civil time of a moment given in whole seconds since 1970 (UTC).
CivilTime LocalAt(int64_t unixSeconds);

}  // namespace time_ops
