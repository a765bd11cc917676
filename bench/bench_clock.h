// Wall and CPU time for the benchmarks that print real time.
#pragma once
#include <chrono>
#include <ctime>

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// This process's CPU time, ms: on a machine shared with other builds the wall time of a step
// includes the time it waited for a core; the CPU time shows what the step itself costs (a
// server's work, in its own processes, is not in it).
inline double CpuMs() { return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }
