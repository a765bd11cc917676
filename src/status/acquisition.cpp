// Reading the unit's whole status: "#HWST", "#TPST", "#FVFV", "#INFO" and "#STTX" into the
// current status, the reply texts for the reply pane, which replies failed, a unit found at
// its bootloader prompt, the time of the reading and the save to the current-status file.
// Also the pressure sensor read with "#RDSE".
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/text_numbers.h"
#include "status/reply_parsers.h"
#include "status/status_reader.h"

namespace {
// Each reader's reply buffer: large enough for the longest reply the record keeps whole.
constexpr size_t kReaderReplySize = 1000;

constexpr int32_t kHwstFailed = 1;
constexpr int32_t kTpstFailed = 2;
constexpr int32_t kFvfvFailed = 4;
constexpr int32_t kSttxFailed = 8;
constexpr int32_t kInfoFailed = 16;  // also: the unit sits at its bootloader prompt
constexpr int32_t kNothingAnswered = 31;

enum class Echo { None, AsIs, OnNewLine };

// The steps every reader shares: caption, exchange, the reply into the output text, the
// bootloader check and the completeness check. True when the reply is there to be parsed.
bool ExchangeForStatus(StatusReader& unit, const char* caption, const char* command, TextSpan reply, TextSpan* output,
                       Echo echo, bool sendAgainOnFailure = false) {
  unit.Progress().Step(caption ? caption : "");
  bool complete = unit.link.Exchange(command, reply);
  if (!complete && sendAgainOnFailure) complete = unit.link.Exchange(command, reply);
  if (output && echo != Echo::None) {
    if (echo == Echo::OnNewLine && static_cast<unsigned char>(reply.data[0]) >= 32) output->Append("\r\n");
    output->Append(reply.view());
  }
  if (textnum::Contains(reply.data, "Boot>")) {
    unit.link.CheckBootPrompt();
    return false;
  }
  return complete;
}

bool ReadHardwareStatus(StatusReader& unit, TextSpan output) {
  char reply[kReaderReplySize];
  if (!ExchangeForStatus(unit, "Getting hardware status", "#HWST", reply, &output, Echo::AsIs)) return false;
  return ParseHardwareStatus(reply, unit.status.currentStatus);
}

bool ReadTransponderStatus(StatusReader& unit, TextSpan output) {
  char reply[kReaderReplySize];
  if (!ExchangeForStatus(unit, "Getting transponder status", "#TPST", reply, &output, Echo::OnNewLine)) return false;
  ParseTransponderStatus(reply, unit.status.currentStatus);
  return true;
}

bool ReadFirmwareVersion(StatusReader& unit, TextSpan output) {
  char reply[kReaderReplySize];
  if (!ExchangeForStatus(unit, "Getting firmware version", "#FVFV", reply, &output, Echo::OnNewLine)) return false;
  unit.status.unitModel = ParseFirmwareVersions(reply, unit.status.currentStatus);
  return true;
}

bool ReadUnitInformation(StatusReader& unit) {
  char reply[kReaderReplySize];
  if (!ExchangeForStatus(unit, "Getting unit information", "#INFO", reply, nullptr, Echo::None, true)) return false;
  ParseUnitInformation(reply, unit.status.currentStatus);
  return true;
}

bool ReadSerialStatus(StatusReader& unit, TextSpan output) {
  char reply[kReaderReplySize];
  if (!ExchangeForStatus(unit, "Getting serial status", "#STTX", reply, &output, Echo::OnNewLine)) return false;
  ParseSerialStatus(reply, unit.status.currentStatus);
  return true;
}
}  // namespace

bool StatusReader::GetStatus(const char* heading, TextSpan output, bool showMessageBox) {
  Progress().Step("Getting status");
  link.findings.statusRead = true;
  status.partialMask = 0;
  status.statusMessage.clear();
  link.state.inBootMode = false;
  const int32_t previousUnit = status.currentStatus.UnitId;
  status.currentStatus = UnitStatus::Fresh();

  output.Clear();
  if (heading && *heading) {
    output.Append(heading);
    output.Append("\r\n");
  }

  if (!ReadHardwareStatus(*this, output)) status.partialMask |= kHwstFailed;
  if (!ReadTransponderStatus(*this, output)) status.partialMask |= kTpstFailed;
  if (!ReadFirmwareVersion(*this, output)) status.partialMask |= kFvfvFailed;
  if (!ReadUnitInformation(*this)) status.partialMask |= kInfoFailed;
  if (!ReadSerialStatus(*this, output)) status.partialMask |= kSttxFailed;

  if (std::optional<StatusChecks> stored = keeper_.StoredChecks(status.currentStatus.UnitId)) {
    status.currentChecks = *stored;
  } else if (status.currentStatus.UnitId != previousUnit) {
    // A unit the file does not hold starts with no checks: the results of the unit read
    // before it must not be saved as this unit's history.
    status.currentChecks = StatusChecks::Fresh();
  }

  if (link.state.inBootMode) status.partialMask |= kInfoFailed;
  if (status.partialMask != 0) {
    Progress().Ended();
    char message[64];
    if (status.partialMask != kNothingAnswered)
      std::snprintf(message, sizeof message, "Only partial status recovered %02x",
                    static_cast<unsigned>(status.partialMask));
    else std::snprintf(message, sizeof message, "Comms fault! Check connections");
    status.statusMessage = message;
    if (link.state.inBootMode) status.statusMessage += "\r\nUnit is in boot mode, use 'Reset (comms break)' function";
    if (showMessageBox) op.MessageBox(status.statusMessage, kDefaultCaption, MbButtons::Ok, MbIcon::Exclamation);
  }

  status.currentChecks.LastStatusTime = NowUtc();
  keeper_.SaveCurrentEntry();
  return status.partialMask == 0;
}

bool StatusReader::ReadSensors(TextSpan reply) {
  Progress().Step("Reading sensors");
  const bool complete = link.Exchange("#RDSE", reply);
  if (textnum::Contains(reply.c_str(), "Boot>")) {
    link.CheckBootPrompt();
    return false;
  }
  if (!complete) return false;
  ParseSensorReply(reply.c_str(), status.currentStatus);
  link.findings.sensorsRead = true;
  return true;
}
