// Why a port will not open, who holds it, and the stable by-id names of adapters.
#include <gtest/gtest.h>

#include "platform/port_diagnosis.h"
#include "platform/port_names.h"
#include "tests/support/test_bench.h"

namespace {

TEST(PortDiagnosis, TheRemedyFollowsTheFacts) {
  const PortHolder minicom{4242, "minicom", {}};
  const struct {
    const char* name;
    PortFacts facts;
    const char* remedy;
  } cases[] = {
      {"unplugged", PortFacts{PortFailure::NotFound, "/dev/ttyUSB0", {}, false, "", true},
       "the device is not there: is the adapter plugged in?"},
      {"held", PortFacts{PortFailure::Permission, "/dev/ttyUSB0", {minicom}, false, "", true},
       "held by another program: minicom (pid 4242); close it and try again"},
      {"not in the group", PortFacts{PortFailure::Permission, "/dev/ttyUSB0", {}, true, "dialout", false},
       "this user is not in the 'dialout' group that owns /dev/ttyUSB0: run 'sudo usermod -aG dialout $USER', "
       "then log out and in again"},
      {"in the group, still denied", PortFacts{PortFailure::Permission, "/dev/ttyS0", {}, true, "dialout", true},
       "this user may not read and write /dev/ttyS0"},
      {"busy, nobody named", PortFacts{PortFailure::Busy, "/dev/ttyACM0", {}, false, "", true},
       "another program may have it open ('fuser /dev/ttyACM0'"},
      {"other", PortFacts{PortFailure::Other, "/dev/ttyS1", {}, false, "", true}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string remedy = PortRemedy(c.facts);
    EXPECT_EQ(remedy.rfind(c.remedy, 0), 0u) << remedy;
    EXPECT_EQ(remedy.empty(), *c.remedy == '\0');
  }
}

// A lock folder and a process list of our own: minicom runs as pid 4242, pid 5151 has ended.
TEST(PortDiagnosis, TheLockFileNamesTheProgramThatHoldsTheDeviceAlsoUnderItsByIdName) {
  const auto dir = FreshTempDir("lock");
  std::filesystem::create_directories(dir / "proc" / "4242");
  std::ofstream(dir / "proc" / "4242" / "comm") << "minicom\n";
  const LockPlaces places{{dir / "none", dir}, dir / "proc"};
  const int32_t binaryPid = 4242;
  const struct {
    const char* name;
    std::string content;
    int pid;  // 0: nobody holds the device
  } cases[] = {
      {"ascii, padded to ten", "      4242\n", 4242},
      {"ascii, with the program and host after it", "4242\nminicom\nbench\n", 4242},
      {"binary int", std::string(reinterpret_cast<const char*>(&binaryPid), 4), 4242},
      {"stale: the program has ended", "      5151\n", 0},
      {"no pid", "locked\n", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(dir / "LCK..ttyUSB7", std::ios::binary) << c.content;
    const auto holder = LockFileHolder("/dev/ttyUSB7", places);
    EXPECT_EQ(holder ? holder->pid : 0, c.pid);
    EXPECT_EQ(RefuseLockedDevice("/dev/ttyUSB7", places).has_value(), c.pid != 0);
  }
  EXPECT_FALSE(LockFileHolder("/dev/ttyUSB8", places).has_value()) << "no lock file";

  // A by-id link is locked under the name of the device it leads to.
  std::ofstream(dir / "ttyUSB3");
  std::filesystem::create_directories(dir / "by-id");
  const auto link = dir / "by-id" / "usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0";
  std::filesystem::create_symlink("../ttyUSB3", link);
  std::ofstream(dir / "LCK..ttyUSB3") << "      4242\n";
  const auto refusal = RefuseLockedDevice(link.string(), places);
  ASSERT_TRUE(refusal.has_value());
  EXPECT_EQ(refusal->reason, "locked by minicom (pid 4242): " + (dir / "LCK..ttyUSB3").string());
  EXPECT_EQ(refusal->remedy, "held by another program: minicom (pid 4242); close it and try again");
  // The stable by-id name of an adapter: its link, found from the device.
  EXPECT_EQ(ByIdLinkFor((dir / "ttyUSB3").string(), dir / "by-id"), link.string());
  EXPECT_EQ(ByIdLinkFor((dir / "proc").string(), dir / "by-id"), "");
  EXPECT_EQ(ByIdLinkFor((dir / "ttyUSB3").string(), dir / "no-such-folder"), "");

  // A file this process holds open is found among its open files.
  const auto held = dir / "device";
  std::ofstream keep(held);
  bool found = false;
  for (const auto& h : OpenFileHolders(held.string())) found |= h.pid == ::getpid();
  EXPECT_TRUE(found);
  std::filesystem::remove_all(dir);
}

// The lock file other serial programs look for: the device's path below /dev with each '/'
// made '_', so a pseudo-terminal /dev/pts/3 is LCK..pts_3, not LCK..3 or a path.
TEST(PortDiagnosis, TheLockFileNameOfADeviceInASubfolderOfDev) {
  EXPECT_EQ(LockFileName("/dev/ttyUSB0"), "LCK..ttyUSB0");
  EXPECT_EQ(LockFileName("/dev/pts/3"), "LCK..pts_3");
}

TEST(PortNames, TheOrderOfNumbering) {
  // Devices are numbered USB adapters first, then modems, then built-in ports.
  EXPECT_EQ(
      OrderSerialDevices({"/dev/ttyS1", "/dev/ttyACM0", "/dev/ttyUSB10", "/dev/rfcomm0", "/dev/ttyS0", "/dev/ttyUSB2"}),
      (std::vector<std::string>{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS1",
                                "/dev/rfcomm0"}));
}

}  // namespace
