// The process-wide diagnostic trace. Operations write a line by setting its text and
// flushing it, or dump a whole status record. The lines reach no window; they go to the
// session log as "trace" lines, and tests may switch on an in-memory capture to read them.
#pragma once
#include <string>
#include <vector>

struct UnitStatus;

class DiagnosticTrace {
 public:
  void SetText(const std::string& text) { text_ = text; }
  void Flush();
  void Write(const std::string& text) {
    SetText(text);
    Flush();
  }
  void Dump(const UnitStatus& status);
  // A line that repeats what the session log already holds (the exchange's command and its
  // cleaned reply, which the log has as the raw "send" and "recv" lines): captured only.
  void Echo(const std::string& text) {
    if (capturing_) lines_.push_back(text);
  }

  void StartCapture() {
    capturing_ = true;
    lines_.clear();
  }
  void StopCapture() { capturing_ = false; }
  const std::vector<std::string>& Captured() const { return lines_; }

 private:
  std::string text_;
  bool capturing_ = false;
  std::vector<std::string> lines_;
};

DiagnosticTrace& Trace();
