// The operator of the tests: answers every question from a queue (Yes, or OK, when the queue
// is empty), and records every box, busy caption and dialog in order.
#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/operator.h"

class ScriptedOperator : public IOperator {
 public:
  struct Box {
    std::string text;
    std::string caption;
    MbButtons buttons;
    MbIcon icon;
    MbAnswer answer;
  };

  // Answers for message boxes that ask (Yes/No, OK/Cancel), in order.
  std::deque<MbAnswer> answers;
  // Values typed into entry dialogs, in order (nothing: cancelled).
  std::deque<std::optional<std::string>> entries;
  // Files chosen in the file dialog, in order (nothing: cancelled).
  std::deque<std::optional<std::string>> files;
  // Port chosen in the port selection dialog.
  std::deque<PortChoice> portChoices;

  std::vector<Box> boxes;
  std::vector<std::string> busyCaptions;
  std::vector<std::string> entryTitles;
  std::vector<std::vector<bool>> portDialogs;
  std::vector<int> progress;
  int busyShows = 0;
  int busyHides = 0;
  bool busyVisible = false;
  bool progressVisible = false;

  MbAnswer MessageBox(const std::string& text, const std::string& caption, MbButtons buttons, MbIcon icon) override {
    MbAnswer a = MbAnswer::Ok;
    if (buttons != MbButtons::Ok) {
      a = buttons == MbButtons::YesNo ? MbAnswer::Yes : MbAnswer::Ok;
      if (!answers.empty()) {
        a = answers.front();
        answers.pop_front();
      }
    }
    boxes.push_back({text, caption, buttons, icon, a});
    return a;
  }
  void ShowBusy() override {
    ++busyShows;
    busyVisible = true;
  }
  void SetBusyCaption(const std::string& caption) override { busyCaptions.push_back(caption); }
  void HideBusy() override {
    ++busyHides;
    busyVisible = false;
  }
  void WaitCursor(bool) override {}
  std::optional<std::string> Entry(const std::string& title, const std::string& value, bool) override {
    entryTitles.push_back(title);
    if (entries.empty()) return value;
    auto v = entries.front();
    entries.pop_front();
    return v;
  }
  std::optional<std::string> ChooseFile(const std::string&, int) override {
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
  PortChoice SelectPort(const std::vector<bool>& present) override {
    portDialogs.push_back(present);
    if (portChoices.empty()) return PortChoice{0};
    auto c = portChoices.front();
    portChoices.pop_front();
    return c;
  }
  void ShowProgress(bool visible) override { progressVisible = visible; }
  void SetProgress(int percent) override { progress.push_back(percent); }

  // The texts of the boxes shown, in order.
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> t;
    for (const auto& b : boxes) t.push_back(b.text);
    return t;
  }
};
