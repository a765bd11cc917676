// A date-time with automation-date semantics: days since 30 December 1899 as a double (the
// fraction is the time of day) plus a validity flag. The zero value (0.0, valid) means never.
#pragma once
#include <optional>
#include <string>
#include <string_view>

struct CivilTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

struct DateTime {
  double value = 0.0;
  bool valid = true;

  static DateTime Zero() { return DateTime{}; }
  static DateTime FromCivil(const CivilTime& c);
  static DateTime NowUtc();
  static DateTime NowLocal();
  CivilTime ToCivil() const;  // rounded to the nearest second
  int DayOfWeek() const;      // 0 Sunday .. 6 Saturday

  // The text form of the status files: "YYYY-MM-DD HH:MM:SS" (24-hour clock, whole seconds),
  // the same in every locale. A value outside the years 100 to 9999 is shown at the nearest end.
  std::string ToText() const;
  // Parses the text form back exactly. A date alone ("YYYY-MM-DD", midnight) is accepted too,
  // as are one-digit months, days, hours, minutes and seconds and blanks around the text. The
  // year has four digits; a date that does not exist (31 April) or any other text gives nothing.
  // The forms the earlier Windows terminal wrote into status files are read as well:
  // "DD/MM/YYYY HH:MM[:SS]", "DD.MM.YYYY HH:MM[:SS]" and, with an AM/PM marker,
  // "M/D/YYYY h:mm[:ss] AM|PM" (each also as a date alone).
  static std::optional<DateTime> FromText(std::string_view text);

  bool operator==(const DateTime& o) const { return value == o.value && valid == o.valid; }
};
