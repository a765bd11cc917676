#include "platform/outcome.h"

#include <cstdio>

const char* OutcomeKindName(OutcomeKind kind) {
  switch (kind) {
    case OutcomeKind::Done: return "done";
    case OutcomeKind::Refused: return "refused";
    case OutcomeKind::NoUnit: return "no-unit";
    case OutcomeKind::PortFailed: return "port-failed";
    case OutcomeKind::BadFile: return "bad-file";
    case OutcomeKind::Declined: return "declined";
    case OutcomeKind::NotRecorded: return "not-recorded";
  }
  return "done";
}

std::string OutcomeSummary(const Outcome& o) {
  std::string s = std::string(OutcomeKindName(o.kind)) + ": " + o.action;
  if (!o.reason.empty()) s += "; " + o.reason;
  if (o.kind == OutcomeKind::PortFailed && !o.port.device.empty())
    s += "; " + o.port.device + (o.port.reason.empty() ? "" : ": " + o.port.reason);
  if (o.failedReaders != 0) s += "; failed readers mask " + std::to_string(o.failedReaders);
  if (o.recordsTotal > 0)
    s += "; " + std::to_string(o.recordsSent) + " of " + std::to_string(o.recordsTotal) + " records sent";
  if (o.testResult >= 0) s += "; result " + std::to_string(o.testResult);
  if (!o.command.empty()) s += "; command " + o.command;
  if (!o.file.empty()) s += "; file " + o.file;
  return s;
}
