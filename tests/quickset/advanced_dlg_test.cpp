#include "quickset/advanced_dlg.h"

#include <gtest/gtest.h>

#include <tuple>

#include "sim/scripted_operator.h"

namespace {

// An LMF unit ranging in wideband.
UnitStatus LmfUnit() {
  UnitStatus s;
  s.UnitId = 0x00A0B1, s.Band = "LMF", s.Enabled = "WDD", s.WideBandEnabled = 1, s.FEEnabled = 1;
  s.Address = 35, s.Channel = 2, s.HPRms = 0, s.HPRls = 0, s.Tat = 250.0f, s.AltCIFChannel = 16, s.CIFReplyCHannel = 15;
  s.CPA = 2, s.CPL = 2, s.RxGain = 3, s.CWTIndex = 2, s.CWRIndex = 3, s.CWCIndex = 4;
  return s;
}

CAdvancedDlg Opened(const UnitStatus& s) {
  CAdvancedDlg dlg;
  dlg.editedStatus = s;
  dlg.OnInitDialog();
  return dlg;
}

}  // namespace

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
  // FE off; address, channel and HPR (beacon list empty: unchanged); the five powers; gain;
  // CWT, CWR, CWC; interrogation and reply channels.
  const UnitStatus& s = dlg.editedStatus;
  EXPECT_EQ((std::vector<int32_t>{s.FEEnabled, s.Address, s.Channel, s.HPRms, s.CPA, s.CPT, s.CPL, s.CPS, s.CPU,
                                  s.RxGain, s.CWTIndex, s.CWRIndex, s.CWCIndex, s.AltCIFChannel, s.CIFReplyCHannel}),
            (std::vector<int32_t>{0, 47, 4, 0, 1, 1, 1, 1, 1, 4, 8, -1, 4, 3, 16}));
  EXPECT_EQ(s.Tat, 562.5f);
  EXPECT_EQ(s.Enabled.str(), "EDD");

  // Short texts are not read: an address of two characters, a one-character beacon, a TAT
  // of two characters.
  UnitStatus hpr = LmfUnit();  // as an MF unit in HPR ranging
  hpr.Band = "MF", hpr.Enabled = "DDE", hpr.WideBandEnabled = 0;
  hpr.Address = 7, hpr.Channel = 9, hpr.HPRms = 5, hpr.HPRls = 7;
  CAdvancedDlg d2 = Opened(hpr);
  d2.address.text = "12";
  d2.beacon.text = "5";
  d2.tat.text = "62";
  d2.ApplyControls();
  EXPECT_EQ(std::tie(d2.editedStatus.Address, d2.editedStatus.HPRms, d2.editedStatus.Tat), std::tuple(7, 5, 250.0f));
  // "NF" is the pair 0, 0.
  d2.beacon.text = "NF";
  d2.ApplyControls();
  EXPECT_EQ(d2.editedStatus.HPRls, 0);
}
