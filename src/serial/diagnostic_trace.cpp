#include "serial/diagnostic_trace.h"

#include "platform/session_log.h"

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

void DiagnosticTrace::Dump(const std::string& summary) {
  Capture(summary);
  if (LogActive()) LogEvent("trace", summary);
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
