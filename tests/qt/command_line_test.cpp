// The program's command line: --help and --version print and end with 0, a wrong option prints
// the usage and ends with 2, and the options that run the program are read.
#include <gtest/gtest.h>

#include <vector>

#include "app_options.h"

namespace {

AppOptions Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "velmoor-terminal");
  return ParseCommandLine(static_cast<int>(args.size()), const_cast<char**>(args.data()));
}

TEST(CommandLine, EachOptionDoesWhatItSays) {
  const struct {
    std::vector<const char*> args;
    bool ok;
    int exitCode;
    const char* message;  // the start of what is printed
  } cases[] = {
      {{"-h"}, false, 0, "Usage: velmoor-terminal [options]"},
      {{"--version"}, false, 0, "velmoor-terminal "},
      {{"--frobnicate"}, false, 2, "Unknown option 'frobnicate'."},
      {{"stray"}, false, 2, "Unexpected argument 'stray'."},
      {{"--root"}, false, 2, "--root needs a value"},
      {{"--simulate", "--no-log", "--root", "/tmp/bench"}, true, 0, ""},
      {{"--root=/tmp/x", "-platform", "offscreen"}, true, 0, ""},
      {{"--site", "host=h password=s3cret"}, false, 2, "the command line carries a password"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
    const AppOptions o = Parse(c.args);
    EXPECT_EQ(o.ok, c.ok);
    EXPECT_EQ(o.exitCode, c.exitCode);
    EXPECT_EQ(o.message.rfind(c.message, 0), 0u) << o.message;
    EXPECT_EQ(o.message.find("s3cret"), std::string::npos);
    // A wrong option prints the usage after what was wrong.
    EXPECT_TRUE(c.exitCode != 2 || o.message.find("Usage: velmoor-terminal") != std::string::npos) << o.message;
  }

  const AppOptions run = Parse({"--simulate", "--no-log", "--root", "/tmp/bench"});
  EXPECT_TRUE(run.simulate);
  EXPECT_TRUE(run.noLog);
  EXPECT_EQ(run.paths.StatusDir(), std::filesystem::path("/tmp/bench/T7Status"));
  const AppOptions kept = Parse({"--history", "/tmp/h.sqlite", "--operator", "a.okafor", "--no-history"});
  EXPECT_EQ(kept.historyFile, "/tmp/h.sqlite");
  EXPECT_EQ(kept.operatorName, "a.okafor");
  EXPECT_TRUE(kept.noHistory);
  EXPECT_FALSE(Parse({"--history="}).ok);
  const AppOptions plain = Parse({"--root=/tmp/x", "-platform", "offscreen"});
  EXPECT_FALSE(plain.simulate);
  EXPECT_FALSE(plain.noLog);
  EXPECT_EQ(plain.paths.root, std::filesystem::path("/tmp/x"));
}

}  // namespace
