// The site server against its targets, on a PostgreSQL server of its own (Debian's package,
// started with scripts/pg-test-server.sh in a temporary folder and stopped at the end):
//   1. 10,000 events of one bench (status reads, bench tests, commands) pushed from the PC's
//      store with SiteSender::PushAll over TCP, as a bench connects: < 10 s;
//   2. SiteServer::Due over 10,000 units of 100 visits each (1,000,000 events): < 500 ms;
//   3. a unit of 1,000 visits among them read from the site by its serial number, with one of its
//      visits not sent yet (ReadSiteUnit, then LoadDossier on the mirror): < 200 ms.
// Prints each figure over its target with the ratio; exits 1 when a ratio is 1 or more, 2 when
// the server cannot be set up. bench_site [UNITS [VISITS]] sets the size of the fill (default
// 10000 100); with BENCH_SITE_KEEP set, the server is left running for a look.
#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_units.h"
#include "history/due_rules.h"
#include "history/record_outcome.h"
#include "site/site_history.h"
#include "site/site_sender.h"
#include "site/site_server.h"
#include "history/unit_state.h"

#include "bench/bench_clock.h"

namespace {

namespace fs = std::filesystem;
using namespace history;
double lastCpuMs = 0;

bool failed = false;
void Figure(const char* what, double measured, double target, const char* unit) {
  const double ratio = measured / target;
  std::printf("%-52s %10.3f %s / %7.1f %s = %.3f   (client CPU %.3f ms)\n", what, measured, unit, target, unit, ratio,
              lastCpuMs);
  std::fflush(stdout);
  if (ratio >= 1.0) failed = true;
}

template <class F>
double Median(int rounds, F&& f) {
  std::vector<std::pair<double, double>> runs;  // wall, CPU
  for (int r = 0; r < rounds; ++r) {
    const auto t0 = Clock::now();
    const double c0 = CpuMs();
    f();
    runs.emplace_back(MsSince(t0), CpuMs() - c0);
  }
  std::sort(runs.begin(), runs.end());
  std::printf("  runs:");
  for (const auto& r : runs) std::printf(" %.1f", r.first);
  std::printf(" ms\n");
  lastCpuMs = runs[runs.size() / 2].second;
  return runs[runs.size() / 2].first;
}

// The throwaway server and its temporary folder: whatever way the program ends, the server is
// stopped and the folder removed.
fs::path tempDir;
bool serverStarted = false;

int PgTestServer(const char* what) {
  const std::string cmd = std::string("'") + VT_SOURCE_DIR + "/scripts/pg-test-server.sh' " + what + " '" +
                          (tempDir / "server").string() + "'";
  return std::system(cmd.c_str());
}

void CleanUp() {
  if (serverStarted && PgTestServer("stop") != 0) std::fprintf(stderr, "bench_site: the test server did not stop\n");
  serverStarted = false;
  if (!tempDir.empty()) fs::remove_all(tempDir);
  tempDir.clear();
}

[[noreturn]] void Fatal(const std::string& what) {
  std::fprintf(stderr, "bench_site: %s\n", what.c_str());
  CleanUp();
  std::exit(2);
}

// Starts the server; its socket folder and port, as it wrote them in its env file.
std::pair<std::string, std::string> StartServer() {
  serverStarted = true;
  if (PgTestServer("start") != 0) Fatal("the test server did not start");
  std::ifstream env(tempDir / "server" / "env");
  std::string line, host, port;
  while (std::getline(env, line)) {
    if (line.rfind("PGHOST=", 0) == 0) host = line.substr(7);
    if (line.rfind("PGPORT=", 0) == 0) port = line.substr(7);
  }
  if (host.empty() || port.empty()) Fatal("the test server wrote no env file");
  return {host, port};
}

// A plain libpq connection for the benchmark's own set-up (on the server's socket, as postgres).
struct Admin {
  PGconn* conn = nullptr;
  explicit Admin(const std::string& conninfo) : conn(PQconnectdb(conninfo.c_str())) {
    if (PQstatus(conn) != CONNECTION_OK) Fatal(std::string("cannot connect: ") + PQerrorMessage(conn));
  }
  ~Admin() { PQfinish(conn); }
  // Runs a statement; its single value (or empty).
  std::string Exec(const std::string& sql, const std::vector<std::string>& params = {}) {
    std::vector<const char*> p;
    for (const std::string& s : params) p.push_back(s.c_str());
    PGresult* r = PQexecParams(conn, sql.c_str(), static_cast<int>(p.size()), nullptr, p.data(), nullptr, nullptr, 0);
    const ExecStatusType s = PQresultStatus(r);
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) {
      const std::string why = PQresultErrorMessage(r);
      PQclear(r);
      Fatal("the server refused " + sql.substr(0, 80) + "...: " + why);
    }
    std::string v = PQntuples(r) > 0 && PQnfields(r) > 0 ? PQgetvalue(r, 0, 0) : "";
    PQclear(r);
    return v;
  }
};

// The unit of 1,000 visits: its serial number is none of the filled units'.
constexpr int kHeavy = 99999;

const DateTime kBase = DateTime::FromCivil({2024, 1, 2, 8, 0, 0});
constexpr double kDaysBetweenVisits = 7.0;

HistoryContext Context(const char* bench) {
  HistoryContext c;
  c.bench = bench;
  c.operatorName = "technician";
  c.terminal = "velmoor-cli 3.0.12";
  c.logFile = "/home/technician/Dranmere/T7Status/logs/2026-12-07.log";
  c.durationMs = 4100;
  return c;
}

// Event k of a unit, as the terminal's operations leave it: of every ten, six status reads
// (General Status, Quick set), a self test and a release test (each with its status read), and
// two command buttons (the checks alone). The battery runs down and its count rises from visit
// to visit; the information reply carries the unit's clock.
void Write(HistoryStore& store, const char* bench, int32_t unitId, int i, int k) {
  StatusEntry e = RealisticEntry(i);
  UnitStatus& s = e.status;
  s.UnitId = unitId;
  const DateTime at{kBase.value + k * kDaysBetweenVisits + (i % 1000) / 1440.0, true};
  s.Count = 5 + k;
  s.Voltage = 15.0f - 0.01f * float(k % 300);
  char clock[64];
  std::snprintf(clock, sizeof clock, "\\\\/Clock %s\\\\/", at.ToText().c_str());
  s.String2.Append(clock);
  StatusChecks& c = e.checks;
  c.LastStatusTime = at;
  // The latest self test (kind 6) and release test (kind 7) up to this event.
  const int selfTest = k - ((k - 6) % 10 + 10) % 10, release = k - ((k - 7) % 10 + 10) % 10;
  if (selfTest >= 0) c.HardwareTime = {kBase.value + selfTest * kDaysBetweenVisits, true};
  if (selfTest >= 0) c.HardwareResult = selfTest % 40 == 6 ? 2 : 0;
  if (release >= 0) c.ReleaseTime = {kBase.value + release * kDaysBetweenVisits, true};
  Outcome o = MakeOutcome(OutcomeKind::Done, "General Status");
  bool statusRead = true;
  switch (k % 10) {
    case 5: o.action = "Quick set"; break;
    case 6:
      o = MakeOutcome(c.HardwareResult == 0 ? OutcomeKind::Done : OutcomeKind::Refused, "Hardware self test",
                      c.HardwareResult == 0 ? "" : "self test failed");
      o.testResult = c.HardwareResult;
      break;
    case 7:
      o.action = "Release test";
      o.testResult = 0;
      break;
    case 8:
    case 9:
      o.action = "Command 2";
      o.command = "#RDSE";
      o.pane = "RDSE OK\r\nSEN1 = 1023.4\r\nSEN2 = 12.7\r\n";
      statusRead = false;
      break;
    default: break;
  }
  HistoryEvent ev = EventOf(Context(bench), o, s, "");
  ev.time = at;
  ev.statusRead = statusRead;
  const FieldTexts t = TextsOf(c, s);
  if (!store.Append(ev, &t)) Fatal("append failed: " + store.Message());
}

// An operation that found no unit ("No valid comms"): an event without a unit or fields.
void WriteNoUnit(HistoryStore& store, const char* bench, int k) {
  UnitStatus none;
  HistoryEvent ev = EventOf(Context(bench), MakeOutcome(OutcomeKind::NoUnit, "General Status"), none, "");
  ev.time = {kBase.value + k / 25 * kDaysBetweenVisits, true};
  if (!store.Append(ev, nullptr)) Fatal("append failed: " + store.Message());
}

SiteSetting Setting(const std::string& text) {
  SiteSetting s;
  if (SiteProblem p = ReadSiteSetting(text, s)) Fatal(p.message);
  return s;
}

void Push(const fs::path& file, const SiteSetting& setting) {
  SiteSender sender(file, setting);
  const SiteState st = sender.PushAll(std::chrono::seconds(600));
  if (st.problem || st.waiting != 0) Fatal("the push did not end: " + st.problem.message);
}

}  // namespace

int main(int argc, char** argv) {
  const int units = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  const int visits = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
  char tmpl[] = "/tmp/vt-bench-site-XXXXXX";
  if (!::mkdtemp(tmpl)) Fatal("no temporary folder");
  const fs::path dir = tempDir = tmpl;
  // The server may run as a user of its own (as root, the script runs it as velmoor-pgtest).
  ::chmod(tmpl, 0755);
  int status = 0;
  std::string portKept;
  {
    const auto [host, port] = StartServer();
    portKept = port;
    const std::string socket = "host=" + host + " port=" + port + " user=postgres";
    {
      Admin admin(socket + " dbname=postgres");
      admin.Exec("CREATE DATABASE velmoor_site");
      // The bench's own login, over TCP with a password from the password file, as a bench PC has it.
      admin.Exec("ALTER ROLE postgres PASSWORD 'bench-site'");
    }
    const fs::path passFile = dir / "pgpass";
    std::ofstream(passFile) << "127.0.0.1:" << port << ":*:postgres:bench-site\n";
    ::chmod(passFile.c_str(), 0600);
    ::setenv("PGPASSFILE", passFile.c_str(), 1);
    const SiteSetting setting =
        Setting("host=127.0.0.1 port=" + port + " dbname=velmoor_site user=postgres sslmode=disable");
    SiteServer site;
    int from = 0;
    if (const SiteProblem p = site.Init(setting, from)) Fatal(p.message);
    Admin db(socket + " dbname=velmoor_site");
    std::printf("server: PostgreSQL %s, connected over TCP 127.0.0.1:%s\n", db.Exec("SHOW server_version").c_str(),
                port.c_str());

    // 1. One bench's 10,000 events: 400 units of 25 events each, a unit's events five at a time
    // (a visit: the unit on the bench for a few operations, then the next one), and one event
    // in 97 an operation that found no unit.
    const fs::path bench3 = dir / "bench3.sqlite";
    {
      HistoryStore store;
      if (!store.Open(bench3)) Fatal(store.Message());
      sqlite3_exec(store.Db(), "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
      sqlite3_exec(store.Db(), "BEGIN", nullptr, nullptr, nullptr);
      for (int n = 0; n < 10000; ++n) {
        if (n % 97 == 96) WriteNoUnit(store, "Bench 3", n);
        else Write(store, "Bench 3", 0x200000 + n / 5 % 400, n / 5 % 400, n / 2000 * 5 + n % 5);
      }
      sqlite3_exec(store.Db(), "COMMIT", nullptr, nullptr, nullptr);
    }
    {
      const auto t0 = Clock::now();
      const double c0 = CpuMs();
      Push(bench3, setting);
      const double ms = MsSince(t0);
      lastCpuMs = CpuMs() - c0;
      std::printf("1. 10,000 events of one bench, %d per transaction:\n", SiteSender::kBatch);
      Figure("  PushAll (read from the store, sent, cursor kept)", ms / 1000.0, 10.0, "s");
      std::printf("  %.3f ms an event; on the server %s events, %s units\n", ms / 10000.0,
                  db.Exec("SELECT count(*) FROM velmoor_event").c_str(),
                  db.Exec("SELECT count(*) FROM velmoor_unit").c_str());
      // Send waits for the server's answer to each of its statements: BEGIN, the batch's events,
      // its units' summaries, its benches, COMMIT. Here a round trip costs microseconds; on a
      // site's network it costs its latency each time.
      const size_t batches = (10000 + SiteSender::kBatch - 1) / SiteSender::kBatch, trips = batches * 5;
      std::printf("  %zu round trips to the server: at 1 ms each (a site network) %.3f s more\n", trips,
                  double(trips) / 1000.0);
    }

    // 2. The site after years: units x visits of other benches, filled on the server in the shape
    // Send writes (what each event read, the battery count on each status read, the unit's
    // summary with when its battery was read), from a status read Send wrote as the template. The
    // visits go in round by round, so that each unit's events lie spread over the table; a unit
    // of 1,000 visits (Bench 5) is pushed through SiteSender between the rounds.
    const char* first = "FROM velmoor_event WHERE status_read AND action = 'General Status' ORDER BY id LIMIT 1";
    const std::string templ = db.Exec(std::string("SELECT fields ") + first);
    auto idx = [](const char* name) {
      const auto i = FieldIndex(name);
      if (!i) Fatal(std::string("no field ") + name);
      return std::to_string(*i + 1);
    };
    // The filled units carry one to four battery stacks of the template's type (unit u has
    // 1 + u % 4), so that some of them are past the battery's threshold after their visits and
    // some are not; a stack's capacity in counts as Send works it out from a state.
    const int64_t perStack = [] {
      StatusEntry e = RealisticEntry(0);
      e.status.BatteryStacks = 1;
      return FactsOf(TextsOf(e.checks, e.status)).capacity;
    }();
    if (perStack <= 0) Fatal("the template's battery has no capacity");
    // What a command button's event reads: the checks with their times, nothing of the status.
    std::string checksRead;
    {
      const StatusEntry e = RealisticEntry(0);
      const FieldMask read = FieldsRead(false, 0, TextsOf(e.checks, e.status));
      for (int i = 0; i < kFieldCount; ++i)
        if (read[static_cast<size_t>(i)]) checksRead += (checksRead.empty() ? "" : ",") + std::to_string(i + 1);
      checksRead = "ARRAY[" + checksRead + "]";
    }
    // The fields that differ from event to event; the rest are the template's.
    db.Exec(
        "CREATE FUNCTION pg_temp.velmoor_fill(t bytea[], idx int[], vals text[]) RETURNS bytea[] LANGUAGE plpgsql"
        " IMMUTABLE AS $f$ DECLARE r bytea[] := t; BEGIN FOR i IN 1 .. cardinality(idx) LOOP"
        " r[idx[i]] := convert_to(vals[i], 'UTF8'); END LOOP; RETURN r; END $f$");
    // Only the fields an event read (the others NULL), as Send writes them.
    db.Exec(
        "CREATE FUNCTION pg_temp.velmoor_keep(t bytea[], keep int[]) RETURNS bytea[] LANGUAGE plpgsql"
        " IMMUTABLE AS $f$ DECLARE r bytea[] := array_fill(NULL::bytea, ARRAY[cardinality(t)]); i int;"
        " BEGIN FOREACH i IN ARRAY keep LOOP r[i] := t[i]; END LOOP; RETURN r; END $f$");
    const std::string varying = "ARRAY[" + idx("UnitId") + "," + idx("SerialNo") + "," + idx("Count") + "," +
                                idx("Voltage") + "," + idx("LastStatusTime") + "," + idx("String2") + "," +
                                idx("HardwareTime") + "," + idx("HardwareResult") + "," + idx("ReleaseTime") + "," +
                                idx("BatteryStacks") + "]";
    const std::string string2 = "convert_from(($1::bytea[])[" + idx("String2") + "], 'UTF8')";
    // Visit v of unit u: kind v % 10 as in Write above; times as text, as the status files hold them.
    const std::string fill =
        "INSERT INTO velmoor_event(uid, at, unit_id, serial, bench, operator, terminal, action, outcome, reason,"
        " failed_readers, differences, file, file_sha256, records_sent, records_total, duration_ms, test_result,"
        " command, reply, log_file, status_read, imported, fields, battery_count, bench_event, reading)"
        " SELECT md5(u || '-' || v || '-' || $2), x.at, $3::int + u, convert_to(x.serial, 'UTF8'),"
        " convert_to('Bench ' || (1 + u % 4), 'UTF8'), convert_to('technician', 'UTF8'), 'velmoor-cli 3.0.12',"
        " CASE v % 10 WHEN 5 THEN 'Quick set' WHEN 6 THEN 'Hardware self test' WHEN 7 THEN 'Release test'"
        "  WHEN 8 THEN 'Command 2' WHEN 9 THEN 'Command 2' ELSE 'General Status' END,"
        " CASE WHEN v % 10 = 6 AND x.hres = 2 THEN 'refused' ELSE 'done' END,"
        " CASE WHEN v % 10 = 6 AND x.hres = 2 THEN convert_to('self test failed', 'UTF8') ELSE ''::bytea END,"
        " 0, ''::bytea, ''::bytea, '', 0, 0, 4100,"
        " CASE v % 10 WHEN 6 THEN x.hres WHEN 7 THEN 0 ELSE -1 END,"
        " CASE WHEN v % 10 >= 8 THEN convert_to('#RDSE', 'UTF8') ELSE ''::bytea END,"
        " CASE WHEN v % 10 >= 8 THEN convert_to(E'RDSE OK\\r\\nSEN1 = 1023.4\\r\\nSEN2 = 12.7\\r\\n', 'UTF8')"
        "  ELSE ''::bytea END,"
        " convert_to('/home/technician/Dranmere/T7Status/logs/2026-12-07.log', 'UTF8'), v % 10 < 8, false,"
        " (SELECT CASE WHEN v % 10 < 8 THEN f ELSE pg_temp.velmoor_keep(f, " +
        checksRead +
        ") END FROM (SELECT pg_temp.velmoor_fill($1::bytea[], " +
        varying +
        ", ARRAY[($3::int + u)::text, x.serial, (5 + v)::text, to_char(15.0 - 0.01 * (v % 300), 'FM990.00'),"
        "  to_char(x.at, 'YYYY-MM-DD HH24:MI:SS'), " +
        string2 +
        " || '\\\\/Clock ' || to_char(x.at, 'YYYY-MM-DD HH24:MI:SS') || '\\\\/',"
        "  CASE WHEN x.sv >= 0 THEN to_char(x.base + make_interval(days => x.sv * 7), 'YYYY-MM-DD HH24:MI:SS')"
        "   ELSE convert_from(($1::bytea[])[" +
        idx("HardwareTime") +
        "], 'UTF8') END, x.hres::text,"
        "  CASE WHEN x.rv >= 0 THEN to_char(x.base + make_interval(days => x.rv * 7), 'YYYY-MM-DD HH24:MI:SS')"
        "   ELSE convert_from(($1::bytea[])[" +
        idx("ReleaseTime") +
        "], 'UTF8') END, (1 + u % 4)::text]) AS f) s),"
        " CASE WHEN v % 10 < 8 THEN 5 + v END, v::bigint * 100000 + u, true"
        " FROM generate_series(0, $4::int - 1) u, generate_series($5::int, $6::int) v,"
        " LATERAL (SELECT b.base, b.base + make_interval(days => v * 7, mins => u % 1000) AS at,"
        "  to_char(100000 + u, 'FM000000') || '-' || to_char(u % 1000, 'FM000') AS serial,"
        "  v - ((v - 6) % 10 + 10) % 10 AS sv, v - ((v - 7) % 10 + 10) % 10 AS rv,"
        "  CASE WHEN v - ((v - 6) % 10 + 10) % 10 < 0 THEN 8"
        "   WHEN (v - ((v - 6) % 10 + 10) % 10) % 40 = 6 THEN 2 ELSE 0 END AS hres"
        "  FROM (SELECT timestamptz '2024-01-02 08:00:00+00' AS base) b) x"
        " ORDER BY v, u";
    const int32_t firstFilled = 0x300000, heavyId = 0x400000;
    const fs::path bench5 = dir / "bench5.sqlite";
    const int rounds = std::min(10, visits);
    const auto t0 = Clock::now();
    {
      HistoryStore heavy;
      if (!heavy.Open(bench5)) Fatal(heavy.Message());
      sqlite3_exec(heavy.Db(), "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
      int heavyVisits = 0;
      for (int r = 0; r < rounds; ++r) {
        const int v0 = visits * r / rounds, v1 = visits * (r + 1) / rounds - 1;
        db.Exec(fill, {templ, std::to_string(r), std::to_string(firstFilled), std::to_string(units), std::to_string(v0),
                       std::to_string(v1)});
        sqlite3_exec(heavy.Db(), "BEGIN", nullptr, nullptr, nullptr);
        for (; heavyVisits < 1000 * (r + 1) / rounds; ++heavyVisits)
          Write(heavy, "Bench 5", heavyId, kHeavy, heavyVisits);
        sqlite3_exec(heavy.Db(), "COMMIT", nullptr, nullptr, nullptr);
        Push(bench5, setting);
        std::printf(r ? " %d" : "  filling rounds: %d", r + 1);
        std::fflush(stdout);
      }
    }
    // Each filled unit's summary, as Send leaves it: from its latest state, and its latest
    // battery count; the battery's capacity from its latest status read (which read the battery's
    // type and stacks), with when it was read.
    const std::string at = [](const std::string& i) {
      return "(convert_from(l.fields[" + i + "], 'UTF8') || '+00')::timestamptz";
    }(idx("ReleaseTime"));
    db.Exec(
        "INSERT INTO velmoor_unit(unit_id, serial, last_at, release_at, selftest_at, selftest_result, count,"
        " count_at, capacity, capacity_at)"
        " SELECT l.unit_id, coalesce(l.fields[" +
            idx("SerialNo") + "], l.serial), l.at, " + at + ", (convert_from(l.fields[" + idx("HardwareTime") +
            "], 'UTF8') || '+00')::timestamptz," + " convert_from(l.fields[" + idx("HardwareResult") +
            "], 'UTF8')::int, c.battery_count, c.at, " + std::to_string(perStack) +
            " * (1 + (l.unit_id - $1::int) % 4), c.at"
            " FROM (SELECT DISTINCT ON (unit_id) unit_id, at, serial, fields FROM velmoor_event"
            "  WHERE unit_id >= $1::int AND unit_id < $1::int + $2::int ORDER BY unit_id, at DESC) l"
            " JOIN (SELECT DISTINCT ON (unit_id) unit_id, at, battery_count FROM velmoor_event"
            "  WHERE unit_id >= $1::int AND unit_id < $1::int + $2::int AND battery_count IS NOT NULL"
            "  ORDER BY unit_id, at DESC) c USING (unit_id)",
        {std::to_string(firstFilled), std::to_string(units)});
    // Each filled bench's line, as Send keeps it (site status counts the events from it).
    db.Exec(
        "INSERT INTO velmoor_bench AS b(bench, terminal, last_event_at, events)"
        " SELECT bench, max(terminal), max(at), count(*) FROM velmoor_event"
        "  WHERE unit_id >= $1::int AND unit_id < $1::int + $2::int GROUP BY bench"
        " ON CONFLICT (bench) DO UPDATE SET last_event_at = GREATEST(b.last_event_at, EXCLUDED.last_event_at),"
        " events = b.events + EXCLUDED.events",
        {std::to_string(firstFilled), std::to_string(units)});
    db.Exec("ANALYZE");
    const double fillS = MsSince(t0) / 1000.0;
    std::printf(
        "\n2. the site: %s events of %s units filled in %.1f s; tables %s, indexes %s\n",
        db.Exec("SELECT count(*) FROM velmoor_event").c_str(), db.Exec("SELECT count(*) FROM velmoor_unit").c_str(),
        fillS, db.Exec("SELECT pg_size_pretty(pg_table_size('velmoor_event') + pg_table_size('velmoor_unit'))").c_str(),
        db.Exec("SELECT pg_size_pretty(pg_indexes_size('velmoor_event') + pg_indexes_size('velmoor_unit'))").c_str());

    HistorySettings settings;
    // A month after the last round of visits.
    const int64_t nowMs = ToUnixMs(DateTime{kBase.value + visits * kDaysBetweenVisits + 30.0, true});
    std::vector<UnitFlags> due;
    const double dueMs = Median(7, [&] {
      if (SiteProblem q = site.Due(settings, nowMs, due)) Fatal(q.message);
    });
    int release = 0, selfTest = 0, selfFailed = 0, battery = 0;
    for (const UnitFlags& f : due) {
      release += f.releaseTestDue, selfTest += f.selfTestDue, selfFailed += f.selfTestFailed;
      battery += f.batteryPastThreshold || f.batteryHeadingThere;
    }
    std::printf("  Due() over %s units: %zu flagged (release test %d, self test %d, self test failed %d, battery %d)\n",
                db.Exec("SELECT count(*) FROM velmoor_unit").c_str(), due.size(), release, selfTest, selfFailed,
                battery);
    Figure("  SiteServer::Due (median of 7)", dueMs, 500.0, "ms");
    // The units pushed through SiteSender (Bench 3's and the unit of 1,000 visits): the site's due
    // for them is what their benches' own stores say of the same events; a difference is a fault.
    {
      auto shown = [](const UnitFlags& f) {
        char b[160];
        std::snprintf(b, sizeof b, "release %d self %d failed %d battery %d %d %.3f", f.releaseTestDue, f.selfTestDue,
                      f.selfTestFailed, f.batteryPastThreshold, f.batteryHeadingThere, f.batteryDaysToThreshold);
        return std::string(b);
      };
      std::map<int32_t, std::string> onSite, local;
      for (const UnitFlags& f : due)
        if (f.unitId < firstFilled || f.unitId == heavyId) onSite[f.unitId] = shown(f);
      for (const fs::path& file : {bench3, bench5}) {
        HistoryStore store;
        if (!store.Open(file)) Fatal(store.Message());
        store.settings = settings;
        for (const UnitFlags& f : store.Due(FromUnixMs(nowMs))) local[f.unitId] = shown(f);
      }
      // And four filled units (one to four stacks): their summaries against their events replayed.
      for (int32_t id = firstFilled; id < firstFilled + std::min(units, 4); ++id) {
        HistoryStore mirror;
        if (SiteProblem q = LoadSiteUnit(site, id, settings, mirror)) Fatal(q.message);
        const auto f = mirror.Flags(id, FromUnixMs(nowMs));
        if (f && f->Any()) local[id] = shown(*f);
        for (const UnitFlags& g : due)
          if (g.unitId == id) onSite[id] = shown(g);
      }
      size_t differ = 0;
      for (const auto& [id, text] : local) differ += onSite.count(id) == 0 || onSite[id] != text;
      for (const auto& [id, text] : onSite) differ += local.count(id) == 0;
      std::printf("  pushed and four filled units: %zu due on the site, %zu replayed in a store, %zu differing\n",
                  onSite.size(), local.size(), differ);
      if (differ) failed = true;
    }
    // What is due as a bench reads it: the site's, with this PC's unsent events taken in (here
    // the status read just made of one unit, and then an offline bench's ten).
    const fs::path bench7 = dir / "bench7.sqlite";
    {
      HistoryStore waiting;
      if (!waiting.Open(bench7)) Fatal(waiting.Message());
      Write(waiting, "Bench 7", firstFilled, 0, visits);
      std::vector<UnitFlags> merged;
      const double oneMs = Median(7, [&] {
        if (SiteProblem q = SiteDue(site, waiting, setting.conninfo, nowMs, merged)) Fatal(q.message);
      });
      Figure("  SiteDue, one unit's event unsent, over SiteServer::Due (ratio)", oneMs / dueMs, 1.2, "x");
      for (int k = 1; k < 10; ++k) Write(waiting, "Bench 7", firstFilled + k, k, visits);
      const double tenMs = Median(7, [&] {
        if (SiteProblem q = SiteDue(site, waiting, setting.conninfo, nowMs, merged)) Fatal(q.message);
      });
      std::printf("  SiteDue, ten units' events unsent: %.1f ms (%.2f x SiteServer::Due; no target)\n", tenMs,
                  tenMs / dueMs);
    }
    // What "velmoor-cli site status" asks of the server (no target: shown for the record).
    int64_t eventCount = 0, unitCount = 0, benches = 0;
    const auto tc = Clock::now();
    site.Counts(eventCount, unitCount, benches);
    std::printf("  SiteServer::Counts (site status): %.1f ms for %lld events, %lld units, %lld benches\n", MsSince(tc),
                static_cast<long long>(eventCount), static_cast<long long>(unitCount), static_cast<long long>(benches));

    // 3. The unit of 1,000 visits, read from the site into a mirror and its dossier loaded, as
    // "velmoor-cli history" and the window's dossier do.
    size_t shown = 0;
    char heavySerial[32];
    std::snprintf(heavySerial, sizeof heavySerial, "%06d-%03d", 100000 + kHeavy, kHeavy % 1000);
    std::vector<double> mirrorMs, loadMs, mirrorCpu, loadCpu;
    HistoryStore local;  // the bench that made the visits, one of them not sent yet
    if (!local.Open(bench5)) Fatal(local.Message());
    Write(local, "Bench 5", heavyId, kHeavy, 1000);
    const double dossierMs = Median(7, [&] {
      const auto t2 = Clock::now();
      const double c2 = CpuMs();
      HistoryStore mirror;
      std::optional<int32_t> unit;
      // As a bench reads it, by its serial number: the site's visits with its own unsent ones
      // merged in.
      if (SiteProblem q = ReadSiteUnit(site, heavySerial, local, setting.conninfo, mirror, unit)) Fatal(q.message);
      if (!unit) Fatal("the unit of 1,000 visits is not on the site");
      const auto t3 = Clock::now();
      const double c3 = CpuMs();
      const Dossier d = mirror.LoadDossier(*unit, FromUnixMs(nowMs));
      shown = d.visits.size();
      mirrorMs.push_back(std::chrono::duration<double, std::milli>(t3 - t2).count());
      loadMs.push_back(MsSince(t3));
      mirrorCpu.push_back(c3 - c2);
      loadCpu.push_back(CpuMs() - c3);
    });
    auto median = [](std::vector<double> v) {
      std::sort(v.begin(), v.end());
      return v[v.size() / 2];
    };
    std::printf("3. a unit of %zu visits from the site:\n", shown);
    Figure("  ReadSiteUnit (one visit unsent) + LoadDossier (median of 7)", dossierMs, 200.0, "ms");
    // Where the time goes: the server's look-up and its query alone, then the mirror's writing.
    int32_t heavyUnit = -1;
    const double findMs = Median(7, [&] {
      SiteProblem q;
      heavyUnit = site.FindUnit(heavySerial, q).value_or(-1);
    });
    std::vector<HistoryStore::OutboxEvent> events;
    const double queryMs = Median(7, [&] { site.LoadUnit(heavyUnit, events); });
    std::printf(
        "  medians of its steps: ReadSiteUnit %.1f ms (CPU %.1f ms), of which FindUnit alone %.1f ms and"
        " SiteServer::LoadUnit alone %.1f ms (CPU %.1f ms) for %zu events; LoadDossier %.1f ms (CPU %.1f ms)\n",
        median(mirrorMs), median(mirrorCpu), findMs, queryMs, lastCpuMs, events.size(), median(loadMs),
        median(loadCpu));
    status = failed ? 1 : 0;
  }
  if (std::getenv("BENCH_SITE_KEEP")) {
    // For a look at the filled server (EXPLAIN ANALYZE): left running, stopped by hand.
    std::printf(
        "server left running: psql -h %s -p %s -U postgres velmoor_site; stop it with\n"
        "  %s/scripts/pg-test-server.sh stop %s && rm -r %s\n",
        (tempDir / "server").c_str(), portKept.c_str(), VT_SOURCE_DIR, (tempDir / "server").c_str(), tempDir.c_str());
    return status;
  }
  CleanUp();
  return status;
}
