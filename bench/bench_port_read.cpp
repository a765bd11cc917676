// A 5-second read of a silent port costs next to no CPU: the read waits once on the port's
// descriptor, to its deadline. Real time, through the machine's serial backend (Qt Serial
// Port) on a pseudo-terminal that nothing answers on. Beside it, the same read cut into 10 ms
// waits as the driver's one-byte reads did. Prints ratios; not a test.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/clock.h"
#include "qt_serial_port.h"
#include "serial/comm_port.h"
#include "sim/forwarding_device.h"
#include "bench/bench_cpu.h"

namespace {

// Each read waits at most 10 ms, as a one-byte read with the driver's 10 ms time-out did.
class SteppedDevice : public ForwardingDevice {
 public:
  using ForwardingDevice::ForwardingDevice;
  ReadResult Read(uint8_t* data, size_t n, size_t& got, IClock& clock, uint64_t deadlineUs) override {
    return ForwardingDevice::Read(data, n, got, clock, std::min(deadlineUs, clock.NowUs() + 10'000));
  }
};
class SteppedProvider : public ISerialProvider {
 public:
  explicit SteppedProvider(ISerialProvider& inner) : inner_(inner) {}
  std::unique_ptr<ISerialDevice> OpenPort(int comNumber, int& lastError) override {
    auto device = inner_.OpenPort(comNumber, lastError);
    return device ? std::make_unique<SteppedDevice>(std::move(device)) : nullptr;
  }
  std::vector<SerialPortInfo> ListPorts() override { return inner_.ListPorts(); }

 private:
  ISerialProvider& inner_;
};

struct Figure {
  double wall = 0, cpu = 0;
  double Percent() const { return 100.0 * cpu / wall; }
};

// "#RRTC" with a 4 s time-out, uncounted: the read lasts 5 s when nothing answers.
bool SilentRead(ISerialProvider& provider, Figure& f) {
  SteadyClock clock;
  CCommPort port(clock, provider);
  port.portNumber = 1;
  if (!port.Open(true)) {
    std::fprintf(stderr, "the pseudo-terminal did not open as COM1: %s\n", port.LastOpenReport().reason.c_str());
    return false;
  }
  char buf[CCommPort::kWorkBufferSize] = "#RRTC";
  const double c0 = CpuSeconds(), w0 = WallSeconds();
  const bool answered = port.SendLine(buf, 4, true);
  f.cpu = CpuSeconds() - c0;
  f.wall = WallSeconds() - w0;
  port.Close();
  return !answered;
}
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);  // Qt's serial ports want one
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    std::perror("posix_openpt");
    return 1;
  }
  const auto dir = std::filesystem::temp_directory_path() / ("vt-bench-port-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "ports");
  std::filesystem::create_symlink(::ptsname(master), dir / "ports" / "COM1");
  QtSerialProvider machine(dir / "ports");
  SteppedProvider stepped(machine);

  Figure now, before;
  const bool ok = SilentRead(machine, now) && SilentRead(stepped, before);
  ::close(master);
  std::filesystem::remove_all(dir);
  if (!ok) return 1;
  const double target = 0.05;
  std::printf("read 5 s, silent port:         wall %.3f s, cpu %.5f s, cpu/wall %.4f%% (target < %.2f%%), ratio %.3f\n",
              now.wall, now.cpu, now.Percent(), target, now.Percent() / target);
  std::printf("the same in 10 ms waits:       wall %.3f s, cpu %.5f s, cpu/wall %.4f%%, ratio to target %.2f\n",
              before.wall, before.cpu, before.Percent(), before.Percent() / target);
  return now.Percent() < target ? 0 : 1;
}
