// The site's shared history on a real PostgreSQL server (started by the test program itself):
// benches' events merge into one history, a server stopped or killed mid-push loses and doubles
// nothing, an offline bench catches up, twenty benches send at once, every byte of a unit's
// texts comes back, and each fault of the connection is told in one clear message.
#include <gtest/gtest.h>

#include <libpq-fe.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <future>
#include <thread>

#include "history/history_fields.h"
#include "site/site_history.h"
#include "site/site_sender.h"
#include "platform/connection_text.h"
#include "platform/session_log.h"
#include "history/visit_note.h"
#include "ui/unit_dossier.h"
#include "tests/history/history_support.h"
#include "tests/support/pg_server.h"
#include "tests/support/test_bench.h"

using namespace history;
namespace fs = std::filesystem;

namespace {

constexpr int64_t kDay = 86400000;
const DateTime kNow = DateTime::FromCivil({2026, 12, 1, 12, 0, 0});
DateTime DaysAgo(double days) { return FromUnixMs(ToUnixMs(kNow) - int64_t(days * double(kDay))); }

SiteSetting Setting(const std::string& conninfo) {
  SiteSetting s;
  EXPECT_FALSE(ReadSiteSetting(conninfo, s)) << conninfo;
  return s;
}

// What is due, a line per unit with every flag, date and the days left to the battery's threshold.
std::vector<std::string> DueTexts(const std::vector<UnitFlags>& due) {
  std::vector<std::string> out;
  for (const UnitFlags& f : due) {
    char b[200];
    std::snprintf(b, sizeof b, "%d last %lld release %d/%lld self %d/%lld failed %d battery %d %d %.6f", f.unitId,
                  static_cast<long long>(ToUnixMs(f.lastVisit)), f.releaseTestDue,
                  static_cast<long long>(ToUnixMs(f.lastReleaseTest)), f.selfTestDue,
                  static_cast<long long>(ToUnixMs(f.lastSelfTest)), f.selfTestFailed, f.batteryPastThreshold,
                  f.batteryHeadingThere, f.batteryDaysToThreshold);
    out.push_back(b);
  }
  return out;
}

class Site : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pg().ok()) << "the test server did not start (scripts/pg-test-server.sh)";
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    db_ = "t_" + name;
    for (char& c : db_) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    setting_ = Setting(pg().FreshDatabase(db_));
    int from = -1;
    SiteServer init;
    ASSERT_FALSE(init.Init(setting_, from));
    EXPECT_EQ(from, 0);
  }
  void TearDown() override {
    for (auto& s : stores_) s->Close();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  static PgServer& pg() { return PgServer::Get(); }
  // A bench's own store.
  HistoryStore& Bench(const std::string& name) {
    stores_.push_back(std::make_unique<HistoryStore>());
    EXPECT_TRUE(stores_.back()->Open(dir_ / name / "history.sqlite"));
    return *stores_.back();
  }
  int64_t OnSite(const std::string& sql) { return std::atoll(pg().Sql(db_, sql).c_str()); }
  // What the site (or another one) says is due, as texts.
  std::vector<std::string> DueOnSite(const HistorySettings& settings, const SiteSetting* at = nullptr) {
    SiteServer server;
    std::vector<UnitFlags> due;
    EXPECT_FALSE(server.Connect(at ? *at : setting_));
    EXPECT_FALSE(server.Due(settings, ToUnixMs(kNow), due));
    return DueTexts(due);
  }
  SiteState Push(HistoryStore& store, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    return SiteSender(store.File(), setting_).PushAll(timeout);
  }

  fs::path dir_ = FreshTempDir("site");
  std::string db_;
  SiteSetting setting_;
  std::vector<std::unique_ptr<HistoryStore>> stores_;
};

}  // namespace

// Two benches see the same units; bench B (the later visits) sends first. The site's dossier
// has every visit of both in time order, its differences span the benches, and what is due on
// the site is what one store holding every visit says.
TEST_F(Site, TwoBenchesMergeIntoOneHistory) {
  HistoryStore &a = Bench("a"), &b = Bench("b"), &all = Bench("all");
  // Bench A and bench B take turns with each unit's reads; "all" has every read.
  ForEachDueRead(kNow, [&](int32_t id, const StatusChecks& c, DateTime at, int count, size_t i) {
    UnitStatus s = AUnit(id);
    s.Count = count, s.CPU = static_cast<int>(i);
    AppendRead(i % 2 ? b : a, s, at, c, i % 2 ? "Bench B" : "Bench A");
    AppendRead(all, s, at, c);
  });
  // Both benches took unit 6 in from the data folder they share: one visit on the site.
  for (HistoryStore* s : {&a, &b, &all}) {
    HistoryEvent ev;
    ev.time = DaysAgo(500), ev.unitId = 6, ev.imported = true, ev.statusRead = true;
    const FieldTexts t = TextsOf(StatusChecks{}, AUnit(6));
    ASSERT_TRUE(s->Append(ev, &t));
  }
  EXPECT_FALSE(Push(b).problem);
  SiteServer server;
  ASSERT_FALSE(server.Connect(setting_));
  // Bench A's import of unit 6, not sent yet, is the visit the site took from bench B: A's view
  // of the site shows it once.
  HistoryStore aView;
  ASSERT_FALSE(LoadSiteUnit(server, 6, a.settings, aView, &a, setting_.conninfo));
  EXPECT_EQ(aView.Visits(6).size(), 1u);
  EXPECT_EQ(aView.LoadDossier(6, kNow).visits.size(), 1u);
  EXPECT_FALSE(Push(a).problem);
  EXPECT_EQ(OnSite("SELECT count(*) FROM velmoor_event"), 9);
  // The reports' views show the benches and the units as text.
  EXPECT_EQ(pg().Sql(db_, "SELECT string_agg(bench, ',' ORDER BY bench) FROM velmoor_bench_list WHERE bench <> ''"),
            "Bench A,Bench B");
  EXPECT_EQ(pg().Sql(db_, "SELECT unit FROM velmoor_unit_list WHERE unit_id = 5"), "000005");
  // Unit 1's count is bench B's later one (20), though bench A's older one (10) came last.
  EXPECT_EQ(OnSite("SELECT count FROM velmoor_unit WHERE unit_id = 1"), 20);
  SiteProblem p;
  ASSERT_EQ(server.FindUnit("000005", p), 5);
  EXPECT_FALSE(server.FindUnit("000009", p));
  HistoryStore mirror;
  ASSERT_FALSE(LoadSiteUnit(server, 5, all.settings, mirror));
  const Dossier d = mirror.LoadDossier(5, kNow);
  ASSERT_EQ(d.visits.size(), 3u);
  EXPECT_EQ(d.visits[0].bench, "Bench A");  // newest first: 1 day ago, then 40 (bench B), then 60
  EXPECT_EQ(d.visits[1].bench, "Bench B");
  ASSERT_EQ(d.lastDiff.changes.size(), 2u);  // CPU and Count, from bench B's visit to bench A's
  EXPECT_EQ(d.lastDiff.changes[0].before, "1");
  EXPECT_EQ(d.series[0].points.size(), 3u);

  // A visit bench A has not sent yet is in its view of the site, once.
  AppendRead(a, AUnit(5), kNow, {}, "Bench A");
  ASSERT_FALSE(LoadSiteUnit(server, 5, all.settings, mirror, &a, setting_.conninfo));
  EXPECT_EQ(mirror.Visits(5).size(), 4u);
  EXPECT_EQ(DueOnSite(all.settings), DueTexts(all.Due(kNow)));
}

namespace {

// What a reader of a unit shows, as comparable texts: every visit, the last differences and the
// latest state.
std::vector<std::string> Shown(HistoryStore& store, int32_t unit) {
  std::vector<std::string> out;
  for (const HistoryEvent& e : store.Visits(unit))
    out.push_back("visit " + std::to_string(ToUnixMs(e.time)) + " " + e.bench + " " + e.action + " " + e.outcome);
  const StatusDiff d = store.Diff(unit);
  out.push_back("diff " + std::to_string(ToUnixMs(d.fromTime)) + " " + std::to_string(ToUnixMs(d.toTime)));
  for (const FieldChange& c : d.changes) out.push_back("  " + c.element + " " + c.before + " -> " + c.after);
  const Dossier dossier = store.LoadDossier(unit, kNow);
  for (int i = 0; i < kFieldCount; ++i) out.push_back(std::string(FieldName(i)) + "=" + dossier.latest[size_t(i)]);
  return out;
}

}  // namespace

// Three benches with their own history files and data folders work on the same units, bench C
// offline for a while; one bench doing all the work keeps the same steps. Every bench's view of
// the site (and the window's dossier and status line note) gives the same visits, differences,
// latest state and what is due as that one bench: a status read after a test report shows no
// "not read" value as a change, a bench that never tested a unit does not set its last self test
// back, sensors read at one bench are not undone by a plain read at another, and while C is
// offline its own unsent units are in its due and history.
TEST_F(Site, ThreeBenchesAgreeWithOneBenchDoingAllTheWork) {
  HistoryStore &a = Bench("a"), &b = Bench("b"), &c = Bench("c"), &one = Bench("one");
  auto step = [&](HistoryStore& bench, const char* name, const UnitStatus& s, double daysAgo, StatusChecks checks = {},
                  int32_t failed = 0) {
    for (HistoryStore* store : {&bench, &one}) AppendRead(*store, s, DaysAgo(daysAgo), checks, name, failed);
  };
  UnitStatus report = AUnit(1);  // a test report: status, sensors, both tests
  report.PressureFullScale = 5030.83f, report.DepthOffset = 1.26f;
  StatusChecks tested;
  tested.HardwareTime = DaysAgo(30), tested.HardwareResult = 0;
  tested.ReleaseTime = DaysAgo(30), tested.ReleaseResult = 0;
  step(a, "bench A", report, 30, tested);
  UnitStatus sensors = AUnit(1);  // bench B never tested it; it reads the sensors anew
  sensors.Count = 12, sensors.CPU = 3, sensors.PressureFullScale = 5100.0f, sensors.DepthOffset = 1.5f;
  step(b, "bench B", sensors, 20);
  UnitStatus partial = AUnit(1);  // the transponder reader failed at bench C
  partial.Voltage = -1.0f, partial.Count = -1, partial.CPU = -1;
  step(c, "bench C", partial, 15, {}, 2);
  StatusChecks old;
  old.HardwareTime = DaysAgo(400), old.HardwareResult = 3;
  step(c, "bench C", AUnit(3), 10, old);  // a unit only bench C has seen
  step(a, "bench A", AUnit(2), 5);
  UnitStatus moved = AUnit(1);
  moved.Count = 14, moved.CPU = 3, moved.Address = 9;
  step(b, "bench B", moved, 2);
  step(a, "bench A", moved, 1);  // a plain status read: no sensors, and A's file has its old checks
  EXPECT_FALSE(Push(a).problem);
  EXPECT_FALSE(Push(b).problem);

  SiteServer server;
  ASSERT_FALSE(server.Connect(setting_));
  const std::string key = setting_.conninfo;
  auto dueOf = [&](HistoryStore& bench) {
    std::vector<UnitFlags> due;
    EXPECT_FALSE(SiteDue(server, bench, key, ToUnixMs(kNow), due));
    return DueTexts(due);
  };
  auto viewOf = [&](HistoryStore& bench, const char* unit) {
    HistoryStore mirror;
    std::optional<int32_t> found;
    EXPECT_FALSE(ReadSiteUnit(server, unit, bench, key, mirror, found));
    return found ? Shown(mirror, *found) : std::vector<std::string>{};
  };
  // Bench C offline: its unsent unit is in its own due and history, not yet in the others'.
  const std::vector<std::string> oneDue = DueTexts(one.Due(kNow));
  EXPECT_EQ(dueOf(c), oneDue);
  EXPECT_EQ(viewOf(c, "000003"), Shown(one, 3));
  EXPECT_EQ(viewOf(a, "000003"), std::vector<std::string>{});

  EXPECT_FALSE(Push(c).problem);
  for (HistoryStore* bench : {&a, &b, &c}) {
    SCOPED_TRACE(bench->File().string());
    EXPECT_EQ(dueOf(*bench), oneDue);
    for (const char* unit : {"000001", "000002", "000003"})
      EXPECT_EQ(viewOf(*bench, unit), Shown(one, *UnitIdOfHex(unit))) << unit;
    // The window's dossier and status line note read the same.
    const UnitDossier window = ReadUnitDossier(*bench, &setting_, 1, kNow);
    EXPECT_TRUE(window.fromSite);
    EXPECT_EQ(SinceLastVisitNote(window.dossier, window.settings),
              SinceLastVisitNote(one.LoadDossier(1, kNow), one.settings));
  }
  // What that one bench says: the differences name no "not read" value, the sensors are bench
  // B's, the self test is bench A's of 30 days ago and is not due.
  const Dossier d = one.LoadDossier(1, kNow);
  for (const FieldChange& ch : d.lastDiff.changes) {
    EXPECT_NE(ch.after, "-1") << ch.element;
    EXPECT_NE(ch.after, "-9999.00") << ch.element;
  }
  EXPECT_EQ(d.latest[*FieldIndex("PressureFullScale")], "5100.00");
  EXPECT_FALSE(d.flags.selfTestDue);
  EXPECT_EQ(ToUnixMs(d.flags.lastSelfTest), ToUnixMs(DaysAgo(30)));
  EXPECT_EQ(OnSite("SELECT count(*) FROM velmoor_unit WHERE unit_id = 1 AND selftest_at IS NOT NULL"), 1);
}

// The server killed (SIGKILL) at the second batch's commit, then stopped at the third's (every
// statement sent, the commit failing): each time the batch is gone from the site and still waits
// here; once the server is back every event is on it once. A batch the site committed but this
// PC did not note (its cursor set back) is taken once too.
TEST_F(Site, ServerKilledOrStoppedMidPushLosesAndDoublesNothing) {
  HistoryStore& store = Bench("a");
  for (int i = 0; i < 1300; ++i) {
    UnitStatus s = AUnit(100 + i % 25);
    s.Count = i;
    AppendRead(store, s, DaysAgo(100 - i * 0.05));
  }
  const int64_t total = 1300, batch = SiteSender::kBatch;
  for (const char* verb : {"kill", "stop"}) {
    SiteSender sender(store.File(), setting_);
    int batches = 0;
    bool done = false;
    sender.OnBatchSent([&](size_t) {
      if (++batches == 2 && !done) done = pg().Run(verb);
    });
    const SiteState cut = sender.PushAll(std::chrono::seconds(2));
    ASSERT_TRUE(done);
    EXPECT_EQ(cut.problem.kind, SiteProblemKind::Unreachable) << cut.problem.message;
    ASSERT_TRUE(pg().Run("start"));
    const int64_t sentBefore = OnSite("SELECT count(*) FROM velmoor_event");
    EXPECT_EQ(sentBefore % batch, 0);
    EXPECT_EQ(cut.waiting, total - sentBefore) << verb;
  }
  EXPECT_FALSE(Push(store).problem);
  auto onSiteOnce = [&] {
    EXPECT_EQ(OnSite("SELECT count(*) FROM velmoor_event"), total);
    EXPECT_EQ(OnSite("SELECT count(DISTINCT bench_event) FROM velmoor_event"), total);
    EXPECT_EQ(OnSite("SELECT max(count) FROM velmoor_unit"), total - 1);
  };
  onSiteOnce();
  HistoryStore::SiteCursor cursor = store.Cursor(setting_.conninfo);
  cursor.lastId = 0;
  ASSERT_TRUE(store.SetCursor(setting_.conninfo, cursor));
  EXPECT_FALSE(Push(store).problem);
  onSiteOnce();
}

// A bench away from the site for a session: its operations go on, the status line says since
// when and how many wait, the problem is told once; when the site is back the background
// sender catches up by itself, and a new event follows at its nudge.
TEST_F(Site, OfflineBenchCatchesUpWhenTheSiteReturns) {
  HistoryStore& store = Bench("a");
  for (int i = 0; i < 20; ++i) AppendRead(store, AUnit(7), DaysAgo(20 - i));
  ASSERT_TRUE(pg().Run("stop"));
  SiteSender sender(store.File(), setting_);
  sender.Start();
  auto waitFor = [&](auto&& pred) {
    for (int i = 0; i < 400 && !pred(sender.State()); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return sender.State();
  };
  SiteState s = waitFor([](const SiteState& st) { return bool(st.problem); });
  const std::string line = SiteStatusText(s);
  EXPECT_EQ(line.rfind("site unreachable since ", 0), 0u) << line;
  EXPECT_EQ(line.substr(line.size() - 12), ", 20 waiting") << line;
  EXPECT_NE(sender.TakeMessage().find("cannot be reached"), std::string::npos);
  EXPECT_EQ(sender.TakeMessage(), "");

  ASSERT_TRUE(pg().Run("start"));
  s = waitFor([](const SiteState& st) { return !st.problem && st.waiting == 0; });
  EXPECT_EQ(SiteStatusText(s), "site: up to date");
  AppendRead(store, AUnit(7), kNow);
  sender.Nudge();
  waitFor([&](const SiteState&) { return OnSite("SELECT count(*) FROM velmoor_event") == 21; });
  EXPECT_EQ(OnSite("SELECT count(*) FROM velmoor_event"), 21);
}

// No server holds up the program's end or a push past its time-out: a statement held up (a table
// locked by another session) is broken off by stopping the sender, and given up by a push at its
// 2 s, as is a listener that never answers (with a connection time-out of 60 s). The server
// drops what was given up, and the event waits here. (The bound of 20 s is far from both the 2 s
// asked and the waits without it: the lock is let go after 40 s.) The sender's thread has ended
// when Stop returns: the session log, ended next, has the break-off as the line before its last.
TEST_F(Site, NoServerHoldsUpTheEndOrAPushPastItsTimeout) {
  HistoryStore& store = Bench("a");
  AppendRead(store, AUnit(7), kNow);
  auto push = [&](const SiteSetting& s) {
    const auto start = std::chrono::steady_clock::now();
    const SiteState st = SiteSender(store.File(), s).PushAll(std::chrono::seconds(2));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << s.shown;
    EXPECT_EQ(st.problem.kind, SiteProblemKind::Unreachable);
    EXPECT_NE(st.problem.message.find("(" + s.shown + ") did not answer within"), std::string::npos)
        << st.problem.message;
    EXPECT_EQ(st.waiting, 1);
  };
  Listener silent(false);
  push(Setting("host=127.0.0.1 port=" + silent.port() + " dbname=x connect_timeout=60"));

  PGconn* holder = PQconnectdb(setting_.conninfo.c_str());
  PQclear(PQexec(holder, "BEGIN; LOCK TABLE velmoor_unit IN EXCLUSIVE MODE"));
  std::promise<void> done;
  std::thread release([holder, pushed = done.get_future()] {
    pushed.wait_for(std::chrono::seconds(40));
    PQclear(PQexec(holder, "COMMIT"));
  });
  ASSERT_NE(SessionLog::Start(DataPaths{dir_}, true, "test"), nullptr);
  SiteSender sender(store.File(), setting_);
  sender.Start();
  for (int i = 0; i < 200 && OnSite("SELECT count(*) FROM pg_locks WHERE NOT granted") == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  EXPECT_GT(OnSite("SELECT count(*) FROM pg_locks WHERE NOT granted"), 0);
  sender.Stop(std::chrono::milliseconds(100));
  SessionLog::Stop();
  push(setting_);
  done.set_value();
  release.join();
  PQfinish(holder);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(OnSite("SELECT count(*) FROM velmoor_event"), 0);
  EXPECT_EQ(store.CountAfter(store.Cursor(setting_.conninfo).lastId), 1);
  const std::string log = LoggedText(dir_);
  const size_t breakOff = log.rfind("] site The site server"), stop = log.rfind("] stop session ends\n");
  ASSERT_LT(breakOff, stop) << log;
  EXPECT_EQ(std::count(log.begin() + breakOff, log.end(), '\n'), 2) << log;  // its line, then the last one
}

// Twenty benches write and send at once, their visits of the same units interleaved: every
// event is on the site once, under an id of its own, and each unit's summary is its latest
// visit's, whichever bench sent last.
TEST_F(Site, TwentyBenchesSendAtOnce) {
  std::vector<std::thread> threads;
  std::atomic<int> failed{0};
  for (int b = 0; b < 20; ++b)
    // Each bench writes its events, on a thread of its own, and sends them.
    threads.emplace_back([&, b, &store = Bench("b" + std::to_string(b))] {
      for (int i = 0; i < 60; ++i) {
        UnitStatus s = AUnit(1 + i % 6);
        s.Count = b * 100 + i;
        AppendRead(store, s, DaysAgo(10 - (b * 60 + i) * 0.001), {}, "Bench " + std::to_string(b));
      }
      if (SiteSender(store.File(), setting_).PushAll(std::chrono::seconds(60)).problem) ++failed;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(OnSite("SELECT count(*) FROM velmoor_event"), 1200);
  EXPECT_EQ(OnSite("SELECT count(DISTINCT uid) FROM velmoor_event"), 1200);
  // The last visit of all is bench 19's event 59 (unit 6): its count is the unit's.
  EXPECT_EQ(OnSite("SELECT count FROM velmoor_unit WHERE unit_id = 6"), 1959);
  EXPECT_EQ(OnSite("SELECT count(*) FROM velmoor_unit u WHERE last_at ="
                   " (SELECT max(at) FROM velmoor_event e WHERE e.unit_id = u.unit_id)"),
            6);
}

// Every byte value, quotes and statement text in a unit's texts and fields comes back from the
// site exactly as sent (they are bound, never spliced into a statement).
TEST_F(Site, EveryByteComesBackExactly) {
  HistoryStore& store = Bench("a");
  std::string every;
  for (int c = 0; c < 256; ++c) every += static_cast<char>(c);
  const std::string hostile = "x'); DROP TABLE velmoor_event; --\"\\" + every;
  HistoryEvent ev;
  ev.time = kNow, ev.unitId = 9, ev.action = "General Status", ev.outcome = "done", ev.statusRead = true;
  ev.serial = ev.bench = ev.operatorName = ev.reason = ev.differences = ev.file = hostile;
  ev.command = ev.reply = ev.logFile = hostile;
  FieldTexts fields;
  for (size_t i = 0; i < fields.size(); ++i) fields[i] = i % 2 ? hostile : std::string();
  fields[static_cast<size_t>(*FieldIndex("SerialNo"))] = hostile;
  ASSERT_TRUE(store.Append(ev, &fields));
  ASSERT_FALSE(Push(store).problem);

  SiteServer server;
  ASSERT_FALSE(server.Connect(setting_));
  std::vector<HistoryStore::OutboxEvent> back;
  ASSERT_FALSE(server.LoadUnit(9, back));
  ASSERT_EQ(back.size(), 1u);
  const HistoryEvent& r = back[0].event;
  for (const std::string* t :
       {&r.serial, &r.bench, &r.operatorName, &r.reason, &r.differences, &r.file, &r.command, &r.reply, &r.logFile})
    EXPECT_EQ(*t, hostile);
  EXPECT_EQ(r.uid, ev.uid);
  EXPECT_EQ(ToUnixMs(r.time), ToUnixMs(ev.time));
  ASSERT_TRUE(back[0].hasState);
  for (size_t i = 0; i < fields.size(); ++i) {
    // A check without a time is no reading (the times here are not dates).
    if (IsChecksField(static_cast<int>(i))) continue;
    EXPECT_EQ(back[0].state[i], fields[i]) << FieldName(static_cast<int>(i));
  }
  SiteProblem p;
  EXPECT_EQ(server.FindUnit(hostile, p), 9);
  EXPECT_EQ(OnSite("SELECT count(*) FROM velmoor_visit WHERE reply LIKE 'x''); DROP%'"), 1);
}

// Each fault of the connection or the site's tables is one clear message of its kind, without
// the password, and leaves nothing half done. The kind is the same when libpq and the server
// speak German: it is told by libpq's state and the server's codes, not by their words.
TEST_F(Site, EachFaultIsToldInOneClearMessageInAnyLanguage) {
  pg().Sql(db_,
           "DROP ROLE IF EXISTS bench_pw; CREATE ROLE bench_pw LOGIN PASSWORD 'right-one';"
           "GRANT ALL ON ALL TABLES IN SCHEMA public TO bench_pw; DROP ROLE IF EXISTS bench_none;"
           "CREATE ROLE bench_none LOGIN");
  const fs::path pgpass = dir_ / "pgpass";
  std::ofstream(pgpass) << "127.0.0.1:" << pg().port() << ":*:bench_pw:wrong-one\n";
  fs::permissions(pgpass, fs::perms::owner_read | fs::perms::owner_write);
  ::setenv("PGPASSFILE", pgpass.c_str(), 1);
  const std::string tcp = "host=127.0.0.1 port=" + pg().port() + " dbname=" + db_;
  const std::string older = pg().FreshDatabase(db_ + "_old"), newer = pg().FreshDatabase(db_ + "_new");
  const std::string bare = pg().FreshDatabase(db_ + "_bare");
  pg().Sql(db_ + "_bare", "REVOKE CONNECT ON DATABASE " + db_ + "_bare FROM PUBLIC");
  const std::string socket = "host=" + pg().host() + " port=" + pg().port() + " user=bench_none dbname=";
  int from = -1;
  ASSERT_FALSE(SiteServer().Init(Setting(older), from, SiteServer::kSchemaVersion - 1));
  ASSERT_FALSE(SiteServer().Init(Setting(newer), from));
  pg().Sql(db_ + "_new", "UPDATE velmoor_schema SET version = version + 1");
  Listener garbage(true);
  const std::string other = "host=127.0.0.1 dbname=x port=" + garbage.port();
  struct Case {
    std::string conninfo;
    SiteProblemKind kind;
    const char* says;
  } cases[] = {
      {tcp + " user=bench_pw", SiteProblemKind::Password, "password"},
      {tcp + " user=nobody_here", SiteProblemKind::Password, "password"},
      {"host=no-such-host.invalid dbname=x", SiteProblemKind::UnknownHost, "is not known"},
      {tcp + " user=bench_pw sslmode=require", SiteProblemKind::Tls, "TLS"},
      {"host=127.0.0.1 port=1 dbname=x", SiteProblemKind::Unreachable, "cannot be reached"},
      {other, SiteProblemKind::Unreachable, "is not a PostgreSQL server"},
      {other + " sslmode=require", SiteProblemKind::Unreachable, "is not a PostgreSQL server"},
      {pg().Conninfo(db_ + "_nonesuch"), SiteProblemKind::Refused, "refused"},
      {socket + db_ + "_bare", SiteProblemKind::Refused, "refused"},  // no CONNECT on the database
      {socket + db_, SiteProblemKind::Refused, "refused"},            // no grant on the tables
      {"service=no_such_service", SiteProblemKind::BadSetting, "cannot be used"},
      {tcp + " sslmode=bogus", SiteProblemKind::BadSetting, "cannot be used"},
      {bare, SiteProblemKind::NotInitialised, "velmoor-cli site init"},
      {older, SiteProblemKind::OlderSchema, "velmoor-cli site init"},
      {newer, SiteProblemKind::NewerSchema, "newer terminal"},
  };
  auto tell = [&](std::vector<std::string>& details) {
    for (const Case& c : cases) {
      SiteServer server;
      const SiteProblem p = server.Connect(Setting(c.conninfo));
      EXPECT_EQ(p.kind, c.kind) << c.conninfo << ": " << p.message << " [" << p.detail << "]";
      EXPECT_NE(p.message.find(c.says), std::string::npos) << p.message;
      EXPECT_EQ(p.message.find("wrong-one"), std::string::npos);
      EXPECT_FALSE(server.Connected()) << c.conninfo;
      details.push_back(p.detail);
    }
  };
  std::vector<std::string> english, german;
  tell(english);
  {
    // libpq's words in this program's language, the server's in its lc_messages (the server
    // started anew takes LANGUAGE from this program).
    ::setenv("LANGUAGE", "de", 1);
    std::setlocale(LC_ALL, "C.UTF-8");
    pg().Sql("postgres", "ALTER SYSTEM SET lc_messages = 'C.UTF-8'");
    struct Back {
      ~Back() {
        ::unsetenv("LANGUAGE");
        std::setlocale(LC_ALL, "C");
        PgServer::Get().Sql("postgres", "ALTER SYSTEM RESET lc_messages");
        PgServer::Get().Run("stop"), PgServer::Get().Run("start");
      }
    } back;
    ASSERT_TRUE(pg().Run("stop") && pg().Run("start"));
    tell(german);
  }
  // The words were German indeed: libpq's (nothing listening) and the server's (no database).
  EXPECT_NE(german[4], english[4]);
  EXPECT_NE(german[7], english[7]) << german[7];
  ::unsetenv("PGPASSFILE");

  // A fault of this PC's own history is not the site's.
  const fs::path damaged = dir_ / "damaged.sqlite";
  std::ofstream(damaged) << std::string(4096, 'x');
  const SiteState s = SiteSender(damaged, setting_).PushAll(std::chrono::seconds(5));
  EXPECT_EQ(s.problem.kind, SiteProblemKind::LocalHistory) << s.problem.message;
  EXPECT_EQ(SiteStatusText(s).rfind("site: paused, this PC's history cannot be read", 0), 0u) << SiteStatusText(s);

  // An older site is brought up to date by init (and then taken); a newer one is left as it is.
  EXPECT_FALSE(SiteServer().Init(Setting(older), from));
  EXPECT_EQ(from, SiteServer::kSchemaVersion - 1);
  EXPECT_FALSE(SiteServer().Connect(Setting(older)));
  EXPECT_EQ(SiteServer().Init(Setting(newer), from).kind, SiteProblemKind::NewerSchema);
  EXPECT_EQ(pg().Sql(db_ + "_new", "SELECT version FROM velmoor_schema"),
            std::to_string(SiteServer::kSchemaVersion + 1));
}

// A connection text is shown and logged without its secrets, in either form libpq reads, and
// one with a password is refused without naming it, wherever it is given.
TEST(SiteSetting, SecretsAreNeverShown) {
  const std::pair<const char*, const char*> shown[] = {
      {"host=h port=5433 dbname=velmoor user=b7 password=s3cret sslmode=verify-full sslrootcert=/k/ca.crt",
       "host=h port=5433 dbname=velmoor user=b7 sslmode=verify-full"},
      {" password = 's3 cret' host = 'my host' dbname='it\\'s' ", "host='my host' dbname='it\\'s'"},
      {"host=h password='s3cret", "host=h ..."},
      {"host='h password=s3cret", "..."},
      {"options='-c password=s3cret' service=velmoor", "service=velmoor"},
      {"postgresql://b7:s3cret@h1:5432,h2/velmoor?sslmode=require&password=s3cret&sslkey=/k",
       "user=b7 host=h1,h2 port=5432, dbname=velmoor sslmode=require"},
      {"postgres://b7:s3cret@[::1]:5433/db%zz?password=s3cret", "user=b7 host=::1 port=5433 ..."},
      {"postgresql://h/db?password%3ds3cret", "host=h dbname=db ..."},
  };
  for (const auto& [text, redacted] : shown) {
    EXPECT_EQ(RedactConnection(text), redacted) << text;
    EXPECT_TRUE(ConnectionCarriesPassword(text)) << text;
    SiteSetting s;
    const SiteProblem p = ReadSiteSetting(text, s);
    EXPECT_EQ(p.kind, SiteProblemKind::BadSetting) << text;
    EXPECT_NE(p.message.find("carries a password"), std::string::npos) << p.message;
    for (const std::string& t : {p.message, p.detail, s.conninfo, s.shown})
      EXPECT_EQ(t.find("s3cret"), std::string::npos) << t;
    const char* argv[] = {"velmoor-cli", "--site", text, "status"};
    EXPECT_EQ(CommandLineText(4, argv).find("s3cret"), std::string::npos);
    EXPECT_NE(RefusePasswordIn({"--site=" + std::string(text)}), "");
  }
  for (const char* clean : {"service=velmoor", "host=password.example dbname=passwords", "postgresql://b7@h/db"})
    EXPECT_TRUE(!ConnectionCarriesPassword(clean) && RefusePasswordIn({"--site", clean, "status"}).empty()) << clean;
  EXPECT_NE(RefusePasswordIn({"--operator", "x PASSWORD =y"}), "");
  const char* argv[] = {"velmoor-cli", "--site=host=h sslcert=/k/c.crt dbname=d", "due"};
  EXPECT_EQ(CommandLineText(3, argv), "velmoor-cli \"--site=host=h dbname=d\" due");

  // A text libpq cannot read is refused without echoing it (a URI's bad escape), and
  // connect_timeout is taken as libpq takes it.
  SiteSetting s;
  SiteProblem p = ReadSiteSetting("postgresql://b7@h/db%zzkey", s);
  EXPECT_EQ(p.kind, SiteProblemKind::BadSetting);
  for (const std::string& t : {p.message, p.detail}) EXPECT_EQ(t.find("zzkey"), std::string::npos) << t;
  EXPECT_EQ(ReadSiteSetting("host=h connect_timeout=abc", s).kind, SiteProblemKind::BadSetting);
  for (const auto& [given, taken] : {std::pair{"1", 2}, {"0", 0}, {"-3", 0}, {"12", 12}}) {
    ASSERT_FALSE(ReadSiteSetting(std::string("host=h connect_timeout=") + given, s));
    EXPECT_EQ(s.timeoutSeconds, taken) << given;
  }
  ASSERT_FALSE(ReadSiteSetting("service=velmoor sslmode=verify-full", s));
  EXPECT_EQ(s.shown, "service=velmoor sslmode=verify-full");
  EXPECT_NE(s.conninfo.find("connect_timeout=5"), std::string::npos);
}

// A bench the site no longer lets send (a grant revoked) is refused, naming what it lacks, by
// the check of site status and by a push, whose events wait.
TEST_F(Site, ABenchWithoutItsGrantsIsRefused) {
  pg().Sql(db_,
           "DROP ROLE IF EXISTS bench_r; CREATE ROLE bench_r LOGIN; GRANT SELECT ON velmoor_schema TO bench_r;"
           "GRANT SELECT, INSERT ON velmoor_event TO bench_r; GRANT USAGE ON SEQUENCE velmoor_event_id_seq TO bench_r;"
           "GRANT SELECT, INSERT, UPDATE ON velmoor_unit, velmoor_bench TO bench_r");
  const SiteSetting bench = Setting("host=" + pg().host() + " port=" + pg().port() + " user=bench_r dbname=" + db_);
  SiteServer server;
  ASSERT_FALSE(server.Connect(bench));
  EXPECT_FALSE(server.CheckSending());
  pg().Sql(db_, "REVOKE INSERT ON velmoor_event FROM bench_r");
  const SiteProblem p = server.CheckSending();
  EXPECT_EQ(p.kind, SiteProblemKind::Refused);
  EXPECT_NE(p.message.find("lacks INSERT on velmoor_event."), std::string::npos) << p.message;
  HistoryStore& store = Bench("a");
  AppendRead(store, AUnit(3), kNow);
  const SiteState s = SiteSender(store.File(), bench).PushAll(std::chrono::seconds(10));
  EXPECT_EQ(s.problem.kind, SiteProblemKind::Refused) << s.problem.message;
  EXPECT_EQ(s.waiting, 1);
  EXPECT_EQ(SiteStatusText(s).rfind("site refused since ", 0), 0u);
}

// A unit's battery read later as a type of no known capacity: the count is judged against no
// capacity at the site either (not against the two Lithium stacks read before), as the bench's own
// store has it.
TEST_F(Site, BatteryOfNoKnownCapacityReadLastLeavesNone) {
  HistoryStore& a = Bench("a");
  UnitStatus s = AUnit(7);
  s.BatteryStacks = 2, s.Count = 100;
  AppendRead(a, s, DaysAgo(60), {}, "Bench A");
  s.Type = "Unknown", s.Count = 170;
  AppendRead(a, s, DaysAgo(1), {}, "Bench A");
  EXPECT_FALSE(Push(a).problem);
  const std::vector<std::string> due = DueOnSite(a.settings);
  ASSERT_EQ(due.size(), 1u);
  EXPECT_NE(due[0].find(" battery 0 "), std::string::npos) << due[0];
  EXPECT_EQ(due, DueTexts(a.Due(kNow)));
}

// A site an earlier terminal kept (each unit's summary from the state of the bench that sent
// last: here bench B, which never tested unit 8, set its tests back to never) has its summaries
// worked out again from the events when init brings it up to date: what is due there is what one
// store holding every visit says.
TEST_F(Site, AnOlderSitesSummariesAreWorkedOutAgainFromItsEvents) {
  const std::string older = pg().FreshDatabase(db_ + "_v3");
  int from = -1;
  ASSERT_FALSE(SiteServer().Init(Setting(older), from, 3));
  HistoryStore &a = Bench("a"), &b = Bench("b"), &one = Bench("one");
  StatusChecks tested;
  tested.ReleaseTime = tested.HardwareTime = DaysAgo(30), tested.ReleaseResult = tested.HardwareResult = 0;
  UnitStatus s = AUnit(8);
  s.Count = 40;
  for (HistoryStore* store : {&a, &one}) AppendRead(*store, s, DaysAgo(30), tested, "Bench A");
  s.Count = 45;
  for (HistoryStore* store : {&b, &one}) AppendRead(*store, s, DaysAgo(1), {}, "Bench B");
  // Each event as the earlier terminal sent it, with its bench's whole state.
  auto hex = [](const std::string& bytes) {
    std::string out;
    for (const unsigned char c : bytes) out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
    return out;
  };
  for (HistoryStore* store : {&a, &b}) {
    std::map<int32_t, FieldTexts> states;
    for (const HistoryStore::OutboxEvent& o : store->Outbox(0, 10, states)) {
      std::string fields;
      for (const std::string& f : o.state) fields += std::string(fields.empty() ? "" : ",") + "\"\\\\x" + hex(f) + "\"";
      pg().Sql(db_ + "_v3",
               "INSERT INTO velmoor_event(uid, at, unit_id, serial, bench, operator, terminal, action, outcome, reason,"
               " failed_readers, differences, file, file_sha256, records_sent, records_total, duration_ms, test_result,"
               " command, reply, log_file, status_read, imported, fields, battery_count, bench_event) VALUES ('" +
                   o.event.uid + "', to_timestamp(" + std::to_string(ToUnixMs(o.event.time)) + " / 1000.0), 8, '\\x" +
                   hex(o.event.serial) + "', '\\x" + hex(o.event.bench) +
                   "', '', '', 'General Status', 'done', '', 0, '', '', '', 0, 0, -1, -1, '', '', '', true, false, '{" +
                   fields + "}', " + std::to_string(*o.batteryCount) + ", " + std::to_string(o.event.id) + ")");
    }
  }
  // The summary as it left it: bench B's state, sent last.
  pg().Sql(db_ + "_v3", "INSERT INTO velmoor_unit(unit_id, serial, last_at, count, count_at, capacity) VALUES (8, '\\x" +
                            hex(AUnit(8).SerialNo.str()) + "', to_timestamp(" +
                            std::to_string(ToUnixMs(DaysAgo(1))) + " / 1000.0), 45, to_timestamp(" +
                            std::to_string(ToUnixMs(DaysAgo(1))) + " / 1000.0), 0)");
  ASSERT_FALSE(SiteServer().Init(Setting(older), from));
  EXPECT_EQ(from, 3);
  const SiteSetting olderSite = Setting(older);
  EXPECT_EQ(DueOnSite(one.settings, &olderSite), DueTexts(one.Due(kNow)));
  EXPECT_EQ(pg().Sql(db_ + "_v3", "SELECT count FROM velmoor_unit WHERE unit_id = 8"), "45");
}
