// Command files: reading the lines (caption, command, terminator, time-out; fields cut, never
// overrun), loading a file into the six buttons of the main window, and running the buttons
// against the simulated unit.

#include "tests/ui/ui_support.h"
#include "ui/bench_actions.h"
#include "ui/command_file.h"

namespace {

TEST(CommandLine, CaptionCommandTerminatorAndTimeout) {
  struct Case {
    const char* line;
    const char* caption;
    const char* command;
    int32_t timeout;
  };
  // clang-format off
  const Case cases[] = {
      {"Self test^#CKHW^25\n", "Self test", "#CKHW", 25}, {"Ping^#RRTC\n", "Ping", "#RRTC", 3},
      {"X^#GCMD,4^-5\n", "X", "#GCMD,4", -5},            {"X^#GCMD,4^-\n", "X", "#GCMD,4", -3},
      {"X^#GCMD,4^0\n", "X", "#GCMD,4", 0},              {"No caret here\n", "", "", 3},
      {"X^#GCMD,4^12345\n", "X", "#GCMD,4", 123},  // three digits at most
      {"Ping^#RRTC\r\n", "Ping", "#RRTC", 3},      // a Windows line end: the CR ends the command
      {"X^#RR\xB0TC^9\n", "X", "#RR", 3},          // so does a byte above 127
      {"Ping^#RRTC", "Ping", "", 3},                // a last line without its newline has no command
  };
  // clang-format on
  for (const Case& c : cases) {
    const CommandEntry e = ParseCommandLine(c.line);
    EXPECT_EQ(e.caption.str(), c.caption) << c.line;
    EXPECT_EQ(e.command.str(), c.command) << c.line;
    EXPECT_EQ(e.timeout, c.timeout) << c.line;
  }
}

struct CommandButtons : ::testing::Test {
  CommandButtons() { b.dlg->OnInitDialog(); }
  void Load(const char* name) {
    b.op.files.push_back(std::string(VT_SOURCE_DIR) + "/tests/data/" + name);
    ASSERT_TRUE(LoadCommandFile(b.dlg->unit, *b.dlg).Ok());
  }
  WindowOnBench b;
};

TEST_F(CommandButtons, FileGivesTheButtonsTheirCaptionsAndAShortFileLeavesTheRest) {
  Load("bench_six_commands.T7d");
  EXPECT_EQ(b.dlg->ControlText(ctl::kCommand1), "Self test");
  EXPECT_EQ(b.dlg->ControlText(ctl::kCommand6), "Quick ping");

  Load("bench_four_commands.T7d");
  EXPECT_EQ(b.dlg->ControlText(ctl::kCommand1), "Status");
  // Buttons 5 and 6 keep what the first file gave them.
  EXPECT_EQ(b.dlg->ControlText(ctl::kCommand5), "Wideband mode");
  EXPECT_EQ(b.dlg->commandText[5].str(), "#RRTC");
  EXPECT_EQ(b.dlg->commandTimeout[5], -5);
  EXPECT_TRUE(b.dlg->IsVisible(ctl::kCommand6));
}

// A time-out of its own replaces the command table's: a negative one also skips the comms
// check; 0 keeps the table's (12 s for "#GCMD").
TEST_F(CommandButtons, TheButtonsTimeoutDecidesTheWaitAndTheCommsCheck) {
  Load("bench_six_commands.T7d");
  const struct {
    int button;  // pressed: Quick ping^#RRTC^-5, Wideband mode^#GCMD,4^0
    const char* wire;
    uint64_t timeoutMs;
    bool silent;  // else the unit answers the comms check but not the command
  } cases[] = {{ctl::kCommand6, "#RRTC\r\n#RRTC\r\n", 5000, true},
               {ctl::kCommand5, "#RRTC\r\n#GCMD,4\r\n#GCMD,4\r\n", 12000, false}};
  Silence(b.sim(), "GCMD");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wire);
    b.sim().faults.silent = c.silent;
    b.bench.port.failuresLeft = 3;
    b.wire().clear();
    const uint64_t start = b.clock.NowMs();
    b.dlg->OnCommand(c.button);
    const uint64_t took = b.clock.NowMs() - start;
    EXPECT_EQ(b.wire(), c.wire);  // two attempts, each after its pause
    EXPECT_GT(took, 2 * (540 + c.timeoutMs));
    EXPECT_LE(took, 2 * (540 + c.timeoutMs + 2000) + 1000);
    EXPECT_TRUE(b.op.boxes.empty());
  }
}

}  // namespace
