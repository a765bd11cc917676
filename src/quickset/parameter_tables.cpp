#include "quickset/parameter_tables.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/text_numbers.h"

namespace {

enum Variant { kDefault = 0, kEhf = 1, kLf = 2 };

// Entry 0 of each table is a single space and is never returned.
const char* const kCwt[3][9] = {
    {" ", "0.5", "1.0", "1.5", "2.0", "2.5", "3.0", "3.5", "4.0"},
    {" ", "0.5", "1.0", "1.5", "2.0", "2.5", "3.0", "3.5", "4.0"},
    {" ", "2.0", "4.0", "6.0", "8.0", "10.0", "12.0", "14.0", "16.0"},
};
const char* const kCwr[3][9] = {
    {" ", "1.0", "1.5", "2.5", "3.5", "4.5", "5.5", "6.5", "7.5"},
    {" ", "0.25", "0.5", "0.75", "1.0", "1.25", "1.5", "1.75", "2.0"},
    {" ", "2.0", "4.0", "6.0", "8.0", "10.0", "12.0", "14.0", "16.0"},
};
const char* const kCwc[3][9] = {
    {" ", "0.25", "0.5", "0.75", "1.0", "1.25", "1.5", "1.75", "2.0"},
    {" ", "0.125", "0.25", "0.375", "0.5", "0.625", "0.75", "0.875", "1.0"},
    {" ", "0.5", "1.0", "1.5", "2.0", "3.0", "4.0", "5.0", "6.0"},
};

// One choice of table for a band, used both for the texts and for the look-ups so that each
// look-up is the exact inverse of the text for the same band.
Variant VariantFor(const char* band) {
  if (CParameterTables::BandHas(band, "EHF")) return kEhf;
  if (CParameterTables::BandHas(band, "LF")) return kLf;
  return kDefault;
}

bool TimingText(const char* const (&table)[3][9], int32_t index, const char* band, TextSpan text) {
  text.Clear();
  if (index < 1 || index > 8) return false;
  text.Assign(table[VariantFor(band)][index]);
  return true;
}

int32_t TimingIndex(const char* const (&table)[3][9], const char* text, const char* band) {
  if (!text) return -1;
  const Variant v = VariantFor(band);
  for (int32_t i = 1; i <= 8; ++i)
    if (std::strcmp(table[v][i], text) == 0) return i;
  return -1;
}

bool Name(const char* const* names, int32_t count, int32_t value, TextSpan text) {
  text.Clear();
  if (value < 1 || value > count) return false;
  text.Assign(names[value - 1]);
  return true;
}

bool Number(int32_t low, int32_t high, int32_t value, TextSpan text) {
  text.Clear();
  if (value < low || value > high) return false;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d", value);
  text.Assign(buf);
  return true;
}

}  // namespace

bool CParameterTables::BandHas(const char* band, const char* word) {
  return band && std::strstr(band, word) != nullptr;
}

int32_t CParameterTables::LeadingNumber(const char* text) {
  return textnum::LeadingInt(text, textnum::Blanks::kSpaceTabCrLf);
}

bool CParameterTables::IsKnownBand(const char* band) const {
  for (const char* w : {"LF", "MF", "EHF", "HF", "LMF", "HMF"})
    if (BandHas(band, w)) return true;
  return false;
}

bool CParameterTables::AddressText(int32_t address, int32_t channel, const char* band, TextSpan text) const {
  text.Clear();
  if (!((address >= 1 && address <= 15) || (address >= 33 && address <= 47))) return false;
  if (channel < 1) return false;
  if (BandHas(band, "EHF") && channel > 12) return false;
  if (BandHas(band, "LF") && channel > 9) return false;
  if (BandHas(band, "LMF") && channel >= 5) return false;
  if (channel >= 15) return false;
  char buf[24];
  std::snprintf(buf, sizeof buf, "%d%02d", address, channel);
  text.Assign(buf);
  return true;
}

bool CParameterTables::HprText(int32_t ms, int32_t ls, const char* band, TextSpan text) const {
  text.Clear();
  if (ms == 0 && ls == 0) {
    text.Assign("NF");
    return true;
  }
  if (!BandHas(band, "MF") || BandHas(band, "LMF")) return false;
  if (!(ms == 0 && ls == 9)) {
    if (ls == 0) return false;
    if ((ms == 6 || ms == 7 || ms == 8) && ls == ms) return false;
    if (ms < 0 || ms > 8 || ls < 0 || ls > 8) return false;
  }
  char buf[4] = {static_cast<char>('0' + ms), static_cast<char>('0' + ls), '\0', '\0'};
  text.Assign(buf);
  return true;
}

bool CParameterTables::IsEnableStatusValid(const char* enabled, const char* band) const {
  if (!enabled) return false;
  const size_t length = std::strlen(enabled);
  size_t ds = 0;
  for (size_t i = 0; i < length; ++i) ds += enabled[i] == 'D';
  if (BandHas(band, "EHF")) return length == 2 && ds >= 1;
  return length == 3 && ds >= 2;
}

bool CParameterTables::ChannelText(int32_t channel, const char* band, int32_t wideband, TextSpan text) const {
  text.Clear();
  if (channel < 0 || channel > 16) return false;
  if (channel == 15) {
    text.Assign(wideband != 0 ? "CRS" : "CRF");
    return true;
  }
  if (channel == 16) {
    text.Assign(wideband != 0 ? "CIS" : "CIF");
    return true;
  }
  if (BandHas(band, "EHF") && channel >= 13) return false;
  if (BandHas(band, "LF") && channel > 9) return false;
  if (BandHas(band, "LMF") && channel >= 5) return false;
  return Number(0, 14, channel, text);
}

int32_t CParameterTables::ChannelFromText(const char* text) const {
  if (!text) return 0;
  if (std::strstr(text, "CRF")) return 15;
  if (std::strstr(text, "CIF")) return 16;
  if (std::strstr(text, "CRS")) return 15;
  if (std::strstr(text, "CIS")) return 16;
  if (std::strstr(text, "IRS")) return 99;
  return LeadingNumber(text);
}

int32_t CParameterTables::TatIndex(float tat) {
  // The float is widened, as the unit's own arithmetic does; a value that is not a number or
  // far out of range gives index 0 rather than an undefined conversion.
  const double x = (static_cast<double>(tat) + 31.25) * 0.016;
  if (!(x >= 0.0 && x < 1000.0)) return 0;
  return static_cast<int32_t>(x);
}

bool CParameterTables::TatText(float tat, TextSpan text) const {
  const int32_t index = TatIndex(tat);
  if (index < 1 || index > 15) return false;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", index * 62.5);
  text.Assign(buf);
  return true;
}

bool CParameterTables::TatIndexText(int32_t index, TextSpan text) const {
  if (index < 1 || index > 15) return false;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", index * 62.5);
  text.Assign(buf);
  return true;
}

bool CParameterTables::TwoLevelName(int32_t value, TextSpan text) const {
  static const char* const names[] = {"Low", "High"};
  return Name(names, 2, value, text);
}

bool CParameterTables::ThreeLevelName(int32_t value, TextSpan text) const {
  static const char* const names[] = {"Low", "High", "Maximum"};
  return Name(names, 3, value, text);
}

bool CParameterTables::GainName(int32_t value, TextSpan text) const {
  static const char* const names[] = {"Low", "Medium", "High", "Maximum"};
  return Name(names, 4, value, text);
}

bool CParameterTables::CpjText(int32_t value, TextSpan text) const { return Number(1, 8, value, text); }
bool CParameterTables::CpdText(int32_t value, TextSpan text) const { return Number(1, 10, value, text); }
bool CParameterTables::IsFlagValid(int32_t value) const { return value == 0 || value == 1; }

bool CParameterTables::CwtText(int32_t index, const char* band, TextSpan text) const {
  return TimingText(kCwt, index, band, text);
}
bool CParameterTables::CwrText(int32_t index, const char* band, TextSpan text) const {
  return TimingText(kCwr, index, band, text);
}
bool CParameterTables::CwcText(int32_t index, const char* band, TextSpan text) const {
  return TimingText(kCwc, index, band, text);
}
int32_t CParameterTables::CwtIndex(const char* text, const char* band) const { return TimingIndex(kCwt, text, band); }
int32_t CParameterTables::CwrIndex(const char* text, const char* band) const { return TimingIndex(kCwr, text, band); }
int32_t CParameterTables::CwcIndex(const char* text, const char* band) const { return TimingIndex(kCwc, text, band); }
