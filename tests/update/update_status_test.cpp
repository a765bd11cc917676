// The update engine end to end against the simulated unit: what goes over the line for each
// kind of change, what the trace says, what is saved to the new-status file, and the
// verification's list of differences.
#include <gtest/gtest.h>

#include <functional>

#include "serial/diagnostic_trace.h"
#include "sim/sim_settings.h"
#include "tests/support/test_bench.h"

namespace {

using Commands = std::vector<std::string>;

// A wideband unit whose every setting passes its rule: MF band, address 1207, HPR pair 34,
// reply channel 15, interrogation on 14, TAT 500 ms, one power (1) for all.
void MakeTypical(SimUnitState& s) {
  s.replyChannel = 15, s.interrogateChannel = 14, s.iifReplyChannel = 5, s.tatMs = 500.0;
  s.powerU = s.powerT = s.powerS = s.powerL = 1;
  s.powerJ = 3, s.rxGain = 4;
  s.cwt = 3, s.cwr = 2, s.cwc = 1, s.cpd = 2;
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
    ASSERT_TRUE(ReadStatus(*b.unit, false));
    b.unit->status.requiredStatus = b.unit->status.currentStatus;
  }
  UnitStatus& req() { return b.unit->status.requiredStatus; }
  UnitStatus& cur() { return b.unit->status.currentStatus; }

  // Runs the engine; returns the commands the unit received (readiness probes left out).
  Commands Update(TextSpan replyText = {}) {
    const size_t from = b.sim().received.size();
    b.unit->UpdateStatus(replyText);
    Commands c;
    for (size_t i = from; i < b.sim().received.size(); ++i) {
      const std::string& line = b.sim().received[i];
      if (!line.empty() && line[0] == '#' && line != "#DASP,0") c.push_back(line);
    }
    return c;
  }
  // Reads the unit back and verifies.
  bool Verify(std::string* report = nullptr) {
    EXPECT_TRUE(ReadStatus(*b.unit, false));
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
  // clang-format off
  EXPECT_EQ(EngineLines(), (Commands{
      "\r\nStart of update current status first",  "\r\nNo update Enabled status  WDD to WDD",
      "\r\nNo update Address and HPR  1207  34 to 1207 34", "\r\nNo update RX gain  4 to 4",
      "\r\nNo update Power CPA  1 to 1",  "\r\nNo update Power CPJ  3 to 3", "\r\nNo update CWT period  3 to 3",
      "\r\nNo update CWR period  2 to 2", "\r\nNo update CWC period  1 to 1",
      "\r\nNo update CIF/CIS channel  15 to 15", "\r\nNo update TAT  500.000 to 500.000", "\r\nNo update FE mode",
      "\r\nNo update AltCIF/CIS  14 to 14", "\r\nNo update Synch control", "\r\nNo update CDP  2 to 2"}));
  // clang-format on
  // The entry is in the new-status file, stamped.
  const UnitStatus saved = req();
  req() = UnitStatus{};
  ASSERT_TRUE(b.unit->LoadRequiredStatus(saved.UnitId));
  EXPECT_EQ(req().Address, 12);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedResult, 1);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedTime, stamp);
}

// A new enable status reads the transponder and serial status again; their replies go into the
// reply text after what it held, as a whole status read's readers put them (the serial status,
// one line without an echo, comes last there).
TEST_F(UpdateTest, TheStatusReadAgainIsAppendedToTheReplyText) {
  ReadUnit();
  req().Enabled = "DDD";
  char reply[CTransponder::kReplyTextSize] = "before", status[CTransponder::kReplyTextSize];
  EXPECT_EQ(Update(reply), (Commands{"#GCMD,2", "#GCMD,3", "#TPST", "#STTX"}));
  ASSERT_TRUE(b.unit->GetStatus("", status, false));
  const std::string s = status;
  const size_t tpst = s.find("\r\n#TPST"), fvfv = s.find("\r\n#FVFV");
  ASSERT_LT(tpst, fvfv) << s;
  EXPECT_EQ(std::string(reply), "before" + s.substr(tpst, fvfv - tpst) + s.substr(s.rfind("\r\n")));
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

TEST_F(UpdateTest, EachChangeSendsItsCommandsAndTheUnitReportsIt) {
  struct Case {
    std::string name;
    std::function<void(UnitStatus&)> change;
    Commands sent;
  };
  std::vector<Case> cases = {
      // A new address, and then the unchanged reply channel once more (15 selects with 30).
      {"address", [](UnitStatus& r) { r.Address = 13, r.Channel = 5; }, {"#STAD,13,5,3,4", "#GCMD,23", "#GCMD,30"}},
      // Interrogation on the common channel takes the mode pair.
      {"common interrogation", [](UnitStatus& r) { r.AltCIFChannel = 16; }, {"#GCMD,37", "#GCMD,54"}},
      {"every other parameter",
       [](UnitStatus& r) {
         r.RxGain = 2, r.CWTIndex = 8, r.CWRIndex = 1, r.CWCIndex = 5, r.ExternalSync = 1, r.CPD = 10;
       },
       {"#GCMD,43", "#GCMD,54", "#GCMD,41", "#GCMD,60", "#GCMD,42", "#GCMD,53", "#GCMD,63", "#GCMD,57", "#ESSI",
        "#GCMD,67", "#GCMD,62"}},
      {"sync off again", [](UnitStatus& r) { r.ExternalSync = 0; }, {"#DSSI"}},
  };
  // The reply channel's code in each of its ranges.
  for (auto [channel, code] : {std::pair{0, 31}, {1, 8}, {8, 15}, {9, 24}, {14, 29}, {16, 63}})
    cases.push_back({"reply channel " + std::to_string(channel),
                     [ch = channel](UnitStatus& r) { r.CIFReplyCHannel = ch; },
                     {"#GCMD,23", "#GCMD," + std::to_string(code)}});
  Trace().StartCapture();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReadUnit();
    c.change(req());
    EXPECT_EQ(Update(), c.sent);
    std::string report;
    EXPECT_TRUE(Verify(&report)) << report;
  }
  const auto lines = EngineLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "\r\nUPDATE Address and HPR"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "\r\nUPDATE CIF/CIS channel"), lines.end());
}

// Interrogation on any other channel: "#GCMD,23" and the channel plus 47. The step waits 500 ms
// first: the same run costs exactly that much more than one that sets the gain, whose commands
// and replies are as long.
TEST_F(UpdateTest, InterrogationOnAChannelPausesFirst) {
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

// The fault mended: the entry is stamped as applied only when the unit answered every command.
TEST_F(UpdateTest, AnUnansweredCommandLeavesTheEntryRequired) {
  ReadUnit();
  Silence(b.sim(), "ESSI");
  req().RxGain = 2;
  req().ExternalSync = 1;
  b.bench.port.failuresLeft = 3;
  EXPECT_EQ(Update(), (Commands{"#GCMD,43", "#GCMD,54", "#ESSI", "#ESSI"}));
  req() = UnitStatus{};
  ASSERT_TRUE(b.unit->LoadRequiredStatus(0x1A2B3C));
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedResult, 0);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedTime, stamp);
  EXPECT_EQ(req().RxGain, 2);
}

// Verification compares the read status with the required one and lists every difference in
// order, the unit's value first.
TEST_F(UpdateTest, VerificationListsEveryDifferenceInOrder) {
  ReadUnit();
  UnitStatus& r = req();
  r.CPA = 0;  // the five powers one by one
  r.Channel = 6, r.HPRms = 5, r.HPRls = 7, r.RxGain = 3;
  r.Enabled = "wDD";  // letter case counts
  r.CPU = 2, r.CPJ = 4, r.CPT = 2, r.CPS = 3, r.CPL = 2, r.CWTIndex = 5, r.CWRIndex = 6, r.CWCIndex = 7;
  r.AltCIFChannel = 16, r.CIFReplyCHannel = 8, r.FEEnabled = 1, r.IIFChannel = 9, r.ExternalSync = 1, r.CPD = 4;
  r.Tat = 500.0001f;  // prints as 500.000 on both sides, yet differs
  char report[1000];
  EXPECT_FALSE(b.unit->CheckStatus(TextSpan(report)));
  // clang-format off
  EXPECT_STREQ(report,
               "Address is 1207 not 1206\r\nHPR is 34 not 57\r\nEnable status is WDD not wDD\r\n"
               "RXgain is 4 not 3\r\nCPU power is 1 not 2\r\nCPJ power is 3 not 4\r\nCPT power is 1 not 2\r\n"
               "CPS power is 1 not 3\r\nCPL power is 1 not 2\r\nCWT is 3 not 5\r\nCWR is 2 not 6\r\n"
               "CWC is 1 not 7\r\nAltCif/Cis is 14 not 16\r\nCif/Cis reply is 15 not 8\r\n"
               "TAT is 500.000 not 500.000\r\nFE status is 0 not 1\r\nIIF/IIS is 5 not 9\r\n"
               "Ext synch status is 0 not 1\r\n is 2 not 4\r\n");
  // clang-format on
}

}  // namespace
