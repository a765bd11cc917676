#include "quickset/quickset_dlg.h"

#include <gtest/gtest.h>

#include "sim/scripted_operator.h"

namespace {

// A QRN unit as it reads at the bench: tone ranging, its own address and timing.
UnitStatus QrnUnit() {
  UnitStatus s;
  s.UnitId = 0x123456, s.TypeNo = "8120-001", s.Band = "MF", s.Enabled = "EDD";
  s.Address = 3, s.Channel = 2, s.Tat = 312.5f, s.AltCIFChannel = 9;
  s.CPA = s.CPL = s.CPS = s.CPT = s.CPU = 1;
  s.RxGain = 2, s.CPD = 7;
  return s;
}

CQuicksetDlg Opened(const UnitStatus& s, int model) {
  CQuicksetDlg dlg;
  dlg.editedStatus = s;
  dlg.unitModel = model;
  dlg.OnInitDialog();
  return dlg;
}

std::vector<std::string> Visible(const CQuicksetDlg& dlg) {
  std::vector<std::string> v;
  for (const auto& b : dlg.buttons)
    if (b.visible) v.push_back(b.caption);
  return v;
}

std::vector<std::string> Large(const CQuicksetDlg& dlg) {
  std::vector<std::string> v;
  for (const auto& b : dlg.buttons)
    if (b.fontHeight == CQuicksetDlg::kLargeFont) v.push_back(b.caption);
  return v;
}

}  // namespace

TEST(QuicksetDialog, Model2OpensWithTwelveSchemesHeadingAndLines) {
  CQuicksetDlg dlg = Opened(QrnUnit(), 2);
  EXPECT_EQ(dlg.schemeIndex, -1);
  EXPECT_EQ(Visible(dlg),
            (std::vector<std::string>{"A1", "A2", "A3", "A4", "B1", "B2", "B3", "B4", "C1", "C2", "C3", "C4"}));
  EXPECT_TRUE(Large(dlg).empty());
  EXPECT_EQ(dlg.heading, "Click the required scheme, A1-C4");
  EXPECT_EQ(dlg.power.items, (std::vector<std::string>{"Low", "High"}));
  EXPECT_EQ(dlg.gain.items, (std::vector<std::string>{"Low", "Medium", "High", "Maximum"}));
  // The values shown are the unit's own.
  EXPECT_EQ(dlg.addressText, "302");
  EXPECT_EQ(dlg.tatText, "312.50");
  EXPECT_EQ(dlg.interrogateText, "9");
  EXPECT_EQ(dlg.power.text, "Low");
  EXPECT_EQ(dlg.gain.text, "Medium");
}

TEST(QuicksetDialog, EverySchemeButtonWritesItsRow) {
  struct Want {
    int id;
    int address, channel;
    float tat;
    int altCif;
  };
  const Want rows[] = {
      {1093, 15, 1, 250, 6}, {1102, 15, 3, 375, 6}, {1103, 15, 5, 500, 6}, {1104, 15, 7, 625, 6},
      {1105, 14, 1, 250, 7}, {1107, 14, 3, 375, 7}, {1108, 14, 5, 500, 7}, {1111, 14, 7, 625, 7},
      {1106, 13, 1, 250, 8}, {1109, 13, 3, 375, 8}, {1110, 13, 5, 500, 8}, {1112, 13, 7, 625, 8},
  };
  int scheme = 0;
  for (const Want& w : rows) {
    CQuicksetDlg dlg = Opened(QrnUnit(), 2);
    ASSERT_TRUE(dlg.OnSchemeButton(w.id));
    const UnitStatus& s = dlg.editedStatus;
    EXPECT_EQ(dlg.schemeIndex, scheme);
    EXPECT_EQ(s.Address, w.address) << w.id;
    EXPECT_EQ(s.Channel, w.channel) << w.id;
    EXPECT_EQ(s.Tat, w.tat) << w.id;
    EXPECT_EQ(s.AltCIFChannel, w.altCif) << w.id;
    EXPECT_EQ(s.CPD, 2);
    EXPECT_EQ(s.Enabled.str(), "WDD");
    EXPECT_EQ(s.RxGain, 4);
    EXPECT_EQ(s.CPU, 1);
    // The chosen button is drawn large, the edits follow the row.
    EXPECT_EQ(Large(dlg), std::vector<std::string>{CQuicksetDlg::Model2Schemes()[scheme].name});
    EXPECT_EQ(dlg.interrogateText, std::to_string(w.altCif));
    EXPECT_EQ(dlg.gain.text, "Maximum");
    ++scheme;
  }
  CQuicksetDlg dlg = Opened(QrnUnit(), 2);
  EXPECT_FALSE(dlg.OnSchemeButton(1113 + 100));
  dlg.OnScheme(12);  // no such row: nothing changes
  EXPECT_EQ(dlg.schemeIndex, -1);
  EXPECT_EQ(dlg.editedStatus.Address, 3);
}
