// CTransponder stands for the connected unit. It is declared once here; its member functions
// are defined in the folder of the subsystem they belong to: exchange and recovery in
// serial/, acquisition in status/, set-up commands and bench tests in commands/, update and
// verification in update/, program load in firmware/, status files and reports in records/.
// Its state is held the same way: each subsystem declares the part it writes in a small struct
// of its own (serial.busyShown, status.currentStatus, records.currentFile, ...); the others
// read it through the unit.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/date_time.h"
#include "platform/fixed_text.h"
#include "platform/operator.h"
#include "platform/paths.h"
#include "platform/progress.h"
#include "commands/test_transponder.h"
#include "firmware/firmware_state.h"
#include "records/records_state.h"
#include "serial/comm_port.h"
#include "serial/reply_text.h"
#include "serial/serial_state.h"
#include "status/status_state.h"

// What CheckComms tells the operator when the unit does not answer.
inline constexpr const char* kNoValidCommsText = "No valid comms";

class CTransponder {
 public:
  CTransponder(CCommPort& port, IOperator& op, DataPaths paths);
  ~CTransponder();
  CTransponder(const CTransponder&) = delete;
  CTransponder& operator=(const CTransponder&) = delete;

  // ---- serial/: command exchange and reply recognition ----
  static constexpr size_t kExchangeBufferSize = reply_text::kExchangeBufferSize;
  static constexpr size_t kReplyTextSize = StatusState::kReplyTextSize;

  // The reply time-out in whole seconds for a command, by the four-letter code it contains.
  static int32_t ReplyTimeoutFor(const char* command);
  // True for the commands after which the unit is busy until it answers "#DASP,0" again.
  static bool NeedsReadinessFollowUp(const char* command);
  bool Exchange(const char* command, TextSpan reply, bool uncounted = false, bool singleAttempt = false);
  bool CheckComms(int budget);
  bool CheckBootPrompt();
  // flags is resized to first + count and flag p set for each port p that opened. tried, when
  // given, gets one line a port: "COM2 (/dev/ttyS0): no answer", "... would not open: ...".
  int FindUnitPort(int firstPort, int count, std::vector<bool>& flags, std::vector<std::string>* tried = nullptr);
  // "COM3 (/dev/ttyUSB0) would not open: Permission denied" and the remedy on a second line,
  // from what the port's last Open found.
  static std::string OpenFailureText(const PortOpenReport& report);
  // The reply-text helpers of serial/reply_text.h.
  static bool ExtractValue(const char* source, const char* key, TextSpan value) {
    return reply_text::ExtractValue(source, key, value);
  }
  static void CopyField(TextSpan destination, const char* source) { reply_text::CopyField(destination, source); }
  static void CleanReply(const char* source, TextSpan destination);

  // ---- progress: how an operation tells the operator where it is ----
  // The busy window unless the caller binds another; the subsystems speak only to this.
  IProgress& Progress() { return *progress_; }
  void BindProgress(IProgress& progress) { progress_ = &progress; }
  void ShowBusy() { progress_->Shown(); }
  void SetBusyCaption(const char* caption) { progress_->Step(caption ? caption : ""); }
  void HideBusy() { progress_->Ended(); }

  // ---- serial/: comms-break reset and recovery ----
  bool EnterBootPrompt();
  bool BreakReset(TextSpan message);
  bool ResetWatchdog(bool stayInBootloader);

  // ---- status/: acquisition ----
  bool GetStatus(const char* heading, TextSpan output, bool showMessageBox);
  bool ReadSensors(TextSpan reply);

  // ---- commands/: set-up commands ----
  bool SetClock(const DateTime& when, TextSpan reply);
  bool SetDepthOffset(int pressureMillibars, TextSpan reply);
  bool SetSerialNumber(const char* entered, TextSpan reply);
  void EnterDasCalibration(TextSpan reply);
  void InitialiseUnit(TextSpan reply);
  void EnableUnit(TextSpan reply);
  void InstallFactoryDefaults(TextSpan reply);
  void TestSynchOut(TextSpan reply);
  void EnableSynchIn(TextSpan reply);
  bool SendGcmd4(TextSpan reply);
  bool SendGcmd3(TextSpan reply);
  void DisableUnit();

  // ---- commands/: bench tests ----
  void AcousticCheck(TextSpan text, bool wideband, int testAddress, int testChannel);
  // Both return whether the unit answered the test (its result is then in currentChecks).
  bool HardwareSelfCheck(TextSpan text, bool readStatusFirst);
  bool ReleaseCheck(TextSpan text, bool readStatusFirst);
  bool SetAsTestTransponder(TextSpan text, bool wideband);
  bool WidebandAvailable();
  void RecordTestTransponder();
  void WriteTestTransponderFile();

  // ---- records/: export of the current-status file over the serial line ----
  // The outcome code: 0 done, 1 no answer in time, 2 no "Reply" to "Export", 3 the file
  // would not open, 4 the port would not open, 5 the operator declined.
  int ExportStatus();

  // ---- update/: update engine and verification ----
  // Brings the unit to requiredStatus. The replies of the status it reads again on the way
  // are appended to replyText (the window's reply text), as the status readers append theirs.
  void UpdateStatus(TextSpan replyText);
  bool LoadRequiredStatus(int32_t unitId);
  bool CheckStatus(TextSpan report);

  // ---- firmware/: bootloader protocol and program load ----
  bool SetBootBaud(int baud);
  bool RestartAfterLoad();
  int StartLoad(const char* path);
  int ContinueLoad(TextSpan message, int mode);
  // Returns whether the unit came back from its bootloader after the load.
  bool FinishLoad();
  // The program image that the load reads from; one for the unit object's whole life.
  class CSRecordImage& ProgramImage();

  // ---- records/: status files and reports ----
  void OpenStatusFiles();
  void CloseStatusFiles();
  bool LoadCurrentEntry(int32_t unitId);
  bool LoadNewEntry(int32_t unitId);
  bool SaveCurrentEntry();
  bool SaveNewEntry();
  DateTime NowUtc();
  int ListStoredUnits(std::vector<std::string>& lines);
  std::string CheckReport(int32_t unitId, bool withUnitLine);
  std::string FileStatusReport();

  // ---- state, each part owned by the subsystem that declares it ----
  SerialState serial;      // serial/serial_state.h: busy and boot flags, the time-out override
  StatusState status;      // status/status_state.h: current and required records
  RecordsState records;    // records/records_state.h: the status files and the entry last loaded
  FirmwareState firmware;  // firmware/firmware_state.h: the load buffer and the program image
  CommandsState commands;  // commands/test_transponder.h: the test transponder

  // Clocks for the times the terminal records and shows; tests replace them.
  std::function<DateTime()> utcNow = DateTime::NowUtc;
  std::function<DateTime()> localNow = DateTime::NowLocal;

  CCommPort& port;
  IOperator& op;
  DataPaths paths;

 private:
  BusyWindowProgress busyWindow_{op, serial.busyShown};
  IProgress* progress_ = &busyWindow_;
};
