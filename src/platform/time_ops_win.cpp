// The time calls on Windows.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00  // Windows 10: the precise system time, high-resolution timers
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/time_ops.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace time_ops {

namespace {
// Counts per second of the performance counter; fixed at boot. 0 when there is none (never on
// Windows XP and later, but then the tick count serves).
uint64_t CounterFrequency() {
  static const uint64_t frequency = [] {
    LARGE_INTEGER f{};
    return ::QueryPerformanceFrequency(&f) ? static_cast<uint64_t>(f.QuadPart) : uint64_t{0};
  }();
  return frequency;
}

// One waitable timer per thread: high-resolution where the system has them (Windows 10 1803
// and later), an ordinary one (about 1 to 16 ms late) elsewhere; null when neither can be made.
HANDLE ThreadTimer() {
  struct Timer {
    HANDLE handle = nullptr;
    Timer() {
      handle = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
      if (!handle) handle = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }
    ~Timer() {
      if (handle) ::CloseHandle(handle);
    }
  };
  thread_local Timer timer;
  return timer.handle;
}

CivilTime FromSystemTime(const SYSTEMTIME& t) {
  CivilTime c;
  c.year = t.wYear;
  c.month = t.wMonth;
  c.day = t.wDay;
  c.hour = t.wHour;
  c.minute = t.wMinute;
  c.second = t.wSecond > 59 ? 59 : t.wSecond;
  return c;
}

SYSTEMTIME SystemUtcNow() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  SYSTEMTIME utc{};
  ::FileTimeToSystemTime(&now, &utc);
  return utc;
}
}  // namespace

uint64_t MonotonicUs() {
  const uint64_t frequency = CounterFrequency();
  if (frequency == 0) return ::GetTickCount64() * 1000u;
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  const uint64_t c = static_cast<uint64_t>(counter.QuadPart);
  // Whole seconds and the rest apart, so that the product cannot overflow.
  return c / frequency * 1'000'000u + c % frequency * 1'000'000u / frequency;
}

void SleepUntilMonotonicUs(uint64_t t) {
  for (;;) {
    const uint64_t now = MonotonicUs();
    if (now >= t) return;
    const uint64_t remaining = t - now;
    HANDLE timer = ThreadTimer();
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>(remaining * 10);  // relative, in 100 ns units
    if (timer && ::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
      ::WaitForSingleObject(timer, INFINITE);
    } else {
      // Sleep counts whole milliseconds and may end a little early; the loop sleeps the rest.
      ::Sleep(static_cast<DWORD>(remaining / 1000 + 1));
    }
  }
}

CivilTime UtcNow() { return FromSystemTime(SystemUtcNow()); }

CivilTime LocalNow() {
  SYSTEMTIME utc = SystemUtcNow();
  SYSTEMTIME local{};
  // The time zone's rules for that very moment, summer time included.
  if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) ::GetLocalTime(&local);
  return FromSystemTime(local);
}

CivilTime LocalAt(int64_t unixSeconds) {
  // 100 ns steps since 1601.
  const uint64_t ticks = static_cast<uint64_t>(unixSeconds + 11644473600LL) * 10000000ULL;
  FILETIME ft{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc{}, local{};
  ::FileTimeToSystemTime(&ft, &utc);
  if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  return FromSystemTime(local);
}

}  // namespace time_ops
