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

// The captions of the scheme buttons that pass the test (shown, or drawn large).
template <typename Test>
std::vector<std::string> Captions(const CQuicksetDlg& dlg, Test test) {
  std::vector<std::string> v;
  for (const auto& b : dlg.buttons)
    if (test(b)) v.push_back(b.caption);
  return v;
}
bool Large(const CQuicksetDlg::SchemeButton& b) { return b.fontHeight == CQuicksetDlg::kLargeFont; }

}  // namespace

// A model 2 unit opens with twelve schemes, none chosen, and the unit's own values shown.
// Rows A, B, C: address 15, 14, 13 and interrogation on 6, 7, 8; columns 1 to 4: channel 1,
// 3, 5, 7 and TAT 250, 375, 500, 625 ms.
TEST(QuicksetDialog, Model2OpensWithTwelveSchemesAndEachButtonWritesItsRow) {
  CQuicksetDlg opened = Opened(QrnUnit(), 2);
  EXPECT_EQ(Captions(opened, [](const auto& b) { return b.visible; }),
            (std::vector<std::string>{"A1", "A2", "A3", "A4", "B1", "B2", "B3", "B4", "C1", "C2", "C3", "C4"}));
  EXPECT_TRUE(Captions(opened, Large).empty());
  EXPECT_EQ(opened.heading, "Click the required scheme, A1-C4");
  EXPECT_EQ(opened.gain.items, (std::vector<std::string>{"Low", "Medium", "High", "Maximum"}));
  EXPECT_EQ((std::vector<std::string>{opened.addressText, opened.tatText, opened.interrogateText, opened.power.text,
                                      opened.gain.text}),
            (std::vector<std::string>{"302", "312.50", "9", "Low", "Medium"}));
  EXPECT_FALSE(opened.OnSchemeButton(0));
  opened.OnScheme(12);  // no such row: nothing changes
  EXPECT_EQ(opened.schemeIndex, -1);
  EXPECT_EQ(opened.editedStatus.Address, 3);

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
    EXPECT_EQ((std::vector<int32_t>{dlg.schemeIndex, s.Address, s.Channel, s.AltCIFChannel, s.CPD, s.RxGain}),
              (std::vector<int32_t>{scheme, 15 - row, 1 + 2 * column, 6 + row, 2, 4}));
    EXPECT_EQ(s.Tat, 250.0f + 125.0f * column);
    EXPECT_EQ(s.Enabled.str(), "WDD");
    // The chosen button is drawn large, the edits follow the row.
    EXPECT_EQ(Captions(dlg, Large), std::vector<std::string>{name});
    EXPECT_EQ(dlg.interrogateText, std::to_string(6 + row));
  }
}
