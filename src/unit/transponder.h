// CTransponder stands for the connected unit: the small aggregate of its subsystems, each in the
// folder of its layer and each holding the link to the unit and the parts below it that it uses:
//   serial/   UnitLink       the exchange, comms check, port search, recovery, progress, clocks
//   status/   StatusReader   the whole status and the sensor reading
//   records/  StatusFiles    the current- and new-status files, check reports, the export
//   firmware/ ProgramLoader  the program load through the bootloader
//   commands/ SetupCommands  the single-purpose set-up commands
//   update/   StatusUpdater  the update engine, the required record and the verification
//   commands/ BenchTests     the acoustic check, self test, release test and test transponder
// The unit's member functions hand each call to the subsystem that owns it, so the actions above
// speak to one unit; the status records (status) are the one state every subsystem shares.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "commands/setup_commands.h"
#include "commands/unit_tests.h"
#include "firmware/program_loader.h"
#include "platform/date_time.h"
#include "platform/fixed_text.h"
#include "platform/operator.h"
#include "platform/paths.h"
#include "platform/progress.h"
#include "records/status_files.h"
#include "serial/unit_link.h"
#include "status/status_reader.h"
#include "status/status_state.h"
#include "update/status_updater.h"

class CTransponder {
 public:
  CTransponder(CCommPort& port, IOperator& op, DataPaths paths);
  CTransponder(const CTransponder&) = delete;
  CTransponder& operator=(const CTransponder&) = delete;

  static constexpr size_t kExchangeBufferSize = UnitLink::kExchangeBufferSize;
  static constexpr size_t kReplyTextSize = StatusState::kReplyTextSize;

  // ---- the link (serial/unit_link.h) ----
  static int32_t ReplyTimeoutFor(const char* command) { return UnitLink::ReplyTimeoutFor(command); }
  static bool NeedsReadinessFollowUp(const char* command) { return UnitLink::NeedsReadinessFollowUp(command); }
  bool Exchange(const char* command, TextSpan reply, bool uncounted = false, bool singleAttempt = false) {
    return link.Exchange(command, reply, uncounted, singleAttempt);
  }
  bool CheckComms(int budget) { return link.CheckComms(budget); }
  bool CheckBootPrompt() { return link.CheckBootPrompt(); }
  int FindUnitPort(int firstPort, int count, std::vector<bool>& flags, std::vector<std::string>* tried = nullptr) {
    return link.FindUnitPort(firstPort, count, flags, tried);
  }
  static std::string OpenFailureText(const PortOpenReport& report) { return UnitLink::OpenFailureText(report); }
  static void CleanReply(const char* source, TextSpan destination) { UnitLink::CleanReply(source, destination); }
  bool EnterBootPrompt() { return link.EnterBootPrompt(); }
  bool BreakReset(TextSpan message) { return link.BreakReset(message); }
  bool ResetWatchdog(bool stayInBootloader) { return link.ResetWatchdog(stayInBootloader); }
  // The reply-text helpers of serial/reply_text.h.
  static bool ExtractValue(const char* source, const char* key, TextSpan value) {
    return reply_text::ExtractValue(source, key, value);
  }
  static void CopyField(TextSpan destination, const char* source) { reply_text::CopyField(destination, source); }
  // How an operation tells the operator where it is: the busy window unless another is bound.
  IProgress& Progress() { return link.Progress(); }
  void BindProgress(IProgress& progress) { link.BindProgress(progress); }
  void ShowBusy() { Progress().Shown(); }
  void SetBusyCaption(const char* caption) { Progress().Step(caption ? caption : ""); }
  void HideBusy() { Progress().Ended(); }

  // ---- status reading (status/status_reader.h) ----
  bool GetStatus(const char* heading, TextSpan output, bool showMessageBox) {
    return reader.GetStatus(heading, output, showMessageBox);
  }
  bool ReadSensors(TextSpan reply) { return reader.ReadSensors(reply); }

  // ---- status files and reports (records/status_files.h) ----
  void OpenStatusFiles() { files.OpenStatusFiles(); }
  void CloseStatusFiles() { files.CloseStatusFiles(); }
  bool LoadCurrentEntry(int32_t unitId) { return files.LoadCurrentEntry(unitId); }
  bool LoadNewEntry(int32_t unitId) { return files.LoadNewEntry(unitId); }
  bool SaveCurrentEntry() { return files.SaveCurrentEntry(); }
  bool SaveNewEntry() { return files.SaveNewEntry(); }
  DateTime NowUtc() const { return files.NowUtc(); }
  int ListStoredUnits(std::vector<std::string>& lines) { return files.ListStoredUnits(lines); }
  std::string CheckReport(int32_t unitId, bool withUnitLine) { return files.CheckReport(unitId, withUnitLine); }
  std::string FileStatusReport() { return files.FileStatusReport(); }
  int ExportStatus() { return files.ExportStatus(); }

  // ---- set-up commands (commands/setup_commands.h) ----
  bool SetClock(const DateTime& when, TextSpan reply) { return setup.SetClock(when, reply); }
  bool SetDepthOffset(int pressureMillibars, TextSpan reply) { return setup.SetDepthOffset(pressureMillibars, reply); }
  bool SetSerialNumber(const char* entered, TextSpan reply) { return setup.SetSerialNumber(entered, reply); }
  void EnterDasCalibration(TextSpan reply) { setup.EnterDasCalibration(reply); }
  void InitialiseUnit(TextSpan reply) { setup.InitialiseUnit(reply); }
  void EnableUnit(TextSpan reply) { setup.EnableUnit(reply); }
  void InstallFactoryDefaults(TextSpan reply) { setup.InstallFactoryDefaults(reply); }
  void TestSynchOut(TextSpan reply) { setup.TestSynchOut(reply); }
  void EnableSynchIn(TextSpan reply) { setup.EnableSynchIn(reply); }
  bool SendGcmd4(TextSpan reply) { return setup.SendGcmd4(reply); }
  bool SendGcmd3(TextSpan reply) { return setup.SendGcmd3(reply); }
  void DisableUnit() { setup.DisableUnit(); }

  // ---- update and verification (update/status_updater.h) ----
  void UpdateStatus(TextSpan replyText) { updater.UpdateStatus(replyText); }
  bool LoadRequiredStatus(int32_t unitId) { return updater.LoadRequiredStatus(unitId); }
  bool CheckStatus(TextSpan report) { return updater.CheckStatus(report); }

  // ---- bench tests (commands/unit_tests.h) ----
  void AcousticCheck(TextSpan text, bool wideband, int testAddress, int testChannel) {
    benchTests.AcousticCheck(text, wideband, testAddress, testChannel);
  }
  bool HardwareSelfCheck(TextSpan text, bool readStatusFirst) {
    return benchTests.HardwareSelfCheck(text, readStatusFirst);
  }
  bool ReleaseCheck(TextSpan text, bool readStatusFirst) { return benchTests.ReleaseCheck(text, readStatusFirst); }
  bool SetAsTestTransponder(TextSpan text, bool wideband) { return benchTests.SetAsTestTransponder(text, wideband); }
  bool WidebandAvailable() { return benchTests.WidebandAvailable(); }
  void RecordTestTransponder() { benchTests.RecordTestTransponder(); }
  void WriteTestTransponderFile() { benchTests.WriteTestTransponderFile(); }

  // ---- program load (firmware/program_loader.h) ----
  bool SetBootBaud(int baud) { return loader.SetBootBaud(baud); }
  bool RestartAfterLoad() { return loader.RestartAfterLoad(); }
  int StartLoad(const char* path) { return loader.StartLoad(path); }
  int ContinueLoad(TextSpan message, int mode) { return loader.ContinueLoad(message, mode); }
  bool FinishLoad() { return loader.FinishLoad(); }
  CSRecordImage& ProgramImage() { return loader.ProgramImage(); }

  CCommPort& port;
  IOperator& op;
  DataPaths paths;

  // ---- the subsystems, each built on those before it ----
  UnitLink link;
  StatusState status;  // the current and required records, read and written by every subsystem
  StatusFiles files;
  StatusReader reader;
  ProgramLoader loader;
  SetupCommands setup;
  StatusUpdater updater;
  BenchTests benchTests;

  // Each subsystem's own state, under the names the actions and tests know it by.
  SerialState& serial = link.state;                   // busy and boot flags, the time-out override
  RecordsState& records = files.records;              // the status files and the entry last loaded
  FirmwareState& firmware = loader.firmware;          // the load buffer and the program image
  CommandsState& commands = benchTests.commands;      // the test transponder
  std::function<DateTime()>& utcNow = link.utcNow;    // the clocks; tests replace them
  std::function<DateTime()>& localNow = link.localNow;
};
