// The operator as the session log sees it: every box shown, every question with its answer and
// who gave it, every entry prompt with what was entered, written to the log; everything else
// passed on unchanged to the operator that really answers (the window's, the command line's).
#pragma once
#include "platform/operator.h"
#include "platform/session_log.h"

class LoggedOperator : public IOperator {
 public:
  explicit LoggedOperator(IOperator& inner) : inner_(inner) {}

  MbAnswer MessageBox(const std::string& text, const std::string& caption, MbButtons buttons, MbIcon icon) override {
    const MbAnswer a = inner_.MessageBox(text, caption, buttons, icon);
    if (buttons == MbButtons::Ok) LogBox(caption, text);
    else LogQuestion(QuestionName(Question::Unnamed), text, AnswerName(a), inner_.AnswerSource());
    return a;
  }
  MbAnswer AskAt(Question id, int step, const std::string& text, const std::string& caption, MbIcon icon) override {
    const MbAnswer a = inner_.AskAt(id, step, text, caption, icon);
    LogQuestion(QuestionName(id), text, AnswerName(a), inner_.AnswerSource());
    return a;
  }
  std::string AnswerSource() const override { return inner_.AnswerSource(); }
  void ShowBusy() override { inner_.ShowBusy(); }
  void SetBusyCaption(const std::string& caption) override { inner_.SetBusyCaption(caption); }
  void HideBusy() override { inner_.HideBusy(); }
  void WaitCursor(bool on) override { inner_.WaitCursor(on); }
  std::optional<std::string> Entry(const std::string& title, const std::string& value, bool useEnter) override {
    return Logged(Prompt::Unnamed, title, inner_.Entry(title, value, useEnter));
  }
  std::optional<std::string> AskEntry(Prompt id, const std::string& title, const std::string& value,
                                      bool useEnter) override {
    return Logged(id, title, inner_.AskEntry(id, title, value, useEnter));
  }
  std::optional<std::string> ChooseFile(const std::string& initialFolder, int kind) override {
    auto file = inner_.ChooseFile(initialFolder, kind);
    LogEvent("file", file ? EscapeBytes(*file) : std::string("(none chosen)"));
    return file;
  }
  PortChoice SelectPort(const std::vector<bool>& portPresent) override { return inner_.SelectPort(portPresent); }
  void ShowProgress(bool visible) override { inner_.ShowProgress(visible); }
  void SetProgress(int percent) override { inner_.SetProgress(percent); }
  DialogEnd RunQuicksetDialog(CQuicksetDlg& d) override { return inner_.RunQuicksetDialog(d); }
  DialogEnd RunAdvancedDialog(CAdvancedDlg& d) override { return inner_.RunAdvancedDialog(d); }
  DialogEnd RunAddressDialog(CAddressDlg& d) override { return inner_.RunAddressDialog(d); }

 private:
  static const char* AnswerName(MbAnswer a) {
    switch (a) {
      case MbAnswer::Ok: return "OK";
      case MbAnswer::Yes: return "Yes";
      case MbAnswer::No: return "No";
      case MbAnswer::Cancel: return "Cancel";
    }
    return "?";
  }
  std::optional<std::string> Logged(Prompt id, const std::string& title, std::optional<std::string> value) {
    LogQuestion(PromptName(id), title, value ? "\"" + EscapeBytes(*value) + "\"" : std::string("(cancelled)"),
                inner_.AnswerSource());
    return value;
  }

  IOperator& inner_;
};
