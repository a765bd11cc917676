// The operator of the command-line terminal: boxes go to standard error, Yes/No questions are
// answered by --yes or --no (a question with neither is an error that names it), the file
// chooser gives the file named on the command line, the quickset dialog presses the scheme
// button and picks power and gain as the command line says, and the program-load progress is
// a percentage a line on standard error.
#pragma once
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/operator.h"

// Thrown where the command line does not say what the operator would: a question without
// --yes/--no, an entry without --entry, a scheme the unit does not offer. The program ends
// with the usage exit code.
struct CliUsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Text from the unit's CR LF lines to this machine's line ends.
std::string TerminalText(const std::string& text);

class CliOperator : public IOperator {
 public:
  explicit CliOperator(std::FILE* messages = stderr) : out_(messages) {}

  // The answer to every question (--yes / --no), answers to particular questions with the
  // option that gave them (report's --release-test), and the answers given when neither says (a
  // safe default).
  std::optional<bool> answer;
  struct GivenAnswer {
    bool yes;
    std::string option;
  };
  std::map<Question, GivenAnswer> answerFor;
  std::map<Question, bool> defaults;
  // How many times one step may be repeated: the first answer to a question is always the
  // option's; the same question at the same step asked again with no progress in between is a
  // repeat, and a repeat past this many is answered No, so that a unit that never takes a
  // setting cannot keep a "Retry?" going for ever.
  int retries = 3;
  // The file that the file chooser gives, and the text that the entry dialog gives.
  std::string file;
  std::optional<std::string> entry;
  // Quickset: the scheme button's caption and the power and gain names (empty: as shown).
  std::string scheme, power, gain;

  // Whether a question will be answered, and by what ("--yes", "--release-test", "default").
  bool WillAnswer(Question id) const { return answerFor.count(id) || answer || defaults.count(id); }

  MbAnswer MessageBox(const std::string& text, const std::string& caption, MbButtons buttons, MbIcon icon) override;
  MbAnswer AskAt(Question id, int step, const std::string& text, const std::string& caption, MbIcon icon) override;
  std::string AnswerSource() const override { return source_; }
  void ShowBusy() override {}
  void SetBusyCaption(const std::string&) override {}
  void HideBusy() override {}
  void WaitCursor(bool) override {}
  std::optional<std::string> Entry(const std::string& title, const std::string& value, bool useEnterButton) override;
  std::optional<std::string> ChooseFile(const std::string& initialFolder, int kind) override;
  PortChoice SelectPort(const std::vector<bool>& portPresent) override;
  void ShowProgress(bool) override {}
  void SetProgress(int percent) override;
  DialogEnd RunQuicksetDialog(CQuicksetDlg& dialog) override;
  DialogEnd RunAdvancedDialog(CAdvancedDlg& dialog) override;
  DialogEnd RunAddressDialog(CAddressDlg& dialog) override;

 private:
  std::FILE* out_;
  int lastPercent_ = -1;
  std::string source_ = "operator";
  // How many times each question was asked at each step since the last progress: by identity
  // and step, never by text (a read-back's text carries the mask of the replies that failed).
  std::map<std::pair<Question, int>, int> asked_;
};
