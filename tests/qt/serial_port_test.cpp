// Real ports through QSerialPort, on a pseudo-terminal: a device whose lock file names a
// program that still runs is left alone and reported as held by it.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>

#include "qt_serial_port.h"
#include "tests/support/test_bench.h"

TEST(QtSerialPorts, ADeviceLockedByARunningProgramIsNotOpened) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
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
#endif
