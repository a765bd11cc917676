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
  EXPECT_EQ(Address(10, 1, "MF"), (Result{true, "1001"}));
  EXPECT_EQ(Address(33, 5, "MF"), (Result{true, "3305"}));
  EXPECT_EQ(Address(1, 14, "HF"), (Result{true, "114"}));
  EXPECT_TRUE(Address(47, 1, "MF").first);
  for (int a : {0, 16, 20, 32, 48, 99, -1}) EXPECT_EQ(Address(a, 1, "MF"), kRefused) << a;
  EXPECT_EQ(Address(1, 0, "MF"), kRefused);
  EXPECT_EQ(Address(1, 15, "MF"), kRefused);
  // Channel limits by band: none (14), EHF 12, LF 9, LMF 4.
  for (auto [band, last] : {std::pair{"EHF", 12}, {"LF", 9}, {"LMF", 4}}) {
    SCOPED_TRACE(band);
    EXPECT_TRUE(Address(1, last, band).first);
    EXPECT_EQ(Address(1, last + 1, band), kRefused);
    EXPECT_TRUE(Channel(last, band, 0).first);
    EXPECT_EQ(Channel(last + 1, band, 0), kRefused);
  }

  EXPECT_EQ(Hpr(0, 0, "LF"), (Result{true, "NF"}));
  EXPECT_EQ(Hpr(5, 7, "MF"), (Result{true, "57"}));
  EXPECT_EQ(Hpr(0, 9, "HMF"), (Result{true, "09"}));
  EXPECT_EQ(Hpr(0, 9, "LMF"), kRefused);
  for (auto [ms, ls] : {std::pair{7, 7}, {6, 6}, {8, 8}, {3, 0}, {9, 1}, {1, 9}, {-1, 1}, {1, -1}, {10, 1}})
    EXPECT_EQ(Hpr(ms, ls, "MF"), kRefused) << ms << "," << ls;
  EXPECT_TRUE(Hpr(5, 5, "MF").first);  // only 6, 7 and 8 may not repeat

  EXPECT_EQ(Channel(16, "MF", 1), (Result{true, "CIS"}));
  EXPECT_EQ(Channel(16, "MF", 0), (Result{true, "CIF"}));
  EXPECT_EQ(Channel(15, "LMF", 2), (Result{true, "CRS"}));
  EXPECT_EQ(Channel(15, "EHF", 0), (Result{true, "CRF"}));
  EXPECT_EQ(Channel(0, "HF", 0), (Result{true, "0"}));
  EXPECT_EQ(Channel(12, "EHF", 0), (Result{true, "12"}));
  EXPECT_TRUE(Channel(14, "MF", 0).first);
  EXPECT_EQ(Channel(17, "MF", 0), kRefused);
  EXPECT_EQ(Channel(-1, "MF", 0), kRefused);
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
  using TextFn = bool (CParameterTables::*)(int32_t, const char*, TextSpan) const;
  using IndexFn = int32_t (CParameterTables::*)(const char*, const char*) const;
  const struct {
    const char* name;
    TextFn text;
    IndexFn index;
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
