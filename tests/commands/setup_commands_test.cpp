// The set-up commands end to end against the simulated unit: what goes over the line, what
// the reply holds, what the unit keeps, the boxes asked and the records saved.
#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

#include "sim/sim_status.h"
#include "tests/support/test_bench.h"

namespace {
// The commands the terminal wrote, one per line, without the readiness probes.
std::vector<std::string> Commands(const std::string& wire) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < wire.size()) {
    size_t end = wire.find("\r\n", start);
    if (end == std::string::npos) end = wire.size();
    std::string line = wire.substr(start, end - start);
    if (!line.empty() && line != "#DASP,0") out.push_back(line);
    start = end + 2;
  }
  return out;
}

bool Sent(const std::string& wire, const std::string& command) { return wire.find(command + "\r\n") != std::string::npos; }

DateTime At(int y, int mo, int d, int h, int mi, int s) { return DateTime::FromCivil({y, mo, d, h, mi, s}); }

struct SetupTest : ::testing::Test {
  UnitOnBench b;
  CTransponder& unit() { return *b.unit; }
};
}  // namespace

TEST_F(SetupTest, ClockCommandCountsMondayAsOneAndSundayAsSeven) {
  char reply[1000];
  // Sunday 7 March 2027, 09:05:03.
  EXPECT_TRUE(unit().SetClock(At(2027, 3, 7, 9, 5, 3), reply));
  EXPECT_TRUE(Sent(b.wire(), "#SRTC,9,5,3,7,7,3,27"));
  EXPECT_EQ(b.sim().state.clockText, "09:05:03 07/03/27");
  EXPECT_EQ(b.sim().state.setup.clockWeekday, 7);
  EXPECT_NE(std::string(reply).find("RTC set"), std::string::npos);

  b.wire().clear();
  // Monday 8 March 2027 and Saturday 13 March 2027.
  unit().SetClock(At(2027, 3, 8, 23, 59, 59), reply);
  unit().SetClock(At(2027, 3, 13, 0, 0, 0), reply);
  EXPECT_EQ(Commands(b.wire()), (std::vector<std::string>{"#SRTC,23,59,59,1,8,3,27", "#SRTC,0,0,0,6,13,3,27"}));
}

TEST_F(SetupTest, ClockCommandOnASilentUnitFailsAfterTwoAttempts) {
  b.sim().faults.silent = true;
  char reply[1000];
  EXPECT_FALSE(unit().SetClock(At(2026, 1, 1, 12, 0, 0), reply));
  EXPECT_EQ(Commands(b.wire()), (std::vector<std::string>{"#SRTC,12,0,0,4,1,1,26", "#SRTC,12,0,0,4,1,1,26"}));
}

TEST_F(SetupTest, DepthOffsetRefusesPressuresOutsideTheOpenRangeAfterReadingTheStatus) {
  for (int pressure : {750, 1250, 0, -5}) {
    b.wire().clear();
    char reply[1000] = "untouched";
    EXPECT_FALSE(unit().SetDepthOffset(pressure, reply)) << pressure;
    EXPECT_STREQ(reply, "untouched");
    EXPECT_TRUE(Sent(b.wire(), "#HWST")) << "the status is read first";
    EXPECT_EQ(b.wire().find("#ZDOF"), std::string::npos) << pressure;
  }
}

TEST_F(SetupTest, DepthOffsetSendsTheBoundsAndRecordsTheUnitsOffset) {
  b.sim().Handle("ZDOF", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.lines = {"Offset   = 14.504"};
    return r;
  });
  unit().utcNow = [] { return At(2026, 5, 4, 10, 11, 12); };
  for (int pressure : {751, 1249}) {
    b.wire().clear();
    unit().ShowBusy();  // captions are set only while the busy window shows
    char reply[CTransponder::kReplyTextSize];
    ASSERT_TRUE(unit().SetDepthOffset(pressure, reply));
    EXPECT_EQ(b.op.busyCaptions.back(), "Setting depth offset");
    EXPECT_EQ(Commands(b.wire()).back(), "#ZDOF," + std::to_string(pressure));
    EXPECT_NEAR(unit().status.currentChecks.DepthOffsetValue, 14.504 * 1.459321415541773, 1e-4);
    EXPECT_EQ(unit().status.currentChecks.DepthOffsetTime, At(2026, 5, 4, 10, 11, 12));
    unit().HideBusy();
  }
  // The current-status file holds the value and the time.
  CTransponder again(b.bench.port, b.op, DataPaths{b.root});
  ASSERT_TRUE(again.LoadCurrentEntry(unit().status.currentStatus.UnitId));
  EXPECT_NEAR(again.records.storedChecks.DepthOffsetValue, 14.504 * 1.459321415541773, 1e-2);
  EXPECT_EQ(again.records.storedChecks.DepthOffsetTime, At(2026, 5, 4, 10, 11, 12));
}

TEST_F(SetupTest, DepthOffsetWaitsOneSecondBeforeTheCommand) {
  // The pause is measured between the last status command's arrival and the "#ZDOF" arrival.
  std::vector<std::pair<std::string, uint64_t>> arrivals;
  auto record = [&](const std::string& code, std::vector<std::string> lines, bool noEcho) {
    b.sim().Handle(code, [&arrivals, code, lines, noEcho](SimUnit& u, const std::string&, const std::string&) {
      arrivals.push_back({code, u.nowUs()});
      SimUnit::Reply r;
      r.lines = lines;
      r.noEcho = noEcho;
      return r;
    });
  };
  record("STTX", {"RT1,TT0"}, true);
  record("ZDOF", {"Offset   = 1.0"}, false);
  char reply[1000];
  ASSERT_TRUE(unit().SetDepthOffset(1000, reply));
  ASSERT_EQ(arrivals.size(), 2u);
  const uint64_t gapMs = (arrivals[1].second - arrivals[0].second) / 1000;
  // Without the pause the gap is the reply to "#STTX", the 500 ms before every attempt and
  // the command's own bytes: well under 1500 ms.
  EXPECT_GE(gapMs, 1500u);
  EXPECT_LT(gapMs, 1700u);
}

TEST_F(SetupTest, DepthOffsetErrorReplyTakesTheOffsetFromTheSensorRead) {
  b.sim().state.setup.depthError = true;
  const char* reply = unit().status.replyText;
  ASSERT_TRUE(unit().SetDepthOffset(1013, unit().status.replyText));
  auto cmds = Commands(b.wire());
  ASSERT_GE(cmds.size(), 2u);
  EXPECT_EQ(cmds[cmds.size() - 2], "#ZDOF,1013");
  EXPECT_EQ(cmds.back(), "#RDSE");
  // The sensor reply now fills the reply text, and its offset is the one recorded.
  EXPECT_NE(std::string(reply).find("Offset   = 14.692"), std::string::npos) << reply;
  EXPECT_NEAR(unit().status.currentChecks.DepthOffsetValue, 14.692 * 1.459321415541773, 1e-3);
  EXPECT_EQ(b.sim().state.setup.lastPressure, 1013);
}

TEST_F(SetupTest, DepthOffsetFailsWhenTheSensorReadAfterAnErrorFails) {
  b.sim().Handle("ZDOF", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.lines = {"Error: sensor"};
    return r;
  });
  b.sim().Handle("RDSE", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.silent = true;
    return r;
  });
  const float before = unit().status.currentChecks.DepthOffsetValue;
  EXPECT_FALSE(unit().SetDepthOffset(1000, unit().status.replyText));
  EXPECT_EQ(unit().status.currentChecks.DepthOffsetValue, before);
}

TEST_F(SetupTest, DepthOffsetHoldsAnAbsurdOffsetAtTheFloatsRange) {
  b.sim().Handle("ZDOF", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.lines = {"Offset   = 1e300"};
    return r;
  });
  ASSERT_TRUE(unit().SetDepthOffset(1000, unit().status.replyText));
  EXPECT_EQ(unit().status.currentChecks.DepthOffsetValue, FLT_MAX);
}

TEST_F(SetupTest, SerialNumberTextsAreSentOrRefusedAsTheOperatorTypedThem) {
  struct Case {
    const char* text;
    const char* sent;     // the "#TPSN" command, or null when refused
    const char* refusal;  // the reply text when refused
  };
  const char* kFormat = "Incorrect length or format!!";
  const char* kDigits = "Non-numeric characters entered!!";
  const Case cases[] = {
      {"12345-07", "#TPSN,12345,7", nullptr},
      {"E12345,12", "#TPSN,1000012345,12", nullptr},
      {"e777-5", "#TPSN,1000000777,5", nullptr},
      {"12345-1", "#TPSN,12345,1", nullptr},
      {"12345-123", "#TPSN,12345,123", nullptr},
      {"2147483647-1", "#TPSN,2147483647,1", nullptr},
      {"E1147483647-1", "#TPSN,2147483647,1", nullptr},
      {"12345-", nullptr, kFormat},
      {"-12", nullptr, kFormat},
      {"12345", nullptr, kFormat},
      {"12345-1234", nullptr, kFormat},
      {"", nullptr, kFormat},
      {"12a45-01", nullptr, kDigits},
      {"1-2-3", nullptr, kDigits},
      {" 12-3", nullptr, kDigits},
      {"E12E3-1", nullptr, kDigits},
      // Too large for the unit's signed 32-bit number, with or without the E form's 1000000000.
      {"2147483648-1", nullptr, kFormat},
      {"99999999999999999999-01", nullptr, kFormat},
      {"E1147483648-1", nullptr, kFormat},
      {"E2147483647-1", nullptr, kFormat},
      // No number before the separator.
      {"E-12", nullptr, kFormat},
  };
  for (const auto& c : cases) {
    b.wire().clear();
    char reply[1000] = "";
    const bool ok = unit().SetSerialNumber(c.text, reply);
    if (c.sent) {
      EXPECT_TRUE(ok) << c.text;
      EXPECT_EQ(Commands(b.wire()), (std::vector<std::string>{"#ENDB,1", c.sent})) << c.text;
    } else {
      EXPECT_FALSE(ok) << c.text;
      EXPECT_STREQ(reply, c.refusal) << c.text;
      EXPECT_EQ(b.wire(), "") << c.text;
    }
  }
  // The unit keeps the last number it took, and its status shows it.
  EXPECT_EQ(b.sim().state.serialNumber, 2147483647);
  EXPECT_EQ(b.sim().state.serialSuffix, 1);
}

TEST_F(SetupTest, SerialNumberReachesTheStatusRead) {
  char reply[1000];
  ASSERT_TRUE(unit().SetSerialNumber("54321-09", reply));
  EXPECT_NE(std::string(reply).find("S/N, 54321-9"), std::string::npos) << reply;
  unit().GetStatus("", unit().status.replyText, false);
  EXPECT_EQ(unit().status.currentStatus.SerialNo, "054321-009");
}

TEST_F(SetupTest, DasCalibrationRestartsThroughTheWatchdogAndAlwaysReportsEntry) {
  char reply[1000];
  // The unit ignores "#DAST,22": the reply still reads as the entry.
  b.sim().Handle("DAST", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.silent = true;
    return r;
  });
  unit().EnterDasCalibration(reply);
  EXPECT_STREQ(reply, "DAS calibration mode entry");
  EXPECT_TRUE(Sent(b.wire(), "#DAST,22"));
  const std::string& w = b.wire();
  EXPECT_LT(w.find("W"), w.find("#DAST,22")) << "the watchdog restart comes first";
}

TEST_F(SetupTest, DasCalibrationStopsWhenTheWatchdogRestartFails) {
  b.sim().faults.dead = true;
  char reply[1000];
  unit().EnterDasCalibration(reply);
  EXPECT_STREQ(reply, "Failed on watchdog restart function");
  EXPECT_EQ(b.wire().find("#DAST"), std::string::npos);
}

TEST_F(SetupTest, FactoryDefaultsWarnFirstThenSendAndWaitForTheUnit) {
  unit().ShowBusy();
  unit().InstallFactoryDefaults();
  ASSERT_EQ(b.op.boxes.size(), 1u);
  EXPECT_EQ(b.op.boxes[0].text, "Warning - this will change the address to 1001");
  EXPECT_EQ(b.op.boxes[0].caption, "Warning");
  EXPECT_EQ(b.op.boxes[0].buttons, MbButtons::Ok);
  EXPECT_EQ(b.op.boxes[0].icon, MbIcon::Exclamation);
  // Hidden for the box and shown again for the command.
  EXPECT_EQ(b.op.busyHides, 1);
  EXPECT_EQ(b.op.busyShows, 2);
  EXPECT_TRUE(b.op.busyVisible);
  EXPECT_EQ(b.op.busyCaptions.back(), "Setting factory defaults");
  EXPECT_TRUE(Sent(b.wire(), "#ISFD"));
  // The unit is busy after it; the readiness probes follow until it answers.
  EXPECT_NE(b.wire().find("#DASP,0", b.wire().find("#ISFD")), std::string::npos);
  EXPECT_NE(std::string(unit().status.replyText).find("Installing factory defaults"), std::string::npos);
  unit().GetStatus("", unit().status.replyText, false);
  EXPECT_EQ(unit().status.currentStatus.Address, 10);
  EXPECT_EQ(unit().status.currentStatus.Channel, 1);
}

TEST_F(SetupTest, SingleCommandsGoIntoTheReplyTextUnderTheirCaptions) {
  unit().ShowBusy();
  unit().InitialiseUnit();
  EXPECT_NE(std::string(unit().status.replyText).find("Initialising"), std::string::npos);
  unit().EnableUnit();
  unit().TestSynchOut();
  unit().EnableSynchIn();
  EXPECT_NE(std::string(unit().status.replyText).find("Synch in enabled"), std::string::npos);
  EXPECT_EQ(Commands(b.wire()), (std::vector<std::string>{"#INTP", "#ENTP", "#TXPG", "#ENSI"}));
  EXPECT_EQ(b.op.busyCaptions, (std::vector<std::string>{"Initialising transponder", "Enabling transponder",
                                                         "Testing synch output", "Enabling synch in"}));
  EXPECT_EQ(b.sim().state.setup.initialisations, 1);
  EXPECT_EQ(b.sim().state.setup.synchOutPulses, 1);
  EXPECT_TRUE(b.sim().state.setup.synchInEnabled);
}

TEST_F(SetupTest, NoCaptionsWithoutTheBusyWindow) {
  unit().InitialiseUnit();
  char reply[1000];
  unit().SetClock(At(2026, 1, 1, 0, 0, 0), reply);
  EXPECT_TRUE(b.op.busyCaptions.empty());
}

TEST_F(SetupTest, DisableDropsTheReplyAndEnableBringsTheModesBack) {
  TextSpan(unit().status.replyText).Assign("kept");
  b.sim().state.enabled = "WDD";
  unit().DisableUnit();
  EXPECT_TRUE(Sent(b.wire(), "#GCMD,2"));
  EXPECT_STREQ(unit().status.replyText, "kept");
  EXPECT_EQ(b.sim().state.enabled, "DDD");
  unit().EnableUnit();
  EXPECT_EQ(b.sim().state.enabled, "WDD");
  unit().GetStatus("", unit().status.replyText, false);
  EXPECT_EQ(unit().status.currentStatus.Enabled, "WDD");
}

TEST_F(SetupTest, ModeCommandsPauseASecondAfterwardsEvenWhenUnanswered) {
  char reply[1000];
  uint64_t start = b.nowMs();
  EXPECT_TRUE(unit().SendGcmd4(reply));
  const uint64_t answered = b.nowMs() - start;
  EXPECT_GE(answered, 1500u);  // the 500 ms before the attempt and the 1000 ms after
  EXPECT_EQ(b.sim().state.setup.mode, 4);
  EXPECT_TRUE(unit().SendGcmd3(reply));
  EXPECT_EQ(b.sim().state.setup.mode, 3);

  b.sim().faults.silent = true;
  unit().port.failuresLeft = 3;
  start = b.nowMs();
  EXPECT_FALSE(unit().Exchange("#GCMD,3", reply));
  const uint64_t unanswered = b.nowMs() - start;
  unit().port.failuresLeft = 3;
  start = b.nowMs();
  EXPECT_FALSE(unit().SendGcmd3(reply));
  EXPECT_EQ(b.nowMs() - start, unanswered + 1000);
  EXPECT_EQ(Commands(b.wire()),
            (std::vector<std::string>{"#GCMD,4", "#GCMD,3", "#GCMD,3", "#GCMD,3", "#GCMD,3", "#GCMD,3"}));
}
