// The main window as the flows see it, with nothing drawn: for tests and benchmarks that run
// an action without the window's class.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "platform/main_window.h"
#include "unit/transponder.h"

// A main window for the tests and benchmarks that need only its interface: the pane's text,
// and each reply shown with its header (ShowReply hides the busy window, as the window's does).
struct ScriptedWindow : IMainWindow {
  explicit ScriptedWindow(CTransponder& unit) : unit_(unit) {}
  std::string pane;
  std::vector<std::pair<std::string, int>> replies;
  std::string& PaneText() override { return pane; }
  TextSpan Reply() override { return TextSpan(reply); }
  char reply[CTransponder::kReplyTextSize] = {};
  void Pull() override {}
  void Push() override {}
  void ShowReply(const char* text, uint8_t header) override {
    replies.emplace_back(text ? text : "", header);
    unit_.HideBusy();
  }

 private:
  CTransponder& unit_;
};
