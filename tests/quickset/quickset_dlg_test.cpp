#include "quickset/quickset_dlg.h"

#include <gtest/gtest.h>

#include "sim/scripted_operator.h"

namespace {

// A QRN unit as it reads at the bench: tone ranging, its own address and timing.
UnitStatus QrnUnit() {
  UnitStatus s;
  s.UnitId = 0x123456;
  s.TypeNo = "8120-001";
  s.Band = "MF";
  s.Address = 3;
  s.Channel = 2;
  s.Tat = 312.5f;
  s.AltCIFChannel = 9;
  s.Enabled = "EDD";
  s.CPA = 1;
  s.CPL = 1;
  s.CPS = 1;
  s.CPT = 1;
  s.CPU = 1;
  s.RxGain = 2;
  s.CPD = 7;
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
  EXPECT_EQ(dlg.unitModel, 2);
  EXPECT_EQ(dlg.schemeIndex, -1);
  EXPECT_EQ(Visible(dlg), (std::vector<std::string>{"A1", "A2", "A3", "A4", "B1", "B2", "B3", "B4", "C1", "C2",
                                                    "C3", "C4"}));
  EXPECT_TRUE(Large(dlg).empty());
  for (const auto& b : dlg.buttons) EXPECT_EQ(b.fontHeight, 20);
  EXPECT_EQ(dlg.heading, "Click the required scheme, A1-C4");
  EXPECT_EQ(dlg.lines[0], "Same row eg B1+B2+B3 etc = Simultaneous mode.");
  EXPECT_EQ(dlg.lines[1], "Same interrogation cycle; Faster update rate.");
  EXPECT_EQ(dlg.lines[2], " ");
  EXPECT_EQ(dlg.lines[3], "Same column/diagonal eg A1+B1+C3 etc = Sequential.");
  EXPECT_EQ(dlg.lines[4], "Seperate interogation cycles: Slower but seperate");
  EXPECT_EQ(dlg.lines[5], "update rates");
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
    for (int p : {s.CPA, s.CPL, s.CPS, s.CPT, s.CPU}) EXPECT_EQ(p, 1);
    // The chosen button is drawn large, the edits follow the row.
    EXPECT_EQ(Large(dlg), std::vector<std::string>{CQuicksetDlg::Model2Schemes()[scheme].name});
    char address[8];
    std::snprintf(address, sizeof address, "%d%02d", w.address, w.channel);
    EXPECT_EQ(dlg.addressText, address);
    EXPECT_EQ(dlg.interrogateText, std::to_string(w.altCif));
    EXPECT_EQ(dlg.power.text, "Low");
    EXPECT_EQ(dlg.gain.text, "Maximum");
    ++scheme;
  }
  CQuicksetDlg dlg = Opened(QrnUnit(), 2);
  EXPECT_FALSE(dlg.OnSchemeButton(1113 + 100));
  dlg.OnScheme(12);  // no such row: nothing changes
  EXPECT_EQ(dlg.schemeIndex, -1);
  EXPECT_EQ(dlg.editedStatus.Address, 3);
}

TEST(QuicksetDialog, Type8132TurnsModel2IntoThreeSchemes) {
  UnitStatus s = QrnUnit();
  s.TypeNo = "8132-200";
  CQuicksetDlg dlg = Opened(s, 2);
  EXPECT_EQ(dlg.unitModel, 3);
  EXPECT_EQ(Visible(dlg), (std::vector<std::string>{"MA", "MB", "MC"}));
  EXPECT_EQ(dlg.heading, "Click the required scheme, MA-MC");
  for (const auto& line : dlg.lines) EXPECT_EQ(line, "");
  ASSERT_TRUE(dlg.OnSchemeButton(1115));  // MB
  EXPECT_EQ(dlg.schemeIndex, 1);
  EXPECT_EQ(dlg.editedStatus.Address, 12);
  EXPECT_EQ(dlg.editedStatus.Channel, 4);
  EXPECT_EQ(dlg.editedStatus.Tat, 125.0f);
  EXPECT_EQ(dlg.editedStatus.AltCIFChannel, 7);
  EXPECT_EQ(dlg.editedStatus.CPD, 4);
  EXPECT_EQ(Large(dlg), std::vector<std::string>{"MB"});
  ASSERT_TRUE(dlg.OnSchemeButton(1114));  // MC
  EXPECT_EQ(dlg.editedStatus.Channel, 7);

  // Only the value 8132 at the start of the type counts, and only for model 2.
  s.TypeNo = "81320";
  EXPECT_EQ(Opened(s, 2).unitModel, 2);
  s.TypeNo = " 8132";
  EXPECT_EQ(Opened(s, 2).unitModel, 3);
  s.TypeNo = "8132";
  EXPECT_EQ(Opened(s, 0).unitModel, 0);
}

TEST(QuicksetDialog, PreselectsTheRowTheUnitMatches) {
  UnitStatus s = QrnUnit();
  s.Address = 15;
  s.Channel = 5;
  s.Tat = 500.0f;
  s.AltCIFChannel = 6;
  s.Enabled = "WDD";
  CQuicksetDlg dlg = Opened(s, 2);
  EXPECT_EQ(dlg.schemeIndex, 2);
  EXPECT_EQ(Large(dlg), std::vector<std::string>{"A3"});

  // Every part must match: the enable status, the exact TAT, the interrogation channel.
  UnitStatus t = s;
  t.Enabled = "EDD";
  EXPECT_EQ(Opened(t, 2).schemeIndex, -1);
  t = s;
  t.Tat = 500.25f;
  EXPECT_EQ(Opened(t, 2).schemeIndex, -1);
  t = s;
  t.AltCIFChannel = 7;
  EXPECT_EQ(Opened(t, 2).schemeIndex, -1);

  // A model-3 unit on MC.
  UnitStatus m = s;
  m.TypeNo = "8132";
  m.Address = 12;
  m.Channel = 7;
  m.Tat = 125.0f;
  m.AltCIFChannel = 8;
  CQuicksetDlg dlg3 = Opened(m, 2);
  EXPECT_EQ(dlg3.schemeIndex, 2);
  EXPECT_EQ(Large(dlg3), std::vector<std::string>{"MC"});
  // The same settings are no row of the model-2 table.
  m.TypeNo = "8120";
  EXPECT_EQ(Opened(m, 2).schemeIndex, -1);
}

TEST(QuicksetDialog, SetWithoutSchemeChangesOnlyPowerAndGain) {
  CQuicksetDlg dlg = Opened(QrnUnit(), 2);
  ASSERT_TRUE(dlg.power.Select("High"));
  ASSERT_TRUE(dlg.gain.Select("Maximum"));
  dlg.OnSet();
  EXPECT_TRUE(dlg.applyRequested);
  EXPECT_FALSE(dlg.advancedRequested);
  EXPECT_TRUE(dlg.closed);
  EXPECT_EQ(dlg.end, DialogEnd::Set);
  const UnitStatus& s = dlg.editedStatus;
  EXPECT_EQ(s.Address, 3);
  EXPECT_EQ(s.Channel, 2);
  EXPECT_EQ(s.Tat, 312.5f);
  EXPECT_EQ(s.AltCIFChannel, 9);
  EXPECT_EQ(s.CPD, 7);
  EXPECT_EQ(s.Enabled.str(), "EDD");
  for (int p : {s.CPA, s.CPT, s.CPL, s.CPS, s.CPU}) EXPECT_EQ(p, 2);
  EXPECT_EQ(s.RxGain, 4);
}

TEST(QuicksetDialog, PowerShownFromCplWhenThePowersDiffer) {
  UnitStatus s = QrnUnit();
  s.CPA = -1;
  s.CPL = 2;
  CQuicksetDlg dlg = Opened(s, 2);
  EXPECT_EQ(dlg.editedStatus.CPA, 2);
  EXPECT_EQ(dlg.power.text, "High");

  // CPL at "Maximum" has no two-level name: nothing is selected, and "Set" leaves the powers.
  s.CPL = 3;
  s.CPU = 3;
  s.RxGain = 9;
  CQuicksetDlg dlg2 = Opened(s, 2);
  EXPECT_EQ(dlg2.power.text, "");
  EXPECT_EQ(dlg2.gain.text, "");
  dlg2.OnSet();
  EXPECT_EQ(dlg2.editedStatus.CPU, 3);
  EXPECT_EQ(dlg2.editedStatus.CPT, 1);
  EXPECT_EQ(dlg2.editedStatus.RxGain, 9);
}

TEST(QuicksetDialog, ChannelNamesInTheInterrogateEdit) {
  UnitStatus s = QrnUnit();
  s.AltCIFChannel = 16;
  EXPECT_EQ(Opened(s, 2).interrogateText, "CIS");
  s.AltCIFChannel = 15;
  EXPECT_EQ(Opened(s, 2).interrogateText, "CRS");
  s.AltCIFChannel = 99;
  EXPECT_EQ(Opened(s, 2).interrogateText, "IRS");
  EXPECT_EQ(QuicksetChannelName(0, 16), "CIF");
}

TEST(QuicksetDialog, AdvancedAndCancel) {
  CQuicksetDlg dlg = Opened(QrnUnit(), 2);
  dlg.OnScheme(5);
  dlg.OnAdvanced();
  EXPECT_TRUE(dlg.advancedRequested);
  EXPECT_FALSE(dlg.applyRequested);
  EXPECT_EQ(dlg.end, DialogEnd::Advanced);
  EXPECT_EQ(dlg.editedStatus.Address, 14);  // the scheme stays in the working copy

  CQuicksetDlg dlg2 = Opened(QrnUnit(), 2);
  dlg2.OnScheme(0);
  dlg2.OnCancel();
  EXPECT_FALSE(dlg2.applyRequested);
  EXPECT_FALSE(dlg2.advancedRequested);
  EXPECT_EQ(dlg2.end, DialogEnd::Cancelled);
}

TEST(QuicksetDialog, ScriptedOperatorChoosesA3HighMaximum) {
  ScriptedOperator op;
  op.quicksetScripts.push_back([](CQuicksetDlg& d) {
    d.OnSchemeButton(1103);  // A3
    d.power.Select("High");
    d.gain.Select("Maximum");
    d.OnSet();
  });
  CQuicksetDlg dlg;
  dlg.editedStatus = QrnUnit();
  dlg.unitModel = 2;
  IOperator& iop = op;
  EXPECT_EQ(iop.RunQuicksetDialog(dlg), DialogEnd::Set);
  EXPECT_TRUE(dlg.applyRequested);
  const UnitStatus& s = dlg.editedStatus;
  EXPECT_EQ(s.Address, 15);
  EXPECT_EQ(s.Channel, 5);
  EXPECT_EQ(s.Tat, 500.0f);
  EXPECT_EQ(s.AltCIFChannel, 6);
  for (int p : {s.CPA, s.CPT, s.CPL, s.CPS, s.CPU}) EXPECT_EQ(p, 2);
  EXPECT_EQ(s.RxGain, 4);
  EXPECT_EQ(op.dialogs, std::vector<std::string>{"Quickset Wideband "});

  // No script left: the operator cancels.
  CQuicksetDlg again;
  again.editedStatus = QrnUnit();
  again.unitModel = 2;
  EXPECT_EQ(iop.RunQuicksetDialog(again), DialogEnd::Cancelled);
  EXPECT_FALSE(again.applyRequested);

  // An operator without the dialogs leaves the state as constructed: cancelled.
  struct Bare : ScriptedOperator {
    DialogEnd RunQuicksetDialog(CQuicksetDlg& d) override { return IOperator::RunQuicksetDialog(d); }
  } bare;
  CQuicksetDlg untouched;
  EXPECT_EQ(static_cast<IOperator&>(bare).RunQuicksetDialog(untouched), DialogEnd::Cancelled);
  EXPECT_FALSE(untouched.applyRequested);
  EXPECT_FALSE(untouched.advancedRequested);
}
