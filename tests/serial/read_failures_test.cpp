// A device whose reads fail at once without saying it has gone: the port must not spin until
// the time-out, but take the device for vanished and open it afresh next time.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "serial/comm_port.h"
#include "sim/sim_line.h"
#include "sim/virtual_clock.h"

namespace {

// Each device it opens is a simulated port on a line with nothing at its far end, except
// that it fails every read at once (no time passes) until failingReads reads have failed, then
// sends "OK\n" byte by byte. A guard moves the clock on so that a port that never gives up
// still ends at its time-out.
struct FailingProvider : ISerialProvider {
  struct Device : SimSerialDevice {
    explicit Device(FailingProvider& p) : SimSerialDevice(p.line), owner(p) {}
    ReadResult Read(uint8_t* data, size_t n, size_t& got, IClock&, uint64_t) override {
      got = 0;
      if (++owner.reads % 1000 == 0) owner.clock.AdvanceMs(1000);
      if (owner.reads <= owner.failingReads) return ReadResult::Error;
      data[0] = static_cast<uint8_t>("OK\n"[next++ % 3]);
      got = n > 0 ? 1 : 0;
      return ReadResult::Bytes;
    }
    int LastError() const override { return 31; }
    FailingProvider& owner;
    size_t next = 0;
  };

  explicit FailingProvider(VirtualClock& c) : clock(c), line(c) {}
  std::unique_ptr<ISerialDevice> OpenPort(int, int&) override {
    ++opens;
    return std::make_unique<Device>(*this);
  }
  std::vector<SerialPortInfo> ListPorts() override { return {}; }
  VirtualClock& clock;
  SimLine line;
  int failingReads = 0;
  int reads = 0;
  int opens = 0;
};

struct ReadFailures : ::testing::Test {
  ReadFailures() { port.portNumber = 3; }
  VirtualClock clock;
  FailingProvider provider{clock};
  CCommPort port{clock, provider};
};

TEST_F(ReadFailures, DeviceFailingAtOnceIsTakenForGoneWithoutSpinning) {
  provider.failingReads = 1 << 30;
  char buf[64] = "#RRTC";
  EXPECT_FALSE(port.SendLine(buf, 5, false));
  EXPECT_LE(provider.reads, 20) << "no spinning until the time-out";
  EXPECT_FALSE(port.isOpen) << "closed like a vanished device";
  EXPECT_EQ(port.failuresLeft, 2) << "counted like a time-out";
  EXPECT_EQ(port.LastErrorText(), "Error reading 31");

  // A few failures in a row are not enough: the reply that follows is read, and the next
  // operation opened the port afresh.
  provider.reads = 0;
  provider.failingReads = 5;
  char again[64] = "#RRTC";
  EXPECT_TRUE(port.SendLine(again, 5, false));
  EXPECT_STREQ(again, "OK\n");
  EXPECT_EQ(provider.opens, 2);
}

// A port closed under a load at 38400 bit/s opens again as it was (an explicit Close starts
// afresh at 9600).
TEST_F(ReadFailures, PortClosedByFailingReadsReopensWithItsSettings) {
  ASSERT_TRUE(port.Open(true) && port.SetBaudFromText("Config(38400,8,N,1)"));
  provider.failingReads = 10;
  char buf[64] = "S0", again[64] = "S0";
  EXPECT_FALSE(port.SendLine(buf, 5, true));
  EXPECT_TRUE(port.SendLine(again, 5, true));  // reopened by a send, which alone would keep NULs
  EXPECT_EQ(provider.opens, 2);
  EXPECT_EQ(port.lineSettings.baud, 38400u);
  EXPECT_TRUE(port.lineSettings.stripNulls);
}

}  // namespace
