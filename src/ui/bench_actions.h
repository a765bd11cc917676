// The main window's actions for the bench tests, the test report, the status files and the
// export, written against the few parts of the window they use (BenchWindow), so they need
// no toolkit and no window class. The window fills a BenchWindow with its own fields and
// operations (BenchWindowOf does it for any window with the usual member names) and calls
// the action from its button handler.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/fixed_text.h"
#include "platform/outcome.h"
#include "quickset/quickset_flow.h"

class CTransponder;

struct BenchWindow {
  std::string& paneText;
  // The six command-button entries.
  int32_t* commandTimeout;
  FixedText<200>* commandText;
  FixedText<50>* commandCaption;
  // Copies the controls' values into the fields / the fields into the controls.
  std::function<void()> pull;
  std::function<void()> push;
  // Replaces the pane's text with the reply (and the status report), hides the busy window.
  std::function<void(const char* text, uint8_t header)> showReply;
  // Shows each command button that has a caption and a command, with its caption.
  std::function<void()> updateCommandButtons;
};

// A BenchWindow bound to a window's fields paneText, commandTimeout, commandText,
// commandCaption and its operations Pull, Push, ShowReply and UpdateCommandButtons.
template <typename Window>
BenchWindow BenchWindowOf(Window& w) {
  return BenchWindow{w.paneText,
                     w.commandTimeout,
                     w.commandText,
                     w.commandCaption,
                     [&w] { w.Pull(); },
                     [&w] { w.Push(); },
                     [&w](const char* text, uint8_t header) { w.ShowReply(text, header); },
                     [&w] { w.UpdateCommandButtons(); }};
}

// "Acoustic check": status read, the mode question when wideband is available, the test
// transponder's address for wideband, then the check.
Outcome AcousticCheckAction(CTransponder& unit, BenchWindow& window);
// "Hardware self test" and "Release test": status read, then the test. Done when the unit
// answered and passed; the result (also in the unit's currentChecks) is in testResult.
Outcome HardwareSelfTestAction(CTransponder& unit, BenchWindow& window);
Outcome ReleaseTestAction(CTransponder& unit, BenchWindow& window);
// "Set as test transponder": a complete status read first, the mode question, the set-up.
Outcome SetAsTestTransponderAction(CTransponder& unit, BenchWindow& window);
// "Produce test report": the report in the pane and in ROOT/T7Status/<serial number>.txt.
// Done when made and stored and the self test passed; BadFile when the file could not be
// written; Declined when the operator stopped at an incomplete status.
Outcome TestReportAction(CTransponder& unit, BenchWindow& window);
// "Get file status": the check report of every unit of the current-status file; nothing is
// sent to the unit.
Outcome GetFileStatusAction(CTransponder& unit, BenchWindow& window);
// "Set new status": applies the unit's pending entry of the new-status file, reads the unit
// back and verifies it (differences in the outcome). Refused (BadFile when the file is
// missing) when the file holds no entry for the unit.
Outcome SetNewStatusAction(CTransponder& unit, BenchWindow& window);
// "Export status": the current-status file over the serial line.
Outcome ExportStatusAction(CTransponder& unit, BenchWindow& window);
// "Load test commands", "Command 1".."Command 6" (index 0..5) and "Manual command".
Outcome LoadTestCommandsAction(CTransponder& unit, BenchWindow& window);
Outcome CommandButtonAction(CTransponder& unit, BenchWindow& window, int index);
Outcome ManualCommandAction(CTransponder& unit, BenchWindow& window);
