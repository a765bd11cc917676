// Whole seconds of this process's CPU time (user and system) and of a steady wall clock, for the
// benchmarks that set a wait's cost against the time it lasted. Linux only, as those benchmarks.
#pragma once
#include <sys/resource.h>

#include <chrono>

inline double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline double WallSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}
