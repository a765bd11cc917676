// The port's reads on the simulated line, in virtual time: a read waits once, to the next byte
// or its deadline; what arrives after a reply's terminator waits for the next read until a purge;
// a device that goes in the middle of a reply ends the read there.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "serial/comm_port.h"
#include "sim/sim_line.h"
#include "sim/virtual_clock.h"

namespace {

// Virtual time that counts its sleeps, and can unplug the line when it reaches a moment.
struct CountingClock : VirtualClock {
  void SleepUntilUs(uint64_t t) override {
    ++sleeps;
    if (line && t >= unplugAtUs) {
      VirtualClock::SleepUntilUs(unplugAtUs);
      line->unplugged = true;
      return;
    }
    VirtualClock::SleepUntilUs(t);
  }
  int sleeps = 0;
  SimLine* line = nullptr;
  uint64_t unplugAtUs = UINT64_MAX;
};

// Answers each line that starts with 'Q' with its text, all of it sent at once; other lines
// get no answer.
struct Answerer : SimFarEnd {
  uint32_t Baud() const override { return 9600; }
  void OnByte(SimLine& line, uint8_t b, uint64_t atUs) override {
    heard += static_cast<char>(b);
    if (b != '\n') return;
    if (!heard.empty() && heard[0] == 'Q') line.FarSend(answer, atUs);
    heard.clear();
  }
  void OnBreak(SimLine&, uint64_t, uint64_t) override {}
  std::string heard;
  std::string answer;
};

struct SerialRead : ::testing::Test {
  SerialRead() {
    line.Attach(&far);
    port.portNumber = 1;
  }
  // The unit's answer to "Q", arrived whole before the next read begins.
  void Arrived(const std::string& answer, bool stripNulls) {
    far.answer = answer;
    ASSERT_TRUE(port.Open(stripNulls));
    char q[8] = "Q";
    ASSERT_TRUE(port.SendLine(q, 0, true));
    clock.AdvanceMs(100);
  }
  CountingClock clock;
  SimSerialProvider provider{clock};
  SimLine& line = provider.AddPort(1);
  Answerer far;
  CCommPort port{clock, provider};
};

TEST_F(SerialRead, DeviceReadTakesWhatHasArrivedOrWaitsOnceForTheNextByteOrItsDeadline) {
  int error = 0;
  auto device = provider.OpenPort(1, error);
  ASSERT_NE(device, nullptr);
  uint8_t data[8];
  size_t got = 99;

  // A silent line: one sleep to the deadline, nothing taken; a deadline already passed only looks.
  const uint64_t start = clock.NowUs();
  EXPECT_EQ(device->Read(data, sizeof data, got, clock, start + 5'000'000), ReadResult::Nothing);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(clock.NowUs(), start + 5'000'000);
  EXPECT_EQ(clock.sleeps, 1);
  EXPECT_EQ(device->Read(data, sizeof data, got, clock, start), ReadResult::Nothing);
  EXPECT_EQ(clock.NowUs(), start + 5'000'000);

  // A byte on its way: the read ends as it arrives.
  const uint64_t sent = clock.NowUs();
  line.FarSend("OK\r\n", sent);
  EXPECT_EQ(device->Read(data, sizeof data, got, clock, sent + 1'000'000), ReadResult::Bytes);
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(clock.NowUs(), sent + ByteTimeUs(9600));

  // The rest arrived by now: a read past its deadline takes it, no more than asked for.
  clock.AdvanceMs(10);
  const uint64_t now = clock.NowUs();
  EXPECT_EQ(device->Read(data, 2, got, clock, 0), ReadResult::Bytes);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), got), "K\r");
  EXPECT_EQ(clock.NowUs(), now);

  line.unplugged = true;
  EXPECT_EQ(device->Read(data, sizeof data, got, clock, now + 1'000'000), ReadResult::Error);
  EXPECT_EQ(clock.NowUs(), now) << "a device that has gone fails its read at once";
}

// On a silent line a time-out of N seconds ends N + 1 seconds after the write and the unit
// search's 100 ms on the first 10 ms step past it, as when the driver waited 10 ms a byte.
TEST_F(SerialRead, TimeOutsOnASilentLineEndWhereTheyAlwaysDidWithoutWakingInSteps) {
  ASSERT_TRUE(port.Open(true));
  for (int seconds : {0 + 1, 4, 12}) {
    char buf[64] = "#RRTC";
    const uint64_t start = clock.NowUs();
    clock.sleeps = 0;
    EXPECT_FALSE(port.SendLine(buf, seconds, true));
    EXPECT_EQ(clock.NowUs() - start, 40'000 + (seconds + 1) * 1'000'000ull) << seconds;
    // Two pauses around the purge, a wake as each byte of the command lands at the far end
    // (it might answer), and the deadline: never in steps.
    EXPECT_LE(clock.sleeps, 2 + 7 + 1) << seconds;
  }
  char probe[64] = "#DASP,0";
  const uint64_t start = clock.NowUs();
  clock.sleeps = 0;
  EXPECT_FALSE(port.SendLineMs(probe, 100));
  EXPECT_EQ(clock.NowUs() - start, 110'000u);
  EXPECT_LE(clock.sleeps, 9 + 1);
}

TEST_F(SerialRead, BytesAfterTheTerminatorWaitForTheNextReadUntilAPurge) {
  Arrived(std::string("A\0B\nC\n", 6), true);
  char first[64] = "", second[64] = "", third[64] = "";
  EXPECT_TRUE(port.SendLineMs(first, 100));
  EXPECT_STREQ(first, "AB\n");
  const uint64_t t = clock.NowUs();
  EXPECT_TRUE(port.SendLineMs(second, 100));
  EXPECT_STREQ(second, "C\n");
  EXPECT_EQ(clock.NowUs(), t) << "taken from what was read before, without waiting";

  // A send purges first, and so does a close: what was waiting is not taken for a reply.
  Arrived("D\nE\n", true);
  EXPECT_TRUE(port.SendLineMs(first, 100));
  EXPECT_FALSE(port.SendLine(third, 1, true));
  EXPECT_STREQ(third, "");
  Arrived("F\nG\n", true);
  EXPECT_TRUE(port.SendLineMs(first, 100));
  port.Close();
  EXPECT_FALSE(port.SendLineMs(second, 100));
  EXPECT_STREQ(second, "");
}

// NULs read in one block are dropped when the port strips them and take no place; kept otherwise.
TEST_F(SerialRead, NulsAreStrippedAcrossABlockAndTakeNoPlace) {
  const std::string answer("\0A\0\0\0B\0C\0\n", 10);
  char small[3] = "", kept[64] = "x";
  Arrived(answer, true);
  EXPECT_TRUE(port.SendLineMs(TextSpan(small), 100)) << "the terminator is seen past a full buffer";
  EXPECT_STREQ(small, "AB");
  port.Close();
  Arrived(answer, false);
  EXPECT_TRUE(port.SendLineMs(kept, 100));
  EXPECT_EQ(std::string(kept, 10), answer);
}

// The adapter pulled out half-way through a reply: the read ends then, not at the time-out,
// with the bytes that came; the port closes and counts it as a time-out.
TEST_F(SerialRead, ADeviceGoneMidReplyEndsTheReadWithWhatCame) {
  far.answer = "AB";
  ASSERT_TRUE(port.Open(true));
  char buf[64] = "Q";
  const uint64_t start = clock.NowUs();
  clock.line = &line;
  clock.unplugAtUs = start + 40'000 + 300'000;
  EXPECT_FALSE(port.SendLine(buf, 4, false));
  EXPECT_EQ(clock.NowUs(), clock.unplugAtUs);
  EXPECT_STREQ(buf, "AB");
  EXPECT_EQ(port.LastErrorText(), "Error reading 22");
  EXPECT_FALSE(port.isOpen);
  EXPECT_TRUE(port.Unplugged());
  EXPECT_EQ(port.failuresLeft, 2);
}

}  // namespace
