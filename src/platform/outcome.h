// What an operation of the main window did, as a value: the window shows it, the command line
// turns its kind into the exit code, the session log writes it at the operation's end and the
// unit history keeps it. The boxes the operator sees stay the operation's own; the outcome says
// what they said, in a form a reader can use without comparing their texts.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/serial_device.h"

enum class OutcomeKind {
  Done,         // done (and verified, where the operation verifies)
  Refused,      // the unit refused, or a check failed (self test, verification, program load)
  NoUnit,       // no unit answered, or the comms failed part-way
  PortFailed,   // the port would not open: `port` says which device and why
  BadFile,      // a file would not open or is not what it should be: `file` and `reason`
  Declined,     // the operator declined (a question answered No, a dialog or chooser cancelled)
  NotRecorded,  // done, but the unit's record could not be saved to the status file
};

// "done", "refused", "no-unit", "port-failed", "bad-file", "declined", "not-recorded".
const char* OutcomeKindName(OutcomeKind kind);

struct Outcome {
  OutcomeKind kind = OutcomeKind::Done;
  // The operation, as its button names it ("General Status", "Quick set" ...).
  std::string action;
  // The text the operation left in the reply pane.
  std::string pane;
  // One line for a reader: why it was not done ("verification found differences", the file's
  // line and fault, ...). Empty when done.
  std::string reason;

  // ---- details, each set by the operations it belongs to ----
  // PortFailed: what the open of the port found.
  PortOpenReport port;
  // A status read: whether the action read the whole status, and one bit for each reader that
  // failed (0 when all answered); whether it read the unit's sensors.
  bool statusRead = false;
  int32_t failedReaders = 0;
  bool sensorsRead = false;
  // The verification after an update: the differences it listed (empty when set correctly).
  std::string differences;
  // A program load: the records of the file, how many were sent, the file.
  int recordsTotal = 0;
  int recordsSent = 0;
  // The file the operation read or wrote (program, command, report, status file).
  std::string file;
  // A bench test: the result code it recorded (-1 when none).
  int32_t testResult = -1;
  // A command button or manual command: the command sent.
  std::string command;

  bool Ok() const { return kind == OutcomeKind::Done; }
};

// An outcome of a kind, for an action, with its reason.
inline Outcome MakeOutcome(OutcomeKind kind, std::string action, std::string reason = {}) {
  Outcome o;
  o.kind = kind;
  o.action = std::move(action);
  o.reason = std::move(reason);
  return o;
}

// The port would not open: the outcome says so, with what the open found.
inline void MarkPortFailed(Outcome& o, const PortOpenReport& report) {
  o.kind = OutcomeKind::PortFailed;
  o.port = report;
  o.reason = "the port would not open";
}

// The outcome's one-line summary for the session log: "<kind>: <action>; <reason>; details".
std::string OutcomeSummary(const Outcome& outcome);
