// A device whose reads fail at once without saying it has gone: the port must not spin until
// the time-out, but take the device for vanished and open it afresh next time.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "serial/comm_port.h"
#include "sim/virtual_clock.h"

namespace {

// Every read fails at once (no time passes) for the first failingReads reads, then the reply
// "OK\n" comes byte by byte. A guard moves the clock on so that a port that never gives up
// still ends at its time-out.
struct FailingDevice : ISerialDevice {
  FailingDevice(VirtualClock& c, int failing, int& r) : clock(c), failingReads(failing), reads(r) {}
  bool SetQueueSizes(uint32_t, uint32_t) override { return true; }
  bool GetLineSettings(LineSettings&) override { return true; }
  bool SetLineSettings(const LineSettings&) override { return true; }
  bool GetTimeouts(SerialTimeouts&) override { return true; }
  bool SetTimeouts(const SerialTimeouts&) override { return true; }
  bool Purge() override { return true; }
  bool Write(const char*, size_t) override { return true; }
  ReadResult ReadByte(uint8_t& b) override {
    if (++reads % 1000 == 0) clock.AdvanceMs(1000);
    if (reads <= failingReads) return ReadResult::Error;
    b = static_cast<uint8_t>(reply[next++ % reply.size()]);
    return ReadResult::Byte;
  }
  bool SetBreak(bool) override { return true; }
  void Close() override {}
  int LastError() const override { return 31; }

  VirtualClock& clock;
  int failingReads;
  int& reads;
  std::string reply = "OK\n";
  size_t next = 0;
};

struct FailingProvider : ISerialProvider {
  explicit FailingProvider(VirtualClock& c) : clock(c) {}
  std::unique_ptr<ISerialDevice> OpenPort(int, int&) override {
    ++opens;
    return std::make_unique<FailingDevice>(clock, failingReads, reads);
  }
  std::vector<SerialPortInfo> ListPorts() override { return {}; }
  VirtualClock& clock;
  int failingReads = 0;
  int reads = 0;
  int opens = 0;
};

TEST(ReadFailures, DeviceFailingAtOnceIsTakenForGoneWithoutSpinning) {
  VirtualClock clock;
  FailingProvider provider(clock);
  CCommPort port(clock, provider);
  port.portNumber = 3;

  provider.failingReads = 1 << 30;
  char buf[64] = "#RRTC";
  EXPECT_FALSE(port.SendLine(buf, 5, false));
  EXPECT_LE(provider.reads, 20) << "no spinning until the time-out";
  EXPECT_LT(clock.NowMs(), 1000u);
  EXPECT_FALSE(port.isOpen) << "closed like a vanished device";
  EXPECT_EQ(port.failuresLeft, 2) << "counted like a time-out";
  EXPECT_EQ(port.LastErrorText(), "Error reading 31");
  EXPECT_STREQ(buf, "");

  // A few failures in a row are not enough: the reply that follows is read, and the next
  // operation opened the port afresh.
  provider.reads = 0;
  provider.failingReads = 5;
  char again[64] = "#RRTC";
  EXPECT_TRUE(port.SendLine(again, 5, false));
  EXPECT_STREQ(again, "OK\n");
  EXPECT_EQ(provider.opens, 2);
  EXPECT_TRUE(port.isOpen);
}

}  // namespace
