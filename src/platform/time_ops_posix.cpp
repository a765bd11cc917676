// The time calls on Linux and other POSIX systems.
#include <time.h>

#include <cerrno>

#include "platform/time_ops.h"

namespace time_ops {

namespace {
CivilTime FromTm(const struct tm& t) {
  CivilTime c;
  c.year = t.tm_year + 1900;
  c.month = t.tm_mon + 1;
  c.day = t.tm_mday;
  c.hour = t.tm_hour;
  c.minute = t.tm_min;
  c.second = t.tm_sec > 59 ? 59 : t.tm_sec;  // a leap second stays in its minute
  return c;
}
}  // namespace

uint64_t MonotonicUs() {
  struct timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1'000'000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

void SleepUntilMonotonicUs(uint64_t t) {
  struct timespec until {};
  until.tv_sec = static_cast<time_t>(t / 1'000'000u);
  until.tv_nsec = static_cast<long>(t % 1'000'000u) * 1000;
  // An absolute sleep on the same clock that MonotonicUs reads: a signal that interrupts it
  // just starts the same sleep again, and the wake-up can never come before the deadline.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

CivilTime UtcNow() {
  time_t now = time(nullptr);
  struct tm t {};
  gmtime_r(&now, &t);
  return FromTm(t);
}

CivilTime LocalNow() {
  time_t now = time(nullptr);
  struct tm t {};
  localtime_r(&now, &t);
  return FromTm(t);
}

CivilTime LocalAt(int64_t unixSeconds) {
  const time_t at = static_cast<time_t>(unixSeconds);
  struct tm t {};
  localtime_r(&at, &t);
  return FromTm(t);
}

}  // namespace time_ops
