// velmoor-cli's history commands as a process: they need no unit, take the current-status file
// in on first use, and say by their exit code what they found.
#include <gtest/gtest.h>

#include "tests/cli/cli_run.h"
#include "tests/support/test_bench.h"

namespace fs = std::filesystem;

namespace {
CliResult Cli(const fs::path& root, const std::string& args) {
  return RunCli(root, "--history '" + (root / "h.sqlite").string() + "' " + args);
}
}  // namespace

TEST(CliHistory, CommandsResultsAndExitCodes) {
  const fs::path root = FreshTempDir("cli-history");
  // The unit 1A2B3C in Current-Status.xml, read without history: the history takes it in.
  ASSERT_EQ(Cli(root, "--no-history --simulate=fast status").code, 0);
  const struct {
    std::string args;
    int code;
    std::string out, err;  // texts the result and the messages must hold
  } cases[] = {
      {"history 1a2b3c", 0, "Imported from Current-Status.xml: done", ""},
      {"history 002345-007 --csv", 0, "visit,time,unit,serial", ""},
      {"history 1A2B3C --json --since 2000-01-01", 0, "\"imported\": true", ""},
      {"history 1A2B3C --since 2999-01-01", 0, "", ""},
      {"due --json", 0, "\"releaseTestDue\": true", ""},
      {"history FFFFFF", 1, "", "no unit FFFFFF"},
      {"diff 1A2B3C", 1, "", "fewer than two status reads"},
      {"history 1A2B3C --since 2026-13-01", 2, "", "--since needs a date"},
      {"diff 1A2B3C 1 x", 2, "", "a visit is its number"},
      {"history", 2, "", "history needs a unit"},
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
  // A history file that is not a database: told, left as it was, exit code 4.
  fs::remove(root / "h.sqlite");
  fs::remove(root / "h.sqlite-wal");
  std::ofstream(root / "h.sqlite") << "not a database";
  const CliResult r = Cli(root, "due");
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("is not a unit history database"), std::string::npos) << r.err;
  std::ifstream in(root / "h.sqlite");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), "not a database");
  fs::remove_all(root);
}
