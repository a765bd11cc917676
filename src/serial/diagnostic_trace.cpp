#include "serial/diagnostic_trace.h"

#include <cstdio>

#include "platform/session_log.h"
#include "status/unit_status.h"

DiagnosticTrace& Trace() {
  static DiagnosticTrace trace;
  return trace;
}

void DiagnosticTrace::Flush() {
  if (capturing_) lines_.push_back(text_);
  if (LogActive()) LogEvent("trace", EscapeBytes(text_));
  text_.clear();
}

void DiagnosticTrace::Dump(const UnitStatus& s) {
  if (!capturing_ && !LogActive()) return;
  char buf[256];
  std::snprintf(buf, sizeof buf, "UnitId %06X Address %d%02d Band %s Enabled %s Tat %.3f",
                static_cast<unsigned>(s.UnitId), s.Address, s.Channel, s.Band.c_str(), s.Enabled.c_str(),
                static_cast<double>(s.Tat));
  if (capturing_) lines_.push_back(buf);
  if (LogActive()) LogEvent("trace", buf);
}
