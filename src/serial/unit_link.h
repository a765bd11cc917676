// The link to the connected unit that every subsystem speaks through: the command exchange and
// reply recognition, the comms check, the port search, the recovery by a line break, the
// progress the operator sees while an operation runs, and the clocks the records are stamped
// with. It owns the state of the line (SerialState). The subsystems above it (status reading,
// status files, set-up commands, update, bench tests, program load) each hold it as a UnitPart.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/date_time.h"
#include "platform/operator.h"
#include "platform/progress.h"
#include "serial/comm_port.h"
#include "serial/reply_text.h"
#include "serial/serial_state.h"

// What CheckComms tells the operator when the unit does not answer.
inline constexpr const char* kNoValidCommsText = "No valid comms";

// What the unit's parts found during one action, for its outcome: the action layer clears it as
// the action begins and reads it as the action ends.
struct UnitFindings {
  bool commsFailed = false;    // a comms check found no unit ("No valid comms")
  bool recordNotKept = false;  // a save of the unit's entry to a status file was not recorded
  bool statusRead = false;     // the whole status was read (the unit history keeps it)
  bool sensorsRead = false;    // the unit answered a sensor reading
};

class UnitLink {
 public:
  UnitLink(CCommPort& port, IOperator& op) : port(port), op(op) {}
  UnitLink(const UnitLink&) = delete;
  UnitLink& operator=(const UnitLink&) = delete;

  static constexpr size_t kExchangeBufferSize = reply_text::kExchangeBufferSize;

  // ---- command exchange and reply recognition (exchange.cpp) ----
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
  static void CleanReply(const char* source, TextSpan destination);

  // ---- comms-break reset and recovery (recovery.cpp) ----
  bool EnterBootPrompt();
  bool BreakReset(TextSpan message);
  bool ResetWatchdog(bool stayInBootloader);

  // ---- progress: how an operation tells the operator where it is ----
  // The busy window unless the caller binds another; the subsystems speak only to this.
  IProgress& Progress() { return *progress_; }
  void BindProgress(IProgress& progress) { progress_ = &progress; }

  SerialState state;  // busy and boot flags, the time-out override
  UnitFindings findings;
  // The clocks of the times the terminal records (UTC) and shows (local); tests replace them.
  std::function<DateTime()> utcNow = DateTime::NowUtc;
  std::function<DateTime()> localNow = DateTime::NowLocal;
  CCommPort& port;
  IOperator& op;

 private:
  BusyWindowProgress busyWindow_{op, state.busyShown};
  IProgress* progress_ = &busyWindow_;
};

// What each subsystem of the unit holds: the link, and the link's port and operator under their
// own names.
class UnitPart {
 public:
  explicit UnitPart(UnitLink& unitLink) : link(unitLink), port(unitLink.port), op(unitLink.op) {}
  static constexpr size_t kExchangeBufferSize = UnitLink::kExchangeBufferSize;
  IProgress& Progress() { return link.Progress(); }
  DateTime NowUtc() const { return link.utcNow ? link.utcNow() : DateTime::NowUtc(); }
  DateTime LocalNow() const { return link.localNow ? link.localNow() : DateTime::NowLocal(); }

  UnitLink& link;
  CCommPort& port;
  IOperator& op;
};
