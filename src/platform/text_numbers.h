// Numbers in text, read and written one way for the whole program, and the few character tests
// the readers share. Built on std::from_chars and std::to_chars: no locale, no errno, no
// allocation when reading. The sources differ in the blanks they allow before a number, so the
// blank set is an explicit option of each reader.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace textnum {

// The blanks a reader skips before a number.
enum class Blanks {
  kSpaceTab,      // ' ' and '\t' (the check report's unit identities)
  kSpaceTabCrLf,  // ' ', '\t', '\r' and '\n' (status-file field texts, the settings dialogs' values)
  kCSpace,        // ' ', '\t', '\n', '\v', '\f' and '\r', as isspace in the "C" locale (reply
                  // values, the operator's entries)
};

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c, Blanks blanks);

// Whether text holds what; a null text holds nothing.
bool Contains(const char* text, const char* what);

// The leading decimal integer of a text, as atoi reads it: blanks of the given set, an optional
// sign and the digits that follow; 0 when there are none. A value beyond the 32-bit range is
// clamped to it. A null text reads as empty.
int32_t LeadingInt(std::string_view text, Blanks blanks);
int32_t LeadingInt(const char* text, Blanks blanks);

// The leading real of a text, as atof reads it in the "C" locale: blanks of the given set, an
// optional sign, decimal digits with an optional point and exponent; 0 when there are none.
// Never reads hexadecimal, "inf" or "nan". A value beyond the range of a double is clamped to
// it, one too small for it reads as 0.
double LeadingReal(std::string_view text, Blanks blanks);

// A double stored into a 32-bit float: held at the float's range; NaN gives 0.
float ToFloat(double value);

// A whole text that is an optional sign and decimal digits, nothing else (no blanks), clamped
// to [low, high]; nothing for any other text.
std::optional<int64_t> WholeInt(std::string_view text, int64_t low, int64_t high);

// A real with a fixed number of decimals and a point, as "%.*f" writes it in the "C" locale;
// "?" when it cannot be written.
std::string Fixed(double value, int decimals);

// printf into a string, whole however long. Reals written this way follow the process's
// locale: write them with Fixed where the text is kept or shown.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace textnum
