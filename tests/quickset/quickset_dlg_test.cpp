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
  EXPECT_EQ(dlg.gain.items, (std::vector<std::string>{"Low", "Medium", "High", "Maximum"}));
  // The values shown are the unit's own.
  EXPECT_EQ(dlg.addressText, "302");
  EXPECT_EQ(dlg.tatText, "312.50");
  EXPECT_EQ(dlg.interrogateText, "9");
  EXPECT_EQ(dlg.power.text, "Low");
  EXPECT_EQ(dlg.gain.text, "Medium");
}

// Rows A, B, C: address 15, 14, 13 and interrogation on 6, 7, 8; columns 1 to 4: channel 1,
// 3, 5, 7 and TAT 250, 375, 500, 625 ms.
TEST(QuicksetDialog, EverySchemeButtonWritesItsRow) {
  for (int scheme = 0; scheme < 12; ++scheme) {
    const int row = scheme / 4, column = scheme % 4;
    const std::string name = std::string(1, "ABC"[row]) + std::to_string(column + 1);
    SCOPED_TRACE(name);
    CQuicksetDlg dlg = Opened(QrnUnit(), 2);
    int id = 0;
    for (const auto& button : dlg.buttons)
      if (button.visible && button.caption == name) id = button.id;
    ASSERT_TRUE(dlg.OnSchemeButton(id));
    const UnitStatus& s = dlg.editedStatus;
    EXPECT_EQ(dlg.schemeIndex, scheme);
    EXPECT_EQ(s.Address, 15 - row);
    EXPECT_EQ(s.Channel, 1 + 2 * column);
    EXPECT_EQ(s.Tat, 250.0f + 125.0f * column);
    EXPECT_EQ(s.AltCIFChannel, 6 + row);
    EXPECT_EQ(s.CPD, 2);
    EXPECT_EQ(s.Enabled.str(), "WDD");
    EXPECT_EQ(s.RxGain, 4);
    EXPECT_EQ(s.CPU, 1);
    // The chosen button is drawn large, the edits follow the row.
    EXPECT_EQ(Large(dlg), std::vector<std::string>{name});
    EXPECT_EQ(dlg.interrogateText, std::to_string(6 + row));
    EXPECT_EQ(dlg.gain.text, "Maximum");
  }
  CQuicksetDlg dlg = Opened(QrnUnit(), 2);
  EXPECT_FALSE(dlg.OnSchemeButton(0));
  dlg.OnScheme(12);  // no such row: nothing changes
  EXPECT_EQ(dlg.schemeIndex, -1);
  EXPECT_EQ(dlg.editedStatus.Address, 3);
}
