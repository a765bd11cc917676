// The update engine: brings the connected unit to requiredStatus parameter by parameter. For
// each parameter the required value is made usable (a value that fails its rule is replaced by
// the current one), compared with the current value and, where they differ, sent with its
// commands: "#STAD" for the address and HPR pair, "#ESSI"/"#DSSI" for the synch input, and for
// the rest a "#GCMD" pair, the parameter's own command and then the selection code.
// Replies are not inspected to decide anything; the caller reads the unit back and verifies.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/text_numbers.h"
#include "quickset/parameter_tables.h"
#include "serial/diagnostic_trace.h"
#include "status/status_report.h"
#include "update/status_updater.h"
#include "status/reply_parsers.h"
#include "update/update_codes.h"

namespace {

using textnum::Format;

// The character of an enable status at a position; the string's end reads as NUL.
char EnableAt(const FixedText<10>& enabled, size_t position) {
  return position < enabled.size() ? enabled.c_str()[position] : '\0';
}

// Reads one status reply again into currentStatus, as the status readers do: the reply is
// appended to the reply text (after CR LF when it starts with a printable character), so that
// the raw replies hold it; a unit at its bootloader prompt fails, and only a complete reply is
// parsed.
bool ReadAgain(StatusUpdater& u, TextSpan replyText, const char* command, const char* caption,
               void (*parse)(const char*, UnitStatus&)) {
  u.Progress().Step(caption ? caption : "");
  char reply[UnitLink::kExchangeBufferSize];
  const bool complete = u.link.Exchange(command, TextSpan(reply));
  if (static_cast<unsigned char>(reply[0]) >= 32) replyText.Append("\r\n");
  replyText.Append(reply);
  if (std::strstr(reply, "Boot>")) {
    u.link.CheckBootPrompt();
    return false;
  }
  if (!complete) return false;
  parse(reply, u.status.currentStatus);
  return true;
}

// One run of the engine: the two records, the flags that live for the run, and whether every
// exchange of the run got a complete reply.
class UpdateRun {
 public:
  UpdateRun(StatusUpdater& unit, TextSpan replyText)
      : u_(unit), replyText_(replyText), req_(unit.status.requiredStatus), cur_(unit.status.currentStatus) {}

  void Run();

 private:
  // Sends one command; its reply lands in the run's buffer and is not looked at.
  void Send(const char* command) { Note(u_.link.Exchange(command, TextSpan(reply_))); }
  void SendCode(int code) { Send(Format("#GCMD,%d", code).c_str()); }
  void SendPair(int parameter, int code) {
    SendCode(parameter);
    SendCode(code);
  }
  void Gcmd3() { Note(u_.setup.SendGcmd3(TextSpan(reply_))); }
  void Gcmd4() { Note(u_.setup.SendGcmd4(TextSpan(reply_))); }
  void Note(bool complete) {
    if (!complete) allAnswered_ = false;
  }

  void Caption(const char* caption) { u_.Progress().Step(caption ? caption : ""); }
  // A changed parameter: its caption on the busy window and in the trace.
  void Changing(const char* caption) {
    Caption(caption);
    Trace().Write(std::string("\r\n") + caption);
  }

  // The fill rule for one value: a value that fails its rule takes the current value; true
  // when the value then passes.
  template <class Rule>
  bool Fill(int32_t& required, int32_t current, Rule rule) {
    if (!rule(required)) required = current;
    return rule(required);
  }

  // A parameter set by its own command and a selection code of value + 52.
  template <class Rule>
  void Simple(const char* caption, const char* noUpdate, int32_t& required, int32_t current, int parameter, Rule rule) {
    if (!Fill(required, current, rule)) return;
    if (required != current) {
      Changing(caption);
      SendPair(parameter, SelectionCode(required));
    } else {
      Trace().Write(Format(noUpdate, current, required));
    }
  }

  void StepEnabled();
  void StepAddress();
  void StepPower();
  void StepReplyChannel();
  void StepTat();
  void StepFeMode();
  void StepAltCif();
  void StepSynch();
  void StepHprMode();
  // Reads the transponder status and the serial status again into currentStatus, appending
  // their replies to the reply text.
  void ReRead();
  // The alternative-channel nudge: when the interrogation channels agree, the current one is
  // moved off so that the channel is sent again after the mode change.
  void Nudge() {
    if (req_.AltCIFChannel == cur_.AltCIFChannel) cur_.AltCIFChannel = req_.AltCIFChannel + 1;
  }
  bool WidebandCapable() const {
    return cur_.DaughterCardFitted >= 1 && (cur_.FunctionLevel & 0x04) && (cur_.FunctionLevel & 0x20);
  }
  bool EnabledPasses() const { return tables_.IsEnableStatusValid(req_.Enabled.c_str(), Band()); }
  const char* Band() const { return req_.Band.c_str(); }

  StatusUpdater& u_;
  TextSpan replyText_;
  UnitStatus& req_;
  UnitStatus& cur_;
  CParameterTables tables_;
  char reply_[UnitLink::kExchangeBufferSize] = {};
  char scratch_[64] = {};
  bool addressChanged_ = false;
  bool firstModeEnabled_ = false;
  bool allAnswered_ = true;

 public:
  bool AllAnswered() const { return allAnswered_; }
};

void UpdateRun::ReRead() {
  Note(ReadAgain(u_, replyText_, "#TPST", "Getting transponder status", ParseTransponderStatus));
  Note(ReadAgain(u_, replyText_, "#STTX", "Getting serial status", ParseSerialStatus));
}

// Step 1: the enable status.
void UpdateRun::StepEnabled() {
  if (!EnabledPasses()) req_.Enabled = cur_.Enabled.view();
  if (!EnabledPasses()) return;
  const bool thirdOn = EnableAt(req_.Enabled, 2) != 'D';
  if (req_.Enabled == cur_.Enabled) {
    if (!thirdOn) {
      Trace().Write(Format("\r\nNo update Enabled status  %s to %s", cur_.Enabled.c_str(), req_.Enabled.c_str()));
      return;
    }
    Changing("UPDATE Enabled status");
    Nudge();
    SendPair(gcmd::kMode, gcmd::kModeFirst);
    Gcmd3();
    ReRead();
    return;
  }
  Changing("UPDATE Enabled status");
  if (std::strstr(req_.Enabled.c_str(), "DDD")) {
    SendCode(gcmd::kDisableAll);
    Gcmd3();
  } else {
    if (EnableAt(req_.Enabled, 0) != 'D') {
      SendPair(gcmd::kMode, gcmd::kModeFirst);
      firstModeEnabled_ = true;
    }
    if (EnableAt(req_.Enabled, 1) != 'D') SendPair(gcmd::kMode, gcmd::kModeSecond);
    if (thirdOn) {
      Nudge();
      SendPair(gcmd::kMode, gcmd::kModeFirst);
    }
    if (std::strchr(req_.Enabled.c_str(), 'W') && WidebandCapable()) Gcmd4();
    else Gcmd3();
  }
  ReRead();
}

// Step 2: address and HPR pair, sent together with "#STAD".
void UpdateRun::StepAddress() {
  if (!tables_.AddressText(req_.Address, req_.Channel, Band(), TextSpan(scratch_))) {
    req_.Address = cur_.Address;
    req_.Channel = cur_.Channel;
  }
  if (!tables_.HprText(req_.HPRms, req_.HPRls, Band(), TextSpan(scratch_))) {
    req_.HPRms = cur_.HPRms;
    req_.HPRls = cur_.HPRls;
  }
  if (!tables_.AddressText(req_.Address, req_.Channel, Band(), TextSpan(scratch_)) ||
      !tables_.HprText(req_.HPRms, req_.HPRls, Band(), TextSpan(scratch_)))
    return;
  if (req_.Address != cur_.Address || req_.Channel != cur_.Channel || req_.HPRms != cur_.HPRms ||
      req_.HPRls != cur_.HPRls) {
    Changing("UPDATE Address and HPR");
    Send(Format("#STAD,%d,%d,%d,%d", req_.Address, req_.Channel, req_.HPRms, req_.HPRls).c_str());
    addressChanged_ = true;
  } else {
    Trace().Write(Format("\r\nNo update Address and HPR  %d%02d  %d%d to %d%02d %d%d", cur_.Address, cur_.Channel,
                         cur_.HPRms, cur_.HPRls, req_.Address, req_.Channel, req_.HPRms, req_.HPRls));
  }
}

// Steps 5 to 9: one power for all (CPA above 0) or the four powers one by one.
void UpdateRun::StepPower() {
  auto twoLevel = [this](int32_t v) { return tables_.TwoLevelName(v, TextSpan(scratch_)); };
  auto threeLevel = [this](int32_t v) { return tables_.ThreeLevelName(v, TextSpan(scratch_)); };
  const bool cpaPasses = Fill(req_.CPA, cur_.CPA, twoLevel);
  if (req_.CPA > 0) {
    if (!cpaPasses) return;
    if (req_.CPA != cur_.CPA) {
      Changing("UPDATE Power CPA");
      SendPair(gcmd::kPowerAll, SelectionCode(req_.CPA));
    } else {
      Trace().Write(Format("\r\nNo update Power CPA  %d to %d", cur_.CPA, req_.CPA));
    }
    return;
  }
  Simple("UPDATE Power CPU", "\r\nNo update Power CPU  %d to %d", req_.CPU, cur_.CPU, gcmd::kPowerCpu, threeLevel);
  Simple("UPDATE Power CPT", "\r\nNo update Power CPT  %d to %d", req_.CPT, cur_.CPT, gcmd::kPowerCpt, twoLevel);
  Simple("UPDATE Power CPS", "\r\nNo update Power CPS  %d to %d", req_.CPS, cur_.CPS, gcmd::kPowerCps, threeLevel);
  Simple("UPDATE Power CPL", "\r\nNo update Power CPL  %d to %d", req_.CPL, cur_.CPL, gcmd::kPowerCpl, threeLevel);
}

// Step 14: the reply channel, sent again whenever the address was.
void UpdateRun::StepReplyChannel() {
  auto channel = [this](int32_t v) { return tables_.ChannelText(v, Band(), req_.WideBandEnabled, TextSpan(scratch_)); };
  if (!Fill(req_.CIFReplyCHannel, cur_.CIFReplyCHannel, channel)) return;
  if (req_.CIFReplyCHannel != cur_.CIFReplyCHannel || addressChanged_) {
    Changing("UPDATE CIF/CIS channel");
    SendPair(gcmd::kChannel, ReplyChannelCode(req_.CIFReplyCHannel));
  } else {
    Trace().Write(Format("\r\nNo update CIF/CIS channel  %d to %d", cur_.CIFReplyCHannel, req_.CIFReplyCHannel));
  }
}

// Step 15: the turn-around time; its caption is empty.
void UpdateRun::StepTat() {
  if (!tables_.TatText(req_.Tat, TextSpan(scratch_))) req_.Tat = cur_.Tat;
  if (!tables_.TatText(req_.Tat, TextSpan(scratch_))) return;
  if (req_.Tat != cur_.Tat) {
    Changing("");
    SendPair(gcmd::kTat, TatCode(req_.Tat));
  } else {
    Trace().Write(
        Format("\r\nNo update TAT  %.3f to %.3f", static_cast<double>(cur_.Tat), static_cast<double>(req_.Tat)));
  }
}

// Step 16: the FE mode; the IIF channel is sent only with the mode switched on.
void UpdateRun::StepFeMode() {
  auto channel = [this](int32_t v) { return tables_.ChannelText(v, Band(), req_.WideBandEnabled, TextSpan(scratch_)); };
  auto flag = [this](int32_t v) { return tables_.IsFlagValid(v); };
  const bool channelPasses = Fill(req_.IIFChannel, cur_.IIFChannel, channel);
  const bool flagPasses = Fill(req_.FEEnabled, cur_.FEEnabled, flag);
  if (!channelPasses || !flagPasses) return;
  if (req_.FEEnabled != cur_.FEEnabled) {
    Changing("UPDATE FE mode");
    if (req_.FEEnabled != 0) SendPair(gcmd::kChannel, IifCode(req_.IIFChannel));
    else SendPair(gcmd::kFeOff, gcmd::kFeOffSelection);
  } else {
    Trace().Write("\r\nNo update FE mode");
  }
}

// Step 17: the interrogation channel, sent again whenever the first mode was switched on.
void UpdateRun::StepAltCif() {
  auto channel = [this](int32_t v) { return tables_.ChannelText(v, Band(), req_.WideBandEnabled, TextSpan(scratch_)); };
  if (!Fill(req_.AltCIFChannel, cur_.AltCIFChannel, channel)) return;
  if (req_.AltCIFChannel != cur_.AltCIFChannel || firstModeEnabled_) {
    Changing("UPDATE AltCIF/CIS");
    u_.port.Delay(500);
    if (req_.AltCIFChannel == 16) SendPair(gcmd::kMode, gcmd::kModeFirst);
    else SendPair(gcmd::kChannel, AltCifCode(req_.AltCIFChannel));
  } else {
    Trace().Write(Format("\r\nNo update AltCIF/CIS  %d to %d", cur_.AltCIFChannel, req_.AltCIFChannel));
  }
}

// Step 18: the synch input.
void UpdateRun::StepSynch() {
  if (!Fill(req_.ExternalSync, cur_.ExternalSync, [this](int32_t v) { return tables_.IsFlagValid(v); })) return;
  if (req_.ExternalSync != cur_.ExternalSync) {
    Changing("UPDATE Synch control");
    Send(req_.ExternalSync == 0 ? "#DSSI" : "#ESSI");
  } else {
    Trace().Write("\r\nNo update Synch control");
  }
}

// Step 20: a unit whose third mode is on is put into HPR mode at the end of every run. An
// enable status that is still unusable after step 1 asks for nothing.
void UpdateRun::StepHprMode() {
  if (!EnabledPasses()) return;
  if (EnableAt(req_.Enabled, 2) == 'D') return;
  Changing("UPDATE Set HPR mode");
  Gcmd3();
  SendPair(gcmd::kMode, gcmd::kModeHpr);
}

void UpdateRun::Run() {
  auto gain = [this](int32_t v) { return tables_.GainName(v, TextSpan(scratch_)); };
  auto cpj = [this](int32_t v) { return tables_.CpjText(v, TextSpan(scratch_)); };
  auto cpd = [this](int32_t v) { return tables_.CpdText(v, TextSpan(scratch_)); };
  auto cwt = [this](int32_t v) { return tables_.CwtText(v, Band(), TextSpan(scratch_)); };
  auto cwr = [this](int32_t v) { return tables_.CwrText(v, Band(), TextSpan(scratch_)); };
  auto cwc = [this](int32_t v) { return tables_.CwcText(v, Band(), TextSpan(scratch_)); };

  StepEnabled();
  StepAddress();
  if (cur_.BaudRate >= 100) {
    Changing("UPDATE Baud rate");
    SendCode(gcmd::kBaudRate);
  }
  Simple("UPDATE RX gain", "\r\nNo update RX gain  %d to %d", req_.RxGain, cur_.RxGain, gcmd::kRxGain, gain);
  StepPower();
  Simple("UPDATE Power CPJ", "\r\nNo update Power CPJ  %d to %d", req_.CPJ, cur_.CPJ, gcmd::kPowerCpj, cpj);
  Simple("UPDATE CWT period", "\r\nNo update CWT period  %d to %d", req_.CWTIndex, cur_.CWTIndex, gcmd::kCwt, cwt);
  Simple("UPDATE CWR period", "\r\nNo update CWR period  %d to %d", req_.CWRIndex, cur_.CWRIndex, gcmd::kCwr, cwr);
  Simple("UPDATE CWC period", "\r\nNo update CWC period  %d to %d", req_.CWCIndex, cur_.CWCIndex, gcmd::kCwc, cwc);
  StepReplyChannel();
  StepTat();
  StepFeMode();
  StepAltCif();
  StepSynch();
  Simple("UPDATE CDP", "\r\nNo update CDP  %d to %d", req_.CPD, cur_.CPD, gcmd::kCpd, cpd);
  StepHprMode();
}

}  // namespace

void StatusUpdater::UpdateStatus(TextSpan replyText) {
  if (status.requiredStatus.UnitId != status.currentStatus.UnitId) return;
  CParameterTables tables;
  if (!tables.IsKnownBand(status.requiredStatus.Band.c_str()))
    status.requiredStatus.Band = status.currentStatus.Band.view();
  if (!tables.IsKnownBand(status.requiredStatus.Band.c_str())) return;

  link.ResetWatchdog(false);
  Trace().Write("\r\nStart of update current status first");
  Trace().Dump(TraceLine(status.currentStatus));
  Trace().Dump(TraceLine(status.requiredStatus));
  Progress().Step("Searching for update");

  UpdateRun run(*this, replyText);
  run.Run();

  // The entry is stamped as applied only when the unit answered every command of the run;
  // otherwise it stays required, with the time of the attempt.
  status.requiredChecks.UpdatedTime = NowUtc();
  status.requiredChecks.UpdatedResult = run.AllAnswered() ? 1 : 0;
  files.SaveNewEntry();
}

bool StatusUpdater::LoadRequiredStatus(int32_t unitId) {
  if (!files.LoadNewEntry(unitId)) return false;
  status.requiredStatus = files.records.storedStatus;
  status.requiredChecks = files.records.storedChecks;
  Trace().Dump(TraceLine(status.requiredStatus));
  Trace().Write(DescribeChecks(status.requiredChecks));
  return true;
}
