// The serial port against the simulated line, in virtual time.
#include "serial/comm_port.h"

#include <gtest/gtest.h>

#include <cstring>

#include "sim/sim_bench.h"
#include "sim/virtual_clock.h"

namespace {

TEST(CommPort, OpenSetsTheLineOnceRefusesIllegalPortsAndSendsBreaks) {
  VirtualClock clock;
  SimBench b(clock, 2, 2);
  b.port.portNumber = 0;
  EXPECT_FALSE(b.port.Open(true));
  EXPECT_EQ(b.port.LastErrorText(), "Illegal port 0");
  EXPECT_TRUE(b.provider.opens.empty());

  b.port.portNumber = 7;  // not on this machine
  EXPECT_FALSE(b.port.Open(true));
  EXPECT_EQ(b.port.LastErrorText(), "Port open failed 2");

  b.port.portNumber = 2;
  ASSERT_TRUE(b.port.Open(true));
  // Open on an open port touches nothing, and the first flag stays in force.
  EXPECT_TRUE(b.port.Open(false));
  EXPECT_TRUE(b.port.lineSettings.stripNulls);
  EXPECT_EQ(b.provider.opens[2], 1);

  // A break of 50 ms sends the unit to its bootloader.
  uint64_t t = clock.NowMs();
  EXPECT_TRUE(b.port.SendBreak());
  EXPECT_EQ(clock.NowMs() - t, 50u);
  char buf[64] = " ";
  b.port.SendLine(buf, 1, true);
  EXPECT_NE(std::strstr(buf, "Boot>"), nullptr);
  EXPECT_EQ(b.unit->breaks, 1);
}

TEST(CommPort, SilentUnitTimeOutsAndTheFailureBudget) {
  VirtualClock clock;
  SimBench b(clock, 2, 2);
  b.unit->faults.silent = true;
  // A time-out of N seconds lasts more than N + 1 seconds and at most N + 2; uncounted sends
  // leave the budget alone.
  for (int n : {0 + 1, 3, 8}) {
    char buf[100] = "#RRTC";
    uint64_t start = clock.NowMs();
    EXPECT_FALSE(b.port.SendLine(buf, n, true));
    uint64_t waited = clock.NowMs() - start - 40;  // less the two 20 ms pauses
    EXPECT_GT(waited, static_cast<uint64_t>(n) * 1000) << n;
    EXPECT_LE(waited, static_cast<uint64_t>(n + 2) * 1000) << n;
  }

  // A counted failure spends the budget; once it is spent, counted sends are refused at once.
  b.port.failuresLeft = 1;
  char buf[100] = "#RRTC";
  EXPECT_FALSE(b.port.SendLine(buf, 1, false));
  EXPECT_EQ(b.port.failuresLeft, 0);
  size_t written = b.line().written.size();
  uint64_t t = clock.NowMs();
  char again[100] = "#RRTC";
  EXPECT_FALSE(b.port.SendLine(again, 1, false));
  EXPECT_EQ(b.line().written.size(), written) << "nothing is written once the budget is spent";
  EXPECT_EQ(clock.NowMs(), t);
  char uncounted[100] = "#RRTC";
  EXPECT_FALSE(b.port.SendLine(uncounted, 1, true));
  EXPECT_GT(b.line().written.size(), written) << "uncounted sends still run";
  EXPECT_EQ(b.port.failuresLeft, 0);
}

}  // namespace
