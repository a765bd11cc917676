#include "history/unit_state.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "history/history_fields.h"
#include "platform/time_ops.h"
#include "records/status_fields.h"
#include "status/status_report.h"

namespace history {

namespace {

// The status readers, by the bit each sets in the failed readers' mask when it fails.
constexpr int32_t kHwst = 1, kTpst = 2, kFvfv = 4, kSttx = 8, kInfo = 16;

// The reader whose reply holds a field (0: none of the status readers: the sensors' reading, or
// a field no reply fills).
int32_t ReaderOf(std::string_view e) {
  static constexpr std::string_view kHwstFields[] = {
      "UnitId",   "DataFormat", "SerialNo", "TypeNo",  "Band",    "TdrType",  "EndcapSerial", "Type",
      "BattId",   "BattDraw",   "BattIss",  "Batt2Id", "Batt2Draw", "Batt2Iss", "Batt3Id",    "Batt3Draw",
      "Batt3Iss", "DcardId",    "DcardDraw", "DcardIss", "TxId",   "TxDraw",   "TxIss",        "DasId",
      "Fitted"};
  static constexpr std::string_view kTpstFields[] = {
      "FunctionLevel", "Address",  "Channel",  "HPRms",     "HPRls",   "CIFReplyCHannel", "AltCIFChannel",
      "Tat",           "Warning",  "Override", "CWTIndex",  "CWRIndex", "CWCIndex",       "BlockIndex",
      "Enabled",       "CPL",      "CPS",      "CPT",       "CPJ",     "CPU",             "RxGain",
      "CPA",           "Count",    "Voltage"};
  static constexpr std::string_view kFvfvFields[] = {"T7V", "Das", "U4", "U10", "U5", "U8", "Dcard"};
  static constexpr std::string_view kInfoFields[] = {"IIFChannel", "String2"};
  static constexpr std::string_view kSttxFields[] = {
      "String1",          "RangingType",      "TelemetryType",      "BaudRate",  "WideBandEnabled",
      "DaughterCardFitted", "BatteryStacks",  "ChirpDuration",      "DataTelemetryType",
      "DownlinkInterPacketTime", "DataDelay", "UplinkPacketDelay",  "CommandWaitDelay",
      "CommandReplyType", "InterCharacterTime", "ExternalSync",     "DetectThreshold",
      "LinearGain",       "FEEnabled",        "CPD"};
  for (auto f : kHwstFields)
    if (f == e) return kHwst;
  for (auto f : kTpstFields)
    if (f == e) return kTpst;
  for (auto f : kFvfvFields)
    if (f == e) return kFvfv;
  for (auto f : kInfoFields)
    if (f == e) return kInfo;
  for (auto f : kSttxFields)
    if (f == e) return kSttx;
  return 0;
}

struct FieldFacts {
  int32_t reader[kFieldCount];
  bool checks[kFieldCount];
  int checkTime[kFieldCount];  // a check's result: the index of its time; a time: itself; else -1
  bool sensor[kFieldCount];
};

const FieldFacts& Facts() {
  static const FieldFacts kFacts = [] {
    FieldFacts f{};
    for (int i = 0; i < kFieldCount; ++i) {
      f.reader[i] = ReaderOf(FieldName(i));
      f.checks[i] = IsChecksField(i);
      f.checkTime[i] = -1;
      const std::string_view e = FieldName(i);
      f.sensor[i] = e == "DepthOffset" || e == "PressureFullScale" || e == "PressureAccuracy";
    }
    // Each check's result goes with its time.
    const std::pair<const char*, const char*> pairs[] = {{"UpdatedTime", "UpdatedResult"},
                                                         {"CI1Time", "CI1Result"},
                                                         {"DepthOffsetTime", "DepthOffsetValue"},
                                                         {"HardwareTime", "HardwareResult"},
                                                         {"ReleaseTime", "ReleaseResult"}};
    for (const auto& [time, result] : pairs) {
      const int t = *FieldIndex(time), r = *FieldIndex(result);
      f.checkTime[t] = t;
      f.checkTime[r] = t;
    }
    return f;
  }();
  return kFacts;
}

// A check's time as milliseconds; 0 for none (an empty text, or the year 2000 or earlier, which
// the check report takes for never).
int64_t CheckMs(const std::string& text) {
  if (text.empty()) return 0;
  auto t = DateTime::FromText(text);
  if (!t || t->ToCivil().year <= 2000) return 0;
  return ToUnixMs(*t);
}

}  // namespace

const FieldTexts& NotReadTexts() {
  static const FieldTexts kTexts = TextsOf(StatusChecks::Fresh(), UnitStatus::Fresh());
  return kTexts;
}

FieldMask FieldsRead(bool statusRead, int32_t failedReaders, const FieldTexts& t) {
  const FieldFacts& f = Facts();
  const FieldTexts& none = NotReadTexts();
  FieldMask read;
  for (int i = 0; i < kFieldCount; ++i) {
    const auto k = static_cast<size_t>(i);
    if (f.checks[i]) {
      // A check with its time; the time of the status read is the read's own.
      if (f.checkTime[i] >= 0) read[k] = CheckMs(t[static_cast<size_t>(f.checkTime[i])]) > 0;
      else read[k] = statusRead && !t[k].empty();
      continue;
    }
    if (!statusRead) continue;
    const int32_t reader = f.reader[i];
    if (reader != 0 && (failedReaders & reader) != 0) continue;  // its reader failed
    // A value the record starts with is "not read": the unit's answer never gives it. A text a
    // reader that answered left empty is the unit's answer (no second battery, no daughter card).
    const bool text = StatusFieldTable()[i].kind == FieldKind::Text;
    const bool byte = StatusFieldTable()[i].kind == FieldKind::Byte;
    if (t[k] == none[k] && !((text || byte) && reader != 0)) continue;
    read[k] = true;
  }
  return read;
}

FieldMask FieldsHeld(bool statusRead, const FieldTexts& state) {
  const FieldFacts& f = Facts();
  const FieldTexts& none = NotReadTexts();
  FieldMask read;
  for (int i = 0; i < kFieldCount; ++i) {
    const auto k = static_cast<size_t>(i);
    if (f.checkTime[i] >= 0) read[k] = CheckMs(state[static_cast<size_t>(f.checkTime[i])]) > 0;
    else if (statusRead) read[k] = !state[k].empty() && (state[k] != none[k] || f.checks[i]);
  }
  return read;
}

std::vector<int> TakeReading(FieldTexts& state, const FieldTexts& reading, const FieldMask& read) {
  const FieldFacts& f = Facts();
  std::vector<int> changed;
  for (int i = 0; i < kFieldCount; ++i) {
    const auto k = static_cast<size_t>(i);
    if (!read[k]) continue;
    if (f.checkTime[i] >= 0) {
      // Taken with its time, when the check is the later one (the same check again: its result
      // as this step has it).
      const auto time = static_cast<size_t>(f.checkTime[i]);
      if (CheckMs(reading[time]) < CheckMs(state[time])) continue;
    }
    if (state[k] == reading[k]) continue;
    state[k] = reading[k];
    changed.push_back(i);
  }
  return changed;
}

std::string MaskText(const FieldMask& mask) {
  std::string out(kFieldCount / 4, '0');
  static const char digits[] = "0123456789abcdef";
  for (int n = 0; n < kFieldCount / 4; ++n) {
    int v = 0;
    for (int b = 0; b < 4; ++b)
      if (mask[static_cast<size_t>(n * 4 + b)]) v |= 1 << b;
    out[static_cast<size_t>(n)] = digits[v];
  }
  return out;
}

FieldMask MaskOfText(std::string_view text) {
  FieldMask mask;
  if (text.size() != kFieldCount / 4) return mask;
  for (int n = 0; n < kFieldCount / 4; ++n) {
    const char c = text[static_cast<size_t>(n)];
    const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (v < 0) return FieldMask{};
    for (int b = 0; b < 4; ++b)
      if (v & (1 << b)) mask.set(static_cast<size_t>(n * 4 + b));
  }
  return mask;
}

// ---- the fields as the status report shows them ----

namespace {

const std::string& Of(const FieldTexts& s, const char* element) {
  static const std::string kNone;
  const auto i = FieldIndex(element);
  return i ? s[static_cast<size_t>(*i)] : kNone;
}

long Whole(const std::string& t) { return std::strtol(t.c_str(), nullptr, 10); }

std::string Printf(const char* format, double v) {
  char b[64];
  std::snprintf(b, sizeof b, format, v);
  return b;
}

std::string Printf(const char* format, long v) {
  char b[64];
  std::snprintf(b, sizeof b, format, v);
  return b;
}

}  // namespace

ShownField ShownAs(int field, const FieldTexts& s) {
  const std::string_view e = FieldName(field);
  const std::string& v = s[static_cast<size_t>(field)];
  if (v.empty()) return {};
  auto both = [&](const char* label, const char* a, const char* b, const char* format) -> ShownField {
    const std::string &x = Of(s, a), &y = Of(s, b);
    if (x.empty() || y.empty()) return {label, v};
    char t[64];
    std::snprintf(t, sizeof t, format, Whole(x), Whole(y));
    return {label, t};
  };
  if (e == "Address" || e == "Channel") return both("AD", "Address", "Channel", "%ld%02ld");
  if (e == "HPRms" || e == "HPRls") return both("HPR", "HPRms", "HPRls", "%ld%ld");
  if (e == "UnitId") return {"Unit ID", Printf("%06lX(hex)", Whole(v))};
  if (e == "SerialNo") return {"Serial No", v};
  if (e == "TypeNo") return {"Type", v};
  if (e == "Voltage") return {"Batt", Printf("%.1fV", std::strtod(v.c_str(), nullptr))};
  if (e == "Count") return {"Count", v};
  if (e == "Type") return {"Battery", v};
  if (e == "BatteryStacks") return {"stacks", v};
  if (e == "Warning") return {"Warn", v == "1" ? "Warn" : "-"};
  if (e == "Override") return {"OV", v == "1" ? "OV" : "-"};
  if (e == "T7V") return {"Firmware", v};
  if (e == "Das") return {"Das firmware", v};
  if (e == "Dcard") return {"Daughter card firmware", v};
  if (e == "EndcapSerial") return {"Endcap serial number", v};
  if (e == "Tat") return {"TAT", Printf("%.2f ms", std::strtod(v.c_str(), nullptr))};
  if (e == "RxGain") return {"Rx gain", v};
  if (e == "CPU" || e == "CPJ" || e == "CPT" || e == "CPS" || e == "CPL" || e == "CPA") return {std::string(e), v};
  if (e == "CWTIndex") return {"CWT", v};
  if (e == "CWRIndex") return {"CWR", v};
  if (e == "CWCIndex") return {"CWC", v};
  if (e == "BlockIndex") return {"Block", v};
  if (e == "FunctionLevel") return {"Function level", Printf("%02lx", Whole(v))};
  if (e == "DetectThreshold") return {"Detect threshold", Printf("%.1f", double(Whole(v)) * 0.1)};
  if (e == "LinearGain") return {"Linear gain", v};
  if (e == "Fitted") {
    std::string codes;
    const unsigned long bits = std::strtoul(v.c_str(), nullptr, 10);
    for (const auto& row : kSensorTable)
      if (bits & row.bit) codes += (codes.empty() ? "" : " ") + std::string(row.code);
    return {"Sensors", codes.empty() ? "none" : codes};
  }
  if (e == "DepthOffset") return {"Depth offset", v};
  if (e == "PressureFullScale") return {"Pressure range", v};
  if (e == "PressureAccuracy") return {"Pressure accuracy", v};
  if (e == "HardwareTime") return {"Self test", v};
  if (e == "HardwareResult") return {"Self test result", v};
  if (e == "ReleaseTime") return {"Release test", v};
  if (e == "ReleaseResult") return {"Release test result", v};
  if (e == "DepthOffsetTime") return {"Depth offset set", v};
  if (e == "DepthOffsetValue") return {"Depth offset set to", v};
  return {};
}

// ---- times ----

std::string LocalTimeText(const DateTime& utc, bool withSeconds) {
  if (utc.value <= 0.0) return {};
  const int64_t seconds = ToUnixMs(utc) / 1000;
  const CivilTime local = time_ops::LocalAt(seconds);
  const CivilTime u = utc.ToCivil();
  // The zone as its offset from UTC at that moment (summer time included).
  const int64_t offset = ToUnixMs(DateTime::FromCivil(local)) / 60000 - ToUnixMs(DateTime::FromCivil(u)) / 60000;
  char zone[24] = "UTC";
  if (offset != 0) {
    const int64_t a = offset < 0 ? -offset : offset;
    std::snprintf(zone, sizeof zone, "UTC%c%02d:%02d", offset < 0 ? '-' : '+', int(a / 60), int(a % 60));
  }
  char b[64];
  if (withSeconds)
    std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d %s", local.year, local.month, local.day, local.hour,
                  local.minute, local.second, zone);
  else
    std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d %s", local.year, local.month, local.day, local.hour,
                  local.minute, zone);
  return b;
}

std::string IsoTimeText(const DateTime& utc) {
  if (utc.value <= 0.0) return {};
  std::string t = utc.ToText();
  if (t.size() > 10) t[10] = 'T';
  return t + "Z";
}

}  // namespace history
