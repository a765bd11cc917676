// The quick-set flow and "Set address and channels" end to end: the simulated unit, the
// scripted operator answering the dialogs and boxes, the unit's settings afterwards and the
// entry of the new-status file.
#include <gtest/gtest.h>

#include "quickset/address_dlg.h"
#include "quickset/quickset_dlg.h"
#include "ui/quickset_flow.h"
#include "tests/support/test_bench.h"

namespace {

namespace qt = quickset_text;

struct FlowTest : ::testing::Test {
  UnitOnBench b;
  ScriptedWindow window{*b.unit};
  DateTime stamp = DateTime::FromCivil({2026, 5, 1, 14, 30, 0});

  void SetUp() override {
    b.unit->utcNow = [this] { return stamp; };
  }
};

TEST_F(FlowTest, QrnUnitSetToA3WithHighPowerAndMaximumGain) {
  b.sim().state.mainFirmware = "QRN V3.12.4 12/03/2021";  // the firmware reply names the model
  b.op.quicksetScripts.push_back([](CQuicksetDlg& d) {
    d.OnScheme(2);
    d.power.Select("High");
    d.gain.Select("Maximum");
    d.OnSet();
  });
  b.op.answers = {MbAnswer::Yes};  // leave it enabled
  RunQuickset(*b.unit, window);

  EXPECT_EQ(b.op.dialogs, std::vector<std::string>{CQuicksetDlg::kCaption});
  EXPECT_EQ(b.op.BoxTexts(), (std::vector<std::string>{qt::kSetCorrectly, qt::kEnableOrDisable}));
  // The unit took the scheme with the chosen gain (the settings one by one belong to the
  // update tests).
  const SimUnitState& s = b.sim().state;
  EXPECT_EQ(s.address, 15);
  EXPECT_EQ(s.rxGain, 4);
  EXPECT_EQ(s.enabled, "WDD");
  EXPECT_EQ(Count(b.wire(), "#GCMD,2\r\n"), 0u) << "not disabled";
  // The reply pane gets the read-back, the new-status file the stamped entry.
  ASSERT_EQ(window.replies.size(), 1u);
  EXPECT_EQ(window.replies[0].second, kNoReplyHeader);
  EXPECT_NE(window.replies[0].first.find("AD = 1505"), std::string::npos);
  b.unit->status.requiredStatus = UnitStatus{};
  ASSERT_TRUE(b.unit->LoadRequiredStatus(0x1A2B3C));
  EXPECT_EQ(b.unit->status.requiredStatus.CPA, 2);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedResult, 1);
  EXPECT_EQ(b.unit->status.requiredChecks.UpdatedTime, stamp);
}

// ---- "Set address and channels" ----

TEST_F(FlowTest, TheAddressDialogRefusesUnusableEntriesThenSetsTheUnit) {
  b.op.addressScripts.push_back([](CAddressDlg& d) {
    d.address.text = "1600";  // address 16 is not usable
    EXPECT_FALSE(d.OnOk());
    d.address.Select("1305");
    ASSERT_TRUE(d.hpr.Select("57"));
    EXPECT_TRUE(d.OnOk());
  });
  RunSetAddressAndChannels(*b.unit, window);
  // The dialog's refusal is shown as a box.
  EXPECT_EQ(b.op.BoxTexts(), (std::vector<std::string>{"Illegal unit address"}));
  EXPECT_EQ(b.op.boxes[0].icon, MbIcon::Information);
  // Only the address command (the reply channel of this unit is IRS, which is never sent).
  EXPECT_EQ(Count(b.wire(), "#STAD,13,5,5,7\r\n"), 1u);
  EXPECT_EQ(b.sim().state.address, 13);
  ASSERT_EQ(window.replies.size(), 1u);
  EXPECT_NE(window.replies[0].first.find("AD = 1305"), std::string::npos);
}

}  // namespace
