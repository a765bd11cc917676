// The process-wide diagnostic trace. Operations write a line, or dump a whole status record
// (its summary line, status/status_report.h's TraceLine).
// The lines reach no window; they go to the session log as "trace" lines, and tests may switch
// on an in-memory capture to read them. Safe to use from any thread: each line is written whole.
#pragma once
#include <mutex>
#include <string>
#include <vector>

class DiagnosticTrace {
 public:
  void Write(const std::string& text);
  // A record's summary line, written as it is.
  void Dump(const std::string& summary);
  // A line that repeats what the session log already holds (the exchange's command and its
  // cleaned reply, which the log has as the raw "send" and "recv" lines): captured only.
  void Echo(const std::string& text);

  void StartCapture();
  void StopCapture();
  // The lines captured so far.
  std::vector<std::string> Captured() const;

 private:
  void Capture(const std::string& line);
  mutable std::mutex mutex_;
  bool capturing_ = false;
  std::vector<std::string> lines_;
};

DiagnosticTrace& Trace();
