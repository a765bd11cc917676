// The session log on the simulated bench: what the log says went out is exactly what the wire
// carried, for a status read and a program load, with the port's opens, closes and rate
// changes.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "platform/session_log.h"
#include "tests/ui/ui_support.h"
#include "tools/sample_programs.h"

namespace {

// The log's lines of one kind, text only, from every day file in the folder (oldest first).
std::vector<std::string> LogTexts(const std::filesystem::path& folder, const std::string& kind) {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(folder)) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  std::vector<std::string> out;
  for (const auto& f : files) {
    std::ifstream in(f);
    for (std::string line; std::getline(in, line);) {
      // "HH:MM:SS.mmm kind text"
      const size_t k = line.find(' ');
      const size_t t = line.find(' ', k + 1);
      if (k == 12 && t != std::string::npos && line.compare(k + 1, t - k - 1, kind) == 0)
        out.push_back(line.substr(t + 1));
    }
  }
  return out;
}

TEST(SessionLogOnTheBench, SentLinesAreExactlyTheWire) {
  const struct {
    const char* name;
    std::function<void(WindowOnBench&)> action;
    const char* mustLog;  // a line of another kind that the action logs
  } cases[] = {
      {"status read", [](WindowOnBench& w) { w.dlg->OnCommand(ctl::kGeneralStatus); }, "caption Getting status"},
      {"program load",
       [](WindowOnBench& w) {
         const auto path = w.root / "small.a07";
         std::ofstream(path, std::ios::binary) << MakeSampleProgram(SmallSampleProgram());
         w.op.files.push_back(path.string());
         w.dlg->OnCommand(ctl::kBootload);
       },
       "load summary: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WindowOnBench w;
    w.Start();
    w.dlg->unit.port.Close();  // so the action opens it again
    const size_t before = w.wire().size();
    ASSERT_NE(SessionLog::Start(DataPaths{w.root}, true, "test"), nullptr);
    c.action(w);
    w.dlg->unit.port.Close();
    SessionLog::Stop();
    const auto folder = w.root / "T7Status" / "logs";
    std::string sent;
    for (const auto& t : LogTexts(folder, "send")) sent += UnescapeBytes(t);
    EXPECT_EQ(sent, w.wire().substr(before));
    EXPECT_GT(sent.size(), 20u);
    // Replies come back in the log as well, and the action's own lines.
    EXPECT_FALSE(LogTexts(folder, "recv").empty());
    const std::string want = c.mustLog;
    const std::string kind = want.substr(0, want.find(' '));
    bool found = false;
    for (const auto& t : LogTexts(folder, kind)) found |= (kind + " " + t).rfind(want, 0) == 0;
    EXPECT_TRUE(found) << want;
    // The port's opens and closes, and for the load its rate changes and the break.
    const auto opens = LogTexts(folder, "open");
    ASSERT_FALSE(opens.empty());
    EXPECT_EQ(opens.front().rfind("COM4 sim:COM4 9600 bit/s", 0), 0u) << opens.front();
    EXPECT_EQ(LogTexts(folder, "close").back(), "COM4 sim:COM4");
    if (want != "load summary: ") continue;
    const auto rates = LogTexts(folder, "rate");
    EXPECT_NE(std::find(rates.begin(), rates.end(), "38400 bit/s"), rates.end());
    EXPECT_NE(std::find(rates.begin(), rates.end(), "9600 bit/s"), rates.end());
    EXPECT_FALSE(LogTexts(folder, "break").empty());
  }
}

}  // namespace
