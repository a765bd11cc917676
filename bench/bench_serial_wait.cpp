// Waiting costs no CPU, and an exchange costs only the protocol's own time, with the session
// log on as with it off.
// Real time, against the simulated unit. Prints ratios; not a test.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/clock.h"
#include "platform/session_log.h"
#include "sim/sim_bench.h"
#include "bench/bench_cpu.h"

int main() {
  SteadyClock clock;
  SimBench bench(clock, 1, 1);

  // 1. A 5-second Delay.
  double c0 = CpuSeconds(), w0 = WallSeconds();
  Delay(clock, 5000);
  double c1 = CpuSeconds(), w1 = WallSeconds();
  std::printf("delay 5 s:          wall %.3f s, cpu %.4f s, cpu/wall %.3f%% (target < 0.2%%)\n", w1 - w0, c1 - c0,
              100.0 * (c1 - c0) / (w1 - w0));

  // 2. A 5-second read with nothing arriving (the unit is silent; time-out 4 s lasts 5 to 6 s).
  bench.unit->faults.silent = true;
  char buf[1000] = "#RRTC";
  c0 = CpuSeconds(), w0 = WallSeconds();
  bench.port.SendLine(buf, 4, true);
  c1 = CpuSeconds(), w1 = WallSeconds();
  std::printf("read, nothing due:  wall %.3f s, cpu %.4f s, cpu/wall %.2f%% (target <= 0.45%%)\n", w1 - w0, c1 - c0,
              100.0 * (c1 - c0) / (w1 - w0));
  bench.unit->faults.silent = false;

  // 3. Exchange overhead: an immediate reply. The floor is the 500 ms pause, the two 20 ms
  // pauses around the purge, and the command's and the reply's bytes at 9600 bit/s.
  bench.unit->replyDelayMs = 0;
  const char* command = "#RRTC";
  const size_t replyBytes = std::strlen("#RRTC\rRTC 12:00:00 01/01/26\r\n");
  const double floorMs = 540.0 + (std::strlen(command) + 2 + replyBytes) * ByteTimeUs(9600) / 1000.0;
  auto measure = [&](double& mean, double& worst) {
    double sum = 0;
    worst = 0;
    const int runs = 10;
    for (int i = 0; i < runs; ++i) {
      char b[1000] = "";
      std::strcpy(b, command);
      double t0 = WallSeconds();
      Delay(clock, 500);  // as the exchange does before each attempt
      bench.port.SendLine(b, 3, true);
      double ms = (WallSeconds() - t0) * 1000;
      sum += ms;
      if (ms > worst) worst = ms;
    }
    mean = sum / runs;
  };
  double mean = 0, worst = 0;
  measure(mean, worst);
  std::printf(
      "exchange:           floor %.2f ms, mean %.2f ms, worst %.2f ms, ours %.2f ms (target < 5 ms), "
      "measured/floor %.4f (target 0.99 to 1.01)\n",
      floorMs, mean, worst, mean - floorMs, mean / floorMs);

  // 4. The same with the session log on: the exchange only queues its lines, so the ratio
  // must not move.
  const auto root = std::filesystem::temp_directory_path() / ("vt-bench-log-" + std::to_string(::getpid()));
  SessionLog::Start(DataPaths{root}, true, "bench_serial_wait");
  double meanLog = 0, worstLog = 0;
  measure(meanLog, worstLog);
  SessionLog::Stop();
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  std::printf(
      "exchange, log on:   floor %.2f ms, mean %.2f ms, worst %.2f ms, measured/floor %.4f, "
      "log on/log off %.4f (target < 1.005)\n",
      floorMs, meanLog, worstLog, meanLog / floorMs, meanLog / mean);
  return 0;
}
