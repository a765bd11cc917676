#include "platform/text_numbers.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <system_error>

namespace textnum {

bool IsBlank(char c, Blanks blanks) {
  switch (blanks) {
    case Blanks::kSpaceTab: return c == ' ' || c == '\t';
    case Blanks::kSpaceTabCrLf: return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    case Blanks::kCSpace: return c == ' ' || (c >= '\t' && c <= '\r');
  }
  return false;
}

bool Contains(const char* text, const char* what) { return text && what && std::strstr(text, what) != nullptr; }

namespace {

// An optional sign and the digits that follow it at the start of text, clamped to [low, high];
// nothing without a digit. used is how many characters were read.
std::optional<int64_t> SignedDigits(std::string_view text, int64_t low, int64_t high, size_t& used) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t magnitude = 0;
  const char* first = text.data() + i;
  const auto [end, ec] = std::from_chars(first, text.data() + text.size(), magnitude);
  if (ec == std::errc::invalid_argument) return std::nullopt;
  used = static_cast<size_t>(end - text.data());
  // Beyond 64 bits is beyond every range asked for.
  if (ec == std::errc::result_out_of_range) return negative ? low : high;
  // The value is formed in unsigned arithmetic, so the most negative 64-bit number never
  // passes through a signed negation.
  if (negative) {
    const uint64_t limit = low < 0 ? static_cast<uint64_t>(-(low + 1)) + 1 : 0;
    if (magnitude > limit) return low;
    return std::clamp(static_cast<int64_t>(0 - magnitude), low, high);
  }
  if (high < 0 || magnitude > static_cast<uint64_t>(high)) return high;
  return std::max(static_cast<int64_t>(magnitude), low);
}

}  // namespace

int32_t LeadingInt(std::string_view text, Blanks blanks) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i], blanks)) ++i;
  size_t used = 0;
  const auto v =
      SignedDigits(text.substr(i), std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), used);
  return v ? static_cast<int32_t>(*v) : 0;
}

int32_t LeadingInt(const char* text, Blanks blanks) {
  return LeadingInt(text ? std::string_view(text) : std::string_view(), blanks);
}

double LeadingReal(std::string_view t, Blanks blanks) {
  size_t i = 0;
  while (i < t.size() && IsBlank(t[i], blanks)) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  const size_t start = i;
  // Where the first significant digit stands relative to the point tells a number too
  // large for a double from one too small.
  long long magnitude = 0;
  bool significant = false;
  size_t digits = 0;
  for (; i < t.size() && IsDigit(t[i]); ++i, ++digits) {
    if (t[i] != '0') significant = true;
    if (significant) ++magnitude;
  }
  if (i < t.size() && t[i] == '.') {
    ++i;
    for (; i < t.size() && IsDigit(t[i]); ++i, ++digits) {
      if (!significant) {
        --magnitude;
        if (t[i] != '0') significant = true;
      }
    }
  }
  if (digits == 0) return 0.0;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    size_t j = i + 1;
    bool expNegative = false;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) expNegative = t[j++] == '-';
    if (j < t.size() && IsDigit(t[j])) {
      long long e = 0;
      for (; j < t.size() && IsDigit(t[j]); ++j)
        if (e < 100000) e = e * 10 + (t[j] - '0');
      magnitude += expNegative ? -e : e;
      i = j;
    }
  }
  double value = 0.0;
  const auto r = std::from_chars(t.data() + start, t.data() + i, value, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) value = magnitude > 0 ? DBL_MAX : 0.0;
  else if (r.ec != std::errc()) value = 0.0;
  if (!std::isfinite(value)) value = DBL_MAX;
  return negative ? -value : value;
}

float ToFloat(double value) {
  if (std::isnan(value)) return 0.0f;
  if (value > FLT_MAX) return FLT_MAX;
  if (value < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(value);
}

std::optional<int64_t> WholeInt(std::string_view text, int64_t low, int64_t high) {
  size_t used = 0;
  const auto v = SignedDigits(text, low, high, used);
  if (!v || used != text.size()) return std::nullopt;
  return v;
}

std::string Fixed(double value, int decimals) {
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return "?";
  return std::string(buf, r.ptr);
}

std::string Format(const char* format, ...) {
  char buf[256];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  std::string out;
  if (n >= 0 && static_cast<size_t>(n) < sizeof buf) {
    out.assign(buf, static_cast<size_t>(n));
  } else if (n >= 0) {
    out.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), format, again);
    out.resize(static_cast<size_t>(n));
  }
  va_end(again);
  return out;
}

}  // namespace textnum
