// Real ports through QSerialPort, on a pseudo-terminal: a device whose lock file names a
// program that still runs is left alone and reported as held by it; a read waits on the port
// to its deadline and fails at once when the far end goes.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "platform/clock.h"

#include "qt_serial_port.h"
#include "serial/comm_port.h"
#include "tests/support/test_bench.h"

namespace {
// The master side of a new pseudo-terminal, its slave ready to open (-1 when there is none).
int NewPty() {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  return master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 ? master : -1;
}
}  // namespace

TEST(QtSerialPorts, ADeviceLockedByARunningProgramIsNotOpened) {
  const int master = NewPty();
  ASSERT_GE(master, 0);
  const std::string device = ::ptsname(master);
  const auto dir = FreshTempDir("qtlock");
  std::filesystem::create_directories(dir / "ports");
  std::filesystem::create_directories(dir / "locks");
  std::filesystem::create_directories(dir / "proc" / "4242");
  std::filesystem::create_symlink(device, dir / "ports" / "COM1");
  std::ofstream(dir / "proc" / "4242" / "comm") << "minicom\n";
  const auto lock = dir / "locks" / LockFileName(device);
  std::ofstream(lock) << "      4242\n";
  QtSerialProvider provider(dir / "ports", LockPlaces{{dir / "locks"}, dir / "proc"});

  int error = 0;
  EXPECT_EQ(provider.OpenPort(1, error), nullptr);
  const PortOpenReport report = provider.LastOpenReport();
  EXPECT_EQ(report.device, device);
  EXPECT_EQ(report.reason, "locked by minicom (pid 4242): " + lock.string());
  EXPECT_EQ(report.remedy, "held by another program: minicom (pid 4242); close it and try again");
  EXPECT_TRUE(std::filesystem::exists(lock)) << "the other program's lock stays";

  // Once minicom has ended its lock is stale, and the port opens.
  std::filesystem::remove_all(dir / "proc" / "4242");
  auto port = provider.OpenPort(1, error);
  EXPECT_NE(port, nullptr) << provider.LastOpenReport().reason;
  port.reset();
  ::close(master);
  std::filesystem::remove_all(dir);
}

TEST(QtSerialPorts, ReadWaitsOnThePortUntilItsDeadlineAndFailsWhenTheFarEndGoes) {
  const int master = NewPty();
  ASSERT_GE(master, 0);
  const auto dir = FreshTempDir("qtread");
  std::filesystem::create_directories(dir / "ports");
  std::filesystem::create_symlink(::ptsname(master), dir / "ports" / "COM1");
  QtSerialProvider provider(dir / "ports", LockPlaces{{dir / "locks"}, dir / "proc"});
  int error = 0;
  auto port = provider.OpenPort(1, error);
  ASSERT_NE(port, nullptr) << provider.LastOpenReport().reason;
  SteadyClock clock;
  uint8_t data[64];
  size_t got = 0;

  // Nothing there: a deadline already passed only looks; a later one is waited for whole.
  EXPECT_EQ(port->Read(data, sizeof data, got, clock, 0), ReadResult::Nothing);
  const uint64_t start = clock.NowUs();
  EXPECT_EQ(port->Read(data, sizeof data, got, clock, start + 100'000), ReadResult::Nothing);
  EXPECT_GE(clock.NowUs(), start + 100'000);
  EXPECT_EQ(got, 0u);

  // What the far end wrote comes in, however many bytes a read takes.
  ASSERT_EQ(::write(master, "OK\r\n", 4), 4);
  std::string in;
  while (in.size() < 4 && port->Read(data, sizeof data, got, clock, clock.NowUs() + 2'000'000) == ReadResult::Bytes)
    in.append(reinterpret_cast<char*>(data), got);
  EXPECT_EQ(in, "OK\r\n");
  // Bytes that wait in the driver are taken by a read whose deadline has passed, no more than asked.
  ASSERT_EQ(::write(master, "ABC", 3), 3);
  Delay(clock, 100);
  EXPECT_EQ(port->Read(data, 2, got, clock, 0), ReadResult::Bytes);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), got), "AB");

  port.reset();

  // The far end closed under a reply that would be waited for 5 s: the reads fail at once from
  // then on, and the port takes the device for gone and closes instead of waiting them out.
  CCommPort comm(clock, provider);
  comm.portNumber = 1;
  ASSERT_TRUE(comm.Open(true));
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::close(master);
  });
  char reply[64] = "#RRTC";
  const uint64_t before = clock.NowUs();
  EXPECT_FALSE(comm.SendLine(reply, 4, true));
  closer.join();
  EXPECT_LT(clock.NowUs(), before + 4'000'000) << "not held to the time-out";
  EXPECT_FALSE(comm.isOpen);
  EXPECT_TRUE(comm.Unplugged());
  std::filesystem::remove_all(dir);
}
#endif
