// Two terminals (velmoor-cli processes on simulated units, each with its own history and bench
// name) send to one site server; one of them works while the server is away. They end with one
// merged history on the server, nothing lost or doubled.
#include <gtest/gtest.h>

#include "tests/cli/cli_run.h"
#include "tests/support/pg_server.h"
#include "tests/support/test_bench.h"

namespace fs = std::filesystem;

TEST(CliSite, TwoTerminalsOneCutOffEndWithOneMergedHistory) {
  PgServer& pg = PgServer::Get();
  ASSERT_TRUE(pg.ok());
  const std::string site = pg.FreshDatabase("cli_site");
  const fs::path a = FreshTempDir("cli-site-a"), b = FreshTempDir("cli-site-b");
  for (const auto& [root, bench] : {std::pair{a, "Bench A"}, std::pair{b, "Bench B"}}) {
    fs::create_directories(root / "velmoor");
    std::ofstream(root / "velmoor" / "history-settings.txt") << "bench = " << bench << "\nsite = " << site << "\n";
  }
  CliResult r = RunCli(a, "site status");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("velmoor-cli site init"), std::string::npos) << r.err;
  r = RunCli(a, "site init");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("were made"), std::string::npos) << r.out;
  EXPECT_EQ(RunCli(a, "--simulate=fast status").code, 0);

  // Bench B cut off: its operations go on, the site's absence is told once per run.
  ASSERT_TRUE(pg.Run("stop"));
  for (const char* op : {"--simulate=fast status", "--simulate=fast sensors"}) {
    r = RunCli(b, op);
    EXPECT_EQ(r.code, 0) << op << r.err;
    EXPECT_EQ(Count(r.err, "cannot be reached"), 1u) << r.err;
  }
  r = RunCli(b, "site status");
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.out.find("waiting: 2 events on this PC"), std::string::npos) << r.out;
  r = RunCli(b, "history 1A2B3C");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.err.find("showing this PC's own history instead"), std::string::npos) << r.err;
  EXPECT_EQ(Count(r.out, "bench Bench B"), 1u) << r.out;  // the sensor reading names no unit

  // Back: bench A's next event goes at once, bench B sends what waited.
  ASSERT_TRUE(pg.Run("start"));
  EXPECT_EQ(RunCli(a, "--simulate=fast status").code, 0);
  r = RunCli(b, "site push");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("site: up to date"), std::string::npos);
  r = RunCli(a, "site status");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("waiting: 0 events"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("server: 4 events, 1 units, 2 benches"), std::string::npos) << r.out;
  EXPECT_EQ(pg.Sql("cli_site", "SELECT count(DISTINCT uid) FROM velmoor_event"), "4");

  // Either bench reads the merged history from the site.
  r = RunCli(b, "history 1A2B3C");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Count(r.out, "bench Bench A"), 2u) << r.out;
  EXPECT_EQ(Count(r.out, "bench Bench B"), 1u) << r.out;
  EXPECT_EQ(r.err, "");
  r = RunCli(b, "--site 'host=/tmp password=x' due");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.err.find("carries a password"), std::string::npos) << r.err;
  r = RunCli(b, "--site 'host=/tmp password=x' site push");
  EXPECT_EQ(r.code, 2);
}
