// The main window on a bench: the toolkit-free window with a recording view, the simulated
// unit and ports, the scripted operator, a fresh data folder and virtual time.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/test_bench.h"
#include "ui/connection_status.h"
#include "ui/tester_dlg.h"

// Stands in for the Qt window: remembers what was pushed (the pane, the status line at each
// push) and holds the value that a pull copies (the hidden check box).
struct RecordingView : IDialogView {
  bool checkBox = false;
  std::string pushedPane;
  std::vector<std::string> statusLines;
  int timerId = 0;
  std::optional<bool> ended;  // how the window was ended, once it was

  void Pull(CTesterDlg& dlg) override { dlg.rawReplies = checkBox; }
  void Push(const CTesterDlg& dlg) override {
    pushedPane = dlg.paneText;
    checkBox = dlg.rawReplies;
    statusLines.push_back(ConnectionStatus::Of(dlg).Text());
  }
  void ControlChanged(const CTesterDlg&, int) override {}
  void StartTimer(int id, int) override { timerId = id; }
  void EndDialog(bool ok) override {
    EXPECT_FALSE(ended.has_value()) << "ended twice";
    ended = ok;
  }
};

struct WindowOnBench {
  // unitPort: where the unit is; ports 1..portCount exist as well.
  explicit WindowOnBench(int unitPort = 4, int portCount = 6)
      : root(FreshTempDir("ui")), bench(clock, unitPort, portCount) {
    dlg = std::make_unique<CTesterDlg>(bench.port, op, DataPaths{root}, &view);
  }
  ~WindowOnBench() {
    dlg.reset();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  // Start-up as the program runs it: the dialog's initialisation, then the search timer.
  void Start() {
    dlg->OnInitDialog();
    dlg->OnTimer(view.timerId);
  }
  SimUnit& sim() { return *bench.unit; }
  std::string& wire() { return bench.line().written; }

  // The ids of the visible controls.
  std::set<int> Visible() const {
    std::set<int> ids;
    for (const auto& c : MainControls())
      if (dlg->IsVisible(c.id)) ids.insert(c.id);
    return ids;
  }

  VirtualClock clock;
  std::filesystem::path root;
  SimBench bench;
  ScriptedOperator op;
  RecordingView view;
  std::unique_ptr<CTesterDlg> dlg;
};
