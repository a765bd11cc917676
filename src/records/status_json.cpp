#include "records/status_json.h"

#include <cmath>
#include <cstdio>

#include "records/status_fields.h"
#include "records/status_xml.h"

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 32 || c >= 127) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

namespace {

struct JsonWriter {
  std::string& out;
  void Key(const char* element) {
    out += out.size() > 1 ? ",\n  " : "\n  ";
    out += JsonString(element);
    out += ": ";
  }
  void operator()(const char*, const char* e, const int32_t& v) { Key(e), out += std::to_string(v); }
  void operator()(const char*, const char* e, const uint32_t& v) { Key(e), out += std::to_string(v); }
  void operator()(const char*, const char* e, const uint8_t& v) { Key(e), out += std::to_string(v); }
  void operator()(const char*, const char* e, FlagRef<const int32_t> v) { Key(e), out += v.value ? "true" : "false"; }
  void operator()(const char*, const char* e, const float& v) {
    Key(e);
    out += std::isfinite(v) ? status_text::FromReal(v) : "null";
  }
  template <size_t N>
  void operator()(const char*, const char* e, const FixedText<N>& v) {
    Key(e);
    out += JsonString(v.view());
  }
  void operator()(const char*, const char* e, const DateTime& v) {
    Key(e);
    // The zero date stands for never, as in the status files.
    out += v.valid && v.value > 0.0 ? JsonString(v.ToText()) : "null";
  }
};

}  // namespace

std::string StatusJson(const StatusChecks& checks, const UnitStatus& status) {
  std::string out = "{";
  ForEachStatusField(checks, status, JsonWriter{out});
  return out + "\n}\n";
}
