// The operator of the tests: answers every question from a queue and records every box, busy
// caption and dialog in order. A question the queue does not answer is reported through
// `unscripted` (the test programs make it fail the running test, naming the question) and then
// answered No (or Cancel), so a fault that keeps asking ends instead of looping for ever.
#pragma once
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/operator.h"
#include "quickset/address_dlg.h"
#include "quickset/advanced_dlg.h"
#include "quickset/quickset_dlg.h"

class ScriptedOperator : public IOperator {
 public:
  struct Box {
    std::string text;
    std::string caption;
    MbButtons buttons;
    MbIcon icon;
    MbAnswer answer;
  };

  // Called with the question when a box asks and no answer is queued; set once per program.
  inline static void (*unscripted)(const std::string& question) = nullptr;

  // Answers for message boxes that ask (Yes/No, OK/Cancel), in order.
  std::deque<MbAnswer> answers;
  // Values typed into entry dialogs, in order (nothing: cancelled; the shown value: kept).
  std::deque<std::optional<std::string>> entries;
  // Files chosen in the file dialog, in order (nothing: cancelled).
  std::deque<std::optional<std::string>> files;
  // Port chosen in the port selection dialog.
  std::deque<PortChoice> portChoices;

  // What the operator does in each settings dialog, in order: a script acts on the dialog's
  // state once it has opened, as the operator would (press a scheme, choose a list entry, press
  // "Set"). A dialog whose script leaves it open (an empty script) is cancelled; a dialog with no
  // script queued is unscripted, and cancelled.
  std::deque<std::function<void(CQuicksetDlg&)>> quicksetScripts;
  std::deque<std::function<void(CAdvancedDlg&)>> advancedScripts;
  std::deque<std::function<void(CAddressDlg&)>> addressScripts;
  // The captions of the settings dialogs shown, in order.
  std::vector<std::string> dialogs;

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
      if (!answers.empty()) {
        a = answers.front();
        answers.pop_front();
      } else {
        if (unscripted) unscripted(caption + ": " + text);
        a = buttons == MbButtons::YesNo ? MbAnswer::No : MbAnswer::Cancel;
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
    if (entries.empty()) {
      if (unscripted) unscripted("entry dialog: " + title + " (" + value + ")");
      return std::nullopt;
    }
    auto v = entries.front();
    entries.pop_front();
    return v;
  }
  std::optional<std::string> ChooseFile(const std::string& title, int) override {
    if (files.empty()) {
      if (unscripted) unscripted("file dialog in " + title);
      return std::nullopt;
    }
    auto f = files.front();
    files.pop_front();
    return f;
  }
  PortChoice SelectPort(const std::vector<bool>& present) override {
    portDialogs.push_back(present);
    if (portChoices.empty()) {
      if (unscripted) unscripted("port selection");
      return PortChoice{0};
    }
    auto c = portChoices.front();
    portChoices.pop_front();
    return c;
  }
  void ShowProgress(bool visible) override { progressVisible = visible; }
  void SetProgress(int percent) override { progress.push_back(percent); }

  DialogEnd RunQuicksetDialog(CQuicksetDlg& dlg) override {
    return RunDialog(dlg, quicksetScripts, CQuicksetDlg::kCaption);
  }
  DialogEnd RunAdvancedDialog(CAdvancedDlg& dlg) override {
    return RunDialog(dlg, advancedScripts, CAdvancedDlg::kCaption);
  }
  DialogEnd RunAddressDialog(CAddressDlg& dlg) override {
    DialogEnd end = RunDialog(dlg, addressScripts, CAddressDlg::kCaption);
    for (const auto& m : dlg.refusals)
      boxes.push_back({m.text, m.caption, MbButtons::Ok, MbIcon::Information, MbAnswer::Ok});
    return end;
  }

  // The texts of the boxes shown, in order.
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> t;
    for (const auto& b : boxes) t.push_back(b.text);
    return t;
  }

 private:
  template <typename Dlg>
  DialogEnd RunDialog(Dlg& dlg, std::deque<std::function<void(Dlg&)>>& scripts, const char* caption) {
    dialogs.push_back(caption);
    dlg.OnInitDialog();
    if (scripts.empty()) {
      if (unscripted) unscripted(std::string("dialog: ") + caption);
    } else {
      auto script = std::move(scripts.front());
      scripts.pop_front();
      if (script) script(dlg);
    }
    if (!dlg.closed) dlg.OnCancel();
    return dlg.end;
  }
};
