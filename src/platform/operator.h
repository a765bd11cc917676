// Everything the terminal asks of the person at the bench: message boxes, the busy window,
// the wait cursor, the one-line entry dialog, the file chooser, the port choice and the
// program-load progress bar. The Qt program shows real windows; tests use ScriptedOperator,
// which answers from a queue and records every box in order.
#pragma once
#include <optional>
#include <string>
#include <vector>

enum class MbButtons { Ok, YesNo, OkCancel };
enum class MbIcon { None, Exclamation, Question, Information, Stop };
enum class MbAnswer { Ok, Yes, No, Cancel };

// The caption of a box that the platform gives its default caption (the program's name).
inline constexpr const char* kDefaultCaption = "";

// How one of the three settings dialogs was closed: by its "Set", "Advanced", "OK" button, or
// cancelled (also when the dialog could not be shown at all).
enum class DialogEnd { Cancelled, Set, Advanced, Ok };

class CQuicksetDlg;
class CAdvancedDlg;
class CAddressDlg;

// Every Yes/No question the terminal asks, by name, so that a reader answers or records it
// without comparing its text. The text shown stays the operation's own.
enum class Question {
  Unnamed,
  WidebandMode,         // acoustic check and test transponder: wideband (Yes) or tone (No)
  IncompleteStatus,     // test report: the status read was incomplete, continue anyway?
  RunReleaseTest,       // test report: run the release test?
  ExportTransferTime,   // export: the transfer takes this long, continue?
  StatusRecoveryRetry,  // quick set: the read-back was incomplete, retry?
  SettingsRetry,        // quick set: the unit was not set correctly, retry?
  EnableOrDisable,      // quick set: leave the unit enabled (Yes) or disable it (No)
  ContinueProgramming,  // program load: a record was refused, try to continue?
};
// Every entry prompt, by name.
enum class Prompt { Unnamed, AtmosphericPressure, SerialNumber, TestTransponderAddress };

// The names the session log and the command line give them ("release-test" ...).
const char* QuestionName(Question q);
const char* PromptName(Prompt p);

struct PortChoice {
  int chosenPort = 0;  // 0 none chosen, -1 no ports at all, else the COM number
};

class IOperator {
 public:
  virtual ~IOperator() = default;

  virtual MbAnswer MessageBox(const std::string& text, const std::string& caption, MbButtons buttons, MbIcon icon) = 0;

  // A Yes/No question with its identity, asked at a step of the operation: the file line of a
  // program load, the round of a quick set's update and read-back (0 where the operation has
  // one). The same question at the same step again, with no progress in between, is a repeat
  // of that step (a "Retry?" answered Yes); an operator that answers by name (the command line)
  // counts the repeats by question and step, whatever the text says, and overrides AskAt. The
  // others show it as a Yes/No box.
  virtual MbAnswer AskAt(Question id, int step, const std::string& text, const std::string& caption, MbIcon icon) {
    (void)id;
    (void)step;
    return MessageBox(text, caption, MbButtons::YesNo, icon);
  }
  MbAnswer Ask(Question id, const std::string& text, const std::string& caption, MbIcon icon) {
    return AskAt(id, 0, text, caption, icon);
  }
  // Who gave the last answer, for the session log: "operator", or the command line's "--yes",
  // "--no", "default" ...
  virtual std::string AnswerSource() const { return "operator"; }

  // The modeless busy window: it disables the main window while it is shown.
  virtual void ShowBusy() = 0;
  virtual void SetBusyCaption(const std::string& caption) = 0;
  virtual void HideBusy() = 0;

  virtual void WaitCursor(bool on) = 0;

  // The one-line entry dialog: title is the prompt, value the default. useEnterButton picks
  // "Enter" rather than "OK". Returns the value entered, or nothing when it was cancelled.
  virtual std::optional<std::string> Entry(const std::string& title, const std::string& value, bool useEnterButton) = 0;
  // An entry prompt with its identity; by default the entry dialog.
  virtual std::optional<std::string> AskEntry(Prompt id, const std::string& title, const std::string& value,
                                              bool useEnterButton) {
    (void)id;
    return Entry(title, value, useEnterButton);
  }

  // The file-open dialog. kind 0: program files, 1: command files. Returns the chosen path.
  virtual std::optional<std::string> ChooseFile(const std::string& initialFolder, int kind) = 0;

  // The port selection dialog over the ports that exist (portPresent[1..10]).
  virtual PortChoice SelectPort(const std::vector<bool>& portPresent) = 0;

  // The program-load progress bar under the reply pane.
  virtual void ShowProgress(bool visible) = 0;
  virtual void SetProgress(int percent) = 0;

  // The three settings dialogs, run modally on their state (quickset/). The caller fills the
  // dialog's members before and reads its flags and working copy after. An operator that has
  // no such dialog leaves the state as constructed, which reads as cancelled.
  virtual DialogEnd RunQuicksetDialog(CQuicksetDlg&) { return DialogEnd::Cancelled; }
  virtual DialogEnd RunAdvancedDialog(CAdvancedDlg&) { return DialogEnd::Cancelled; }
  virtual DialogEnd RunAddressDialog(CAddressDlg&) { return DialogEnd::Cancelled; }
};
