#include "serial/diagnostic_trace.h"

#include <cstdio>

#include "platform/session_log.h"
#include "status/unit_status.h"

DiagnosticTrace& Trace() {
  static DiagnosticTrace trace;
  return trace;
}

void DiagnosticTrace::Capture(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (capturing_) lines_.push_back(line);
}

void DiagnosticTrace::Write(const std::string& text) {
  Capture(text);
  if (LogActive()) LogEvent("trace", EscapeBytes(text));
}

void DiagnosticTrace::Echo(const std::string& text) { Capture(text); }

void DiagnosticTrace::Dump(const UnitStatus& s) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!capturing_ && !LogActive()) return;
  }
  char buf[256];
  std::snprintf(buf, sizeof buf, "UnitId %06X Address %d%02d Band %s Enabled %s Tat %.3f",
                static_cast<unsigned>(s.UnitId), s.Address, s.Channel, s.Band.c_str(), s.Enabled.c_str(),
                static_cast<double>(s.Tat));
  Capture(buf);
  if (LogActive()) LogEvent("trace", buf);
}

void DiagnosticTrace::StartCapture() {
  std::lock_guard<std::mutex> lock(mutex_);
  capturing_ = true;
  lines_.clear();
}

void DiagnosticTrace::StopCapture() {
  std::lock_guard<std::mutex> lock(mutex_);
  capturing_ = false;
}

std::vector<std::string> DiagnosticTrace::Captured() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}
