#include "quickset/quickset_dlg.h"

#include <cstdio>
#include <cstring>

#include "quickset/parameter_tables.h"

namespace {

constexpr const char* kModel2Lines[6] = {
    "Same row eg B1+B2+B3 etc = Simultaneous mode.",
    "Same interrogation cycle; Faster update rate.",
    " ",
    "Same column/diagonal eg A1+B1+C3 etc = Sequential.",
    "Seperate interogation cycles: Slower but seperate",
    "update rates",
};

// The value 0..9 whose name equals the text (the last such), or -1.
template <typename NameFn>
int32_t ValueNamed(const std::string& text, NameFn name) {
  if (text.empty()) return -1;
  int32_t found = -1;
  for (int32_t v = 0; v <= 9; ++v) {
    FixedText<16> t;
    if (name(v, t.Span()) && t.view() == text) found = v;
  }
  return found;
}

}  // namespace

const std::array<CQuicksetDlg::Scheme, 12>& CQuicksetDlg::Model2Schemes() {
  // clang-format off
  static const std::array<Scheme, 12> rows = {{
      {"A1", 15, 1, 250.0f, 6}, {"A2", 15, 3, 375.0f, 6}, {"A3", 15, 5, 500.0f, 6}, {"A4", 15, 7, 625.0f, 6},
      {"B1", 14, 1, 250.0f, 7}, {"B2", 14, 3, 375.0f, 7}, {"B3", 14, 5, 500.0f, 7}, {"B4", 14, 7, 625.0f, 7},
      {"C1", 13, 1, 250.0f, 8}, {"C2", 13, 3, 375.0f, 8}, {"C3", 13, 5, 500.0f, 8}, {"C4", 13, 7, 625.0f, 8},
  }};
  // clang-format on
  return rows;
}

const std::array<CQuicksetDlg::Scheme, 3>& CQuicksetDlg::Model3Schemes() {
  static const std::array<Scheme, 3> rows = {{
      {"MA", 12, 1, 125.0f, 6},
      {"MB", 12, 4, 125.0f, 7},
      {"MC", 12, 7, 125.0f, 8},
  }};
  return rows;
}

std::string QuicksetChannelName(int32_t wideband, int32_t channel) {
  if (channel == 15) return wideband != 0 ? "CRS" : "CRF";
  if (channel == 16) return wideband != 0 ? "CIS" : "CIF";
  if (channel == 99) return "IRS";
  return std::to_string(channel);
}

void ApplyPowerAndGain(const std::string& powerText, const std::string& gainText, UnitStatus& status) {
  CParameterTables tables;
  const int32_t power = ValueNamed(powerText, [&](int32_t v, TextSpan t) { return tables.TwoLevelName(v, t); });
  FixedText<16> scratch;
  if (tables.TwoLevelName(power, scratch)) {
    status.CPA = power;
    status.CPT = power;
  }
  if (tables.ThreeLevelName(power, scratch)) {
    status.CPL = power;
    status.CPS = power;
    status.CPU = power;
  }
  const int32_t gain = ValueNamed(gainText, [&](int32_t v, TextSpan t) { return tables.GainName(v, t); });
  if (tables.GainName(gain, scratch)) status.RxGain = gain;
}

void CQuicksetDlg::OnInitDialog() {
  schemeIndex = -1;
  applyRequested = false;
  advancedRequested = false;
  closed = false;
  end = DialogEnd::Cancelled;

  // A QRN unit of type 8132 uses the three-scheme table.
  if (unitModel == 2 && CParameterTables::LeadingNumber(editedStatus.TypeNo.c_str()) == 8132) unitModel = 3;

  CParameterTables tables;
  power.Clear();
  gain.Clear();
  FixedText<16> name;
  for (int32_t v = 1; tables.TwoLevelName(v, name); ++v) power.Add(name.view());
  for (int32_t v = 1; tables.GainName(v, name); ++v) gain.Add(name.view());

  if (unitModel == 3) {
    heading = "Click the required scheme, MA-MC";
    for (auto& line : lines) line.clear();
  } else {
    heading = "Click the required scheme, A1-C4";
    for (size_t i = 0; i < lines.size(); ++i) lines[i] = kModel2Lines[i];
  }

  // Pre-select the last row that the unit's own settings match.
  const bool wdd = std::strstr(editedStatus.Enabled.c_str(), "WDD") != nullptr;
  for (int i = 0; i < SchemeCount(); ++i) {
    const Scheme& row = unitModel == 3 ? Model3Schemes()[i] : Model2Schemes()[i];
    if (editedStatus.Tat == row.tat && editedStatus.Address == row.address && editedStatus.Channel == row.channel &&
        editedStatus.AltCIFChannel == row.altCif && wdd)
      schemeIndex = i;
  }
  ShowButtons();
  ShowValues();
}

void CQuicksetDlg::ShowButtons() {
  const bool model3 = unitModel == 3;
  for (auto& b : buttons) {
    b.visible = b.model3 == model3;
    b.fontHeight = b.visible && b.scheme == schemeIndex ? kLargeFont : kSmallFont;
  }
}

void CQuicksetDlg::ShowValues() {
  CParameterTables tables;
  FixedText<16> name;
  tables.GainName(editedStatus.RxGain, name);
  gain.Select(name.view());
  if (editedStatus.CPA != 1 && editedStatus.CPA != 2) editedStatus.CPA = editedStatus.CPL;
  tables.TwoLevelName(editedStatus.CPA, name);
  power.Select(name.view());
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d%02d", editedStatus.Address, editedStatus.Channel);
  addressText = buf;
  std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(editedStatus.Tat));
  tatText = buf;
  interrogateText = QuicksetChannelName(1, editedStatus.AltCIFChannel);
}

void CQuicksetDlg::ApplyScheme(int scheme) {
  const Scheme& row = unitModel == 3 ? Model3Schemes()[scheme] : Model2Schemes()[scheme];
  UnitStatus& s = editedStatus;
  s.CPD = unitModel == 3 ? 4 : 2;
  s.Address = row.address;
  s.Channel = row.channel;
  s.Tat = row.tat;
  s.AltCIFChannel = row.altCif;
  s.CPA = s.CPL = s.CPS = s.CPT = s.CPU = 1;
  s.RxGain = 4;
  s.Enabled = "WDD";
}

void CQuicksetDlg::OnScheme(int scheme) {
  if (scheme < 0 || scheme >= SchemeCount()) return;
  schemeIndex = scheme;
  ShowButtons();
  ApplyScheme(scheme);
  ShowValues();
}

bool CQuicksetDlg::OnSchemeButton(int controlId) {
  for (const auto& b : buttons) {
    if (b.id == controlId) {
      OnScheme(b.scheme);
      return true;
    }
  }
  return false;
}

void CQuicksetDlg::OnSet() {
  applyRequested = true;
  ApplyPowerAndGain(power.text, gain.text, editedStatus);
  closed = true;
  end = DialogEnd::Set;
}

void CQuicksetDlg::OnAdvanced() {
  advancedRequested = true;
  closed = true;
  end = DialogEnd::Advanced;
}

void CQuicksetDlg::OnCancel() {
  applyRequested = false;
  closed = true;
  end = DialogEnd::Cancelled;
}

const CQuicksetDlg::SchemeButton* CQuicksetDlg::ButtonOf(int scheme) const {
  for (const auto& b : buttons)
    if (b.visible && b.scheme == scheme) return &b;
  return nullptr;
}
