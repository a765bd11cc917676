#include "quickset/advanced_dlg.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sim/scripted_operator.h"

namespace {

// An LMF unit ranging in wideband.
UnitStatus LmfUnit() {
  UnitStatus s;
  s.UnitId = 0x00A0B1;
  s.Band = "LMF";
  s.Enabled = "WDD";
  s.WideBandEnabled = 1;
  s.Address = 35;
  s.Channel = 2;
  s.HPRms = 0;
  s.HPRls = 0;
  s.Tat = 250.0f;
  s.AltCIFChannel = 16;
  s.CIFReplyCHannel = 15;
  s.CPA = 2;
  s.CPL = 2;
  s.RxGain = 3;
  s.CWTIndex = 2;
  s.CWRIndex = 3;
  s.CWCIndex = 4;
  s.FEEnabled = 1;
  return s;
}

// An MF unit in HPR ranging.
UnitStatus HprUnit() {
  UnitStatus s = LmfUnit();
  s.Band = "MF";
  s.Enabled = "DDE";
  s.WideBandEnabled = 0;
  s.Address = 7;
  s.Channel = 9;
  s.HPRms = 5;
  s.HPRls = 7;
  return s;
}

CAdvancedDlg Opened(const UnitStatus& s) {
  CAdvancedDlg dlg;
  dlg.editedStatus = s;
  dlg.OnInitDialog();
  return dlg;
}

bool Has(const ListControl& l, const std::string& item) {
  return std::find(l.items.begin(), l.items.end(), item) != l.items.end();
}

}  // namespace

TEST(AdvancedDialog, LmfUnitOpensInWidebandWithItsLimits) {
  CAdvancedDlg dlg = Opened(LmfUnit());
  EXPECT_EQ(dlg.navScheme, CAdvancedDlg::kWideband);
  EXPECT_FALSE(dlg.hprCapable);
  EXPECT_TRUE(dlg.widebandTexts);
  EXPECT_FALSE(dlg.applied);
  EXPECT_FALSE(dlg.refreshPending);

  // Lists: addresses with channels up to 4 only (30 addresses x 4 channels), interrogation
  // channels 1..4 and CIS (the common reply channel is left out), TAT steps 1..13.
  EXPECT_EQ(dlg.address.items.size(), 120u);
  EXPECT_EQ(dlg.address.items.front(), "101");
  EXPECT_EQ(dlg.address.items.back(), "4704");
  EXPECT_FALSE(Has(dlg.address, "105"));
  EXPECT_FALSE(Has(dlg.address, "1601"));
  EXPECT_EQ(dlg.interrogate.items, (std::vector<std::string>{"1", "2", "3", "4", "CIS"}));
  ASSERT_EQ(dlg.tat.items.size(), 13u);
  EXPECT_EQ(dlg.tat.items.front(), "62.500");
  EXPECT_EQ(dlg.tat.items.back(), "812.500");
  EXPECT_EQ(dlg.power.items, (std::vector<std::string>{"Low", "High"}));
  EXPECT_EQ(dlg.gain.items, (std::vector<std::string>{"Low", "Medium", "High", "Maximum"}));
  EXPECT_EQ(dlg.cwt.items.size(), 8u);
  EXPECT_EQ(dlg.cwc.items.front(), "0.25");  // the default table: LMF is no LF band
  EXPECT_TRUE(dlg.beacon.items.empty());
  EXPECT_TRUE(dlg.reply.items.empty());

  // Shown: TAT list, interrogate, reply label and code; the HPR radio is hidden.
  EXPECT_FALSE(dlg.shown.hprRadio);
  EXPECT_TRUE(dlg.shown.tatList);
  EXPECT_TRUE(dlg.shown.interrogate);
  EXPECT_TRUE(dlg.shown.replyLabel);
  EXPECT_TRUE(dlg.shown.replyEdit);
  EXPECT_FALSE(dlg.shown.replyList);
  EXPECT_FALSE(dlg.shown.beacon);
  EXPECT_FALSE(dlg.shown.hprTatEdit);

  // Selections from the unit's values; the derived edits.
  EXPECT_EQ(dlg.address.text, "3502");
  EXPECT_EQ(dlg.tat.text, "250.000");
  EXPECT_EQ(dlg.interrogate.text, "CIS");
  EXPECT_EQ(dlg.power.text, "High");
  EXPECT_EQ(dlg.gain.text, "High");
  EXPECT_EQ(dlg.cwt.text, "1.0");
  EXPECT_EQ(dlg.cwr.text, "2.5");
  EXPECT_EQ(dlg.cwc.text, "1.0");
  EXPECT_EQ(dlg.replyCodeText, "302");
  EXPECT_EQ(dlg.hprTatText, "30");
}

TEST(AdvancedDialog, HprUnitBeaconListAndDerivedTat) {
  CAdvancedDlg dlg = Opened(HprUnit());
  EXPECT_TRUE(dlg.hprCapable);
  EXPECT_TRUE(dlg.shown.hprRadio);
  EXPECT_TRUE(dlg.shown.beacon);
  EXPECT_TRUE(dlg.shown.hprTatEdit);
  EXPECT_FALSE(dlg.shown.tatList);
  EXPECT_FALSE(dlg.shown.interrogate);
  EXPECT_FALSE(dlg.shown.replyLabel);
  // 01..09, five first digits with 8 each, and 6, 7, 8 without their doubles: 9 + 40 + 21.
  EXPECT_EQ(dlg.beacon.items.size(), 70u);
  EXPECT_EQ(dlg.beacon.items.front(), "01");
  EXPECT_TRUE(Has(dlg.beacon, "09"));
  EXPECT_TRUE(Has(dlg.beacon, "55"));
  for (const char* absent : {"NF", "00", "10", "66", "77", "88", "19", "90"}) EXPECT_FALSE(Has(dlg.beacon, absent));
  EXPECT_EQ(dlg.beacon.text, "57");
  EXPECT_EQ(dlg.hprTatText, "60");
  EXPECT_TRUE(dlg.tat.items.empty());  // HPR fills no TAT list

  ASSERT_TRUE(dlg.beacon.Select("33"));
  EXPECT_TRUE(dlg.OnAddressOrBeaconChanged());
  dlg.OnRefreshTimer();
  EXPECT_EQ(dlg.editedStatus.HPRms, 3);
  EXPECT_EQ(dlg.editedStatus.HPRls, 3);
  EXPECT_EQ(dlg.hprTatText, "30");
  ASSERT_TRUE(dlg.beacon.Select("04"));
  dlg.OnAddressOrBeaconChanged();
  dlg.OnRefreshTimer();
  EXPECT_EQ(dlg.hprTatText, "30");  // first digit 0
  ASSERT_TRUE(dlg.beacon.Select("48"));
  dlg.OnAddressOrBeaconChanged();
  dlg.OnRefreshTimer();
  EXPECT_EQ(dlg.hprTatText, "60");

  dlg.OnSet();
  EXPECT_EQ(dlg.editedStatus.Enabled.str(), "DDE");
  EXPECT_EQ(dlg.editedStatus.HPRms, 4);
  EXPECT_EQ(dlg.editedStatus.HPRls, 8);
  EXPECT_EQ(dlg.editedStatus.Tat, 250.0f);  // no TAT list in HPR: the value stays
}

TEST(AdvancedDialog, ApplyingTheControlsInOrder) {
  CAdvancedDlg dlg = Opened(LmfUnit());
  dlg.OnNavScheme(CAdvancedDlg::kTone);
  ASSERT_TRUE(dlg.address.Select("4704"));
  ASSERT_TRUE(dlg.tat.Select("562.500"));
  ASSERT_TRUE(dlg.power.Select("Low"));
  ASSERT_TRUE(dlg.gain.Select("Maximum"));
  ASSERT_TRUE(dlg.interrogate.Select("3"));
  ASSERT_TRUE(dlg.reply.Select("CIF"));
  dlg.cwt.text = "4.0";
  dlg.cwr.text = "9.9";  // names no entry: -1, which the update engine replaces by the unit's value
  dlg.cwc.text.clear();  // empty: unchanged
  dlg.ApplyControls();
  const UnitStatus& s = dlg.editedStatus;
  EXPECT_EQ(s.FEEnabled, 0);
  EXPECT_EQ(s.Address, 47);
  EXPECT_EQ(s.Channel, 4);
  EXPECT_EQ(s.HPRms, 0);  // beacon list empty: unchanged
  EXPECT_EQ(s.Tat, 562.5f);
  for (int p : {s.CPA, s.CPT, s.CPL, s.CPS, s.CPU}) EXPECT_EQ(p, 1);
  EXPECT_EQ(s.RxGain, 4);
  EXPECT_EQ(s.CWTIndex, 8);
  EXPECT_EQ(s.CWRIndex, -1);
  EXPECT_EQ(s.CWCIndex, 4);
  EXPECT_EQ(s.AltCIFChannel, 3);
  EXPECT_EQ(s.CIFReplyCHannel, 16);
  EXPECT_EQ(s.Enabled.str(), "EDD");

  // Short texts are not read: an address of two characters, a one-character beacon, a TAT
  // of two characters.
  CAdvancedDlg d2 = Opened(HprUnit());
  d2.address.text = "12";
  d2.beacon.text = "5";
  d2.tat.text = "62";
  d2.ApplyControls();
  EXPECT_EQ(d2.editedStatus.Address, 7);
  EXPECT_EQ(d2.editedStatus.HPRms, 5);
  EXPECT_EQ(d2.editedStatus.HPRls, 7);
  EXPECT_EQ(d2.editedStatus.Tat, 250.0f);
  // "NF" is the pair 0, 0.
  d2.beacon.text = "NF";
  d2.ApplyControls();
  EXPECT_EQ(d2.editedStatus.HPRms, 0);
  EXPECT_EQ(d2.editedStatus.HPRls, 0);
}
