// The quick-set flow and "Set address and channels" end to end: the simulated unit, the
// scripted operator answering the dialogs and boxes, the unit's settings afterwards and the
// entry of the new-status file.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "quickset/address_dlg.h"
#include "quickset/advanced_dlg.h"
#include "quickset/parameter_tables.h"
#include "quickset/quickset_dlg.h"
#include "quickset/quickset_flow.h"
#include "sim/sim_status.h"
#include "tests/support/test_bench.h"

namespace {

namespace qt = quickset_text;
const std::string kEnableQuestion = qt::kEnableOrDisable;

struct FlowTest : ::testing::Test {
  UnitOnBench b;
  MainWindowHooks window;
  std::string paneText;
  int pushes = 0;
  int pulls = 0;
  std::vector<std::string> shownReplies;
  DateTime stamp = DateTime::FromCivil({2026, 5, 1, 14, 30, 0});

  void SetUp() override {
    b.unit->utcNow = [this] { return stamp; };
    window.pullFields = [this] { ++pulls; };
    window.setPaneText = [this](const std::string& t) { paneText = t; };
    window.pushFields = [this] { ++pushes; };
    window.showReply = [this](const char* text, int header) {
      EXPECT_EQ(header, 0);
      shownReplies.push_back(text);
      b.unit->HideBusy();
    };
  }
  // A QRN unit: its firmware reply names the model.
  void MakeQrn() { b.sim().state.mainFirmware = "QRN V3.12.4 12/03/2021"; }
  SimUnitState& unitState() { return b.sim().state; }
  size_t Count(const std::string& command) const {
    const auto& r = b.bench.unit->received;
    return static_cast<size_t>(std::count(r.begin(), r.end(), command));
  }
  // Commands that set something (status reads and probes left out).
  std::vector<std::string> Settings() const {
    std::vector<std::string> s;
    for (const auto& l : b.bench.unit->received)
      if (l.rfind("#GCMD", 0) == 0 || l.rfind("#STAD", 0) == 0 || l == "#ESSI" || l == "#DSSI") s.push_back(l);
    return s;
  }
};

void ChooseA3HighMaximum(CQuicksetDlg& d) {
  d.OnScheme(2);
  d.power.Select("High");
  d.gain.Select("Maximum");
  d.OnSet();
}

TEST_F(FlowTest, QrnUnitSetToA3WithHighPowerAndMaximumGain) {
  MakeQrn();
  b.op.quicksetScripts.push_back(ChooseA3HighMaximum);
  b.op.answers = {MbAnswer::Yes};  // leave it enabled
  RunQuickset(*b.unit, window);

  EXPECT_EQ(b.op.dialogs, std::vector<std::string>{CQuicksetDlg::kCaption});
  EXPECT_EQ(b.op.BoxTexts(), (std::vector<std::string>{qt::kSetCorrectly, kEnableQuestion}));
  EXPECT_EQ(b.op.boxes[0].caption, "Quickset");
  EXPECT_EQ(b.op.boxes[0].icon, MbIcon::Information);
  EXPECT_EQ(b.op.boxes[1].buttons, MbButtons::YesNo);
  EXPECT_EQ(b.op.boxes[1].icon, MbIcon::Question);
  // The unit holds the scheme: address 1505, TAT 500 ms, interrogation on 6, all powers High.
  const SimUnitState& s = unitState();
  EXPECT_EQ(s.address, 15);
  EXPECT_EQ(s.channel, 5);
  EXPECT_EQ(s.tatMs, 500.0);
  EXPECT_EQ(s.interrogateChannel, 6);
  EXPECT_EQ(s.powerU, 2);
  EXPECT_EQ(s.powerL, 2);
  EXPECT_EQ(s.rxGain, 4);
  EXPECT_EQ(s.enabled, "WDD");
  EXPECT_NE(s.setup.mode, 2);  // not disabled
  EXPECT_EQ(Count("#GCMD,2"), 0u);
  // The reply pane gets the read-back, the new-status file the stamped entry.
  ASSERT_EQ(shownReplies.size(), 1u);
  EXPECT_NE(shownReplies[0].find("AD = 1505"), std::string::npos);
  EXPECT_FALSE(b.op.busyVisible);
  const auto newStatusFile = b.root / "T7Status" / "New-Status.xml";
  ASSERT_TRUE(std::filesystem::exists(newStatusFile));
  EXPECT_GT(std::filesystem::file_size(newStatusFile), 0u);
  b.unit->status.requiredStatus = UnitStatus{};
  ASSERT_TRUE(b.unit->LoadRequiredStatus(0x1A2B3C));
  EXPECT_EQ(b.unit->status.requiredStatus.Address, 15);
  EXPECT_EQ(b.unit->status.requiredStatus.CPA, 2);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedResult, 1);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedTime, stamp);
}

TEST_F(FlowTest, AVerificationThatKeepsFailingIsOfferedAgainUntilNo) {
  MakeQrn();
  unitState().settings.ignored = "Tat";
  b.op.quicksetScripts.push_back(ChooseA3HighMaximum);
  b.op.answers = {MbAnswer::Yes, MbAnswer::Yes, MbAnswer::No, MbAnswer::Yes};
  RunQuickset(*b.unit, window);

  const std::string failed = std::string(qt::kNotSetCorrectly) + "TAT is 12.500 not 500.000\r\n" + qt::kRetry;
  EXPECT_EQ(b.op.BoxTexts(), (std::vector<std::string>{failed, failed, failed, kEnableQuestion}));
  EXPECT_EQ(b.op.boxes[0].caption, "Quickset");
  EXPECT_EQ(b.op.boxes[0].buttons, MbButtons::YesNo);
  // Each try sends the settings again: three updates, one dialog.
  EXPECT_EQ(Count("#GCMD,30"), 3u);
  EXPECT_EQ(b.op.dialogs.size(), 1u);
  EXPECT_EQ(Count("#GCMD,2"), 0u);
}

TEST_F(FlowTest, CancelThenNoDisablesTheUnitWithoutSendingAnySetting) {
  MakeQrn();
  b.op.quicksetScripts.push_back([](CQuicksetDlg& d) { d.OnCancel(); });
  b.op.answers = {MbAnswer::No};
  RunQuickset(*b.unit, window);

  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{kEnableQuestion});
  EXPECT_EQ(Settings(), std::vector<std::string>{"#GCMD,2"});
  EXPECT_EQ(unitState().setup.mode, 2);
  EXPECT_EQ(unitState().enabled, "DDD");
  // The unit was read again after the disable, and the pane shows it.
  ASSERT_EQ(shownReplies.size(), 1u);
  EXPECT_NE(shownReplies[0].find("DDD"), std::string::npos);
}

TEST_F(FlowTest, AdvancedFromTheQuicksetDialogWorksOnItsCopy) {
  MakeQrn();
  b.op.quicksetScripts.push_back([](CQuicksetDlg& d) {
    d.OnScheme(6);  // B3: address 1405, interrogation on 7
    d.OnAdvanced();
  });
  b.op.advancedScripts.push_back([](CAdvancedDlg& d) {
    EXPECT_EQ(d.editedStatus.Address, 14);
    EXPECT_EQ(d.editedStatus.AltCIFChannel, 7);
    d.gain.Select("Low");
    d.OnSet();
  });
  RunQuickset(*b.unit, window);
  EXPECT_EQ(b.op.dialogs, (std::vector<std::string>{CQuicksetDlg::kCaption, CAdvancedDlg::kCaption}));
  EXPECT_EQ(b.op.BoxTexts(), (std::vector<std::string>{qt::kSetCorrectly, kEnableQuestion}));
  EXPECT_EQ(unitState().address, 14);
  EXPECT_EQ(unitState().rxGain, 1);
}

TEST_F(FlowTest, AnLmfUnitGoesStraightToTheAdvancedDialog) {
  SimUnitState& s = unitState();
  s.band = "LMF";
  s.channel = 3;
  s.hprMs = s.hprLs = 0;  // no HPR pair in this band
  s.interrogateChannel = 2;
  b.op.advancedScripts.push_back([](CAdvancedDlg& d) {
    EXPECT_FALSE(d.hprCapable);
    EXPECT_FALSE(d.shown.hprRadio);
    // Channels up to 4 only.
    for (const auto& item : d.address.items) EXPECT_LE(CParameterTables::LeadingNumber(item.c_str()) % 100, 4) << item;
    ASSERT_TRUE(d.address.Select("1504"));
    d.OnAddressOrBeaconChanged();
    d.OnRefreshTimer();
    ASSERT_TRUE(d.interrogate.Select("4"));
    ASSERT_TRUE(d.power.Select("High"));
    d.OnSet();
  });
  RunQuickset(*b.unit, window);
  EXPECT_EQ(b.op.dialogs, std::vector<std::string>{CAdvancedDlg::kCaption});
  EXPECT_EQ(b.op.BoxTexts(), (std::vector<std::string>{qt::kSetCorrectly, kEnableQuestion}));
  EXPECT_EQ(Count("#STAD,15,4,0,0"), 1u);
  EXPECT_EQ(s.address, 15);
  EXPECT_EQ(s.channel, 4);
  EXPECT_EQ(s.interrogateChannel, 4);
  EXPECT_EQ(s.powerL, 2);
}

TEST_F(FlowTest, AnIncompleteFirstReadingAbortsBeforeAnyDialog) {
  b.sim().Handle("INFO", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.silent = true;
    return r;
  });
  RunQuickset(*b.unit, window);
  // "#INFO" spends the comms budget, so "#STTX" after it fails at once too.
  EXPECT_EQ(paneText, "Quickset aborted\r\nOnly partial status recovered 18");
  EXPECT_EQ(pushes, 1);
  EXPECT_TRUE(b.op.dialogs.empty());
  EXPECT_TRUE(Settings().empty());
  EXPECT_TRUE(shownReplies.empty());
  // The reading's own box, and nothing more.
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{"Only partial status recovered 18"});
}

// The serial status goes unanswered for as many exchanges as the counter says; the quickset
// dialog script sets the counter, so the first reading is complete.
std::shared_ptr<int> SilenceSerialStatus(SimUnit& unit) {
  auto silentFor = std::make_shared<int>(0);
  unit.Handle("STTX", [silentFor](SimUnit& u, const std::string&, const std::string&) {
    SimUnit::Reply r;
    if (*silentFor > 0) {
      --*silentFor;
      r.silent = true;
      return r;
    }
    r.noEcho = true;
    r.lines.push_back(SerialStatusRecord(u.state));
    return r;
  });
  return silentFor;
}

TEST_F(FlowTest, AnIncompleteReadBackIsReadAgainAtTheOperatorsWord) {
  MakeQrn();
  auto silentFor = SilenceSerialStatus(b.sim());
  b.op.quicksetScripts.push_back([silentFor](CQuicksetDlg& d) {
    ChooseA3HighMaximum(d);
    *silentFor = 2;  // both attempts of the first read-back
  });
  b.op.answers = {MbAnswer::Yes, MbAnswer::Yes};
  RunQuickset(*b.unit, window);
  const std::string fault = "Status recovery fault\r\nOnly partial status recovered 08\r\nRetry?";
  EXPECT_EQ(b.op.BoxTexts(), (std::vector<std::string>{fault, qt::kSetCorrectly, kEnableQuestion}));
  EXPECT_EQ(b.op.boxes[0].caption, "Status recovery");
  EXPECT_EQ(b.op.boxes[0].icon, MbIcon::Question);
  // Read again, not updated again.
  EXPECT_EQ(Count("#GCMD,30"), 1u);
}

TEST_F(FlowTest, RefusingToReadAgainLeavesTheStatusUncertain) {
  MakeQrn();
  auto silentFor = SilenceSerialStatus(b.sim());
  b.op.quicksetScripts.push_back([silentFor](CQuicksetDlg& d) {
    ChooseA3HighMaximum(d);
    *silentFor = 1000;
  });
  b.op.answers = {MbAnswer::No, MbAnswer::Yes};
  RunQuickset(*b.unit, window);
  EXPECT_EQ(b.op.BoxTexts(),
            (std::vector<std::string>{"Status recovery fault\r\nOnly partial status recovered 08\r\nRetry?",
                                      qt::kUncertain, kEnableQuestion}));
  EXPECT_EQ(b.op.boxes[1].caption, "Quickset");
  EXPECT_EQ(b.op.boxes[1].buttons, MbButtons::Ok);
}

// ---- "Set address and channels" ----

TEST_F(FlowTest, TheAddressDialogRefusesUnusableEntriesThenSetsTheUnit) {
  b.op.addressScripts.push_back([](CAddressDlg& d) {
    d.address.text = "1600";  // address 16 is not usable
    EXPECT_FALSE(d.OnOk());
    d.address.Select("1305");
    d.hpr.text = "77";  // 7, 7 is not usable
    EXPECT_FALSE(d.OnOk());
    ASSERT_TRUE(d.hpr.Select("57"));
    EXPECT_TRUE(d.OnOk());
  });
  RunSetAddressAndChannels(*b.unit, window);
  EXPECT_EQ(b.op.BoxTexts(), (std::vector<std::string>{"Illegal unit address", "Illegal HPR channels"}));
  EXPECT_EQ(b.op.boxes[0].caption, "Entry error");
  EXPECT_EQ(b.op.boxes[0].icon, MbIcon::Information);
  EXPECT_EQ(pulls, 1);
  EXPECT_EQ(paneText, "");
  // Only the address command (the reply channel of this unit is IRS, which is never sent).
  EXPECT_EQ(Settings(), std::vector<std::string>{"#STAD,13,5,5,7"});
  EXPECT_EQ(unitState().address, 13);
  EXPECT_EQ(unitState().hprMs, 5);
  ASSERT_EQ(shownReplies.size(), 1u);
  EXPECT_NE(shownReplies[0].find("AD = 1305"), std::string::npos);
  EXPECT_FALSE(b.op.busyVisible);
}

TEST_F(FlowTest, AnUnchangedOrCancelledAddressDialogSendsNothing) {
  b.op.addressScripts.push_back([](CAddressDlg& d) { EXPECT_TRUE(d.OnOk()); });
  b.op.addressScripts.push_back([](CAddressDlg& d) {
    d.address.Select("1305");
    d.OnCancel();
  });
  RunSetAddressAndChannels(*b.unit, window);
  RunSetAddressAndChannels(*b.unit, window);
  EXPECT_TRUE(Settings().empty());
  EXPECT_EQ(shownReplies.size(), 2u);
  EXPECT_EQ(b.op.dialogs.size(), 2u);
}

}  // namespace
