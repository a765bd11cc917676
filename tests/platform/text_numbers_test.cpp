// The one reader of numbers in text: what each blank set skips, where the readers stop, and
// the clamping of values far beyond 64 bits.
#include "platform/text_numbers.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using textnum::Blanks;

TEST(TextNumbers, LeadingIntSkipsOnlyItsOwnBlanks) {
  struct Case {
    const char* text;
    int32_t spaceTab, spaceTabCrLf, cSpace;
  };
  // clang-format off
  const Case cases[] = {
      {" \t42", 42, 42, 42}, {"\r\n42", 0, 42, 42}, {"\v\f42", 0, 0, 42}, {"  -17 mV", -17, -17, -17},
      {"+8", 8, 8, 8}, {"+-8", 0, 0, 0}, {"- 8", 0, 0, 0}, {"x12", 0, 0, 0}, {"", 0, 0, 0},
      {"2147483648", INT32_MAX, INT32_MAX, INT32_MAX}, {"-2147483648", INT32_MIN, INT32_MIN, INT32_MIN},
      {"-99999999999999999999999999", INT32_MIN, INT32_MIN, INT32_MIN},
      {"000000000000000000000000000123", 123, 123, 123},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(textnum::LeadingInt(c.text, Blanks::kSpaceTab), c.spaceTab);
    EXPECT_EQ(textnum::LeadingInt(c.text, Blanks::kSpaceTabCrLf), c.spaceTabCrLf);
    EXPECT_EQ(textnum::LeadingInt(c.text, Blanks::kCSpace), c.cSpace);
  }
  EXPECT_EQ(textnum::LeadingInt(static_cast<const char*>(nullptr), Blanks::kCSpace), 0);
}

TEST(TextNumbers, WholeIntTakesOnlyASignAndDigits) {
  struct Case {
    const char* text;
    std::optional<int64_t> value;
  };
  // clang-format off
  const Case cases[] = {
      {"12", 12},       {"-12", -12},          {"+12", 12},
      {" 12", {}},      {"12 ", {}},           {"1x", {}},
      {"", {}},         {"+", {}},             {"-0", 0},
      {"99999999999999999999999", 300},        {"-99999999999999999999999", -300},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(textnum::WholeInt(c.text, -300, 300), c.value) << c.text;
  EXPECT_EQ(textnum::WholeInt("-5", 0, 10), 0) << "held at the low end";
  EXPECT_EQ(textnum::WholeInt("-0", 1, 10), 1) << "a range above zero holds a zero at its low end";
  EXPECT_EQ(textnum::WholeInt("5", -10, -1), -1) << "a range below zero holds a positive value at its high end";
  EXPECT_EQ(textnum::WholeInt("-9223372036854775808", std::numeric_limits<int64_t>::min(), 0),
            std::numeric_limits<int64_t>::min());
}

TEST(TextNumbers, FormatKeepsLongTextsWholeAndContainsIsNullSafe) {
  const std::string long_text(1000, 'a');
  EXPECT_EQ(textnum::Format("<%s>", long_text.c_str()), "<" + long_text + ">");
  EXPECT_FALSE(textnum::Contains(nullptr, "a"));
  EXPECT_TRUE(textnum::Contains("DASP OK", "OK"));
}
