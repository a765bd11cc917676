// velmoor-cli's history commands as a process: they need no unit, only read (a history that is
// not there, damaged, or not a history is exit code 4, never an empty answer; a read-only one is
// read where it is), and say by their exit code what they found. A unit command runs whatever
// its history.
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "tests/cli/cli_run.h"
#include "tests/history/history_support.h"
#include "tests/support/test_bench.h"

namespace fs = std::filesystem;

namespace {
CliResult Cli(const fs::path& root, const std::string& args, const fs::path& history = {}, const std::string& as = "") {
  return RunCli(root, "--history '" + (history.empty() ? root / "h.sqlite" : history).string() + "' " + args, as);
}

// A data folder whose Current-Status.xml holds the simulated unit 1A2B3C, and a history that
// took it in and then recorded a status read.
fs::path BenchWithHistory(const std::string& tag) {
  const fs::path root = FreshTempDir(tag);
  EXPECT_EQ(Cli(root, "--no-history --simulate=fast status").code, 0);
  EXPECT_EQ(Cli(root, "--simulate=fast status").code, 0);
  return root;
}
}  // namespace

TEST(CliHistory, CommandsResultsAndExitCodes) {
  const fs::path root = BenchWithHistory("cli-history");
  const struct {
    std::string args;
    int code;
    std::string out, err;  // texts the result and the messages must hold
  } cases[] = {
      {"history 1a2b3c", 0, "Imported from Current-Status.xml: done", ""},
      {"history 1a2b3c", 0, "imported by velmoor-cli 3.00.012", ""},
      {"history 002345-007 --csv", 0, "visit,time,unit,serial", ""},
      {"history 1A2B3C --json --since 2000-01-01", 0, "\"imported\": true", ""},
      {"due --json", 0, "\"releaseTestDue\": true", ""},
      {"diff 1A2B3C", 0, "Unit 1A2B3C: visit #1", ""},
      {"history --check", 0, "h.sqlite: ok", ""},
      {"history FFFFFF", 1, "", "no unit FFFFFF"},
      {"diff 1A2B3C 1 99", 1, "", "not status reads of this unit"},
      {"history 1A2B3C --since 2026-13-01", 2, "", "--since needs a date"},
      {"history 1A2B3C --since 2999-01-01", 2, "", "--since 2999-01-01 is in the future"},
      {"diff 1A2B3C 1 x", 2, "", "a visit is its number"},
      {"diff 1A2B3C 0 2", 2, "", "visit 0 is out of range"},
      {"diff 1A2B3C '#1' 99999999999999999999", 2, "", "visit 99999999999999999999 is out of range"},
      {"diff 1A2B3C 1", 2, "", "one visit given (1)"},
      {"history", 2, "", "history needs a unit"},
      {"history 1A2B3C extra", 2, "", "history takes a unit; left over: extra"},
      {"diff 1A2B3C 1 2 3", 2, "", "diff takes a unit and at most two visits; left over: 3"},
      {"history 1A2B3C --check", 2, "", "--check takes no unit"},
      {"status --csv", 2, "", "for the history command"},
      {"due --no-history", 2, "", "no history"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const CliResult r = Cli(root, c.args);
    EXPECT_EQ(r.code, c.code) << r.out << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
  fs::remove_all(root);
}

// Each history a command cannot use, told and left as it was: the read commands end with exit
// code 4; a unit command runs with its own exit code, its event said not recorded when another
// program holds the history. A read-only history is read where it is, nothing left beside it.
TEST(CliHistory, HistoriesThatCannotBeUsedOrMayOnlyBeRead) {
  const fs::path root = BenchWithHistory("cli-history-files");
  const fs::path sound = root / "h.sqlite", damaged = root / "damaged.sqlite", text = root / "notes.txt";
  fs::copy_file(sound, damaged);
  PlantRandomPage(damaged, "events");
  PlantRandomPage(damaged, "units");
  std::ofstream(text) << "bench notes";
  const struct {
    fs::path history;
    std::string told;
    bool unitCommands;  // tried with unit commands too (which make a history where none is)
  } histories[] = {
      {root / "typo" / "h.sqlite", "its folder " + (root / "typo").string() + " does not exist", false},
      {text, "is not a unit history database", true},
      {damaged, "cannot be read (damaged)", true},
  };
  const std::pair<std::string, int> commands[] = {{"history 1A2B3C", 4},
                                                  {"diff 1A2B3C", 4},
                                                  {"due", 4},
                                                  {"status --simulate=fast", 0},
                                                  {"self-test --simulate=fast,self-test-fail", 1}};
  for (const auto& h : histories) {
    const std::string before = ReadText(h.history);
    for (const auto& [command, code] : commands) {
      if (code != 4 && !h.unitCommands) continue;
      SCOPED_TRACE(h.history.string() + ": " + command);
      const CliResult r = Cli(root, command, h.history);
      EXPECT_EQ(r.code, code) << r.err;
      EXPECT_EQ(r.out.empty(), code == 4) << r.out;
      EXPECT_NE(r.err.find(h.told), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadText(h.history), before);
  }
  EXPECT_FALSE(fs::exists(root / "typo"));
  const CliResult check = Cli(root, "history --check", damaged);
  EXPECT_EQ(check.code, 4);
  EXPECT_NE(check.out.find("damaged; SQLite's integrity check found:\n  "), std::string::npos) << check.out;

  fs::permissions(sound, fs::perms(0444));
  fs::permissions(root, fs::perms(01777));
  for (const char* command : {"history 1A2B3C", "diff 1A2B3C", "due", "history --check"}) {
    const CliResult r = Cli(root, command, sound, AnotherUser());
    EXPECT_EQ(r.code, 0) << command << ": " << r.err;
  }
  for (const char* side : {"-wal", "-shm"}) EXPECT_FALSE(fs::exists(sound.string() + side)) << side;
  fs::permissions(root, fs::perms(0755));
  fs::permissions(sound, fs::perms(0644));

  sqlite3* other = nullptr;  // another program holds it past the wait
  ASSERT_EQ(sqlite3_open(sound.string().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const CliResult r = Cli(root, "--simulate=fast status");
  sqlite3_close(other);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("is in use by another program (waited 5 seconds): \"General Status\" of unit 1A2B3C was "
                       "not recorded."),
            std::string::npos)
      << r.err;
  fs::remove_all(root);
}

// Two terminals starting at once on a new history take the status file in once.
TEST(CliHistory, TwoTerminalsStartingAtOnceImportOnce) {
  const fs::path root = FreshTempDir("cli-history-twice");
  ASSERT_EQ(Cli(root, "--no-history --simulate=fast status").code, 0);
  // Each terminal waits a bounded time for the other's hold on the history; on a loaded machine
  // the wait can run out, and then that terminal says its event was not recorded.
  const auto one = [&](int n) {
    return "XDG_DATA_HOME='" + root.string() + "' " + VT_CLI_PATH + " --root '" + root.string() + "' --history '" +
           (root / "h.sqlite").string() + "' --simulate=fast status >/dev/null 2>'" +
           (root / ("err" + std::to_string(n))).string() + "'";
  };
  ASSERT_EQ(std::system((one(1) + " & " + one(2) + " & wait").c_str()), 0);
  size_t recorded = 0;
  for (int n = 1; n <= 2; ++n) {
    std::ifstream in(root / ("err" + std::to_string(n)));
    const std::string err((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    recorded += err.find("was not recorded") == std::string::npos;
  }
  const CliResult r = Cli(root, "history 1A2B3C --json");
  EXPECT_EQ(Count(r.out, "\"imported\": true"), 1u) << r.out;
  EXPECT_EQ(Count(r.out, "\"action\": \"General Status\""), recorded) << r.out;
  EXPECT_GE(recorded, 1u);
  fs::remove_all(root);
}

// Every operation a script runs is in its unit's history, with the exit code the script sees: a
// refused self test (1), a unit that did not answer (3), a clock set that read no unit (under
// the unit last read on that port) and a sensor reading under the unit --unit names; --json and --csv carry each visit's values by field name and ISO 8601
// times, the text local times with their zone.
TEST(CliHistory, EveryOperationIsInItsUnitsHistory) {
  const fs::path root = FreshTempDir("cli-history-ops");
  const struct {
    std::string args;
    int code;
  } ops[] = {
      {"--simulate=fast status", 0},
      {"--simulate=fast,self-test-fail self-test", 1},
      {"--simulate=fast,dead --port 3 status", 3},
      {"--simulate=fast,dead status", 3},
      {"--simulate=fast set-time", 0},
      {"--simulate=fast --unit 1A2B3C sensors", 0},
  };
  for (const auto& op : ops) EXPECT_EQ(Cli(root, op.args).code, op.code) << op.args << Cli(root, "due").err;
  CliResult r = Cli(root, "history 1A2B3C");
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* seen : {"Hardware self test: refused", "General Status: no-unit", "Set time: done", "unit named by --unit",
                           "unit: the one last read on COM3", " UTC"})
    EXPECT_NE(r.out.find(seen), std::string::npos) << seen << "\n" << r.out;
  r = Cli(root, "history 1A2B3C --json");
  EXPECT_NE(r.out.find("\"values\": {\"UnitId\": \"1715004\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Z\", \"unit\": \"1A2B3C\""), std::string::npos) << r.out;
  r = Cli(root, "history 1A2B3C --csv");
  EXPECT_NE(r.out.find(",String1,String2\r\n"), std::string::npos) << r.out.substr(0, 800);
  // The search that found no unit names no port: its event is kept with no unit, not under this one.
  EXPECT_EQ(Count(Cli(root, "history 1A2B3C").out, "no-unit"), 1u);
  // The search that found no unit left an event of no unit, kept all the same.
  EXPECT_EQ(Count(r.out, "no-unit"), 1u) << r.out;
  fs::remove_all(root);
}
