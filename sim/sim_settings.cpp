#include "sim/sim_settings.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_setup.h"
#include "sim/sim_tests.h"

namespace {

using Reply = SimUnit::Reply;

Reply Lines(std::vector<std::string> lines) {
  Reply r;
  r.lines = std::move(lines);
  return r;
}

std::optional<int32_t> Number(const std::string& text) {
  int32_t v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
  return v;
}

bool Ignored(const SimUnitState& s, const char* parameter) { return s.settings.ignored == parameter; }

void Took(SimUnitState& s, const char* parameter, int32_t value) {
  s.settings.taken.push_back(std::string(parameter) + "=" + std::to_string(value));
}

// Sets a field when the parameter is not ignored and the value is in range.
void Set(SimUnitState& s, const char* parameter, int32_t& field, int32_t value, int32_t low, int32_t high) {
  if (value < low || value > high || Ignored(s, parameter)) return;
  field = value;
  Took(s, parameter, value);
}

bool WidebandCapable(const SimUnitState& s) {
  return s.daughterCardFitted >= 1 && (s.functionLevel & 0x04) && (s.functionLevel & 0x20);
}

// The enable letters, keeping the unit's own number of positions (two on EHF units).
void SetEnabled(SimUnitState& s, const char* letters) {
  if (Ignored(s, "Enabled")) return;
  std::string e(letters);
  e.resize(s.enabled.size() == 2 ? 2 : 3, 'D');
  s.enabled = e;
  s.settings.taken.push_back("Enabled=" + e);
}

// The parameter commands that take a selection code next.
bool IsParameterCommand(int32_t n) {
  switch (n) {
    // clang-format off
    case 23: case 30: case 33: case 37: case 39: case 41: case 42: case 43:
    case 44: case 45: case 46: case 47: case 48: case 63: case 67:
      return true;
    default:
      return false;
      // clang-format on
  }
}

// A channel selection after "#GCMD,23": 47..62 the interrogation channel (code - 47); 31, 8..15,
// 24..30 and 63 the reply channel; 0..7 and 16..23 the IIF channel, which also switches the FE
// mode on. (Code 24 reads as reply channel 9: the unit cannot tell it from IIF channel 16.)
void SelectChannel(SimUnitState& s, int32_t code) {
  if (code >= 47 && code <= 62) {
    Set(s, "AltCIFChannel", s.interrogateChannel, code - 47, 0, 15);
  } else if (code == 31) {
    Set(s, "CIFReplyCHannel", s.replyChannel, 0, 0, 16);
  } else if (code >= 8 && code <= 15) {
    Set(s, "CIFReplyCHannel", s.replyChannel, code - 7, 0, 16);
  } else if (code >= 24 && code <= 30) {
    Set(s, "CIFReplyCHannel", s.replyChannel, code - 15, 0, 16);
  } else if (code == 63) {
    Set(s, "CIFReplyCHannel", s.replyChannel, 16, 0, 16);
  } else if ((code >= 0 && code <= 7) || (code >= 16 && code <= 23)) {
    Set(s, "IIFChannel", s.iifReplyChannel, code < 8 ? code : code - 8, 0, 16);
    Set(s, "FEEnabled", s.feEnabled, 1, 0, 1);
  }
}

// The turn-around time: codes 8..15 are steps 1..8, codes 24..29 steps 9..14, of 62.5 ms.
void SelectTat(SimUnitState& s, int32_t code) {
  int32_t step = 0;
  if (code >= 8 && code <= 15) step = code - 7;
  if (code >= 24 && code <= 29) step = code - 15;
  if (step == 0 || Ignored(s, "Tat")) return;
  s.tatMs = step * 62.5;
  Took(s, "Tat", static_cast<int32_t>(s.tatMs));
}

// The mode choices after "#GCMD,37": 54 interrogate on the common channel (and the first mode
// on when it was off), 55 the second mode alone, 53 HPR mode alone.
void SelectMode(SimUnitState& s, int32_t code) {
  if (code == 54) {
    Set(s, "AltCIFChannel", s.interrogateChannel, 16, 0, 16);
    if (!s.enabled.empty() && s.enabled[0] == 'D') {
      std::string e = s.enabled;
      e[0] = 'E';
      SetEnabled(s, e.c_str());
    }
  } else if (code == 55) {
    SetEnabled(s, "DED");
  } else if (code == 53) {
    SetEnabled(s, "DDE");
    if (!Ignored(s, "Enabled")) s.widebandEnabled = 0;
  }
}

void Select(SimUnitState& s, int32_t parameter, int32_t code) {
  const int32_t v = code - 52;
  switch (parameter) {
    case 43: Set(s, "RxGain", s.rxGain, v, 1, 4); break;
    case 33:
      if (v < 1 || v > 2 || Ignored(s, "CPA")) break;
      s.powerU = s.powerT = s.powerS = s.powerL = v;
      Took(s, "CPA", v);
      break;
    case 48: Set(s, "CPU", s.powerU, v, 1, 3); break;
    case 46: Set(s, "CPT", s.powerT, v, 1, 2); break;
    case 45: Set(s, "CPS", s.powerS, v, 1, 3); break;
    case 44: Set(s, "CPL", s.powerL, v, 1, 3); break;
    case 47: Set(s, "CPJ", s.powerJ, v, 1, 8); break;
    case 41: Set(s, "CWTIndex", s.cwt, v, 1, 8); break;
    case 42: Set(s, "CWRIndex", s.cwr, v, 1, 8); break;
    case 63: Set(s, "CWCIndex", s.cwc, v, 1, 8); break;
    case 67: Set(s, "CPD", s.cpd, v, 1, 10); break;
    case 23: SelectChannel(s, code); break;
    case 30: SelectTat(s, code); break;
    case 39:
      if (code == 53) Set(s, "FEEnabled", s.feEnabled, 0, 0, 1);
      break;
    case 37: SelectMode(s, code); break;
    default: break;
  }
}

// A lone "#GCMD": 1 puts the serial line's rate code right, 2 disables every mode, 3 leaves
// wideband for tone signalling, 4 switches wideband on (on a unit that can). The bench tests'
// lone commands (the tone query 8, and any code while the interrogation reports are on) are
// theirs.
Reply LoneCommand(SimUnit& u, int32_t n, const std::string& args) {
  SimUnitState& s = u.state;
  if (n == 8 || InterrogationReportsOn(u)) {
    if (std::optional<Reply> test = TestGcmdCommand(u, args)) return *test;
  }
  std::optional<Reply> setup = SetupModeCommand(u, args);
  switch (n) {
    case 1: s.baudRateCode = 4; return Lines({"GCMD 1 Baud rate 9600"});
    case 2: SetEnabled(s, "DDD"); break;
    case 3:
      if (!s.enabled.empty() && s.enabled[0] != 'D') {
        SetEnabled(s, "EDD");
        if (!Ignored(s, "Enabled")) s.widebandEnabled = 0;
      }
      break;
    case 4:
      if (WidebandCapable(s)) {
        SetEnabled(s, "WDD");
        if (!Ignored(s, "Enabled")) s.widebandEnabled = 1;
      }
      break;
    default: return Lines({"GCMD " + args + " Error"});
  }
  return setup ? *setup : Lines({"GCMD " + args + " OK"});
}

Reply Gcmd(SimUnit& u, const std::string& args) {
  SimUnitState& s = u.state;
  const std::optional<int32_t> n = Number(args);
  if (!n) {
    s.settings.pendingParameter = 0;
    return Lines({"GCMD Error"});
  }
  if (s.settings.pendingParameter != 0) {
    const int32_t parameter = s.settings.pendingParameter;
    s.settings.pendingParameter = 0;
    Select(s, parameter, *n);
    return Lines({"GCMD " + args + " OK"});
  }
  if (IsParameterCommand(*n)) {
    s.settings.pendingParameter = *n;
    return Lines({"GCMD " + args + " select"});
  }
  return LoneCommand(u, *n, args);
}

// "#STAD,address,channel,ms,ls".
Reply SetAddress(SimUnit& u, const std::string& args) {
  SimUnitState& s = u.state;
  std::vector<int32_t> v;
  size_t start = 0;
  while (start <= args.size()) {
    size_t comma = args.find(',', start);
    std::string field = args.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    auto n = Number(field);
    if (!n) return Lines({"STAD Error"});
    v.push_back(*n);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (v.size() != 4 || v[0] < 0 || v[0] > 99 || v[1] < 0 || v[1] > 99 || v[2] < 0 || v[2] > 9 || v[3] < 0 || v[3] > 9)
    return Lines({"STAD Error"});
  if (!Ignored(s, "Address")) {
    s.address = v[0];
    s.channel = v[1];
    s.hprMs = v[2];
    s.hprLs = v[3];
    Took(s, "Address", v[0] * 100 + v[1]);
  }
  char text[64];
  std::snprintf(text, sizeof text, "AD = %d%02d HPR = %d%d", v[0], v[1], v[2], v[3]);
  return Lines({text});
}

}  // namespace

void InstallSettingsCommands(SimUnit& unit) {
  unit.Handle("GCMD", [](SimUnit& u, const std::string&, const std::string& a) { return Gcmd(u, a); });
  unit.Handle("STAD", [](SimUnit& u, const std::string&, const std::string& a) { return SetAddress(u, a); });
  unit.Handle("ESSI", [](SimUnit& u, const std::string&, const std::string&) {
    if (!Ignored(u.state, "ExternalSync")) {
      u.state.externalSync = 1;
      Took(u.state, "ExternalSync", 1);
    }
    return Lines({"Synch input enabled"});
  });
  unit.Handle("DSSI", [](SimUnit& u, const std::string&, const std::string&) {
    if (!Ignored(u.state, "ExternalSync")) {
      u.state.externalSync = 0;
      Took(u.state, "ExternalSync", 0);
    }
    return Lines({"Synch input disabled"});
  });
}
