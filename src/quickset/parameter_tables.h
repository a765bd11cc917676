// The rules that say which values of a unit's settings are usable, the names and texts under
// which the operator sees them, and the reverse look-ups from a chosen text back to a value.
// No data of its own: every operation is a pure function of its arguments. Callers make a
// local instance around each use.
//
// Band words ("LF", "LMF", "MF", "HMF", "HF", "EHF") are matched by substring: "LF" occurs
// only in "LF" (not in "LMF"), "MF" occurs in "MF", "LMF" and "HMF", "HF" in "HF" and "EHF".
//
// Operations that return a text and a bool first empty the caller's buffer, so a refused value
// leaves an empty text; TatText and TatIndexText leave the buffer untouched when they refuse.
#pragma once
#include <cstdint>

#include "platform/fixed_text.h"

class CParameterTables {
 public:
  CParameterTables() = default;
  virtual ~CParameterTables() = default;

  // True when the band contains any of the band words.
  bool IsKnownBand(const char* band) const;

  // Address with channel: address 1..15 or 33..47, channel 1..14 and within the band's limit
  // (EHF 12, LF 9, LMF 4). Text "%d%02d", for example 1001.
  bool AddressText(int32_t address, int32_t channel, const char* band, TextSpan text) const;
  // HPR pair: 0,0 ("NF") in every band; any other pair only in a band with "MF" but not "LMF".
  // Text the two digits, for example "57".
  bool HprText(int32_t ms, int32_t ls, const char* band, TextSpan text) const;
  // Enable status: EHF bands two characters with at least one 'D', else three with at least two.
  bool IsEnableStatusValid(const char* enabled, const char* band) const;
  // Channel 0..16 within the band's limit; 15 and 16 are the common reply and interrogation
  // channels, "CRS"/"CIS" when wideband is non-zero, else "CRF"/"CIF".
  bool ChannelText(int32_t channel, const char* band, int32_t wideband, TextSpan text) const;
  // The channel a text names: "CRF" 15, "CIF" 16, "CRS" 15, "CIS" 16, "IRS" 99 (first found
  // in that order), else the leading decimal number (0 when there is none).
  int32_t ChannelFromText(const char* text) const;

  // TAT in ms, rounded to the nearest 62.5 ms step (halves up); steps 1..15 are usable.
  // Text "%.3f" of the rounded value.
  bool TatText(float tat, TextSpan text) const;
  // TAT step 1..15; text "%.3f" of step x 62.5.
  bool TatIndexText(int32_t index, TextSpan text) const;
  // The index TatText rounds to (0 when the value is not a number or far out of range).
  static int32_t TatIndex(float tat);

  bool TwoLevelName(int32_t value, TextSpan text) const;    // 1 "Low", 2 "High"
  bool ThreeLevelName(int32_t value, TextSpan text) const;  // ... 3 "Maximum"
  bool GainName(int32_t value, TextSpan text) const;        // 1 "Low", 2 "Medium", 3 "High", 4 "Maximum"
  bool CpjText(int32_t value, TextSpan text) const;         // 1..8
  bool CpdText(int32_t value, TextSpan text) const;         // 1..10
  bool IsFlagValid(int32_t value) const;                    // 0 or 1

  // Timing texts of index 1..8 from the band's table (EHF table for bands with "EHF", LF table
  // for bands with "LF", else the default one).
  bool CwtText(int32_t index, const char* band, TextSpan text) const;
  bool CwrText(int32_t index, const char* band, TextSpan text) const;
  bool CwcText(int32_t index, const char* band, TextSpan text) const;
  // The index 1..8 of the entry equal to the text in the band's table; -1 when none.
  int32_t CwtIndex(const char* text, const char* band) const;
  int32_t CwrIndex(const char* text, const char* band) const;
  int32_t CwcIndex(const char* text, const char* band) const;

  // The leading decimal number of a text (blanks skipped, optional sign), 0 when there is
  // none; values beyond the 32-bit range are held at its ends.
  static int32_t LeadingNumber(const char* text);
  // True when the band text contains the word.
  static bool BandHas(const char* band, const char* word);
};
