// What velmoor-cli's session reads of its options before anything is opened: the history file,
// the context of its events, and the site, read from the settings beside the history without
// opening (or making) the history.
#include <gtest/gtest.h>

#include <fstream>

#include "cli/cli_options.h"
#include "tests/support/test_bench.h"

namespace fs = std::filesystem;

namespace {
SessionSettings Read(std::vector<std::string> words) {
  words.insert(words.begin(), "velmoor-cli");
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  CliOptions o;
  std::string message;
  EXPECT_TRUE(ParseCliOptions(static_cast<int>(argv.size()), argv.data(), o, message)) << message;
  return CliSessionSettings(o);
}
}  // namespace

TEST(CliSession, SiteComesFromTheSettingsBesideTheHistoryWithoutOpeningIt) {
  const fs::path root = FreshTempDir("cli-session");
  const fs::path history = root / "bench" / "h.sqlite";
  fs::create_directories(history.parent_path());
  std::ofstream(history.parent_path() / "history-settings.txt") << "site = host=site.example dbname=velmoor\n";
  // A settings file where this PC's own history would be is not the one read.
  std::ofstream(root / "history-settings.txt") << "site = host=elsewhere.example dbname=velmoor\n";

  SessionSettings s = Read({"--history", history.string(), "--operator", "Ann", "--unit", "1A2B3C", "status"});
  EXPECT_TRUE(s.keepHistory);
  EXPECT_EQ(s.historyFile, history);
  EXPECT_TRUE(s.site.set);
  EXPECT_FALSE(s.site.problem) << s.site.problem.message;
  EXPECT_NE(s.site.setting.shown.find("site.example"), std::string::npos) << s.site.setting.shown;
  EXPECT_EQ(s.context.operatorName, "Ann");
  EXPECT_EQ(s.context.namedUnit, "1A2B3C");
  EXPECT_EQ(s.context.terminal.rfind("velmoor-cli ", 0), 0u) << s.context.terminal;
  EXPECT_FALSE(fs::exists(history)) << "reading the settings opened the history";

  // --site wins over the saved setting; --no-site sends to none; a password is a problem told.
  s = Read({"--history", history.string(), "--site", "host=other.example dbname=velmoor", "status"});
  EXPECT_NE(s.site.setting.shown.find("other.example"), std::string::npos) << s.site.setting.shown;
  EXPECT_FALSE(Read({"--history", history.string(), "--no-site", "status"}).site.set);
  std::ofstream(history.parent_path() / "history-settings.txt") << "site = host=site.example password=secret\n";
  s = Read({"--history", history.string(), "status"});
  EXPECT_TRUE(s.site.set);
  EXPECT_TRUE(s.site.problem);
  EXPECT_FALSE(Read({"--no-history", "status"}).keepHistory);
}
