// Parsing the unit's status replies into the status record.
#include "status/reply_parsers.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/text_numbers.h"
#include "serial/reply_text.h"

namespace {
// A value read by key: as long as the longest reply line can be.
using Value = FixedText<reply_text::kExchangeBufferSize>;

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value after the first occurrence of key in source; a single space when it is missing.
bool Extract(const char* source, const char* key, Value& value) {
  return reply_text::ExtractValue(source, key, value.Span());
}
// As Extract, for a source that may be the value buffer itself.
Value After(const Value& source, const char* key) {
  Value out;
  Extract(source.c_str(), key, out);
  return out;
}
char First(const Value& v) { return v.c_str()[0]; }

// "digit": the value of the first character when it is a decimal digit; else unchanged.
void Digit(const Value& v, int32_t& field) {
  if (textnum::IsDigit(First(v))) field = First(v) - '0';
}

// Comma list of an assembly line: identity, drawing number, issue.
template <size_t A, size_t B, size_t C>
void CommaList(const char* reply, const char* key, FixedText<A>& id, FixedText<B>& draw, FixedText<C>& issue) {
  Value v;
  Extract(reply, key, v);
  reply_text::CopyField(id, v.c_str());
  Value w = After(v, ",");
  reply_text::CopyField(draw, w.c_str());
  Value x = After(w, ",");
  reply_text::CopyField(issue, x.c_str());
}

// The type line of three values: each field's leading blanks skipped, ending at the next
// comma, control character or end.
void SplitTypeLine(const Value& v, UnitStatus& s) {
  std::string fields[3];
  const char* p = v.c_str();
  for (auto& field : fields) {
    while (*p && static_cast<unsigned char>(*p) <= 32) ++p;
    const char* e = p;
    while (*e && *e != ',' && static_cast<unsigned char>(*e) >= 32) ++e;
    field.assign(p, static_cast<size_t>(e - p));
    p = *e == ',' ? e + 1 : e;
  }
  s.TypeNo = fields[0];
  s.Band = fields[1];
  s.TdrType = fields[2];
}

int32_t ClampToInt32(uint32_t v) { return v > 0x7FFFFFFFu ? INT32_MAX : static_cast<int32_t>(v); }
}  // namespace

namespace reply {

int32_t ToInt(std::string_view t) { return textnum::LeadingInt(t, textnum::Blanks::kCSpace); }
double ToReal(std::string_view t) { return textnum::LeadingReal(t, textnum::Blanks::kCSpace); }

float ToFloat(double value) { return textnum::ToFloat(value); }

bool ScanHex(std::string_view t, uint32_t& value) {
  size_t i = 0;
  while (i < t.size() && textnum::IsBlank(t[i], textnum::Blanks::kCSpace)) ++i;
  bool any = false;
  if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    any = true;  // "0x" alone reads as 0
    i += 2;
  }
  uint64_t acc = 0;
  for (; i < t.size() && HexDigit(t[i]) >= 0; ++i) {
    any = true;
    acc = acc * 16 + static_cast<uint64_t>(HexDigit(t[i]));
    if (acc > 0xFFFFFFFFu) acc = 0xFFFFFFFFu;
  }
  if (any) value = static_cast<uint32_t>(acc);
  return any;
}

}  // namespace reply

bool ParseHardwareStatus(const char* text, UnitStatus& s) {
  if (!textnum::Contains(text, "TYPE")) return false;
  Value v;
  Extract(text, "TYPE,", v);
  if (!std::strchr(v.c_str(), ',')) {
    s.DataFormat = 1;
    s.TypeNo = v.view();
  } else {
    s.DataFormat = 2;
    SplitTypeLine(v, s);
  }

  Extract(text, "S/N,", v);
  const int32_t a = reply::ToInt(v.view());
  const int32_t b = reply::ToInt(After(v, "-").view());
  char serial[48];
  if (a > 1000000000) std::snprintf(serial, sizeof serial, "E%05d-%03d", a - 1000000000, b);
  else std::snprintf(serial, sizeof serial, "%06d-%03d", a, b);
  s.SerialNo = serial;

  uint32_t hex = 0;
  Extract(text, "UNIT ID,", v);
  if (reply::ScanHex(v.view(), hex)) s.UnitId = ClampToInt32(hex);

  Extract(text, "ENDCAP S/N,", v);
  s.EndcapSerial = v.view();
  Extract(text, "BATTERY, ", v);
  s.Type = v.view();

  CommaList(text, "Batt,", s.BattId, s.BattDraw, s.BattIss);
  if (textnum::Contains(text, "Bat2")) CommaList(text, "Bat2,", s.Batt2Id, s.Batt2Draw, s.Batt2Iss);
  if (textnum::Contains(text, "Bat3")) CommaList(text, "Bat3,", s.Batt3Id, s.Batt3Draw, s.Batt3Iss);
  if (textnum::Contains(text, "Dcard,")) {
    CommaList(text, "Dcard,", s.DcardId, s.DcardDraw, s.DcardIss);
  } else {
    s.DcardId.Clear();
    s.DcardDraw.Clear();
    s.DcardIss.Clear();
  }
  CommaList(text, "Tx,", s.TxId, s.TxDraw, s.TxIss);

  Extract(text, "DAS,", v);
  reply_text::CopyField(s.DasId, v.c_str());
  if (reply::ScanHex(After(v, ",").view(), hex)) s.Fitted = hex;
  return true;
}

namespace {
// "AD = " and "HPR = ": the address, the channel and the HPR digits.
void ParseAddress(const char* text, UnitStatus& s) {
  Value v;
  // Address and channel: "312" is address 3, channel 12; "1207" is address 12, channel 7.
  Extract(text, "AD = ", v);
  s.Address = 0;
  s.Channel = 0;
  const char* ad = v.c_str();
  if (v.size() == 3) {
    s.Address = ad[0] & 15;
    s.Channel = (ad[1] & 15) * 10 + (ad[2] & 15);
  } else if (v.size() == 4) {
    s.Address = (ad[0] & 15) * 10 + (ad[1] & 15);
    s.Channel = (ad[2] & 15) * 10 + (ad[3] & 15);
  }

  Extract(text, "HPR = ", v);
  if (v.size() >= 2) {
    s.HPRms = v.c_str()[0] & 15;
    s.HPRls = v.c_str()[1] & 15;
  }
}

void ParseTimingLine(const char* text, UnitStatus& s) {
  // The timing line: reply and interrogate channels, "/" and the turn-around time, the
  // battery flags, " T" and the timing indices, then the enable status.
  Value t;
  Extract(text, "TS = ", t);
  if (textnum::Contains(t.c_str(), "IRS")) {
    s.CIFReplyCHannel = 99;
  } else if (textnum::Contains(t.c_str(), "RF")) {
    Value rf = After(t, "RF");
    if (textnum::IsDigit(First(rf))) s.CIFReplyCHannel = reply::ToInt(rf.view());
  }
  Value iff = After(t, "IF");
  s.AltCIFChannel = textnum::IsDigit(First(iff)) ? reply::ToInt(iff.view()) : 16;
  Value tat = After(t, "/");
  if (textnum::IsDigit(First(tat))) s.Tat = reply::ToFloat(reply::ToReal(tat.view()));
  s.Warning = 0;
  s.Override = 0;
  const char* p = tat.c_str();
  while (*p && !IsLetter(*p)) ++p;
  for (; IsLetter(*p); ++p) {
    if (*p == 'O') s.Override = 1;
    if (*p == 'B') s.Warning = 1;
  }
  Value x = After(tat, " T");
  Digit(x, s.CWTIndex);
  Value y = After(x, "/");
  Digit(y, s.CWRIndex);
  Value z = After(y, "/");
  Digit(z, s.CWCIndex);
  s.BlockIndex = s.CWCIndex;
  Value block;
  if (Extract(z.c_str(), "/", block) && textnum::IsDigit(First(block))) Digit(block, s.BlockIndex);
  Value r = After(z, " ");
  for (int i = 0; i < 2 && !IsLetter(First(r)); ++i) r = After(r, " ");
  if (r.size() < 10) s.Enabled = r.view();
  else s.Enabled.Clear();
}

void ParsePowerLetters(const char* text, UnitStatus& s) {
  Value v;
  // Power letters: each letter's next character, masked with 15.
  Extract(text, "PS = ", v);
  const std::string_view ps = v.view();
  for (size_t i = 0; i + 1 < ps.size(); ++i) {
    const int32_t level = ps[i + 1] & 15;
    switch (ps[i]) {
      case 'L': s.CPL = level; break;
      case 'S': s.CPS = level; break;
      case 'T': s.CPT = level; break;
      case 'J': s.CPJ = level; break;
      case 'U': s.CPU = level; break;
      case 'G': s.RxGain = level; break;
      default: break;
    }
  }
  s.CPA = s.CPU == s.CPL ? s.CPL : -1;
}
}  // namespace

void ParseTransponderStatus(const char* text, UnitStatus& s) {
  Value v;
  uint32_t hex = 0;
  Extract(text, "Function Level =", v);
  if (reply::ScanHex(v.view(), hex)) s.FunctionLevel = static_cast<uint8_t>(hex & 0xFF);

  if (s.DataFormat == 1) {
    Extract(text, "FreqBand =", v);
    s.Band = v.view();
    Extract(text, "Tdr Type =", v);
    s.TdrType = v.view();
  }

  ParseAddress(text, s);
  ParseTimingLine(text, s);
  ParsePowerLetters(text, s);

  Extract(text, "BC = ", v);
  s.Count = reply::ToInt(v.view());
  Extract(text, "V= ", v);
  s.Voltage = reply::ToFloat(reply::ToReal(v.view()));
}

int32_t ParseFirmwareVersions(const char* text, UnitStatus& s) {
  int32_t model = 0;
  if (textnum::Contains(text, "T7Max")) model = 0;
  else if (textnum::Contains(text, "QRN ")) model = 2;

  Value v;
  if (textnum::Contains(text, "Main")) {
    Extract(text, "Main", v);
    s.T7V = v.view();
  } else if (textnum::Contains(text, "Max")) {
    Extract(text, "Max", v);
    s.T7V = v.view();
  }
  Extract(text, "DAS,", v);
  s.Das = v.view();
  Extract(text, "U4,", v);
  s.U4 = v.view();
  Extract(text, "U10,", v);
  s.U10 = v.view();
  Extract(text, "U5,", v);
  s.U5 = v.view();
  Extract(text, "U8,", v);
  s.U8 = v.view();
  Extract(text, textnum::Contains(text, "Dcard,") ? "Dcard," : "DCard,", v);
  if (std::strchr(v.c_str(), 'V')) s.Dcard = v.view();
  else s.Dcard.Clear();
  return model;
}

void ParseUnitInformation(const char* text, UnitStatus& s) {
  Value v;
  Extract(text, "IIFReplyCh =", v);
  s.IIFChannel = reply::ToInt(v.view());

  // CR is written as two backslashes and LF as a backslash and a slash. What does not fit
  // is cut at a whole character, never half an escape.
  std::string escaped;
  const size_t room = s.String2.Capacity() - 1;
  for (const char* p = text ? text : ""; *p; ++p) {
    const char* piece = *p == '\r' ? "\\\\" : *p == '\n' ? "\\/" : nullptr;
    const size_t n = piece ? 2 : 1;
    if (escaped.size() + n > room) break;
    if (piece) escaped += piece;
    else escaped += *p;
  }
  s.String2 = escaped;
}

void ParseSerialStatus(const char* text, UnitStatus& s) {
  s.String1 = text ? text : "";
  if (textnum::Contains(text, "#STTX")) return;  // the unit only repeated the command

  Value v;
  auto number = [&](const char* key) {
    Extract(text, key, v);
    return reply::ToInt(v.view());
  };
  s.RangingType = number("RT");
  s.TelemetryType = number(",TT");
  s.BaudRate = number("BR");
  const int32_t rf = number("RF");
  if (s.CIFReplyCHannel < 0) s.CIFReplyCHannel = rf;
  s.WideBandEnabled = number("EW");
  s.DaughterCardFitted = number("DC");
  s.BatteryStacks = number("STX");
  s.ChirpDuration = s.BatteryStacks;
  s.DataTelemetryType = number("DR");
  s.DownlinkInterPacketTime = number("DI");
  s.DataDelay = number("MD");
  s.UplinkPacketDelay = number("UP");
  s.CommandWaitDelay = number("CW");
  s.CommandReplyType = number("CR");
  s.InterCharacterTime = number("IC");
  s.ExternalSync = number("XS");
  s.DetectThreshold = number("CDT");
  s.LinearGain = number("CLG");
  s.FEEnabled = number("FE");
  s.CPD = textnum::Contains(text, "CDP") ? number("CDP") : 2;
}

void ParseSensorReply(const char* text, UnitStatus& s) {
  Value v;
  auto convert = [](double unitValue) { return reply::ToFloat(unitValue * kSensorFactor1 * kSensorFactor2); };
  if (Extract(text, "Offset   = ", v)) s.DepthOffset = convert(reply::ToReal(v.view()));
  if (Extract(text, "Range    = ", v)) s.PressureFullScale = convert(reply::ToReal(v.view()));
  if (Extract(text, "Accuracy = +/", v)) s.PressureAccuracy = convert(std::fabs(reply::ToReal(v.view())));
}
