#include "quickset/advanced_dlg.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/text_numbers.h"
#include "quickset/parameter_tables.h"
#include "quickset/quickset_dlg.h"

void CAdvancedDlg::OnInitDialog() {
  applied = false;
  closed = false;
  end = DialogEnd::Cancelled;
  const char* band = editedStatus.Band.c_str();
  hprCapable = CParameterTables::BandHas(band, "MF") && !CParameterTables::BandHas(band, "LMF");
  navScheme = kTone;
  if (std::strchr(editedStatus.Enabled.c_str(), 'W') != nullptr || editedStatus.WideBandEnabled > 0)
    navScheme = kWideband;
  else if (editedStatus.Enabled == "DDE" && hprCapable) navScheme = kHpr;
  widebandTexts = navScheme == kWideband;
  FillLists();
  ShowControls();
  SelectValues();
  refreshPending = false;
}

void CAdvancedDlg::FillInterrogate() {
  CParameterTables tables;
  const char* band = editedStatus.Band.c_str();
  interrogate.Clear();
  FixedText<16> text;
  for (int32_t ch = 1; ch <= 16; ++ch)
    if (ch != 15 && tables.ChannelText(ch, band, widebandTexts, text)) interrogate.Add(text.view());
}

void CAdvancedDlg::FillLists() {
  CParameterTables tables;
  const char* band = editedStatus.Band.c_str();
  FixedText<16> text;

  FillAddressPairs(address, band);
  power.Clear();
  for (int32_t v = 1; tables.TwoLevelName(v, text); ++v) power.Add(text.view());
  gain.Clear();
  for (int32_t v = 1; tables.GainName(v, text); ++v) gain.Add(text.view());
  cwt.Clear();
  cwr.Clear();
  cwc.Clear();
  for (int32_t i = 1; i <= 8; ++i) {
    if (tables.CwtText(i, band, text)) cwt.Add(text.view());
    if (tables.CwrText(i, band, text)) cwr.Add(text.view());
    if (tables.CwcText(i, band, text)) cwc.Add(text.view());
  }

  auto fillTat = [&] {
    tat.Clear();
    for (int32_t i = 1; i <= 13; ++i)
      if (tables.TatIndexText(i, text)) tat.Add(text.view());
  };

  switch (navScheme) {
    case kWideband:
      FillInterrogate();
      fillTat();
      break;
    case kHpr: FillHprPairs(beacon, band, false); break;
    case kTone:
      FillInterrogate();
      reply.Clear();
      for (int32_t ch = 1; ch <= 16; ++ch)
        if (tables.ChannelText(ch, band, widebandTexts, text)) reply.Add(text.view());
      fillTat();
      break;
    default: break;
  }
}

void CAdvancedDlg::ShowControls() {
  shown.tatList = false;
  shown.hprTatEdit = false;
  shown.beacon = false;
  shown.interrogate = false;
  shown.replyLabel = false;
  shown.replyList = false;
  shown.replyEdit = false;
  switch (navScheme) {
    case kWideband:
      shown.tatList = true;
      shown.interrogate = true;
      shown.replyLabel = true;
      shown.replyEdit = true;
      break;
    case kHpr:
      if (hprCapable) {
        shown.hprTatEdit = true;
        shown.beacon = true;
      }
      break;
    case kTone:
      shown.tatList = true;
      shown.interrogate = true;
      shown.replyLabel = true;
      shown.replyList = true;
      break;
    default: break;
  }
  shown.hprRadio = hprCapable;
}

void CAdvancedDlg::OnDerivedEditChanged() {
  const UnitStatus& s = editedStatus;
  hprTatText = (s.HPRms == 0 || s.HPRms == s.HPRls) ? "30" : "60";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d%02d", s.Address >= 32 ? s.Address - 32 : s.Address, s.Channel);
  replyCodeText = buf;
}

void CAdvancedDlg::SelectValues() {
  CParameterTables tables;
  UnitStatus& s = editedStatus;
  const char* band = s.Band.c_str();
  FixedText<32> text;

  OnDerivedEditChanged();

  tables.AddressText(s.Address, s.Channel, band, text);
  address.Select(text.view());
  tables.CwcText(s.CWCIndex, band, text);
  cwc.Select(text.view());
  tables.CwrText(s.CWRIndex, band, text);
  cwr.Select(text.view());
  tables.CwtText(s.CWTIndex, band, text);
  cwt.Select(text.view());
  if (s.CPA != 1 && s.CPA != 2) s.CPA = s.CPL;
  tables.TwoLevelName(s.CPA, text);
  power.Select(text.view());
  tables.GainName(s.RxGain, text);
  gain.Select(text.view());
  text.Clear();  // TatText leaves the text as it was when it refuses
  tables.TatText(s.Tat, text);
  tat.Select(text.view());
  tables.HprText(s.HPRms, s.HPRls, band, text);
  beacon.Select(text.view());
  tables.ChannelText(s.AltCIFChannel, band, widebandTexts, text);
  interrogate.Select(text.view());
  tables.ChannelText(s.CIFReplyCHannel, band, widebandTexts, text);
  reply.Select(text.view());
}

void CAdvancedDlg::ApplyControls() {
  CParameterTables tables;
  UnitStatus& s = editedStatus;
  const char* band = s.Band.c_str();

  s.FEEnabled = 0;
  if (address.text.size() > 2) {
    const int32_t n = CParameterTables::LeadingNumber(address.text.c_str());
    s.Address = n / 100;
    s.Channel = n % 100;
  }
  if (beacon.text.size() > 1) {
    const int32_t n = CParameterTables::LeadingNumber(beacon.text.c_str());  // "NF" gives 0
    s.HPRms = n / 10;
    s.HPRls = n % 10;
  }
  if (tat.text.size() > 2) {
    const double v = textnum::LeadingReal(tat.text, textnum::Blanks::kCSpace);
    if (std::isfinite(v) && std::fabs(v) < 1e6) s.Tat = static_cast<float>(v);
  }
  ApplyPowerAndGain(power.text, gain.text, s);
  if (!cwc.text.empty()) s.CWCIndex = tables.CwcIndex(cwc.text.c_str(), band);
  if (!cwr.text.empty()) s.CWRIndex = tables.CwrIndex(cwr.text.c_str(), band);
  if (!cwt.text.empty()) s.CWTIndex = tables.CwtIndex(cwt.text.c_str(), band);
  if (!interrogate.text.empty()) s.AltCIFChannel = tables.ChannelFromText(interrogate.text.c_str());
  if (!reply.text.empty()) s.CIFReplyCHannel = tables.ChannelFromText(reply.text.c_str());
  switch (navScheme) {
    case kTone: s.Enabled = "EDD"; break;
    case kHpr: s.Enabled = "DDE"; break;
    case kWideband: s.Enabled = "WDD"; break;
    default: break;
  }
}

void CAdvancedDlg::OnNavScheme(int scheme) {
  if (scheme < kWideband || scheme > kTone) return;
  navScheme = scheme;
  widebandTexts = scheme == kWideband;
  FillLists();
  ShowControls();
  SelectValues();
}

bool CAdvancedDlg::OnAddressOrBeaconChanged() {
  if (refreshPending) return false;
  refreshPending = true;
  return true;
}

void CAdvancedDlg::OnRefreshTimer() {
  refreshPending = false;
  ApplyControls();
  FillLists();
  ShowControls();
  SelectValues();
}

void CAdvancedDlg::OnSet() {
  ApplyControls();
  applied = true;
  closed = true;
  end = DialogEnd::Set;
}

void CAdvancedDlg::OnCancel() {
  applied = false;
  closed = true;
  end = DialogEnd::Cancelled;
}
