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

  // The answer to every question (--yes / --no), and answers to particular questions.
  std::optional<bool> answer;
  std::map<std::string, bool> answerFor;
  // While set, a question without an answer is answered No and noted in `unanswered` rather
  // than thrown: the program load must still bring the unit out of its bootloader.
  bool answerNoWhenUnanswered = false;
  std::string unanswered;
  // The file that the file chooser gives, and the text that the entry dialog gives.
  std::string file;
  std::optional<std::string> entry;
  // Quickset: the scheme button's caption and the power and gain names (empty: as shown).
  std::string scheme, power, gain;

  // What was seen: the comms check failed; a box with the stop icon was shown.
  bool commsFailed = false;
  bool stopShown = false;

  MbAnswer MessageBox(const std::string& text, const std::string& caption, MbButtons buttons, MbIcon icon) override;
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
  std::map<std::string, int> yesCount_;
};
