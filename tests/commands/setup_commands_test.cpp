// The set-up commands end to end against the simulated unit: what goes over the line, what
// the unit keeps, the boxes asked and the records saved.
#include <gtest/gtest.h>

#include "tests/support/test_bench.h"

namespace {
using Lines = std::vector<std::string>;

struct SetupTest : ::testing::Test {
  UnitOnBench b;
  CTransponder& unit() { return *b.unit; }
  char reply[CTransponder::kReplyTextSize] = {};
};
}  // namespace

TEST_F(SetupTest, ClockCommandCountsMondayAsOneAndSundayAsSeven) {
  EXPECT_TRUE(unit().SetClock(At(2027, 3, 7, 9, 5, 3), reply));  // a Sunday
  unit().SetClock(At(2027, 3, 8, 23, 59, 59), reply);            // a Monday
  unit().SetClock(At(2027, 3, 13, 0, 0, 0), reply);              // a Saturday
  EXPECT_EQ(WireLines(b.wire()), (Lines{"#SRTC,9,5,3,7,7,3,27", "#SRTC,23,59,59,1,8,3,27", "#SRTC,0,0,0,6,13,3,27"}));
}

// The unit's status is read first; a pressure inside the open range is then sent, a second
// after the status read's last reply.
TEST_F(SetupTest, DepthOffsetTakesOnlyPressuresInsideTheOpenRangeAfterAPause) {
  std::vector<uint64_t> arrivals;  // of "#STTX" (the status read's last) and "#ZDOF", in ms
  for (const char* code : {"STTX", "ZDOF"})
    b.sim().Handle(code, [&arrivals](SimUnit& u, const std::string&, const std::string&) {
      arrivals.push_back(u.nowUs() / 1000);
      SimUnit::Reply r;
      r.lines = {"Offset   = 14.504"};
      r.noEcho = true;
      return r;
    });
  unit().utcNow = [] { return At(2026, 5, 4, 10, 11, 12); };
  for (int pressure : {750, 751, 1249, 1250, -5}) {
    SCOPED_TRACE(pressure);
    b.wire().clear();
    arrivals.clear();
    const bool inside = pressure > 750 && pressure < 1250;
    EXPECT_EQ(unit().SetDepthOffset(pressure, reply), inside);
    EXPECT_EQ(WireLines(b.wire())[0], "#HWST");
    EXPECT_EQ(WireLines(b.wire()).back() == "#ZDOF," + std::to_string(pressure), inside);
    if (!inside) continue;
    ASSERT_EQ(arrivals.size(), 2u);
    // Without the pause: the reply, the 500 ms before every attempt and the command's bytes.
    EXPECT_GE(arrivals[1] - arrivals[0], 1500u);
    EXPECT_LT(arrivals[1] - arrivals[0], 1700u);
  }
  // The unit's offset, in its own factor, and the time reach the current-status file.
  ASSERT_TRUE(unit().LoadCurrentEntry(unit().status.currentStatus.UnitId));
  EXPECT_NEAR(unit().records.storedChecks.DepthOffsetValue, 14.504 * 1.459321415541773, 1e-2);
  EXPECT_EQ(unit().records.storedChecks.DepthOffsetTime, At(2026, 5, 4, 10, 11, 12));
}

TEST_F(SetupTest, SerialNumberTextsAreSentOrRefusedAsTheOperatorTypedThem) {
  const char* kFormat = "Incorrect length or format!!";
  const char* kDigits = "Non-numeric characters entered!!";
  const struct {
    const char* text;
    const char* sent;     // the "#TPSN" command, or null when refused
    const char* refusal;  // the reply text when refused
    // clang-format off
  } cases[] = {
      {"12345-07", "#TPSN,12345,7", nullptr},   {"E12345,12", "#TPSN,1000012345,12", nullptr},
      {"e777-5", "#TPSN,1000000777,5", nullptr}, {"2147483647-1", "#TPSN,2147483647,1", nullptr},
      {"E1147483647-123", "#TPSN,2147483647,123", nullptr},
      {"12345-", nullptr, kFormat},  {"-12", nullptr, kFormat},     {"12345", nullptr, kFormat},
      {"12345-1234", nullptr, kFormat}, {"2147483648-1", nullptr, kFormat}, {"E1147483648-1", nullptr, kFormat},
      {"E-12", nullptr, kFormat},    {"12a45-01", nullptr, kDigits}, {"1-2-3", nullptr, kDigits},
      {"E12E3-1", nullptr, kDigits},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    b.wire().clear();
    EXPECT_EQ(unit().SetSerialNumber(c.text, reply), c.sent != nullptr);
    if (c.sent) EXPECT_EQ(WireLines(b.wire()), (Lines{"#ENDB,1", c.sent}));
    else EXPECT_EQ(b.wire() + reply, c.refusal);
  }
}

TEST_F(SetupTest, ModeCommandsPauseASecondAfterwardsEvenWhenUnanswered) {
  b.sim().faults.silent = true;
  unit().port.failuresLeft = 3;
  const uint64_t start = b.nowMs();
  EXPECT_FALSE(unit().Exchange("#GCMD,3", reply));
  const uint64_t unanswered = b.nowMs() - start;
  unit().port.failuresLeft = 3;
  EXPECT_FALSE(unit().SendGcmd3(reply));
  // The same unanswered exchange, and the second after it.
  EXPECT_EQ(b.nowMs() - start, 2 * unanswered + 1000);
}
