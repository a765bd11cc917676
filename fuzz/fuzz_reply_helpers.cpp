// The reply helpers every reader of replies uses: CleanReply, ExtractValue and CopyField, and
// the number conversions of the status readers, on arbitrary bytes and into buffers of every
// capacity. Each buffer is a heap block of exactly its capacity, so one byte written past it
// is caught.
//
// Input: one byte choosing the capacity, one byte the key's length (0 to 31), the key, then the
// source text.
#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstring>

#include "fuzz_support.h"
#include "status/reply_parsers.h"

namespace {

bool Printable(unsigned char c) { return c >= 32 && c <= 127; }

struct Buffer {
  explicit Buffer(size_t n) : capacity(n), bytes(new char[n]) { std::memset(bytes.get(), 'Z', n); }
  TextSpan Span() { return TextSpan(bytes.get(), capacity); }
  // The text written, which must end inside the buffer.
  std::string_view Text(const char* what) const {
    const size_t length = strnlen(bytes.get(), capacity);
    fuzz::Expect(length < capacity, what);
    return std::string_view(bytes.get(), length);
  }
  size_t capacity;
  std::unique_ptr<char[]> bytes;
};

void CheckCleanReply(const std::string& source, size_t capacity) {
  Buffer out(capacity);
  CTransponder::CleanReply(source.c_str(), out.Span());
  const std::string_view cleaned = out.Text("CleanReply leaves its text terminated inside the buffer");
  if (!cleaned.empty())
    fuzz::Expect(Printable(static_cast<unsigned char>(cleaned.back())), "CleanReply drops trailing control bytes");
  // The cleaned text is the source with an LF after each CR, cut and trimmed: walking both
  // together must never disagree.
  size_t s = 0;
  for (size_t i = 0; i < cleaned.size(); ++i) {
    fuzz::Expect(s < source.size() && cleaned[i] == source[s], "CleanReply copies the source", cleaned);
    if (source[s] == '\r' && i + 1 < cleaned.size()) {
      ++i;
      fuzz::Expect(cleaned[i] == '\n', "CleanReply writes an LF after every CR", cleaned);
    }
    ++s;
  }
  // With room to spare, nothing but trailing control bytes is lost.
  if (capacity > 2 * source.size() + 1) {
    std::string expected = source;
    while (!expected.empty() && !Printable(static_cast<unsigned char>(expected.back()))) expected.pop_back();
    fuzz::Expect(s == expected.size(), "CleanReply keeps the whole reply when it fits", cleaned);
  }
}

void CheckExtractValue(const std::string& source, const std::string& key, size_t capacity) {
  Buffer value(capacity);
  const bool found = CTransponder::ExtractValue(source.c_str(), key.c_str(), value.Span());
  const std::string_view v = value.Text("ExtractValue leaves its value terminated inside the buffer");
  const size_t at = source.find(key);
  fuzz::Expect(found == (at != std::string::npos), "ExtractValue says whether the key is there");
  if (!found) {
    fuzz::Expect(v == std::string_view(" ").substr(0, capacity - 1), "a missing key gives a single space", v);
    return;
  }
  for (char c : v) fuzz::Expect(Printable(static_cast<unsigned char>(c)), "a value holds no control byte", v);
  if (v != " ")
    fuzz::Expect(source.find(v, at + key.size()) != std::string::npos, "the value comes from after the key", v);
}

void CheckCopyField(const std::string& source, size_t capacity) {
  Buffer field(capacity);
  CTransponder::CopyField(field.Span(), source.c_str());
  const std::string_view f = field.Text("CopyField leaves its field terminated inside the buffer");
  fuzz::Expect(source.compare(0, f.size(), f) == 0, "a field is the start of its source", f);
  fuzz::Expect(f.find(',') == std::string_view::npos, "a field holds no comma", f);
  for (char c : f) fuzz::Expect(static_cast<unsigned char>(c) >= 32, "a field holds no control byte", f);
}

// The number conversions against the C library's (in the C locale), where both are defined
// the same: decimal only, within range.
void CheckNumbers(const std::string& text) {
  const long long ref = std::strtoll(text.c_str(), nullptr, 10);
  fuzz::Expect(reply::ToInt(text) == std::clamp<long long>(ref, INT32_MIN, INT32_MAX),
               "ToInt reads as atoi does, clamped", text);

  const double d = reply::ToReal(text);
  fuzz::Expect(std::isfinite(d), "ToReal gives a finite number", text);
  fuzz::Expect(std::isfinite(reply::ToFloat(d)), "ToFloat gives a finite number", text);

  size_t p = 0;
  while (p < text.size() && std::strchr(" \t\n\v\f\r", text[p]) && text[p]) ++p;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
  const bool decimal =
      p < text.size() &&
      (std::isdigit(static_cast<unsigned char>(text[p])) ||
       (text[p] == '.' && p + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[p + 1]))));
  const bool hexPrefix = p + 1 < text.size() && text[p] == '0' && (text[p + 1] == 'x' || text[p + 1] == 'X');
  if (decimal && !hexPrefix) {
    errno = 0;
    const double r = std::strtod(text.c_str(), nullptr);
    if (errno == 0 && std::isfinite(r) && (r == 0.0 || std::fabs(r) >= DBL_MIN))
      fuzz::Expect(d == r, "ToReal reads as atof does", text);
  }

  uint32_t hex = 12345;
  if (!reply::ScanHex(text, hex)) fuzz::Expect(hex == 12345, "a failed hexadecimal scan leaves the value alone", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::setlocale(LC_ALL, "C");
  const size_t capacity = data[0] == 0 ? CTransponder::kExchangeBufferSize : data[0];
  const size_t keyLength = std::min<size_t>(data[1] & 31, size - 2);
  // The C functions see texts up to their first NUL, as they would in a reply buffer.
  const std::string key(reinterpret_cast<const char*>(data + 2),
                        strnlen(reinterpret_cast<const char*>(data + 2), keyLength));
  const char* rest = reinterpret_cast<const char*>(data + 2 + keyLength);
  const std::string source(rest, strnlen(rest, size - 2 - keyLength));

  CheckCleanReply(source, capacity);
  CheckExtractValue(source, key, capacity);
  CheckCopyField(source, capacity);
  CheckNumbers(source);
  return 0;
}
