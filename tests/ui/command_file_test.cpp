// Command files: reading the lines (caption, command, terminator, time-out; fields cut, never
// overrun), loading a file into the six buttons of the main window, and running the buttons
// against the simulated unit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sim/sim_tests.h"
#include "tests/ui/ui_support.h"
#include "ui/bench_actions.h"
#include "ui/command_file.h"

namespace {

std::string DataFile(const char* name) { return std::string(VT_SOURCE_DIR) + "/tests/data/" + name; }

TEST(CommandLine, CaptionCommandTerminatorAndTimeout) {
  struct Case {
    const char* line;
    const char* caption;
    const char* command;
    int32_t timeout;
  };
  const Case cases[] = {
      {"Self test^#CKHW^25\n", "Self test", "#CKHW", 25},
      {"Ping^#RRTC\n", "Ping", "#RRTC", 3},
      {"X^#GCMD,4^-5\n", "X", "#GCMD,4", -5},
      {"X^#GCMD,4^-\n", "X", "#GCMD,4", -3},
      {"X^#GCMD,4^0\n", "X", "#GCMD,4", 0},
      {"X^#GCMD,4^12345\n", "X", "#GCMD,4", 123},  // three digits at most
      {"Ping^#RRTC\r\n", "Ping", "#RRTC", 3},       // a Windows line end: the CR ends the command
      {"X^#RR\xB0TC^9\n", "X", "#RR", 3},            // so does a byte above 127
      {"No caret here\n", "", "", 3},
      {"Ping^#RRTC", "Ping", "", 3},  // a last line without its newline has no command
  };
  for (const Case& c : cases) {
    const CommandEntry e = ParseCommandLine(c.line);
    EXPECT_EQ(e.caption.str(), c.caption) << c.line;
    EXPECT_EQ(e.command.str(), c.command) << c.line;
    EXPECT_EQ(e.timeout, c.timeout) << c.line;
  }
}

TEST(CommandLine, LongFieldsAreCutToTheirCapacityAndTheLineStillReadsRight) {
  const std::string caption49(49, 'c');
  CommandEntry e = ParseCommandLine((caption49 + "^#RRTC^7\n").c_str());
  EXPECT_EQ(e.caption.str(), caption49);
  EXPECT_EQ(e.timeout, 7);

  const std::string caption80(80, 'c');
  e = ParseCommandLine((caption80 + "^#RRTC^7\n").c_str());
  EXPECT_EQ(e.caption.str(), std::string(49, 'c'));
  EXPECT_EQ(e.command.str(), "#RRTC");
  EXPECT_EQ(e.timeout, 7);

  const std::string command(230, 'k');
  e = ParseCommandLine(("C^" + command + "^-9\n").c_str());
  EXPECT_EQ(e.command.str(), std::string(199, 'k'));
  EXPECT_EQ(e.timeout, -9);
}

TEST(CommandFile, LongLinesAreSplitAndOnlySixAreRead) {
  const auto dir = FreshTempDir("cmdfile");
  const auto path = dir / "long.T7d";
  {
    std::ofstream out(path, std::ios::binary);
    out << "A^" << std::string(300, 'k') << "^5\n";  // 249 characters, then the rest as the next line
    out << "B^#RRTC^4\nC^#RRTC\nD^#RRTC\nE^#RRTC\nF^#RRTC\nG^#RRTC\n";
  }
  std::FILE* f = std::fopen(path.string().c_str(), "r");
  ASSERT_NE(f, nullptr);
  CommandEntry entries[kCommandButtons];
  EXPECT_EQ(ReadCommandFile(f, entries), 6);
  std::fclose(f);
  EXPECT_EQ(entries[0].caption.str(), "A");
  EXPECT_TRUE(entries[0].command.empty());  // its line ended before a terminator
  EXPECT_EQ(entries[1].caption.str(), std::string(49, 'k'));  // the rest of the long line
  EXPECT_EQ(entries[1].command.str(), "5");
  EXPECT_EQ(entries[2].caption.str(), "B");
  EXPECT_EQ(entries[5].caption.str(), "E");
  std::filesystem::remove_all(dir);
}

struct CommandButtons : ::testing::Test {
  CommandButtons() : window(BenchWindowOf(*b.dlg)) { b.dlg->OnInitDialog(); }
  CTransponder& unit() { return b.dlg->unit; }
  void Load(const char* name) {
    b.op.files.push_back(DataFile(name));
    ASSERT_TRUE(LoadCommandFile(unit(), window));
  }
  WindowOnBench b;
  BenchWindow window;
};

TEST_F(CommandButtons, FileGivesTheButtonsTheirCaptionsAndAShortFileLeavesTheRest) {
  Load("bench_six_commands.T7d");
  EXPECT_TRUE(b.dlg->IsVisible(ctl::kCommand6));
  EXPECT_EQ(b.dlg->ControlText(ctl::kCommand1), "Self test");
  EXPECT_EQ(b.dlg->ControlText(ctl::kCommand6), "Quick ping");

  Load("bench_four_commands.T7d");
  EXPECT_EQ(b.dlg->ControlText(ctl::kCommand1), "Status");
  EXPECT_EQ(b.dlg->commandTimeout[1], 3);
  EXPECT_EQ(b.dlg->commandTimeout[3], -3);
  // Buttons 5 and 6 keep what the first file gave them.
  EXPECT_EQ(b.dlg->ControlText(ctl::kCommand5), "Wideband mode");
  EXPECT_EQ(b.dlg->commandText[5].str(), "#RRTC");
  EXPECT_EQ(b.dlg->commandTimeout[5], -5);
  EXPECT_TRUE(b.dlg->IsVisible(ctl::kCommand6));

  Load("bench_crlf_commands.T7d");
  EXPECT_EQ(b.dlg->commandText[0].str(), "#CKHW");
  EXPECT_EQ(b.dlg->commandTimeout[0], 25);
  EXPECT_EQ(b.dlg->commandText[1].str(), "#RRTC");
}

TEST_F(CommandButtons, NoFileOrAnUnreadableOneLeavesTheButtons) {
  Load("bench_six_commands.T7d");
  EXPECT_FALSE(LoadCommandFile(unit(), window));  // cancelled
  b.op.files.push_back(DataFile("no_such_file.T7d"));
  EXPECT_FALSE(LoadCommandFile(unit(), window));
  const auto texts = b.op.BoxTexts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Illegal command file");
  EXPECT_EQ(texts[1], "Unable to open command file");
  EXPECT_EQ(b.op.boxes[0].caption, "Command Load");
  EXPECT_EQ(b.op.boxes[1].icon, MbIcon::Exclamation);
  EXPECT_EQ(b.dlg->ControlText(ctl::kCommand1), "Self test");
}

TEST_F(CommandButtons, NegativeTimeoutSkipsTheCommsCheckAndWaitsThatLong) {
  Load("bench_six_commands.T7d");
  b.wire().clear();
  b.sim().faults.silent = true;
  const uint64_t start = b.clock.NowMs();
  RunCommandButton(unit(), window, 5);  // Quick ping^#RRTC^-5
  const uint64_t took = b.clock.NowMs() - start;
  EXPECT_EQ(b.wire(), "#RRTC\r\n#RRTC\r\n");  // two attempts, no comms check before them
  EXPECT_GT(took, 2 * (540 + 5000u));
  EXPECT_LE(took, 2 * (540 + 7000u));
  EXPECT_TRUE(b.op.boxes.empty());
}

TEST_F(CommandButtons, ZeroTimeoutUsesTheCommandTableAndAMinusAloneThreeSeconds) {
  Load("bench_six_commands.T7d");  // Wideband mode^#GCMD,4^0
  // The unit answers the comms check but not the command.
  b.sim().Handle("GCMD", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.silent = true;
    return r;
  });
  b.wire().clear();
  uint64_t start = b.clock.NowMs();
  RunCommandButton(unit(), window, 4);
  uint64_t took = b.clock.NowMs() - start;
  EXPECT_EQ(b.wire(), "#RRTC\r\n#GCMD,4\r\n#GCMD,4\r\n");
  EXPECT_GT(took, 2 * (540 + 12000u));
  EXPECT_LE(took, 2 * (540 + 14000u) + 1000);

  b.dlg->commandTimeout[4] = -3;  // "-" alone
  b.bench.port.failuresLeft = 3;   // no comms check renews the budget the first run spent
  b.wire().clear();
  start = b.clock.NowMs();
  RunCommandButton(unit(), window, 4);
  took = b.clock.NowMs() - start;
  EXPECT_EQ(b.wire(), "#GCMD,4\r\n#GCMD,4\r\n");
  EXPECT_GT(took, 2 * (540 + 3000u));
  EXPECT_LE(took, 2 * (540 + 5000u));
}

TEST_F(CommandButtons, HardwareCheckButtonSendsTheCheckThenItsOwnCommand) {
  Load("bench_six_commands.T7d");
  b.wire().clear();
  RunCommandButton(unit(), window, 0);  // Self test^#CKHW^25
  const std::string& w = b.wire();
  const size_t first = w.find("#CKHW\r\n");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(w.find("#CKHW\r\n", first + 1), std::string::npos);
  EXPECT_EQ(b.sim().state.tests.selfTests, 2);
  EXPECT_EQ(b.dlg->paneText.rfind(unit().status.replyText, 0), 0u);
}

TEST_F(CommandButtons, UnitThatDoesNotKnowTheHardwareCheckGetsTheNote) {
  Load("bench_six_commands.T7d");
  b.sim().state.tests.selfTestSilent = true;
  RunCommandButton(unit(), window, 0);
  EXPECT_EQ(std::string(unit().status.replyText), kPreHardwareCheckNote);
  EXPECT_EQ(b.dlg->paneText.rfind(std::string(kPreHardwareCheckNote) + "\r\n\r\n", 0), 0u);
  EXPECT_EQ(b.sim().state.tests.selfTests, 2);  // two attempts, then nothing more
}

TEST_F(CommandButtons, ReleaseButtonRunsTheReleaseTestWithAStatusReadFirst) {
  Load("bench_six_commands.T7d");
  b.wire().clear();
  b.sim().state.tests.releaseCode = 3;
  unit().utcNow = [] { return DateTime::FromCivil({2026, 12, 4, 21, 59, 0}); };
  RunCommandButton(unit(), window, 1);
  EXPECT_LT(b.wire().find("#HWST"), b.wire().find("#RTST"));
  EXPECT_EQ(unit().status.currentChecks.ReleaseResult, 3);
}

TEST_F(CommandButtons, SerialNumberButtonAsksForTheNumberAndSetsIt) {
  Load("bench_six_commands.T7d");
  b.wire().clear();
  b.op.entries.push_back(std::string("12345-07"));
  RunCommandButton(unit(), window, 2);
  EXPECT_EQ(b.op.entryTitles, std::vector<std::string>{"Enter serial number as xxxxx-yy"});
  EXPECT_NE(b.wire().find("#ENDB,1\r\n"), std::string::npos);
  EXPECT_NE(b.wire().find("#TPSN,12345,7\r\n"), std::string::npos);
}

TEST_F(CommandButtons, ManualCommandListsTheStoredUnits) {
  char scratch[CTransponder::kReplyTextSize];
  ASSERT_TRUE(unit().GetStatus("", scratch, false));
  b.wire().clear();
  ManualCommandAction(unit(), window);
  EXPECT_EQ(b.dlg->paneText, "1A2B3C  Address 1207\r\n");
  EXPECT_EQ(b.view.pushedPane, b.dlg->paneText);
  EXPECT_EQ(b.wire(), "");
}

}  // namespace
