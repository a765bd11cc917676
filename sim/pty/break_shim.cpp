// vt-break-shim.so: preloaded into a program that drives a pseudo-terminal as its serial port
// (LD_PRELOAD), so that the program's breaks reach vt-pty-unit. A pseudo-terminal ignores a
// break; this shim passes every ioctl on as it is and, when the device is the one named by
// VT_BREAK_TTY, also writes '1' (break on) or '0' (break off) to the FIFO named by
// VT_BREAK_FIFO. tcsendbreak's timed break gives both.
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
bool IsWatchedTty(int fd) {
  const char* want = std::getenv("VT_BREAK_TTY");
  if (!want || !*want) return false;
  char link[64], target[PATH_MAX];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, target, sizeof target - 1);
  if (n <= 0) return false;
  target[n] = '\0';
  return std::strcmp(target, want) == 0;
}

void Report(const char* events) {
  const char* fifo = std::getenv("VT_BREAK_FIFO");
  if (!fifo) return;
  int fd = open(fifo, O_WRONLY | O_NONBLOCK);
  if (fd < 0) return;
  ssize_t w = write(fd, events, std::strlen(events));
  (void)w;
  close(fd);
}
}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
  using Real = int (*)(int, unsigned long, void*);
  static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "ioctl"));
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  const bool isBreak =
      request == TIOCSBRK || request == TIOCCBRK || ((request == TCSBRK || request == TCSBRKP) && arg == nullptr);
  if (isBreak && IsWatchedTty(fd)) {
    // On before the device call, off after it, so the far end sees the break's whole length.
    if (request == TIOCCBRK) {
      int r = real(fd, request, arg);
      Report("0");
      return r;
    }
    Report("1");
    int r = real(fd, request, arg);
    if (request != TIOCSBRK) Report("0");
    return r;
  }
  return real(fd, request, arg);
}
