// Two terminals (velmoor-cli processes on simulated units, each with its own history and bench
// name) send to one site server; one of them works while the server is away. They end with one
// merged history on the server, nothing lost or doubled. A bench the site refuses, a site that
// says nothing and a password given anywhere are told as a script sees them.
#include <gtest/gtest.h>

#include <chrono>

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
  // The sensor reading read no unit: it goes under the one this bench last read on that port.
  EXPECT_EQ(Count(r.out, "bench Bench B"), 2u) << r.out;
  EXPECT_EQ(Count(r.out, "unit: the one last read on COM3"), 1u) << r.out;

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
  EXPECT_EQ(Count(r.out, "bench Bench B"), 2u) << r.out;
  EXPECT_EQ(r.err, "");

  // A bench whose grant was revoked is told refused, not reachable with events waiting.
  pg.Sql("cli_site",
         "DROP ROLE IF EXISTS cli_bench; CREATE ROLE cli_bench LOGIN; GRANT SELECT ON velmoor_schema TO cli_bench;"
         "GRANT SELECT ON velmoor_event, velmoor_unit, velmoor_bench TO cli_bench");
  r = RunCli(b, "--site 'host=" + pg.host() + " port=" + pg.port() + " user=cli_bench dbname=cli_site' site status");
  EXPECT_EQ(r.code, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("state: refused"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("lacks INSERT on velmoor_event"), std::string::npos) << r.err;
}

// A password never leaves the password file: on the command line it is refused before anything
// is written; in the settings it is refused, the command goes on, and neither its messages nor
// the session log name it; the log's command line shows the site without its secrets. A site
// that says nothing is named, and its events wait; a push gives it up at its --timeout.
TEST(CliSite, SecretsStayOutAndASilentSiteIsNamed) {
  const fs::path a = FreshTempDir("cli-site-secret"), b = FreshTempDir("cli-site-secret-b");
  auto logs = [](const fs::path& root) {
    std::string all;
    for (const auto& f : fs::recursive_directory_iterator(root))
      if (std::ifstream in(f.path()); f.path().extension() == ".log")
        all.append(std::istreambuf_iterator<char>(in), {});
    return all;
  };
  for (const char* command : {"--simulate=fast status", "due", "site push"}) {
    const CliResult r = RunCli(a, std::string("--site 'host=/tmp password=s3cret' ") + command);
    EXPECT_EQ(r.code, 2) << command;
    EXPECT_NE(r.err.find("carries a password"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("s3cret"), std::string::npos) << r.err;
  }
  EXPECT_EQ(logs(a), "");
  fs::create_directories(b / "velmoor");
  std::ofstream(b / "velmoor" / "history-settings.txt") << "site = host=/tmp dbname=x password=s3cret\n";
  CliResult r = RunCli(b, "--simulate=fast status");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.err.find("setting (host=/tmp dbname=x) carries a password"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("s3cret"), std::string::npos) << r.err;
  EXPECT_EQ(logs(b).find("s3cret"), std::string::npos);

  Listener silent;
  const std::string site = "host=127.0.0.1 port=" + silent.port() + " dbname=x";
  r = RunCli(a, "--site '" + site + " connect_timeout=30 sslrootcert=/k/ca.crt' --simulate=fast status");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.err.find("The site server (" + site + ") did not answer"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the events wait here"), std::string::npos) << r.err;
  const auto start = std::chrono::steady_clock::now();
  r = RunCli(a, "--site '" + site + " connect_timeout=30' site push --timeout 1");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_EQ(r.out, "waiting: 1 event on this PC\n");
  const std::string log = logs(a);  // the first run wrote none
  EXPECT_NE(log.find("--site \"" + site + "\" --simulate=fast status"), std::string::npos) << log;
}
