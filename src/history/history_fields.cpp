// The fields of a unit as texts: how they are taken from the records, named, classed, and kept
// in the database as small JSON objects.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "history/history_fields.h"
#include "platform/text_encoding.h"
#include "records/status_fields.h"
#include "records/status_xml.h"

namespace history {

namespace {

struct TextCollector {
  FieldTexts& out;
  int i = 0;
  void Put(std::string s) { out[static_cast<size_t>(i++)] = std::move(s); }
  void operator()(const char*, const char*, const int32_t& v) { Put(std::to_string(v)); }
  void operator()(const char*, const char*, const uint32_t& v) { Put(std::to_string(v)); }
  void operator()(const char*, const char*, const uint8_t& v) { Put(std::to_string(v)); }
  void operator()(const char*, const char*, FlagRef<const int32_t> v) { Put(v.value ? "1" : "0"); }
  void operator()(const char*, const char*, const float& v) { Put(status_text::FromReal(v)); }
  template <size_t N>
  void operator()(const char*, const char*, const FixedText<N>& v) {
    // As the status files keep it: the unit's 8-bit text as UTF-8, without the control
    // characters XML cannot hold.
    Put(text_encoding::Cp1252ToUtf8(v.view(), true));
  }
  void operator()(const char*, const char*, const DateTime& v) { Put(v.valid && v.value > 0.0 ? v.ToText() : ""); }
};

}  // namespace

FieldTexts TextsOf(const StatusChecks& checks, const UnitStatus& status) {
  FieldTexts t;
  ForEachStatusField(checks, status, TextCollector{t});
  return t;
}

const char* FieldName(int i) { return i >= 0 && i < kFieldCount ? StatusFieldTable()[i].element : ""; }
const char* FieldGroup(int i) { return i >= 0 && i < kFieldCount ? StatusFieldTable()[i].group : ""; }

std::optional<int> FieldIndex(std::string_view element) {
  // By name, sorted once (a name that two groups share finds its first field, as a scan would):
  // every stored change is read by its names, a thousand visits at a time for a dossier.
  static const std::vector<std::pair<std::string_view, int>> kByName = [] {
    std::vector<std::pair<std::string_view, int>> v;
    for (int i = 0; i < kFieldCount; ++i) v.emplace_back(StatusFieldTable()[i].element, i);
    std::stable_sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return v;
  }();
  const auto it = std::lower_bound(kByName.begin(), kByName.end(), element,
                                   [](const auto& e, std::string_view n) { return e.first < n; });
  if (it == kByName.end() || it->first != element) return std::nullopt;
  return it->second;
}

bool IsDateField(int i) { return StatusFieldTable()[i].kind == FieldKind::DateTime; }

bool IsChecksField(int i) { return std::string_view(FieldGroup(i)) == "Checks"; }

FieldClass ClassOf(int field) {
  const std::string_view group = FieldGroup(field), element = FieldName(field);
  if (group == "Version") return FieldClass::Firmware;
  if (group == "Checks") return FieldClass::Measured;
  if (group == "Battery" &&
      (element == "Voltage" || element == "Count" || element == "Warning" || element == "Override"))
    return FieldClass::Measured;
  if (element == "DepthOffset") return FieldClass::Measured;
  return FieldClass::Configuration;
}

const char* FieldClassName(FieldClass c) {
  switch (c) {
    case FieldClass::Configuration: return "configuration";
    case FieldClass::Firmware: return "firmware";
    case FieldClass::Measured: return "measured";
  }
  return "";
}

bool ComparedInDiff(int i) {
  // The time of the read is the visit's own; the information reply holds the unit's clock, so it
  // differs at every read (the fields taken from it are compared on their own).
  const std::string_view e = FieldName(i);
  return e != "LastStatusTime" && e != "String2";
}

const std::vector<std::string>& SeriesFields() {
  static const std::vector<std::string> kFields = {"Voltage", "Count", "DepthOffset", "DepthOffsetValue"};
  return kFields;
}

std::optional<double> SeriesValue(int field, const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v)) return std::nullopt;
  // The values that mean "not read".
  const std::string_view e = FieldName(field);
  if (e == "DepthOffset" ? v == -9999.0 : v == -1.0) return std::nullopt;
  return v;
}

std::optional<int32_t> UnitIdOfHex(std::string_view hex) {
  if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) hex.remove_prefix(2);
  if (hex.empty() || hex.size() > 8) return std::nullopt;
  uint32_t id = 0;
  for (const char c : hex) {
    const int d = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
    if (d < 0) return std::nullopt;
    id = id << 4 | static_cast<uint32_t>(d);
  }
  return static_cast<int32_t>(id);
}

// ---- JSON: one flat object of texts ----

void AppendJsonString(std::string& out, std::string_view s) {
  out += '"';
  for (const char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += ch;  // UTF-8 as it stands
    }
  }
  out += '"';
}

std::string FieldsJson(const FieldTexts& t, const std::vector<int>& which) {
  std::string out = "{";
  for (int i : which) {
    if (out.size() > 1) out += ',';
    AppendJsonString(out, FieldName(i));
    out += ':';
    AppendJsonString(out, t[static_cast<size_t>(i)]);
  }
  return out + "}";
}

std::string FieldsJson(const FieldTexts& t) {
  std::vector<int> all(kFieldCount);
  for (int i = 0; i < kFieldCount; ++i) all[static_cast<size_t>(i)] = i;
  return FieldsJson(t, all);
}

namespace {

struct JsonReader {
  std::string_view s;
  size_t p = 0;
  void Blanks() {
    while (p < s.size() && (s[p] == ' ' || s[p] == '\n' || s[p] == '\r' || s[p] == '\t')) ++p;
  }
  bool Eat(char c) {
    Blanks();
    if (p < s.size() && s[p] == c) return ++p, true;
    return false;
  }
  static void PutUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6)), out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12)), out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18)), out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  bool Hex4(uint32_t& v) {
    if (p + 4 > s.size()) return false;
    v = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s[p++];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') v |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') v |= static_cast<uint32_t>(c - 'A' + 10);
      else return false;
    }
    return true;
  }
  bool String(std::string& out) {
    out.clear();
    if (!Eat('"')) return false;
    while (p < s.size()) {
      const char c = s[p++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (p >= s.size()) return false;
      const char e = s[p++];
      switch (e) {
        case '"':
        case '\\':
        case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          uint32_t cp;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00 && p + 6 <= s.size() && s[p] == '\\' && s[p + 1] == 'u') {
            p += 2;
            uint32_t low;
            if (!Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          PutUtf8(out, cp);
          break;
        }
        default: return false;
      }
    }
    return false;
  }
};

}  // namespace

bool ApplyFieldsJson(std::string_view json, FieldTexts& t, std::vector<int>* changed) {
  JsonReader r{json};
  if (!r.Eat('{')) return false;
  if (r.Eat('}')) return true;
  std::string key, value;
  do {
    if (!r.String(key) || !r.Eat(':') || !r.String(value)) return false;
    // A name this terminal does not know (written by a later one) is passed over.
    if (auto i = FieldIndex(key)) {
      t[static_cast<size_t>(*i)] = value;
      if (changed) changed->push_back(*i);
    }
  } while (r.Eat(','));
  return r.Eat('}');
}

}  // namespace history
