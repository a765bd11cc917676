// What the operations need of the main window, the one interface they all use: its pane text,
// the reply the pane shows, the exchange between its controls and its fields, and ShowReply.
// The window's class (CTesterDlg, ui/) implements it; tests give a small window of their own.
#pragma once
#include <cstdint>
#include <string>

#include "platform/fixed_text.h"

class IMainWindow {
 public:
  virtual ~IMainWindow() = default;
  // The pane's text as a field: written by the operations, shown by Push.
  virtual std::string& PaneText() = 0;
  // The reply an operation leaves for the pane (2,500 characters; a longer one is cut): the
  // window keeps it, so "Display raw replies" can show it again.
  virtual TextSpan Reply() = 0;
  // Copies the controls' values into the fields / the fields into the controls.
  virtual void Pull() = 0;
  virtual void Push() = 0;
  // Replaces the pane's text with the reply (under the status report when header is set, or
  // the whole pane while raw replies are shown), hides the busy window and pushes.
  virtual void ShowReply(const char* text, uint8_t header) = 0;
};
