#include "platform/date_time.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

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

DateTime FromTm(const std::tm& t) {
  return DateTime::FromCivil({t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec});
}
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
  double whole = std::trunc(value);
  double frac = std::fabs(value - whole);
  long long secs = std::llround(frac * 86400.0);
  long long days = static_cast<long long>(whole);
  if (secs >= 86400) {
    secs -= 86400;
    days += value >= 0 ? 1 : -1;
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
  long long days = static_cast<long long>(std::floor(value));
  return static_cast<int>(((days + 6) % 7 + 7) % 7);
}

DateTime DateTime::NowUtc() {
  std::time_t t = std::time(nullptr);
  std::tm tmv{};
#ifdef _WIN32
  gmtime_s(&tmv, &t);
#else
  gmtime_r(&t, &tmv);
#endif
  return FromTm(tmv);
}

DateTime DateTime::NowLocal() {
  std::time_t t = std::time(nullptr);
  std::tm tmv{};
#ifdef _WIN32
  localtime_s(&tmv, &t);
#else
  localtime_r(&t, &tmv);
#endif
  return FromTm(tmv);
}

std::string DateTime::ToText() const {
  CivilTime c = ToCivil();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute,
                c.second);
  return buf;
}

std::optional<DateTime> DateTime::FromText(std::string_view text) {
  std::string s(text.substr(0, 64));
  CivilTime c;
  int n = 0;
  int used = 0;
  if (std::sscanf(s.c_str(), "%d-%d-%d%n", &c.year, &c.month, &c.day, &used) != 3) return std::nullopt;
  n = used;
  c.hour = c.minute = c.second = 0;
  int used2 = 0;
  if (static_cast<size_t>(n) < s.size()) {
    if (std::sscanf(s.c_str() + n, " %d:%d:%d%n", &c.hour, &c.minute, &c.second, &used2) != 3) return std::nullopt;
    n += used2;
  }
  while (static_cast<size_t>(n) < s.size() && (s[n] == ' ' || s[n] == '\t' || s[n] == '\r' || s[n] == '\n')) ++n;
  if (static_cast<size_t>(n) != s.size() || text.size() > 64) return std::nullopt;
  if (c.year < 100 || c.year > 9999 || c.month < 1 || c.month > 12 || c.day < 1 || c.day > 31 || c.hour < 0 ||
      c.hour > 23 || c.minute < 0 || c.minute > 59 || c.second < 0 || c.second > 59)
    return std::nullopt;
  return FromCivil(c);
}
