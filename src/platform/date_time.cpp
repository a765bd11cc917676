#include "platform/date_time.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <utility>

#include "platform/time_ops.h"

namespace {
// Days from 1970-01-01 to the civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const long long kEpochOffset = 25569;  // days from 1899-12-30 to 1970-01-01
// The automation-date range: 0100-01-01 00:00:00 to 9999-12-31 23:59:59.
const double kMinValue = -657434.0 - 86399.0 / 86400.0;
const double kMaxValue = 2958465.0 + 86399.0 / 86400.0;

}  // namespace

DateTime DateTime::FromCivil(const CivilTime& c) {
  long long days = DaysFromCivil(c.year, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day)) + kEpochOffset;
  double frac = (c.hour * 3600.0 + c.minute * 60.0 + c.second) / 86400.0;
  DateTime dt;
  // Automation dates before 1899-12-30 count the time of day away from zero.
  dt.value = days >= 0 ? days + frac : days - frac;
  return dt;
}

CivilTime DateTime::ToCivil() const {
  // Values beyond the automation-date range (years 100 to 9999), and values that are not
  // numbers, are held at the nearest end of the range rather than overflowing.
  double v = value;
  if (!(v >= kMinValue)) v = std::isnan(v) ? 0.0 : kMinValue;
  if (v > kMaxValue) v = kMaxValue;
  double whole = std::trunc(v);
  double frac = std::fabs(v - whole);
  long long secs = std::llround(frac * 86400.0);
  long long days = static_cast<long long>(whole);
  if (secs >= 86400) {
    secs -= 86400;
    days += v >= 0 ? 1 : -1;
  }
  CivilTime c;
  CivilFromDays(days - kEpochOffset, c.year, c.month, c.day);
  c.hour = static_cast<int>(secs / 3600);
  c.minute = static_cast<int>(secs / 60 % 60);
  c.second = static_cast<int>(secs % 60);
  return c;
}

int DateTime::DayOfWeek() const {
  // 1899-12-30 was a Saturday.
  double v = std::isnan(value) ? 0.0 : std::fmin(std::fmax(value, kMinValue), kMaxValue);
  long long days = static_cast<long long>(std::floor(v));
  return static_cast<int>(((days + 6) % 7 + 7) % 7);
}

DateTime DateTime::NowUtc() { return FromCivil(time_ops::UtcNow()); }

DateTime DateTime::NowLocal() { return FromCivil(time_ops::LocalNow()); }

std::string DateTime::ToText() const {
  CivilTime c = ToCivil();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute, c.second);
  return buf;
}

namespace {
// Reads 1 to maxDigits decimal digits at pos; false when there are none.
bool ReadNumber(std::string_view s, size_t& pos, size_t minDigits, size_t maxDigits, int& out) {
  size_t start = pos;
  int v = 0;
  while (pos < s.size() && pos - start < maxDigits && s[pos] >= '0' && s[pos] <= '9') v = v * 10 + (s[pos++] - '0');
  out = v;
  return pos - start >= minDigits;
}

bool Expect(std::string_view s, size_t& pos, char c) {
  if (pos >= s.size() || s[pos] != c) return false;
  ++pos;
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}
// The date: the project's "YYYY-MM-DD", or the earlier Windows terminal's "DD/MM/YYYY",
// "DD.MM.YYYY" and (with an AM/PM marker after the time) "M/D/YYYY"; separator gets the
// separator read, ownForm whether it is the project's form.
bool ReadDate(std::string_view text, size_t& pos, CivilTime& c, char& separator, bool& ownForm) {
  int first = 0, second = 0;
  const size_t dateStart = pos;
  if (!ReadNumber(text, pos, 1, 4, first)) return false;
  const size_t firstDigits = pos - dateStart;
  separator = pos < text.size() ? text[pos] : '\0';
  ownForm = false;
  if (separator == '-' && firstDigits == 4) {
    ownForm = true;
    c.year = first;
    return Expect(text, pos, '-') && ReadNumber(text, pos, 1, 2, c.month) && Expect(text, pos, '-') &&
           ReadNumber(text, pos, 1, 2, c.day);
  }
  if ((separator == '/' || separator == '.') && firstDigits <= 2) {
    if (!Expect(text, pos, separator) || !ReadNumber(text, pos, 1, 2, second) || !Expect(text, pos, separator) ||
        !ReadNumber(text, pos, 4, 4, c.year))
      return false;
    c.day = first;  // day first unless an AM/PM marker says otherwise
    c.month = second;
    return true;
  }
  return false;
}

// A time of day after the date, to the end of the text. The project's form always has its
// seconds; the older forms may leave them out.
bool ReadTimeOfDay(std::string_view text, size_t& pos, CivilTime& c, char separator, bool ownForm) {
  if (!ReadNumber(text, pos, 1, 2, c.hour) || !Expect(text, pos, ':') || !ReadNumber(text, pos, 1, 2, c.minute))
    return false;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!ReadNumber(text, pos, 1, 2, c.second)) return false;
  } else if (ownForm) {
    return false;
  }
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (pos + 2 <= text.size() && separator == '/') {
    const char m = static_cast<char>(text[pos] | 0x20), n = static_cast<char>(text[pos + 1] | 0x20);
    if ((m == 'a' || m == 'p') && n == 'm') {
      // "M/D/YYYY h:mm[:ss] AM|PM": month first, hours 1 to 12.
      if (c.hour < 1 || c.hour > 12) return false;
      std::swap(c.day, c.month);
      c.hour = c.hour % 12 + (m == 'p' ? 12 : 0);
      pos += 2;
      while (pos < text.size() && IsBlank(text[pos])) ++pos;
    }
  }
  return pos == text.size();
}
}  // namespace

std::optional<DateTime> DateTime::FromText(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  CivilTime c;
  c.hour = c.minute = c.second = 0;
  char separator = '\0';
  bool ownForm = false;
  if (!ReadDate(text, pos, c, separator, ownForm)) return std::nullopt;
  const size_t afterDate = pos;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  // A time of day follows the date after at least one blank.
  if (pos < text.size() && (pos == afterDate || !ReadTimeOfDay(text, pos, c, separator, ownForm)))
    return std::nullopt;
  if (c.year < 100 || c.month < 1 || c.month > 12 || c.day < 1 || c.day > DaysInMonth(c.year, c.month) || c.hour > 23 ||
      c.minute > 59 || c.second > 59)
    return std::nullopt;
  return FromCivil(c);
}
