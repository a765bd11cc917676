// The busy window while the unit is being talked to: a "Reset (Comms break)" of a hung
// simulated unit in real time (the unit's bootloader answers, its application never does, so
// the reset probes for 30 seconds). Prints how many frames a second the busy window's
// animation advanced and how much of one core the whole process used meanwhile.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <sys/resource.h>

#include "busy_dlg.h"
#include "qt_operator.h"
#include "sim/serial_side.h"
#include "sim/sim_bench.h"
#include "tester_app.h"
#include "tester_window.h"
#include "ui/tester_dlg.h"
#include "unit_worker.h"

namespace {
double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// What the reset showed: the busy window's frames while it was up, and the time and CPU taken.
struct Measured {
  long frames = 0;
  double busySeconds = 0;
  double wallSeconds = 0;
  double cpuSeconds = 0;
};

// Clicks "Reset (Comms break)" and samples the busy window every 100 ms until the action ends.
Measured MeasureReset(CTesterApp& app) {
  Measured m;
  QElapsedTimer busyClock;
  bool busySeen = false;
  QTimer sampler;
  sampler.setInterval(100);
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    if (CBusyDlg* busy = app.op().busyWindow()) {
      if (!busySeen) busyClock.start();
      busySeen = true;
      m.frames = busy->animation()->framesAdvanced();
      m.busySeconds = busyClock.elapsed() / 1000.0;
    }
  });
  QEventLoop loop;
  QObject::connect(&app.worker(), &UnitWorker::finished, &loop, &QEventLoop::quit);
  const double cpu0 = CpuSeconds();
  QElapsedTimer wall;
  wall.start();
  sampler.start();
  app.window().Click(ctl::kReset);
  loop.exec();
  m.wallSeconds = wall.elapsed() / 1000.0;
  m.cpuSeconds = CpuSeconds() - cpu0;
  sampler.stop();
  return m;
}

// Prints the figures against their targets; 1 when one is missed.
int Report(CTesterApp& app, const Measured& m) {
  const double fps = m.busySeconds > 0 ? m.frames / m.busySeconds : 0;
  const double cpuShare = m.wallSeconds > 0 ? 100.0 * m.cpuSeconds / m.wallSeconds : 0;
  std::printf("Reset (Comms break) of a hung simulated unit, real time\n");
  std::printf("  pane: %s\n", app.dlg().paneText.substr(0, 40).c_str());
  std::printf("  action time        %.1f s (busy window up %.1f s)\n", m.wallSeconds, m.busySeconds);
  std::printf("  animation          %ld frames, %.1f frames/s (target >= 10; ratio %.2f)\n", m.frames, fps, fps / 10.0);
  std::printf("  process CPU        %.2f s, %.2f%% of one core (target < 5%%; ratio %.2f)\n", m.cpuSeconds, cpuShare,
              cpuShare / 5.0);
  return fps < 10.0 || cpuShare >= 5.0 ? 1 : 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qapp(argc, argv);
  const auto root =
      std::filesystem::temp_directory_path() / ("vt-bench-busy-" + std::to_string(QCoreApplication::applicationPid()));
  AppOptions options;
  options.simulate = true;
  options.paths.root = root;
  options.noHistory = true;  // this PC's own history is not the benchmark's
  int status = 0;
  {
    CTesterApp app(options);  // real time: a steady clock
    app.Start();
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    app.worker().WaitIdle();
    if (app.dlg().unitPort != kSimulatedUnitPort) {
      std::printf("the search did not find the simulated unit\n");
      return 1;
    }
    // Hang the unit's application; its bootloader still answers a break.
    app.bench()->unit->faults.silent = true;
    status = Report(app, MeasureReset(app));
  }
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  return status;
}
