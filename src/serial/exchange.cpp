// The command exchange with the unit: time-out by command code, the 500 ms pause, two
// attempts, the cleaned reply, and the readiness follow-up after the commands that keep the
// unit busy. Also the comms check, the bootloader-prompt check, the port search and the text
// of a port that would not open.
#include <cstring>
#include <string_view>

#include "platform/session_log.h"
#include "platform/text_numbers.h"
#include "serial/diagnostic_trace.h"
#include "serial/unit_link.h"

namespace {
struct TimeoutRow {
  const char* code;
  int32_t seconds;
};
// Tested in this order; a later matching row overrides an earlier one.
const TimeoutRow kReplyTimeoutTable[] = {
    {"HWST", 8},  {"TPST", 8},  {"CKHW", 20}, {"STAD", 10}, {"FVFV", 10}, {"RDSE", 40}, {"RTST", 50}, {"TXPG", 6},
    {"ZDOF", 50}, {"GCMD", 12}, {"DAST", 1},  {"INFO", 10}, {"INTP", 20}, {"STTX", 6},  {"ISFD", 20},
};
const int32_t kDefaultTimeout = 3;

// The readiness probe: "#DASP,0" with a 1-second wait, uncounted. True on "DASP OK".
bool ProbeReady(CCommPort& port) {
  char probe[100];
  TextSpan p(probe);
  p.Assign("#DASP,0");
  port.SendLine(p, 1, true);
  return textnum::Contains(probe, "DASP OK");
}
}  // namespace

int32_t UnitLink::ReplyTimeoutFor(const char* command) {
  int32_t seconds = kDefaultTimeout;
  for (const auto& row : kReplyTimeoutTable)
    if (textnum::Contains(command, row.code)) seconds = row.seconds;
  return seconds;
}

bool UnitLink::NeedsReadinessFollowUp(const char* command) {
  return textnum::Contains(command, "#CKHW") || textnum::Contains(command, "#INTP") ||
         textnum::Contains(command, "#STAD") || textnum::Contains(command, "#ISFD");
}

bool UnitLink::Exchange(const char* command, TextSpan reply, bool uncounted, bool singleAttempt) {
  reply.Clear();
  if (!port.Open(true)) return false;
  const int32_t timeout = state.timeoutOverride != 0 ? state.timeoutOverride : ReplyTimeoutFor(command);
  const bool followUp = NeedsReadinessFollowUp(command);
  state.timeoutOverride = 0;
  const int attempts = singleAttempt ? 1 : 2;
  bool complete = false;
  char buffer[kExchangeBufferSize];
  for (int attempt = 0; attempt < attempts; ++attempt) {
    TextSpan work(buffer);
    work.Assign(command ? command : "");
    port.Delay(500);
    Trace().Echo(std::string(work.view()) + "\r\n");
    complete = port.SendLine(work, timeout, uncounted);
    CleanReply(buffer, reply);
    Trace().Echo(std::string(reply.view()) + "\r\n");
    if (complete) break;
  }
  if (followUp) {
    for (int probe = 0; probe < 10; ++probe)
      if (ProbeReady(port)) break;
  }
  return complete;
}

void UnitLink::CleanReply(const char* source, TextSpan destination) {
  if (!destination.capacity) return;
  size_t out = 0;
  const size_t last = destination.capacity - 1;
  for (const char* s = source ? source : ""; *s && out < last; ++s) {
    destination.data[out++] = *s;
    if (*s == '\r' && out < last) destination.data[out++] = '\n';
  }
  // Trailing control bytes go; bytes above 127 count as control bytes here.
  while (out > 0) {
    unsigned char c = static_cast<unsigned char>(destination.data[out - 1]);
    if (c >= 32 && c <= 127) break;
    --out;
  }
  destination.data[out] = '\0';
}

bool UnitLink::CheckComms(int budget) {
  Progress().Step("Checking for valid comms");
  port.failuresLeft = budget;
  char probe[100];
  TextSpan p(probe);
  p.Assign("#RRTC");
  bool ok = port.SendLine(p, 1, true);
  if (!ok) {
    p.Assign("#RRTC");
    ok = port.SendLine(p, 1, true);
  }
  if (!ok) {
    findings.commsFailed = true;
    Progress().Ended();
    op.MessageBox(kNoValidCommsText, kDefaultCaption, MbButtons::Ok, MbIcon::Exclamation);
    return false;
  }
  return true;
}

bool UnitLink::CheckBootPrompt() {
  char buf[100];
  TextSpan b(buf);
  b.Assign("Q");
  port.SendRaw(b, 0, true);
  port.Delay(10);
  b.Assign("\r\n");
  port.SendRaw(b, 1, true);
  port.Delay(10);
  if (textnum::Contains(buf, "Boot>")) {
    state.inBootMode = true;
    return false;
  }
  return true;
}

namespace {
// The reply pane does not wrap its lines, and holds about this many characters of its font on a
// line: a diagnosis of our own is folded between words to fit, so the remedy is read whole.
constexpr size_t kPaneColumns = 50;

// text folded at blanks into lines of at most kPaneColumns (a longer word stays whole), each
// after the first indented by two blanks, joined by CR LF.
std::string FoldForPane(const std::string& text, bool indentFirst) {
  std::string out, line = indentFirst ? "  " : "";
  size_t at = 0;
  while (at < text.size()) {
    const size_t blank = text.find(' ', at);
    const std::string word = text.substr(at, blank == std::string::npos ? std::string::npos : blank - at);
    at = blank == std::string::npos ? text.size() : blank + 1;
    const bool lineHasWord = line.find_first_not_of(' ') != std::string::npos;
    if (lineHasWord && line.size() + 1 + word.size() > kPaneColumns) {
      out += line + "\r\n";
      line = "  ";
    } else if (lineHasWord) {
      line += ' ';
    }
    line += word;
  }
  return out + line;
}
}  // namespace

std::string UnitLink::OpenFailureText(const PortOpenReport& report) {
  if (report.comNumber <= 0) return "No port was chosen";
  std::string t = "COM" + std::to_string(report.comNumber);
  if (report.device.empty()) return t + ": not present";
  t += " (" + report.device + ") would not open";
  if (!report.reason.empty()) t += ": " + report.reason;
  t = FoldForPane(t, false);
  if (!report.remedy.empty()) t += "\r\n" + FoldForPane(report.remedy, true);
  return t;
}

int UnitLink::FindUnitPort(int firstPort, int count, std::vector<bool>& flags, std::vector<std::string>* tried) {
  const int end = firstPort + count;
  if (end > 0) flags.assign(static_cast<size_t>(end), false);
  for (int p = firstPort; p < end; ++p) {
    port.Close();
    port.portNumber = p;
    if (!port.Open(true)) {
      if (tried) tried->push_back(OpenFailureText(port.LastOpenReport()));
      continue;
    }
    if (p >= 0) flags[static_cast<size_t>(p)] = true;
    char buf[100];
    TextSpan b(buf);
    b.Assign("#DASP,0");
    port.SendLineMs(b, 100);
    port.Close();
    const bool found = textnum::Contains(buf, "DASP OK");
    if (tried) {
      std::string t = "COM" + std::to_string(p) + " (" + port.LastOpenReport().device + "): ";
      if (found) t += "the unit answered";
      else if (buf[0]) t += "answered, but not as a unit: " + EscapeBytes(std::string(buf).substr(0, 40));
      else t += "no answer to #DASP,0 within 100 ms";
      tried->push_back(t);
    }
    if (found) return p;
  }
  return 0;
}
