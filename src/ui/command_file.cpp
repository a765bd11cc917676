#include "ui/command_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/file_ops.h"
#include "platform/text_numbers.h"
#include "ui/tester_dlg.h"
#include "unit/transponder.h"

namespace {

// A character that ends a command: any below 32 (the newline among them), '^', and any
// above 127.
bool EndsCommand(unsigned char c) { return c < 32 || c > 127 || c == '^'; }

// Turns the wait cursor off however the action ends.
struct WaitCursorScope {
  explicit WaitCursorScope(IOperator& op) : op_(op) { op_.WaitCursor(true); }
  ~WaitCursorScope() { op_.WaitCursor(false); }
  IOperator& op_;
};

}  // namespace

CommandEntry ParseCommandLine(const char* line) {
  CommandEntry e;
  e.timeout = 3;
  const char* p = line ? line : "";
  const char* caret = std::strchr(p, '^');
  if (!caret) return e;  // the line ended before any '^': no caption and no command
  e.caption.Assign(std::string_view(p, static_cast<size_t>(caret - p)));
  const char* c = caret + 1;
  const char* end = c;
  while (*end && !EndsCommand(static_cast<unsigned char>(*end))) ++end;
  if (!*end) return e;  // no terminator before the line ended: the command stays empty
  e.command.Assign(std::string_view(c, static_cast<size_t>(end - c)));
  const char* t = end + 1;  // the terminator is skipped
  bool negative = false;
  if (*t == '-') {
    negative = true;
    ++t;
  }
  if (textnum::IsDigit(*t)) {
    int32_t value = 0;
    for (int i = 0; i < 3 && textnum::IsDigit(*t); ++i, ++t) value = value * 10 + (*t - '0');
    e.timeout = value;
  }
  if (negative) e.timeout = -e.timeout;
  return e;
}

int ReadCommandFile(std::FILE* file, CommandEntry entries[kCommandButtons]) {
  int read = 0;
  char line[kCommandLineMax + 1];
  for (int i = 0; i < kCommandButtons; ++i) {
    if (!file || !std::fgets(line, sizeof line, file)) continue;
    entries[i] = ParseCommandLine(line);
    ++read;
  }
  return read;
}

Outcome LoadCommandFile(CTransponder& unit, CTesterDlg& window) {
  IOperator& op = unit.op;
  window.Pull();
  window.paneText.clear();
  WaitCursorScope cursor(op);
  const std::optional<std::string> path = op.ChooseFile("", 1);
  if (!path) {
    op.MessageBox("Illegal command file", "Command Load", MbButtons::Ok, MbIcon::Exclamation);
    return MakeOutcome(OutcomeKind::Declined, {}, "no command file was chosen");
  }
  std::FILE* file = file_ops::OpenStream(file_ops::PathFromUtf8(*path), "r");
  if (!file) {
    const std::string why = std::strerror(errno);
    op.MessageBox("Unable to open command file", "Command Load", MbButtons::Ok, MbIcon::Exclamation);
    Outcome o = MakeOutcome(OutcomeKind::BadFile, {}, "the command file would not open: " + why);
    o.file = *path;
    return o;
  }
  CommandEntry entries[kCommandButtons];
  const int read = ReadCommandFile(file, entries);
  std::fclose(file);
  for (int i = 0; i < read; ++i) {
    window.commandCaption[i] = entries[i].caption.view();
    window.commandText[i] = entries[i].command.view();
    window.commandTimeout[i] = entries[i].timeout;
  }
  window.UpdateCommandButtons();
  Outcome o = MakeOutcome(OutcomeKind::Done, {});
  o.file = *path;
  return o;
}

Outcome RunCommandButton(CTransponder& unit, CTesterDlg& window, int index) {
  if (index < 0 || index >= kCommandButtons) return MakeOutcome(OutcomeKind::Refused, {}, "no such command button");
  IOperator& op = unit.op;
  window.Pull();
  window.paneText.clear();
  WaitCursorScope cursor(op);
  const int32_t timeout = window.commandTimeout[index];
  const std::string command = window.commandText[index].str();
  Outcome outcome = MakeOutcome(OutcomeKind::Done, {});
  outcome.command = command;
  if (timeout >= 0 && !unit.CheckComms(3)) {
    outcome.kind = OutcomeKind::NoUnit;
    return outcome;
  }
  if (command.find("CKHW") != std::string::npos) {
    if (!unit.Exchange("#CKHW", window.Reply())) {
      window.Reply().Append(kPreHardwareCheckNote);
      window.ShowReply(window.Reply().c_str(), kReplyHeader);
      outcome.kind = OutcomeKind::Refused;
      outcome.reason = "the unit did not answer the hardware check";
      return outcome;
    }
  }
  bool answered = true;
  if (command.find("RTST") != std::string::npos) {
    answered = unit.ReleaseCheck(window.Reply(), true);
  } else if (command.find("TPSN") != std::string::npos) {
    // A cancelled entry leaves the empty default, which the serial-number rule refuses.
    const std::string entered =
        op.AskEntry(Prompt::SerialNumber, "Enter serial number as xxxxx-yy", "", true).value_or("");
    answered = unit.SetSerialNumber(entered.c_str(), window.Reply());
  } else {
    unit.serial.timeoutOverride = std::abs(timeout);
    answered = unit.Exchange(command.c_str(), window.Reply());
  }
  window.ShowReply(window.Reply().c_str(), kReplyHeader);
  if (!answered) {
    outcome.kind = OutcomeKind::Refused;
    outcome.reason = "the command got no answer";
  }
  return outcome;
}
