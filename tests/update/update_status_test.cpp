// The update engine end to end against the simulated unit: what goes over the line for each
// kind of change, what the trace says, and what is saved to the new-status file.
#include <gtest/gtest.h>

#include <algorithm>

#include "serial/diagnostic_trace.h"
#include "sim/sim_settings.h"
#include "tests/support/test_bench.h"

namespace {

using Commands = std::vector<std::string>;

// A wideband unit whose every setting passes its rule: MF band, address 1207, HPR pair 34,
// reply channel 15, interrogation on 14, TAT 500 ms, one power (1) for all.
void MakeTypical(SimUnitState& s) {
  s.replyChannel = 15;
  s.interrogateChannel = 14;
  s.iifReplyChannel = 5;
  s.tatMs = 500.0;
  s.powerU = s.powerT = s.powerS = s.powerL = 1;
  s.powerJ = 3;
  s.rxGain = 4;
  s.cwt = 3, s.cwr = 2, s.cwc = 1;
  s.cpd = 2;
}

struct UpdateTest : ::testing::Test {
  UnitOnBench b;
  DateTime stamp = DateTime::FromCivil({2026, 3, 7, 9, 5, 3});

  void SetUp() override {
    MakeTypical(b.sim().state);
    b.unit->utcNow = [this] { return stamp; };
  }
  void TearDown() override { Trace().StopCapture(); }

  // Reads the unit and makes the required status a copy of what it holds.
  void ReadUnit() {
    ASSERT_TRUE(b.unit->GetStatus("", TextSpan(b.unit->status.replyText), false));
    b.unit->status.requiredStatus = b.unit->status.currentStatus;
  }
  UnitStatus& req() { return b.unit->status.requiredStatus; }
  UnitStatus& cur() { return b.unit->status.currentStatus; }

  // Runs the engine; returns the commands the unit received (readiness probes left out).
  Commands Update() {
    const size_t from = b.sim().received.size();
    b.unit->UpdateStatus();
    Commands c;
    for (size_t i = from; i < b.sim().received.size(); ++i) {
      const std::string& line = b.sim().received[i];
      if (!line.empty() && line[0] == '#' && line != "#DASP,0") c.push_back(line);
    }
    return c;
  }
  // Reads the unit back and verifies.
  bool Verify(std::string* report = nullptr) {
    EXPECT_TRUE(b.unit->GetStatus("", TextSpan(b.unit->status.replyText), false));
    char text[1000];
    bool ok = b.unit->CheckStatus(TextSpan(text));
    if (report) *report = text;
    return ok;
  }
  // The engine's own trace lines: captions of changes and the no-update lines.
  static Commands EngineLines() {
    Commands l;
    for (const auto& t : Trace().Captured())
      if (t.rfind("\r\nNo update", 0) == 0 || t.rfind("\r\nUPDATE", 0) == 0 || t.rfind("\r\nStart", 0) == 0)
        l.push_back(t);
    return l;
  }
};


TEST_F(UpdateTest, IdenticalStatusesSendNothingTraceEveryStepAndAreStillStamped) {
  ReadUnit();
  Trace().StartCapture();
  EXPECT_EQ(Update(), Commands{});
  EXPECT_EQ(EngineLines(), (Commands{
                               "\r\nStart of update current status first",
                               "\r\nNo update Enabled status  WDD to WDD",
                               "\r\nNo update Address and HPR  1207  34 to 1207 34",
                               "\r\nNo update RX gain  4 to 4",
                               "\r\nNo update Power CPA  1 to 1",
                               "\r\nNo update Power CPJ  3 to 3",
                               "\r\nNo update CWT period  3 to 3",
                               "\r\nNo update CWR period  2 to 2",
                               "\r\nNo update CWC period  1 to 1",
                               "\r\nNo update CIF/CIS channel  15 to 15",
                               "\r\nNo update TAT  500.000 to 500.000",
                               "\r\nNo update FE mode",
                               "\r\nNo update AltCIF/CIS  14 to 14",
                               "\r\nNo update Synch control",
                               "\r\nNo update CDP  2 to 2",
                           }));
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedResult, 1);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedTime, stamp);
  // The entry is in the new-status file.
  const UnitStatus saved = req();
  req() = UnitStatus{};
  ASSERT_TRUE(b.unit->LoadRequiredStatus(saved.UnitId));
  EXPECT_EQ(req().Address, 12);
  EXPECT_EQ(req().Tat, 500.0f);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedResult, 1);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedTime, stamp);
}

TEST_F(UpdateTest, AWrongBaudRateCodeIsTheOnlyThingSentForAnUnchangedStatus) {
  b.sim().state.baudRateCode = 115;
  ReadUnit();
  EXPECT_EQ(Update(), Commands{"#GCMD,1"});
  EXPECT_EQ(b.sim().state.baudRateCode, 4);
}

TEST_F(UpdateTest, ADifferentUnitSendsAndSavesNothing) {
  ReadUnit();
  req().UnitId = 0x123456;
  req().RxGain = 1;
  b.wire().clear();
  EXPECT_EQ(Update(), Commands{});
  EXPECT_TRUE(b.wire().empty());  // not even the watchdog restart
  EXPECT_FALSE(b.unit->LoadRequiredStatus(0x123456));
  EXPECT_FALSE(b.unit->LoadRequiredStatus(0x1A2B3C));
  EXPECT_EQ(req().RxGain, 1);  // left as it was
}

TEST_F(UpdateTest, AnUnknownBandIsTakenFromTheUnitAndNoneAtAllStopsTheEngine) {
  ReadUnit();
  req().Band = "XX";
  req().RxGain = 2;
  EXPECT_EQ(Update(), (Commands{"#GCMD,43", "#GCMD,54"}));
  EXPECT_EQ(req().Band, "MF");

  ReadUnit();
  req().Band = "";
  cur().Band = "??";
  b.wire().clear();
  EXPECT_EQ(Update(), Commands{});
  EXPECT_TRUE(b.wire().empty());
}

TEST_F(UpdateTest, AChangedAddressSendsStadAndThenTheUnchangedReplyChannel) {
  ReadUnit();
  req().Address = 13;
  req().Channel = 5;
  Trace().StartCapture();
  const auto sent = Update();
  EXPECT_EQ(sent, (Commands{"#STAD,13,5,3,4", "#GCMD,23", "#GCMD,30"}));  // reply 15 selects with 30
  const auto lines = EngineLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "\r\nUPDATE Address and HPR"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "\r\nUPDATE CIF/CIS channel"), lines.end());
  EXPECT_TRUE(Verify());
}

TEST_F(UpdateTest, ReplyChannelCodesCoverEveryRange) {
  const std::pair<int, int> cases[] = {{0, 31}, {1, 8}, {8, 15}, {9, 24}, {14, 29}, {16, 63}};
  for (auto [channel, code] : cases) {
    ReadUnit();
    req().CIFReplyCHannel = channel;
    EXPECT_EQ(Update(), (Commands{"#GCMD,23", "#GCMD," + std::to_string(code)})) << channel;
    std::string report;
    EXPECT_TRUE(Verify(&report)) << channel << report;
  }
}

TEST_F(UpdateTest, TatCodesRoundToTheNearestStepAndStopAtFourteen) {
  const std::pair<float, int> cases[] = {{62.5f, 8}, {500.0f, 15}, {562.5f, 24}, {875.0f, 29}, {937.5f, 29}};
  b.sim().state.tatMs = 250.0;
  for (auto [tat, code] : cases) {
    ReadUnit();
    req().Tat = tat;
    EXPECT_EQ(Update(), (Commands{"#GCMD,30", "#GCMD," + std::to_string(code)})) << tat;
    b.sim().state.tatMs = 250.0;
  }
  // 937.5 ms passes the rule but the unit can only be set to 875 ms: the check shows it.
  ReadUnit();
  req().Tat = 937.5f;
  Update();
  std::string report;
  EXPECT_FALSE(Verify(&report));
  EXPECT_EQ(report, "TAT is 875.000 not 937.500\r\n");
}

TEST_F(UpdateTest, OnePowerForAllAndTheFourPowers) {
  // Required CPA 2 against current 2 with a different CPU: no power command at all.
  ReadUnit();
  b.sim().state.powerU = b.sim().state.powerT = b.sim().state.powerS = b.sim().state.powerL = 2;
  ReadUnit();
  req().CPU = 3;
  EXPECT_EQ(Update(), Commands{});

  // CPA 2 to 1: one pair.
  ReadUnit();
  req().CPA = 1;
  EXPECT_EQ(Update(), (Commands{"#GCMD,33", "#GCMD,53"}));
  EXPECT_TRUE(Verify());

  // Required CPA 0 fails its rule and takes the unit's CPA (1): unchanged, and the individual
  // powers are not looked at.
  ReadUnit();
  req().CPA = 0;
  req().CPU = 3;
  EXPECT_EQ(Update(), Commands{});
  EXPECT_EQ(req().CPA, 1);

  // A unit whose powers differ reports CPA -1: the powers are set one by one, CPJ as always.
  b.sim().state.powerL = 3;
  ReadUnit();
  ASSERT_EQ(cur().CPA, -1);
  req().CPU = 2;
  req().CPT = 2;
  req().CPS = 3;
  req().CPL = 3;  // unchanged
  req().CPJ = 8;
  Trace().StartCapture();
  EXPECT_EQ(Update(), (Commands{"#GCMD,48", "#GCMD,54", "#GCMD,46", "#GCMD,54", "#GCMD,45", "#GCMD,55", "#GCMD,47",
                                "#GCMD,60"}));
  const auto lines = EngineLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "\r\nNo update Power CPL  3 to 3"), lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "\r\nNo update Power CPA  -1 to -1"), lines.end());
  EXPECT_TRUE(Verify());
}

TEST_F(UpdateTest, InterrogationOnTheCommonChannelUsesTheModePairAfterAPause) {
  ReadUnit();
  req().AltCIFChannel = 16;
  EXPECT_EQ(Update(), (Commands{"#GCMD,37", "#GCMD,54"}));
  EXPECT_TRUE(Verify());

  // Any other channel: "#GCMD,23" and the channel plus 47. The step waits 500 ms first: the
  // same run costs exactly that much more than one that sets the gain, whose commands and
  // replies are as long.
  ReadUnit();
  req().RxGain = 2;
  uint64_t t0 = b.nowMs();
  EXPECT_EQ(Update(), (Commands{"#GCMD,43", "#GCMD,54"}));
  const uint64_t gainRun = b.nowMs() - t0;
  ReadUnit();
  req().AltCIFChannel = 6;
  t0 = b.nowMs();
  EXPECT_EQ(Update(), (Commands{"#GCMD,23", "#GCMD,53"}));
  EXPECT_EQ(b.nowMs() - t0, gainRun + 500);
  EXPECT_TRUE(Verify());
}

TEST_F(UpdateTest, ThirdModeOnIsSwitchedOnAgainEveryRunAndEndsInHprMode) {
  b.sim().state.enabled = "DDE";
  b.sim().state.widebandEnabled = 0;
  ReadUnit();
  ASSERT_EQ(cur().Enabled, "DDE");
  const auto sent = Update();
  // Step 1 although nothing changed: the mode pair, "#GCMD,3", the two re-reads; the channel
  // nudged off so that step 17 sends it again; step 20 at the end.
  EXPECT_EQ(sent, (Commands{"#GCMD,37", "#GCMD,54", "#GCMD,3", "#TPST", "#STTX", "#GCMD,23", "#GCMD,61", "#GCMD,3",
                            "#GCMD,37", "#GCMD,53"}));
  EXPECT_TRUE(Verify());
}

TEST_F(UpdateTest, EnableStatusChanges) {
  // Wideband to tone: the first mode on, "#GCMD,3", re-read; the interrogation channel is sent
  // again although it did not change.
  ReadUnit();
  req().Enabled = "EDD";
  Trace().StartCapture();
  EXPECT_EQ(Update(), (Commands{"#GCMD,37", "#GCMD,54", "#GCMD,3", "#TPST", "#STTX", "#GCMD,23", "#GCMD,61"}));
  EXPECT_EQ(EngineLines()[1], "\r\nUPDATE Enabled status");
  EXPECT_TRUE(Verify());

  // Back to wideband on a capable unit: "#GCMD,4".
  ReadUnit();
  req().Enabled = "WDD";
  EXPECT_EQ(Update(), (Commands{"#GCMD,37", "#GCMD,54", "#GCMD,4", "#TPST", "#STTX", "#GCMD,23", "#GCMD,61"}));
  EXPECT_TRUE(Verify());

  // Everything off.
  ReadUnit();
  req().Enabled = "DDD";
  EXPECT_EQ(Update(), (Commands{"#GCMD,2", "#GCMD,3", "#TPST", "#STTX"}));
  EXPECT_TRUE(Verify());

  // An unusable enable status takes the unit's.
  ReadUnit();
  req().Enabled = "WEE";
  EXPECT_EQ(Update(), Commands{});
  EXPECT_EQ(req().Enabled, "DDD");
}

TEST_F(UpdateTest, FeModeSendsTheIifChannelOnlyWhenSwitchingOn) {
  ReadUnit();
  req().FEEnabled = 1;
  req().IIFChannel = 3;
  EXPECT_EQ(Update(), (Commands{"#GCMD,23", "#GCMD,3"}));
  EXPECT_TRUE(Verify());

  ReadUnit();
  req().FEEnabled = 1;
  req().IIFChannel = 9;  // the mode is on already; the channel is not compared
  EXPECT_EQ(Update(), Commands{});

  ReadUnit();
  req().FEEnabled = 0;
  EXPECT_EQ(Update(), (Commands{"#GCMD,39", "#GCMD,53"}));
  EXPECT_TRUE(Verify());
}

TEST_F(UpdateTest, EveryOtherParameterTakesItsPairAndTheUnitReportsIt) {
  ReadUnit();
  req().RxGain = 2;
  req().CWTIndex = 8;
  req().CWRIndex = 1;
  req().CWCIndex = 5;
  req().ExternalSync = 1;
  req().CPD = 10;
  EXPECT_EQ(Update(), (Commands{"#GCMD,43", "#GCMD,54", "#GCMD,41", "#GCMD,60", "#GCMD,42", "#GCMD,53", "#GCMD,63",
                                "#GCMD,57", "#ESSI", "#GCMD,67", "#GCMD,62"}));
  EXPECT_TRUE(Verify());
  ReadUnit();
  req().ExternalSync = 0;
  EXPECT_EQ(Update(), Commands{"#DSSI"});
  EXPECT_TRUE(Verify());
}

TEST_F(UpdateTest, AnIgnoredParameterFailsTheVerification) {
  b.sim().state.settings.ignored = "RxGain";
  ReadUnit();
  req().RxGain = 2;
  req().CPD = 5;
  Update();
  std::string report;
  EXPECT_FALSE(Verify(&report));
  EXPECT_EQ(report, "RXgain is 4 not 2\r\n");
}

// The fault mended: the entry is stamped as applied only when the unit answered every command.
TEST_F(UpdateTest, AnUnansweredCommandLeavesTheEntryRequired) {
  ReadUnit();
  b.sim().Handle("ESSI", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.silent = true;
    return r;
  });
  req().RxGain = 2;
  req().ExternalSync = 1;
  b.bench.port.failuresLeft = 3;
  EXPECT_EQ(Update(), (Commands{"#GCMD,43", "#GCMD,54", "#ESSI", "#ESSI"}));
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedResult, 0);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedTime, stamp);
  req() = UnitStatus{};
  ASSERT_TRUE(b.unit->LoadRequiredStatus(0x1A2B3C));
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedResult, 0);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedTime, stamp);
  EXPECT_EQ(req().RxGain, 2);
}

TEST_F(UpdateTest, ASilentUnitIsNotStampedAsUpdated) {
  ReadUnit();
  req().RxGain = 1;
  req().CPD = 3;
  b.sim().faults.silent = true;
  b.bench.port.failuresLeft = 3;
  Update();
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedResult, 0);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedTime, stamp);
}

TEST_F(UpdateTest, CaptionsShowOnlyWhileTheBusyWindowIs) {
  ReadUnit();
  req().RxGain = 3;
  b.unit->ShowBusy();
  b.op.busyCaptions.clear();
  Update();
  EXPECT_EQ(b.op.busyCaptions,
            (std::vector<std::string>{"Resetting watchdog timer", "Searching for update", "UPDATE RX gain"}));
  b.unit->HideBusy();
  b.op.busyCaptions.clear();
  ReadUnit();
  req().RxGain = 2;
  Update();
  EXPECT_TRUE(b.op.busyCaptions.empty());
}

TEST_F(UpdateTest, LoadRequiredStatusFindsOnlyAStoredUnit) {
  ReadUnit();
  req().RxGain = 2;
  Update();
  b.unit->status.requiredStatus = UnitStatus{};
  b.unit->status.requiredChecks = StatusChecks{};
  EXPECT_FALSE(b.unit->LoadRequiredStatus(0x777777));
  EXPECT_EQ(req().UnitId, -1);
  ASSERT_TRUE(b.unit->LoadRequiredStatus(0x1A2B3C));
  EXPECT_EQ(req().UnitId, 0x1A2B3C);
  EXPECT_EQ(req().RxGain, 2);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedResult, 1);
}

}  // namespace
