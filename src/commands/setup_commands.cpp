// The unit's single-purpose set-up commands: its clock, the depth-reading zero, its serial
// number, calibration mode for the data-acquisition board, initialise, enable, factory
// defaults, the synch tests, the two mode commands and disable.
#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/text_numbers.h"
#include "commands/setup_commands.h"

namespace {
constexpr const char* kBadFormat = "Incorrect length or format!!";
constexpr const char* kNonNumeric = "Non-numeric characters entered!!";
constexpr double kOffsetFactor = 1.459321415541773;
constexpr int64_t kExtendedSerialBase = 1000000000;

// The digits of text[from, to) as a number; false when there are none or when it passes limit.
bool ParseDigits(std::string_view text, size_t from, size_t to, int64_t limit, int64_t& out) {
  if (from >= to) return false;
  int64_t value = 0;
  for (size_t i = from; i < to; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > limit) return false;
  }
  out = value;
  return true;
}
}  // namespace

bool SetupCommands::SetClock(const DateTime& when, TextSpan reply) {
  Progress().Step("Setting time");
  const CivilTime c = when.ToCivil();
  // The unit counts Monday as 1 and Sunday as 7.
  const int weekday = when.DayOfWeek() == 0 ? 7 : when.DayOfWeek();
  char command[100];
  std::snprintf(command, sizeof command, "#SRTC,%d,%d,%d,%d,%d,%d,%d", c.hour, c.minute, c.second, weekday, c.day,
                c.month, c.year - 2000);
  return link.Exchange(command, reply);
}

bool SetupCommands::SetDepthOffset(int pressureMillibars, TextSpan reply) {
  char statusText[StatusState::kReplyTextSize];
  reader.GetStatus("", statusText, true);
  if (pressureMillibars <= 750 || pressureMillibars >= 1250) return false;
  Progress().Step("Setting depth offset");
  char command[40];
  std::snprintf(command, sizeof command, "#ZDOF,%d", pressureMillibars);
  port.Delay(1000);
  if (!link.Exchange(command, reply)) return false;
  if (std::strstr(reply.c_str(), "Error") != nullptr) {
    if (!reader.ReadSensors(reply)) return false;
  }
  char value[100];
  reply_text::ExtractValue(reply.c_str(), "Offset   =", value);
  status.currentChecks.DepthOffsetValue =
      textnum::ToFloat(textnum::LeadingReal(value, textnum::Blanks::kCSpace) * kOffsetFactor);
  status.currentChecks.DepthOffsetTime = NowUtc();
  files.SaveCurrentEntry();
  return true;
}

bool SetupCommands::SetSerialNumber(const char* entered, TextSpan reply) {
  Progress().Step("Setting serial number");
  const std::string_view text(entered ? entered : "");
  const size_t sep = text.find_last_of("-,");
  if (sep == std::string_view::npos || sep == 0 || text.size() - sep < 2 || text.size() - sep > 4) {
    reply.Assign(kBadFormat);
    return false;
  }
  const bool prefixed = text[0] == 'E' || text[0] == 'e';
  for (size_t i = prefixed ? 1 : 0; i < text.size(); ++i) {
    if (i != sep && !textnum::IsDigit(text[i])) {
      reply.Assign(kNonNumeric);
      return false;
    }
  }
  // The number must fit the unit's signed 32-bit serial number, the E form's 1000000000 included;
  // "E-12" (no digits at all before the separator) names no number either.
  const int64_t limit = INT32_MAX - (prefixed ? kExtendedSerialBase : 0);
  int64_t number = 0;
  int64_t suffix = 0;
  if (!ParseDigits(text, prefixed ? 1 : 0, sep, limit, number) ||
      !ParseDigits(text, sep + 1, text.size(), INT32_MAX, suffix)) {
    reply.Assign(kBadFormat);
    return false;
  }
  if (prefixed) number += kExtendedSerialBase;
  char command[60];
  link.Exchange("#ENDB,1", reply);
  std::snprintf(command, sizeof command, "#TPSN,%d,%d", static_cast<int>(number), static_cast<int>(suffix));
  link.Exchange(command, reply);
  return true;
}

void SetupCommands::EnterDasCalibration(TextSpan reply) {
  if (!link.ResetWatchdog(false)) {
    reply.Assign("Failed on watchdog restart function");
    return;
  }
  Progress().Step("Entering DAS calibration mode");
  link.Exchange("#DAST,22", reply);
  reply.Assign("DAS calibration mode entry");
}

void SetupCommands::InitialiseUnit(TextSpan reply) {
  Progress().Step("Initialising transponder");
  link.Exchange("#INTP", reply);
}

void SetupCommands::EnableUnit(TextSpan reply) {
  Progress().Step("Enabling transponder");
  link.Exchange("#ENTP", reply);
}

void SetupCommands::InstallFactoryDefaults(TextSpan reply) {
  Progress().Ended();
  op.MessageBox("Warning - this will change the address to 1001", "Warning", MbButtons::Ok, MbIcon::Exclamation);
  Progress().Shown();
  Progress().Step("Setting factory defaults");
  link.Exchange("#ISFD", reply);
}

void SetupCommands::TestSynchOut(TextSpan reply) {
  Progress().Step("Testing synch output");
  link.Exchange("#TXPG", reply);
}

void SetupCommands::EnableSynchIn(TextSpan reply) {
  Progress().Step("Enabling synch in");
  link.Exchange("#ENSI", reply);
}

bool SetupCommands::SendGcmd4(TextSpan reply) {
  const bool ok = link.Exchange("#GCMD,4", reply);
  port.Delay(1000);
  return ok;
}

bool SetupCommands::SendGcmd3(TextSpan reply) {
  const bool ok = link.Exchange("#GCMD,3", reply);
  port.Delay(1000);
  return ok;
}

void SetupCommands::DisableUnit() {
  Progress().Step("Disabling Transponder");
  char reply[UnitLink::kExchangeBufferSize];
  link.Exchange("#GCMD,2", reply);
}
