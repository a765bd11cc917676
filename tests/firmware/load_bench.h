// A unit on the bench with a program file to load through "Bootload new program", in virtual
// time, the scripted operator answering: shared by the load tests.
#pragma once
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "firmware/bootload_action.h"
#include "platform/session_log.h"
#include "tests/support/test_bench.h"
#include "tools/sample_programs.h"

// A unit on the bench with a program file to load.
struct LoadBench {
  LoadBench() {
    // The PC's local time: 09:08:07 when the bench starts, moving with the virtual clock.
    b.unit->localNow = [this] {
      DateTime t = DateTime::FromCivil(CivilTime{2026, 3, 4, 9, 8, 7});
      t.value += static_cast<double>(b.clock.NowMs()) / 86400000.0;
      times.push_back(t.ToCivil());
      return t;
    };
  }
  // Writes the program (the small sample unless changed), chooses it in the dialog and runs the
  // action.
  bool RunAction() {
    const std::string path = (b.root / "small.a07").string();
    std::ofstream(path, std::ios::binary) << text;
    b.op.files.push_back(path);
    outcome = BootloadNewProgram(b.unit->loader);
    pane = outcome.pane;
    return !outcome.pane.empty();  // a load ran
  }
  // The question asked after a failed record.
  static std::string Question(const char* message, int number) {
    char text[300];
    std::snprintf(text, sizeof text, "%s\r\n(Error number %d)\r\nTry to continue programming", message, number);
    return text;
  }

  UnitOnBench b;
  // Line `index` of the file becomes `replacement` once the unit is on its way to its
  // bootloader, after the file was checked.
  void ChangeLineAfterTheCheck(size_t index, std::string replacement) {
    std::vector<std::string> lines = WireLines(text);
    lines[index] = replacement;
    b.sim().HandleBoot([this, lines](SimUnit&, const std::string&) {
      std::ofstream out(b.root / "small.a07", std::ios::binary);
      for (const std::string& l : lines) out << l << "\r\n";
      return std::optional<std::string>();
    });
  }

  // The session log's text of one run.
  std::string LoggedRun() {
    EXPECT_NE(SessionLog::Start(DataPaths{b.root}, true, "test"), nullptr);
    RunAction();
    SessionLog::Stop();
    return LoggedText(b.root);
  }

  std::string text = MakeSampleProgram(SmallSampleProgram());
  std::string pane;
  Outcome outcome;
  std::vector<CivilTime> times;
};
