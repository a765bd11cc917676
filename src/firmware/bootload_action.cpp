#include "firmware/bootload_action.h"

#include <cstdio>

#include "firmware/srecord_image.h"
#include "platform/session_log.h"
#include "firmware/program_loader.h"

namespace {
const char* const kCaption = "Program Load";

// Refuses a file that fails its check, before the unit is touched.
Outcome RefuseFile(IOperator& op, Outcome outcome, const ProgramFileCheck& check) {
  outcome.kind = OutcomeKind::BadFile;
  outcome.reason = check.line > 0 ? "line " + std::to_string(check.line) + ": " + check.text : check.text;
  if (LogActive()) LogEvent("load", "file " + outcome.file + " refused, nothing sent: " + outcome.reason);
  op.MessageBox(ProgramFileRefusal(check, outcome.file), kCaption, MbButtons::Ok, MbIcon::Exclamation);
  return outcome;
}

// How the load went, for its outcome, its summary and the operator's last word.
struct LoadEnd {
  int r = 0;  // 0 when the load reached the end record; below 0 the error it was abandoned on
  bool whole = false;
  bool cameBack = false;
  CivilTime started{}, ended{};
};

// No file chosen: nothing is read and the unit is not touched.
Outcome NoFileChosen(IOperator& op, Outcome outcome) {
  op.MessageBox("Illegal program file", kCaption, MbButtons::Ok, MbIcon::Exclamation);
  outcome.kind = OutcomeKind::Declined;
  outcome.reason = "no program file chosen";
  return outcome;
}

Outcome NotStarted(ProgramLoader& unit, Outcome outcome) {
  unit.Progress().Ended();
  unit.op.MessageBox("Failed to start bootloading", kCaption, MbButtons::Ok, MbIcon::Exclamation);
  outcome.kind = OutcomeKind::NoUnit;
  outcome.reason = "the unit did not reach its bootloader";
  return outcome;
}

// Sends the records one after another, showing the percent loaded. On a refused record the
// operator chooses to send it again or to give the load up. Returns 0 when the load reached the
// end record, else the error it was given up on (its text in message).
int SendRecords(ProgramLoader& unit, char (&message)[200]) {
  IOperator& op = unit.op;
  int r = 0;
  do {
    r = unit.ContinueLoad(message, 0);
    if (r > 0) op.SetProgress(r);
    if (r < 0) {
      unit.Progress().Ended();
      char question[300];
      std::snprintf(question, sizeof question, "%s\r\n(Error number %d)\r\nTry to continue programming", message, r);
      // The step is the file line: a record refused again is a repeat, the next line a new step.
      if (op.AskAt(Question::ContinueProgramming, unit.ProgramImage().recordsRead, question, kCaption,
                   MbIcon::Exclamation) == MbAnswer::Yes)
        r = unit.ContinueLoad(message, 1);
      else unit.ContinueLoad(message, -1);
      unit.Progress().Shown();
    }
  } while (r > 0);
  return r;
}

std::string ClockSpan(const CivilTime& from, const CivilTime& to) {
  char times[64];
  std::snprintf(times, sizeof times, "%02d:%02d:%02d to %02d:%02d:%02d", from.hour, from.minute, from.second, to.hour,
                to.minute, to.second);
  return times;
}

// Finishes the load, judges it into the outcome and writes its summary to the session log.
void EndLoad(ProgramLoader& unit, Outcome& outcome, const char* message, LoadEnd& end) {
  const int r = end.r;
  // Read before the finish closes the image. The load is whole when every line that carries
  // part of the program went out and was accepted: a line that may hold program data and was
  // refused or gone past leaves a hole in the unit's program, however well its page checks
  // went. Blank lines and count records that the operator passed over hold none.
  const CSRecordImage& image = unit.ProgramImage();
  const int linesRead = image.recordsRead;
  const int dataRecords = image.dataRecords, acknowledged = image.dataAcknowledged;
  // Also after an abandoned load: the unit is always asked to leave its bootloader.
  const bool cameBack = end.cameBack = unit.FinishLoad();
  end.ended = unit.LocalNow().ToCivil();
  unit.op.ShowProgress(false);
  outcome.recordsSent = unit.firmware.recordsSent;
  // The file may have changed since its check: the load's own count, up to its end record.
  if (r == 0) outcome.recordsTotal = linesRead;
  const bool whole = r == 0 && acknowledged == dataRecords;
  end.whole = whole;

  const std::string dataCount =
      std::to_string(acknowledged) + " of " + std::to_string(dataRecords) + " data records acknowledged";
  if (r < 0)
    outcome.reason = std::string("load stopped on an error: ") + message + " (error " + std::to_string(r) + ")";
  else if (!whole) outcome.reason = "a line holding program data was not programmed (" + dataCount + ")";
  else if (!cameBack) outcome.reason = "the unit did not come back from its bootloader";
  if (!LogActive()) return;
  const int passedOver = r == 0 ? linesRead - outcome.recordsSent : 0;
  LogEvent("load", "summary: " + outcome.file + "; " + std::to_string(outcome.recordsSent) + " of " +
                       std::to_string(outcome.recordsTotal) + " records sent" +
                       (passedOver > 0 ? ", " + std::to_string(passedOver) + " passed over" : std::string()) + ", " +
                       (whole ? dataCount + ", load complete" : outcome.reason) + "; unit " +
                       (cameBack ? "came back from" : "did not come back from") + " its bootloader; " +
                       ClockSpan(end.started, end.ended));
}

// The operator's last word on the load: its times, or that the program cannot be trusted.
Outcome Conclude(ProgramLoader& unit, Outcome outcome, const LoadEnd& end) {
  std::string warning;
  if (end.whole && end.cameBack) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "Programming complete\r\nStarted %02d:%02d:%02d\r\nEnded %02d:%02d:%02d\r\n"
                  "The address has been changed to 1001",
                  end.started.hour, end.started.minute, end.started.second, end.ended.hour, end.ended.minute,
                  end.ended.second);
    outcome.pane = text;
    warning = "Warning - the address has been changed to 1001";
  } else {
    // Also when the unit did not come back after the load: its program cannot be trusted.
    outcome.kind = OutcomeKind::Refused;
    outcome.pane = "Programming error!!";
    warning = "The program may not now operate\r\nSettings may also have been changed";
  }
  unit.Progress().Ended();
  unit.op.MessageBox(warning, "Warning", MbButtons::Ok, MbIcon::Exclamation);
  return outcome;
}
}  // namespace

std::string ProgramFileRefusal(const ProgramFileCheck& check, const std::string& file) {
  std::string text = check.text;
  text += check.line > 0 ? "\r\nLine " + std::to_string(check.line) + " of " + file : "\r\n" + file;
  return text + "\r\nNothing has been sent to the unit";
}

Outcome BootloadNewProgram(ProgramLoader& unit) {
  IOperator& op = unit.op;
  Outcome outcome = MakeOutcome(OutcomeKind::Done, kBootloadAction);

  char path[501] = {};
  if (!CSRecordImage::ChooseFile(op, path, 0)) return NoFileChosen(op, outcome);
  outcome.file = path;
  // The whole file is read and judged first: a file that would lose program data never sends
  // the unit into its bootloader. Lines that the load asks about and that "Yes" passes over
  // without loss (blank lines, count records) are left to the load's own question.
  const ProgramFileCheck check = CSRecordImage::CheckFile(path);
  if (!check.ok) return RefuseFile(op, outcome, check);
  outcome.recordsTotal = check.records;

  unit.Progress().Shown();
  if (unit.StartLoad(path) != 0) return NotStarted(unit, outcome);

  LoadEnd end;
  end.started = unit.LocalNow().ToCivil();
  op.SetProgress(0);
  op.ShowProgress(true);
  char message[200] = {};
  end.r = SendRecords(unit, message);
  EndLoad(unit, outcome, message, end);
  return Conclude(unit, outcome, end);
}
