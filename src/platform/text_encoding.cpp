#include "platform/text_encoding.h"

#include <cstdint>

namespace text_encoding {
namespace {
// Code page 1252 from 0x80 to 0x9F; the undefined bytes map to the control character of the
// same number.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool AllowedControl(uint32_t c) { return c == '\t' || c == '\n' || c == '\r'; }

bool IsXmlChar(uint32_t c) {
  if (c < 0x20) return AllowedControl(c);
  return c != 0xFFFE && c != 0xFFFF;  // surrogates never decode
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

uint32_t FromCp1252(unsigned char b) { return b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b; }

// Decodes one UTF-8 character at text[i]; returns its length, 0 when the bytes there do not
// start a valid sequence.
size_t Decode(std::string_view text, size_t i, uint32_t& c) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char lead = b(0);
  if (lead < 0x80) {
    c = lead;
    return 1;
  }
  size_t n = 0;
  uint32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2, c = lead & 0x1F, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3, c = lead & 0x0F, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4, c = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b(k) & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return n;
}
}  // namespace

std::string Cp1252ToUtf8(std::string_view text, bool forXml) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (forXml && b < 0x20 && !AllowedControl(b)) continue;
    AppendUtf8(out, FromCp1252(b));
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    uint32_t c = 0;
    size_t n = Decode(text, i, c);
    if (n == 0) {
      c = FromCp1252(static_cast<unsigned char>(text[i]));  // a byte of 8-bit text
      n = 1;
    }
    i += n;
    if (c < 0x20 && !AllowedControl(c)) continue;
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char byte = '?';
    for (int k = 0; k < 32; ++k)
      if (kHigh[k] == c) byte = static_cast<char>(0x80 + k);
    out.push_back(byte);
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    uint32_t c = 0;
    const size_t n = Decode(text, i, c);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string RepairUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size();) {
    uint32_t c = 0;
    const size_t n = Decode(text, i, c);
    if (n == 0) {
      AppendUtf8(out, FromCp1252(static_cast<unsigned char>(text[i])));
      ++i;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

std::string XmlCharsOnly(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    uint32_t c = 0;
    const size_t n = Decode(utf8, i, c);
    if (n == 0) {
      ++i;
      continue;
    }
    if (IsXmlChar(c)) out.append(utf8.substr(i, n));
    i += n;
  }
  return out;
}

bool HasNonXmlChars(std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) {
    uint32_t c = 0;
    const size_t n = Decode(utf8, i, c);
    if (n == 0 || !IsXmlChar(c)) return true;
    i += n;
  }
  return false;
}
}  // namespace text_encoding
