// The session log on the simulated bench: what the log says went out is exactly what the wire
// carried, with the port's opens, closes and rate changes, and each reply once.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/session_log.h"
#include "tests/ui/ui_support.h"
#include "tools/sample_programs.h"

namespace {

// A program load: the log holds what went out, what came back (once: no trace line repeats a
// reply), the load's own lines, the port's open and close, its rate changes and the break;
// a busy caption cleared to nothing leaves no line.
TEST(SessionLogOnTheBench, SentLinesAreExactlyTheWire) {
  WindowOnBench w;
  w.Start();
  w.dlg->unit.port.Close();  // so the action opens it again
  const auto program = w.root / "small.a07";
  std::ofstream(program, std::ios::binary) << MakeSampleProgram(SmallSampleProgram());
  w.op.files.push_back(program.string());
  const size_t before = w.wire().size();
  ASSERT_NE(SessionLog::Start(DataPaths{w.root}, true, "test"), nullptr);
  w.dlg->OnCommand(ctl::kBootload);
  w.dlg->unit.ShowBusy();  // a caption is only taken while the busy window shows
  w.dlg->unit.SetBusyCaption("");
  w.dlg->unit.port.Close();
  SessionLog::Stop();
  // Each line "HH:MM:SS.mmm [pid] kind text".
  std::string sent, all;
  std::istringstream log(LoggedText(w.root));
  for (std::string line; std::getline(log, line);) {
    line = line.substr(line.find("] ") + 2);
    if (line.rfind("send ", 0) == 0) sent += UnescapeBytes(line.substr(5));
    all += "\n" + line;
  }
  all += "\n";
  EXPECT_EQ(sent, w.wire().substr(before));
  EXPECT_GT(sent.size(), 20u);
  for (const char* want :
       {"\nrecv ", "\ncaption Resetting watchdog timer\n", "\nload summary: ", "\nopen COM4 sim:COM4 9600 bit/s",
        "\nrate 38400 bit/s\n", "\nrate 9600 bit/s\n", "\nbreak ", "\nclose COM4 sim:COM4\n"})
    EXPECT_NE(all.find(want), std::string::npos) << want << all.substr(0, 2000);
  for (const char* unwanted : {"\ntrace ", "\ncaption \n"})
    EXPECT_EQ(all.find(unwanted), std::string::npos) << unwanted << all.substr(0, 2000);
}

}  // namespace
