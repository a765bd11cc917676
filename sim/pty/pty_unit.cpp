// vt-pty-unit: the simulated unit served on a pseudo-terminal, in real time, so that a program
// that knows only real serial ports (velmoor-cli.exe under Wine, through a COM link in its
// prefix) can talk to it.
//
//   vt-pty-unit --link PATH [--breaks FIFO] [--log FILE] [--seconds N]
//
// PATH becomes a symbolic link to the pseudo-terminal's device. The line rate is the one the
// program set on the pseudo-terminal (its settings are shared with this end), so a program
// that does not follow the unit's rate switch gets garbled bytes, as on a real line. A
// pseudo-terminal carries no break: vt-break-shim.so, preloaded into the program, reports
// each break on and off through FIFO as '1' and '0'. The log gets every line the unit
// received with the line rate at that moment. Ends on SIGTERM or after N seconds (600).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/clock.h"
#include "sim/sim_bench.h"
#include "sim/sim_line.h"
#include "sim/sim_unit.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

uint32_t BaudOf(speed_t s) {
  switch (s) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
  }
}

struct Options {
  std::string link, breaks, log;
  int seconds = 600;
};

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) return false;
    std::string v = argv[++i];
    if (a == "--link") o.link = v;
    else if (a == "--breaks") o.breaks = v;
    else if (a == "--log") o.log = v;
    else if (a == "--seconds") o.seconds = std::atoi(v.c_str());
    else return false;
  }
  return !o.link.empty() && o.seconds > 0;
}

class PtyUnit {
 public:
  PtyUnit(int master, const Options& o) : master_(master), line_(clock_), unit_(line_) {
    InstallAllCommands(unit_);
    unit_.state.modelName = "QRN";
    if (!o.log.empty()) log_.open(o.log, std::ios::app);
  }

  uint32_t PtyBaud() const {
    termios t{};
    if (tcgetattr(master_, &t) != 0) return 9600;
    uint32_t b = BaudOf(cfgetospeed(&t));
    return b ? b : 9600;
  }

  // Takes everything the program wrote so far onto the line.
  void Drain() {
    char buf[512];
    for (;;) {
      ssize_t n = read(master_, buf, sizeof buf);
      if (n <= 0) return;  // EAGAIN, or EIO while the program has the device closed
      line_.TerminalWrite(buf, static_cast<size_t>(n), PtyBaud());
    }
  }

  void OnBreakEvent(char c) {
    Drain();  // what was written before the break goes first
    if (c == '1') {
      breakStartUs_ = clock_.NowUs();
    } else if (c == '0' && breakStartUs_) {
      line_.Break(breakStartUs_, clock_.NowUs());
      breakStartUs_ = 0;
      Log("<break>");
    }
  }

  // Delivers what is due both ways; returns the milliseconds until something is next due.
  int Pump() {
    line_.Advance();
    while (logged_ < unit_.received.size()) Log(unit_.received[logged_++]);
    std::string out;
    uint8_t b;
    const uint32_t baud = PtyBaud();
    while (line_.TakeArrived(b, baud)) out.push_back(static_cast<char>(b));
    if (!out.empty() && write(master_, out.data(), out.size()) < 0 && errno != EAGAIN) {
      // Nobody has the device open: the bytes are lost, as on an unconnected line.
    }
    const uint64_t next = line_.NextArrivalUs(), now = clock_.NowUs();
    if (next == UINT64_MAX) return 50;
    return next <= now ? 0 : static_cast<int>(std::min<uint64_t>(50, (next - now + 999) / 1000));
  }

 private:
  void Log(const std::string& what) {
    if (log_) log_ << PtyBaud() << " " << what << "\n" << std::flush;
  }

  int master_;
  SteadyClock clock_;
  SimLine line_;
  SimUnit unit_;
  std::ofstream log_;
  size_t logged_ = 0;
  uint64_t breakStartUs_ = 0;
};

// The pseudo-terminal the program opens through the link: its master end, and the slave end
// this program keeps open too, so the line stays up between the program's opens. False (told)
// when it cannot be made.
bool OpenPseudoTerminal(const Options& o, int& master, int& keep, std::string& slave) {
  master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("pseudo-terminal");
    return false;
  }
  slave = ptsname(master);
  keep = open(slave.c_str(), O_RDWR | O_NOCTTY);
  termios t{};
  if (keep < 0 || tcgetattr(keep, &t) != 0) {
    std::perror(slave.c_str());
    return false;
  }
  cfmakeraw(&t);
  cfsetspeed(&t, B9600);
  tcsetattr(keep, TCSANOW, &t);
  unlink(o.link.c_str());
  if (symlink(slave.c_str(), o.link.c_str()) != 0) {
    std::perror(o.link.c_str());
    return false;
  }
  return true;
}

// The FIFO the breaks come through: read here, and held open for writing too, so there is no
// end of file between its writers. False (told) when it cannot be made.
bool OpenBreaks(const std::string& path, int& breaks, int& breaksKeep) {
  unlink(path.c_str());
  if (mkfifo(path.c_str(), 0600) != 0) {
    std::perror(path.c_str());
    return false;
  }
  breaks = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  breaksKeep = open(path.c_str(), O_WRONLY | O_NONBLOCK);
  return true;
}

// Serves the line until a signal or the time runs out.
void Serve(PtyUnit& unit, int master, int breaks, int seconds) {
  SteadyClock wall;
  const uint64_t endUs = wall.NowUs() + static_cast<uint64_t>(seconds) * 1'000'000;
  int wait = 0;
  while (!g_stop && wall.NowUs() < endUs) {
    pollfd fds[2] = {{master, POLLIN, 0}, {breaks, POLLIN, 0}};
    poll(fds, breaks >= 0 ? 2 : 1, wait);
    if (breaks >= 0 && (fds[1].revents & POLLIN)) {
      char c;
      while (read(breaks, &c, 1) == 1) unit.OnBreakEvent(c);
    }
    unit.Drain();
    wait = unit.Pump();
    // POLLHUP while the program has the device closed would spin: look again after a while.
    if (fds[0].revents & POLLHUP) wait = std::max(wait, 5);
  }
}
}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, o)) {
    std::fprintf(stderr, "usage: vt-pty-unit --link PATH [--breaks FIFO] [--log FILE] [--seconds N]\n");
    return 2;
  }
  int master = -1, keep = -1;
  std::string slave;
  if (!OpenPseudoTerminal(o, master, keep, slave)) return 3;
  int breaks = -1, breaksKeep = -1;
  if (!o.breaks.empty() && !OpenBreaks(o.breaks, breaks, breaksKeep)) return 3;
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGPIPE, SIG_IGN);
  std::printf("%s\n", slave.c_str());
  std::fflush(stdout);

  PtyUnit unit(master, o);
  Serve(unit, master, breaks, o.seconds);
  unlink(o.link.c_str());
  if (!o.breaks.empty()) unlink(o.breaks.c_str());
  if (breaksKeep >= 0) close(breaksKeep);
  close(keep);
  close(master);
  return 0;
}
