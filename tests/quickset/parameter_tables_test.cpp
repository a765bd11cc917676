#include "quickset/parameter_tables.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

const CParameterTables T;

using Result = std::pair<bool, std::string>;

// Runs a text operation on a buffer that holds "junk" first, so a refusal must empty it.
template <typename Fn>
Result Text(Fn fn) {
  FixedText<32> text("junk");
  bool ok = fn(text.Span());
  return {ok, text.str()};
}

Result Address(int a, int c, const char* b) {
  return Text([&](TextSpan t) { return T.AddressText(a, c, b, t); });
}
Result Hpr(int ms, int ls, const char* band) {
  return Text([&](TextSpan t) { return T.HprText(ms, ls, band, t); });
}
Result Channel(int v, const char* b, int wb) {
  return Text([&](TextSpan t) { return T.ChannelText(v, b, wb, t); });
}

const Result kRefused{false, ""};

}  // namespace

// The address, HPR pair and channel texts of a unit, each refused outside its rule (and the
// refusal empties the text).
TEST(ParameterTables, AddressHprPairAndChannelRules) {
  // Each row: the values, the band and the text written ("" when refused).
  const struct {
    int a, b;
    const char* band;
    const char* text;
  } addresses[] = {{10, 1, "MF", "1001"}, {33, 5, "MF", "3305"}, {1, 14, "HF", "114"},  {47, 1, "MF", "4701"},
                   {1, 0, "MF", ""},      {1, 15, "MF", ""},     {1, 12, "EHF", "112"}, {1, 13, "EHF", ""},
                   {1, 9, "LF", "109"},   {1, 10, "LF", ""},     {1, 4, "LMF", "104"},  {1, 5, "LMF", ""}},
    pairs[] = {{0, 0, "LF", "NF"}, {5, 7, "MF", "57"}, {0, 9, "HMF", "09"}, {0, 9, "LMF", ""}, {5, 5, "MF", "55"}},
    // The value and the wideband flag; limits by band as for the address: none (14), EHF 12,
    // LF 9, LMF 4.
      channels[] = {{16, 1, "MF", "CIS"}, {16, 0, "MF", "CIF"}, {15, 2, "LMF", "CRS"}, {15, 0, "EHF", "CRF"},
                    {0, 0, "HF", "0"},    {14, 0, "MF", "14"},  {17, 0, "MF", ""},     {-1, 0, "MF", ""},
                    {12, 0, "EHF", "12"}, {13, 0, "EHF", ""},   {9, 0, "LF", "9"},     {10, 0, "LF", ""},
                    {4, 0, "LMF", "4"},   {5, 0, "LMF", ""}};
  for (const auto& c : addresses) EXPECT_EQ(Address(c.a, c.b, c.band), (Result{*c.text != '\0', c.text}));
  for (const auto& c : pairs) EXPECT_EQ(Hpr(c.a, c.b, c.band), (Result{*c.text != '\0', c.text}));
  for (const auto& c : channels) EXPECT_EQ(Channel(c.a, c.band, c.b), (Result{*c.text != '\0', c.text}));
  for (int a : {0, 16, 20, 32, 48, 99, -1}) EXPECT_EQ(Address(a, 1, "MF"), kRefused) << a;
  // Only 6, 7 and 8 may not repeat.
  for (auto [ms, ls] : {std::pair{7, 7}, {6, 6}, {8, 8}, {3, 0}, {9, 1}, {1, 9}, {-1, 1}, {1, -1}, {10, 1}})
    EXPECT_EQ(Hpr(ms, ls, "MF"), kRefused) << ms << "," << ls;
}

TEST(ParameterTables, ChannelFromText) {
  // The first match in the fixed order CRF, CIF, CRS, CIS, IRS, wherever the names stand; a
  // number too long for 32 bits is held at the end of the range, not wrapped.
  const std::pair<const char*, int32_t> names[] = {
      {"CIS", 16},     {"CIF", 16},     {"CRS", 15},   {"CRF", 15},
      {"IRS", 99},     {" 12abc", 12},  {"abc", 0},    {nullptr, 0},
      {"CIS CRF", 15}, {"IRS CIS", 16}, {"3 IRS", 99}, {"99999999999999999999", std::numeric_limits<int32_t>::max()}};
  for (const auto& [text, channel] : names) EXPECT_EQ(T.ChannelFromText(text), channel) << (text ? text : "null");
  EXPECT_EQ(CParameterTables::LeadingNumber("-42x"), -42);
}

TEST(ParameterTables, TimingTablesInTheirThreeVariants) {
  const struct {
    const char* name;
    bool (CParameterTables::*text)(int32_t, const char*, TextSpan) const;
    int32_t (CParameterTables::*index)(const char*, const char*) const;
    const char* mf;  // the default variant
    const char* ehf;
    const char* lf;
  } tables[] = {
      {"CWT", &CParameterTables::CwtText, &CParameterTables::CwtIndex, "0.5 1.0 1.5 2.0 2.5 3.0 3.5 4.0",
       "0.5 1.0 1.5 2.0 2.5 3.0 3.5 4.0", "2.0 4.0 6.0 8.0 10.0 12.0 14.0 16.0"},
      {"CWR", &CParameterTables::CwrText, &CParameterTables::CwrIndex, "1.0 1.5 2.5 3.5 4.5 5.5 6.5 7.5",
       "0.25 0.5 0.75 1.0 1.25 1.5 1.75 2.0", "2.0 4.0 6.0 8.0 10.0 12.0 14.0 16.0"},
      {"CWC", &CParameterTables::CwcText, &CParameterTables::CwcIndex, "0.25 0.5 0.75 1.0 1.25 1.5 1.75 2.0",
       "0.125 0.25 0.375 0.5 0.625 0.75 0.875 1.0", "0.5 1.0 1.5 2.0 3.0 4.0 5.0 6.0"},
  };
  for (const auto& t : tables) {
    SCOPED_TRACE(t.name);
    // The eight texts of a band, and each look-up the inverse of the text for the same band,
    // also for a band text that names two bands at once.
    auto texts = [&](const char* band) {
      std::string all;
      for (int i = 1; i <= 8; ++i) {
        FixedText<16> text;
        EXPECT_TRUE((T.*t.text)(i, band, text));
        EXPECT_EQ((T.*t.index)(text.c_str(), band), i) << band;
        all += (i > 1 ? " " : "") + text.str();
      }
      return all;
    };
    EXPECT_EQ(texts("MF"), t.mf);
    EXPECT_EQ(texts("EHF"), t.ehf);
    EXPECT_EQ(texts("LF"), t.lf);
    for (const char* band : {"LMF", "HMF", "HF", "EHF/LF", ""}) texts(band);
  }
}
