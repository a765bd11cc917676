// The serial port against the simulated line, in virtual time.
#include "serial/comm_port.h"

#include <gtest/gtest.h>

#include <cstring>

#include "sim/sim_bench.h"
#include "sim/virtual_clock.h"

namespace {

struct PortOnLine {
  PortOnLine() : provider(clock), port(clock, provider) {
    line = &provider.AddPort(2);
    unit = std::make_unique<SimUnit>(*line);
    port.portNumber = 2;
  }
  VirtualClock clock;
  SimSerialProvider provider;
  CCommPort port;
  SimLine* line;
  std::unique_ptr<SimUnit> unit;
};

TEST(CommPort, OpenSetsTheLineFormatAndTimeoutsOnceAndRefusesIllegalPorts) {
  PortOnLine b;
  b.port.portNumber = 0;
  EXPECT_FALSE(b.port.Open(true));
  EXPECT_EQ(b.port.LastErrorText(), "Illegal port 0");
  EXPECT_TRUE(b.provider.opens.empty());

  b.port.portNumber = 7;  // not on this machine
  EXPECT_FALSE(b.port.Open(true));
  EXPECT_EQ(b.port.LastErrorText(), "Port open failed 2");
  EXPECT_FALSE(b.port.isOpen);

  b.port.portNumber = 2;
  ASSERT_TRUE(b.port.Open(true));
  EXPECT_EQ(b.port.lineSettings.baud, 9600u);
  EXPECT_TRUE(b.port.lineSettings.dtrOn);
  EXPECT_TRUE(b.port.lineSettings.rtsOn);
  EXPECT_TRUE(b.port.lineSettings.stripNulls);
  EXPECT_FALSE(b.port.lineSettings.xonXoffIn);
  EXPECT_EQ(b.port.timeouts.readInterval, 0xFFFFFFFFu);
  EXPECT_EQ(b.port.timeouts.readTotalMultiplier, 0xFFFFFFFFu);
  EXPECT_EQ(b.port.timeouts.readTotalConstant, 10u);
  EXPECT_EQ(b.port.timeouts.writeTotalMultiplier, 1u);
  EXPECT_EQ(b.port.timeouts.writeTotalConstant, 2u);
  // Open on an open port touches nothing, and the first flag stays in force.
  EXPECT_TRUE(b.port.Open(false));
  EXPECT_TRUE(b.port.lineSettings.stripNulls);
  EXPECT_EQ(b.provider.opens[2], 1);
}

TEST(CommPort, SetBaudFromTextTakesTheLastRateNamed) {
  PortOnLine b;
  EXPECT_TRUE(b.port.SetBaudFromText("Config(9600,8,N,1)"));
  EXPECT_EQ(b.port.lineSettings.baud, 9600u);
  EXPECT_TRUE(b.port.SetBaudFromText("Config(38400,8,N,1)"));
  EXPECT_EQ(b.port.lineSettings.baud, 38400u);
  // "115200" holds no other listed rate, "19200 then 4800" ends on the later row of the list.
  EXPECT_TRUE(b.port.SetBaudFromText("4800 or 19200"));
  EXPECT_EQ(b.port.lineSettings.baud, 19200u);
  EXPECT_FALSE(b.port.SetBaudFromText("Config(300,8,N,1)"));
  EXPECT_EQ(b.port.lineSettings.baud, 19200u);
  b.port.Close();
  b.provider.RemovePort(2);
  EXPECT_FALSE(b.port.SetBaudFromText("9600"));
}

TEST(CommPort, SendLineWithZeroTimeoutWritesAndKeepsTheBuffer) {
  PortOnLine b;
  char buf[100] = "HELLO";
  EXPECT_TRUE(b.port.SendLine(buf, 0, false));
  EXPECT_STREQ(buf, "HELLO");
  EXPECT_EQ(b.line->written, "HELLO\r\n");
  char empty[10] = "";
  EXPECT_TRUE(b.port.SendRaw(empty, 0, false));  // writes nothing
  EXPECT_TRUE(b.port.SendLine(empty, 0, false));  // CR LF alone
  EXPECT_EQ(b.line->written, "HELLO\r\n\r\n");
}

TEST(CommPort, ReplyEndsAtTheFirstTerminatorAndLaterBytesWaitForThePurge) {
  PortOnLine b;
  b.unit->Handle("TWOL", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.raw = "OK\r\nMORE\n";
    return r;
  });
  char buf[100] = "#TWOL";
  EXPECT_TRUE(b.port.SendLine(buf, 3, false));
  EXPECT_STREQ(buf, "OK\r\n");
  // The purge before the next send drops what is left.
  char next[100] = "#RRTC";
  EXPECT_TRUE(b.port.SendLine(next, 3, false));
  EXPECT_NE(std::strstr(next, "RTC"), nullptr);
  EXPECT_EQ(std::strstr(next, "MORE"), nullptr);
}

TEST(CommPort, TimeoutOfNSecondsLastsBetweenNPlusOneAndNPlusTwoSeconds) {
  PortOnLine b;
  b.unit->faults.silent = true;
  for (int n : {0 + 1, 3, 8}) {
    char buf[100] = "#RRTC";
    uint64_t start = b.clock.NowMs();
    EXPECT_FALSE(b.port.SendLine(buf, n, true));
    uint64_t waited = b.clock.NowMs() - start - 40;  // less the two 20 ms pauses
    EXPECT_GT(waited, static_cast<uint64_t>(n) * 1000) << n;
    EXPECT_LE(waited, static_cast<uint64_t>(n + 2) * 1000) << n;
    EXPECT_STREQ(buf, "");
  }
}

TEST(CommPort, FailureBudgetRefusesCountedSendsOnceSpent) {
  PortOnLine b;
  b.unit->faults.silent = true;
  b.port.failuresLeft = 1;
  char buf[100] = "#RRTC";
  EXPECT_FALSE(b.port.SendLine(buf, 1, false));
  EXPECT_EQ(b.port.failuresLeft, 0);
  size_t written = b.line->written.size();
  uint64_t t = b.clock.NowMs();
  char again[100] = "#RRTC";
  EXPECT_FALSE(b.port.SendLine(again, 1, false));
  EXPECT_EQ(b.line->written.size(), written) << "nothing is written once the budget is spent";
  EXPECT_EQ(b.clock.NowMs(), t);
  EXPECT_EQ(b.port.failuresLeft, 0);
  char uncounted[100] = "#RRTC";
  EXPECT_FALSE(b.port.SendLine(uncounted, 1, true));
  EXPECT_GT(b.line->written.size(), written) << "uncounted sends still run";
  EXPECT_EQ(b.port.failuresLeft, 0);
}

TEST(CommPort, NulBytesAreDroppedOnlyWhenStripping) {
  PortOnLine b;
  b.unit->Handle("NULS", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.raw = std::string("A\0B\xC3\xA9\n", 6);
    return r;
  });
  ASSERT_TRUE(b.port.Open(true));
  char buf[64] = "#NULS";
  EXPECT_TRUE(b.port.SendLine(buf, 3, true));
  EXPECT_STREQ(buf, "AB\xC3\xA9\n");
  b.port.Close();
  ASSERT_TRUE(b.port.Open(false));
  char raw[64] = "#NULS";
  EXPECT_TRUE(b.port.SendLine(raw, 3, true));
  EXPECT_EQ(raw[0], 'A');
  EXPECT_EQ(raw[1], '\0') << "the NUL is kept in the buffer when not stripping";
}

TEST(CommPort, BreakSendsTheUnitToItsBootloader) {
  PortOnLine b;
  uint64_t t = b.clock.NowMs();
  EXPECT_TRUE(b.port.SendBreak());
  EXPECT_EQ(b.clock.NowMs() - t, 50u);
  char buf[64] = " ";
  b.port.SendLine(buf, 1, true);
  EXPECT_NE(std::strstr(buf, "Boot>"), nullptr);
  EXPECT_EQ(b.unit->breaks, 1);
}

TEST(CommPort, VanishingDeviceFailsLikeATimeoutAndReopensLater) {
  PortOnLine b;
  b.unit->Handle("SLOW", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.delayMs = 5000;
    r.lines = {"LATE"};
    return r;
  });
  char buf[64] = "#SLOW";
  // Unplug the device half way through the wait.
  b.unit->Handle("GONE", [&b](SimUnit&, const std::string&, const std::string&) {
    b.line->unplugged = true;
    SimUnit::Reply r;
    r.silent = true;
    return r;
  });
  char gone[64] = "#GONE";
  EXPECT_FALSE(b.port.SendLine(gone, 3, false));
  EXPECT_FALSE(b.port.isOpen) << "a vanished device closes the port";
  EXPECT_EQ(b.port.LastErrorText().rfind("Error reading ", 0), 0u);
  EXPECT_FALSE(b.port.SendLine(buf, 1, true)) << "cannot open while unplugged";
  b.line->unplugged = false;
  char again[64] = "#RRTC";
  EXPECT_TRUE(b.port.SendLine(again, 3, true)) << "the next operation opens the port again";
}

TEST(Delay, WaitsTheFullTimeAcrossTheWrapOfTheTickCounter) {
  VirtualClock clock;
  clock.tickBase = 0xFFFFFFFFu - 30;  // the counter wraps in 31 ms
  ASSERT_EQ(clock.Ticks(), 0xFFFFFFFFu - 30);
  uint64_t start = clock.NowMs();
  Delay(clock, 100);
  EXPECT_EQ(clock.NowMs() - start, 100u);
  Delay(clock, 0);
  EXPECT_EQ(clock.NowMs() - start, 100u);
  clock.tickBase = 0xFFFFFFFFu - 5 - static_cast<uint32_t>(clock.NowMs());
  start = clock.NowMs();
  Delay(clock, 6);  // ends exactly on the wrap
  EXPECT_EQ(clock.NowMs() - start, 6u);
}

}  // namespace
