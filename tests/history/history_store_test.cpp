// The unit history store on a real SQLite file: events and states round trip, the schema grows
// from its first version, files that are not ours stay untouched, the status file comes in on
// first use, and the differences, series and due flags read back what was written.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "history/history_fields.h"
#include "history/record_outcome.h"
#include "history/sha256.h"
#include "records/status_xml.h"
#include "tests/history/history_support.h"
#include "tests/support/test_bench.h"

using namespace history;
namespace fs = std::filesystem;

namespace {

DateTime Day(int y, int m, int d) { return DateTime::FromCivil({y, m, d, 12, 0, 0}); }

// A current-status file in the data folder holding the unit 0x10 (with its checks) and the others named.
void SaveStatusFile(const fs::path& dir, const StatusChecks& c = {}, std::initializer_list<int32_t> others = {}) {
  CStatusXml doc;
  doc.WriteUnit(c, AUnit(0x10));
  for (const int32_t id : others) doc.WriteUnit(StatusChecks{}, AUnit(id));
  ASSERT_TRUE(doc.Save(dir / "T7Status" / "Current-Status.xml").saved);
}

class History : public ::testing::Test {
 protected:
  void TearDown() override {
    store_.Close();  // Windows removes no open file
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  HistoryEvent Read(const UnitStatus& s, DateTime at, StatusChecks c = {}) { return AppendRead(store_, s, at, c); }
  fs::path dir_ = FreshTempDir("history");
  fs::path file_ = dir_ / "local" / "history.sqlite";
  HistoryStore store_;
};

}  // namespace

TEST(Sha256, KnownVectors) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [text, digest] : cases) EXPECT_EQ(Sha256::Hex(text), digest) << text.size();
}

// Every column and every field comes back as written, hostile texts included: they are bound,
// never spliced into the statements, and a unit's 8-bit text is kept as the status files keep it.
TEST_F(History, EventsAndStatesRoundTrip) {
  ASSERT_TRUE(store_.Open(file_)) << store_.Message();
  const std::string hostile = "x'); DROP TABLE events; --\"\\\n\t\xC3\xA9";
  UnitStatus s = AUnit();
  s.TypeNo = "R\xE9sum\xE9 \x01\x80 ' \" ;";  // code page 1252 bytes, a control byte
  HistoryEvent ev;
  ev.time = Day(2026, 3, 1), ev.unitId = s.UnitId, ev.outcome = "refused", ev.statusRead = true;
  ev.serial = ev.bench = ev.operatorName = ev.terminal = ev.action = ev.reason = ev.differences = hostile;
  ev.file = ev.command = ev.reply = ev.logFile = hostile;
  ev.failedReaders = 4, ev.recordsSent = 7, ev.recordsTotal = 9, ev.durationMs = 1234, ev.testResult = 3;
  ev.fileSha256 = Sha256::Hex("x");
  const FieldTexts texts = TextsOf(StatusChecks{}, s);
  ASSERT_TRUE(store_.Append(ev, &texts));
  store_.Close();

  ASSERT_TRUE(store_.Open(file_));
  const auto visits = store_.Visits(s.UnitId);
  ASSERT_EQ(visits.size(), 1u);
  const HistoryEvent& r = visits[0];
  EXPECT_EQ(r.uid, ev.uid);
  EXPECT_EQ(ToUnixMs(r.time), ToUnixMs(ev.time));
  for (const std::string* t : {&r.bench, &r.operatorName, &r.terminal, &r.action, &r.reason, &r.differences, &r.file,
                               &r.command, &r.reply, &r.logFile, &r.serial})
    EXPECT_EQ(*t, hostile);
  EXPECT_EQ(std::tie(r.failedReaders, r.recordsSent, r.recordsTotal, r.durationMs, r.testResult),
            std::tie(ev.failedReaders, ev.recordsSent, ev.recordsTotal, ev.durationMs, ev.testResult));
  EXPECT_EQ(r.fileSha256, ev.fileSha256);
  const auto states = store_.States(s.UnitId);
  ASSERT_EQ(states.size(), 1u);
  // Every field read comes back; the firmware reader failed (4), so its fields are no values.
  for (const char* name : {"TypeNo", "SerialNo", "CPU", "Voltage", "Count", "Type", "BatteryStacks"})
    EXPECT_EQ(states[0].second[*FieldIndex(name)], texts[*FieldIndex(name)]) << name;
  for (const char* name : {"T7V", "Channel", "DepthOffset", "PressureFullScale"})
    EXPECT_EQ(states[0].second[*FieldIndex(name)], "") << name;
  EXPECT_EQ(states[0].second[*FieldIndex("TypeNo")], "R\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC ' \" ;");
  EXPECT_EQ(store_.FindUnit(hostile).value_or(0), 0);  // the serial of the state, not the event's text
  for (const char* name : {"002345-007", "0x1a2b3c"}) EXPECT_EQ(store_.FindUnit(name), s.UnitId) << name;
  EXPECT_FALSE(store_.FindUnit("1A2B3D"));
}

// The schema grows from the first version: the events written then keep every column and get
// their unique id; the first version's events replay into whole states.
TEST_F(History, MigratesFromTheFirstVersion) {
  fs::create_directories(file_.parent_path());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file_.string().c_str(), &db), SQLITE_OK);
  std::string error;
  ASSERT_TRUE(HistoryStore::Migrate(db, 0, 1, error)) << error;
  const FieldTexts t = TextsOf(StatusChecks{}, AUnit());
  const std::string sql =
      "INSERT INTO events(at_ms, unit_id, serial, action, outcome, status_read, fields)"
      " VALUES(1700000000000, 1715004, '002345-007', 'General Status', 'done', 1, '" +
      FieldsJson(t) +
      "');"
      "INSERT INTO units(unit_id, serial, state, last_ms) VALUES(1715004, '002345-007', '" +
      FieldsJson(t) + "', 1700000000000);";
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);

  ASSERT_TRUE(store_.Open(file_)) << store_.Message();
  UnitStatus later = AUnit();
  later.CPU = 3;
  Read(later, FromUnixMs(1700000000000 + 86400000));
  const auto visits = store_.Visits(0x1A2B3C);
  ASSERT_EQ(visits.size(), 2u);
  EXPECT_EQ(visits[1].uid.size(), 32u);
  EXPECT_NE(visits[0].uid, visits[1].uid);
  const StatusDiff d = store_.Diff(0x1A2B3C);
  ASSERT_EQ(d.changes.size(), 1u);
  EXPECT_EQ(d.changes[0].element, "CPU");
}

// A file that is not a history of ours, or that cannot be read, is left byte for byte as it
// was; the operator is told once.
TEST_F(History, LeavesFilesThatAreNotOursUntouched) {
  auto sqliteFile = [&](const char* sql) { Sql(file_, sql); };
  const struct {
    const char* name;
    std::function<void()> make;
    HistoryStore::State state;
  } cases[] = {
      {"text", [&] { std::ofstream(file_) << "bench notes, not a database\n"; }, HistoryStore::State::Foreign},
      {"header then garbage",
       [&] { std::ofstream(file_) << std::string("SQLite format 3\0", 16) << std::string(5000, 'z'); },
       HistoryStore::State::Damaged},
      {"another program's", [&] { sqliteFile("CREATE TABLE notes(x); INSERT INTO notes VALUES(1);"); },
       HistoryStore::State::Foreign},
      {"a newer terminal's",
       [&] { sqliteFile("CREATE TABLE events(x); PRAGMA application_id = 1447841096; PRAGMA user_version = 99;"); },
       HistoryStore::State::Newer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(file_.parent_path());
    fs::create_directories(file_.parent_path());
    c.make();
    const std::string before = ReadText(file_);
    HistoryStore store;
    EXPECT_FALSE(store.Open(file_));
    EXPECT_EQ(store.state(), c.state);
    EXPECT_NE(store.TakeMessage(), "");
    EXPECT_EQ(store.TakeMessage(), "");
    // Recording goes on without history and without a second message.
    EXPECT_EQ(RecordOutcome(store, {}, MakeOutcome(OutcomeKind::Done, "General Status"), AUnit(), {}, true), "");
    EXPECT_EQ(ReadText(file_), before);
    EXPECT_FALSE(fs::exists(file_.string() + "-wal"));
  }
}

// A write that SQLite refuses (here a full database) costs that event only, is told once, and
// the store goes on.
TEST_F(History, AFullDatabaseLosesOnlyTheEventsThatDidNotFit) {
  ASSERT_TRUE(store_.Open(file_));
  Read(AUnit(), Day(2026, 1, 1));
  sqlite3_exec(store_.Db(), "PRAGMA max_page_count = 1", nullptr, nullptr, nullptr);
  UnitStatus big = AUnit();
  big.String1 = std::string(999, 'q');
  Outcome o = MakeOutcome(OutcomeKind::Done, "Command 1");
  o.command = "#INFO", o.pane = std::string(9000, 'p');
  EXPECT_NE(RecordOutcome(store_, {}, o, big, {}, true), "");
  EXPECT_EQ(RecordOutcome(store_, {}, o, big, {}, true), "");
  EXPECT_TRUE(store_.IsOpen());
  sqlite3_exec(store_.Db(), "PRAGMA max_page_count = 1000000", nullptr, nullptr, nullptr);
  EXPECT_EQ(RecordOutcome(store_, {}, o, big, {}, true), "");
  EXPECT_EQ(store_.Visits(0x1A2B3C).size(), 2u);
}

// On first use each unit of the current-status file becomes its first visit, at the time the
// file holds, naming who and which program took it in; a store that already holds events
// imports nothing.
TEST_F(History, ImportsTheStatusFileOnFirstUse) {
  StatusChecks c;
  c.LastStatusTime = c.HardwareTime = Day(2025, 5, 6), c.HardwareResult = 3;
  SaveStatusFile(dir_, c, {0x20});

  HistoryContext who;
  who.operatorName = "ana", who.terminal = "velmoor-terminal 3.00.012";
  EXPECT_EQ(OpenHistory(store_, file_, DataPaths{dir_}, who), "");
  const auto visits = store_.Visits(0x10);
  ASSERT_EQ(visits.size(), 1u);
  EXPECT_TRUE(visits[0].imported && visits[0].statusRead);
  EXPECT_EQ(visits[0].operatorName + ", " + visits[0].terminal, "ana, velmoor-terminal 3.00.012");
  EXPECT_EQ(visits[0].time.ToText(), "2025-05-06 12:00:00");
  EXPECT_EQ(store_.Visits(0x20).size(), 1u);
  EXPECT_TRUE(store_.Flags(0x10, Day(2025, 6, 1))->selfTestFailed);
  EXPECT_EQ(store_.ImportStatusFile(dir_ / "T7Status" / "Current-Status.xml"), 0);
}

// The differences between the last two reads (or two named visits) come grouped: configuration,
// firmware, measured; the visit's own time and the unit's clock text are not differences.
TEST_F(History, DiffGroupsConfigurationFirmwareMeasured) {
  ASSERT_TRUE(store_.Open(file_));
  UnitStatus s = AUnit();
  const int64_t first = Read(s, Day(2026, 1, 1)).id;
  s.Voltage = 14.1f, s.T7V = "V3.02", s.CPU = 4, s.String2 = "Clock 12:00";
  Read(s, Day(2026, 2, 1));
  HistoryEvent noRead;  // an event between the reads that carries no status
  noRead.unitId = s.UnitId, noRead.action = "Set time", noRead.time = Day(2026, 2, 2);
  ASSERT_TRUE(store_.Append(noRead, nullptr));
  s.Voltage = 13.9f, s.String2 = "Clock 13:00";
  const int64_t last = Read(s, Day(2026, 3, 1)).id;

  StatusDiff d = store_.Diff(s.UnitId);
  ASSERT_EQ(d.changes.size(), 1u);
  EXPECT_EQ(d.changes[0].element + d.changes[0].before + ">" + d.changes[0].after, "Voltage14.10>13.90");

  d = store_.Diff(s.UnitId, first, last);
  std::vector<std::string> shown;
  for (const FieldChange& c : d.changes)
    shown.push_back(std::string(FieldClassName(c.fieldClass)) + " " + c.group + "/" + c.element);
  EXPECT_EQ(shown,
            (std::vector<std::string>{"configuration Power/CPU", "firmware Version/T7V", "measured Battery/Voltage"}));
  EXPECT_FALSE(store_.Diff(s.UnitId, first, noRead.id).found);
  EXPECT_FALSE(store_.Diff(0x99).found);

  const auto series = store_.Series(s.UnitId);
  ASSERT_EQ(series[0].element, "Voltage");
  EXPECT_DOUBLE_EQ(series[0].points.at(2).value, 13.9);
  EXPECT_TRUE(series[2].points.empty());  // DepthOffset never read (-9999)
}

// Due flags by the site's intervals (defaults, then the settings file's).
TEST_F(History, DueFlagsLookAhead) {
  const DateTime now = Day(2026, 12, 1);
  FiveUnits(file_, now);
  ASSERT_TRUE(store_.Open(file_));
  auto flags = [&](int32_t id) { return *store_.Flags(id, now); };
  EXPECT_FALSE(flags(1).Any());
  EXPECT_TRUE(flags(2).releaseTestDue && !flags(2).selfTestDue && !flags(2).selfTestFailed);
  EXPECT_TRUE(flags(3).releaseTestDue && flags(3).selfTestDue && flags(3).selfTestFailed);
  EXPECT_TRUE(flags(4).batteryPastThreshold);
  EXPECT_DOUBLE_EQ(flags(4).batteryUsedPercent, 85.0);
  EXPECT_TRUE(flags(5).batteryHeadingThere);
  EXPECT_NEAR(flags(5).batteryDaysToThreshold, 9.0, 0.5);
  std::vector<int32_t> due;
  for (const UnitFlags& f : store_.Due(now)) due.push_back(f.unitId);
  EXPECT_EQ(due, (std::vector<int32_t>{2, 3, 4, 5}));

  store_.Close();
  std::ofstream(SettingsFileFor(file_)) << "# site\nbench = Tank 2\nrelease_test_days = 365\nself_test_days = bad\n";
  ASSERT_TRUE(store_.Open(file_));
  EXPECT_EQ(store_.settings.bench, "Tank 2");
  EXPECT_FALSE(flags(2).releaseTestDue);
  EXPECT_EQ(store_.settings.selfTestDays, 365);
}

// RecordOutcome: a program load names its file's digest; an operation without a status read
// keeps the unit's read fields and takes the new check result (a check time it does not set
// keeps the one before).
TEST_F(History, RecordOutcomeKeepsTheDetails) {
  ASSERT_TRUE(store_.Open(file_));
  HistoryContext ctx;
  ctx.operatorName = "ana";
  const UnitStatus s = AUnit();
  StatusChecks released;
  released.ReleaseTime = Day(2026, 3, 3), released.ReleaseResult = 0;
  EXPECT_EQ(RecordOutcome(store_, ctx, MakeOutcome(OutcomeKind::Done, "Release test"), s, released, true), "");
  const fs::path program = dir_ / "p.a07";
  std::ofstream(program, std::ios::binary) << "S00600004844521B\n";
  Outcome load = MakeOutcome(OutcomeKind::Refused, "Load program", "programming error 4");
  load.file = program.string(), load.recordsSent = 1, load.recordsTotal = 3;
  StatusChecks c;
  c.HardwareTime = Day(2026, 4, 4), c.HardwareResult = 2;
  UnitStatus notRead = s;
  notRead.CPU = 9;  // not read in this operation: not recorded
  EXPECT_EQ(RecordOutcome(store_, ctx, load, notRead, c, false), "");
  const auto visits = store_.Visits(s.UnitId);
  ASSERT_EQ(visits.size(), 2u);
  EXPECT_EQ(visits[0].fileSha256 + visits[0].operatorName, Sha256::Hex("S00600004844521B\n") + "ana");
  EXPECT_FALSE(visits[0].statusRead);
  const Dossier d = store_.LoadDossier(s.UnitId, Day(2026, 5, 1));
  EXPECT_EQ(d.latest[*FieldIndex("CPU")], "2");
  EXPECT_EQ(d.latest[*FieldIndex("HardwareResult")], "2");
  EXPECT_EQ(d.latest[*FieldIndex("ReleaseTime")], "2026-03-03 12:00:00");  // a time not set keeps the one before
  EXPECT_TRUE(d.flags.selfTestFailed);
}

// ---- damaged and locked files (read-only ones: history_readonly_test.cpp) ----

// A page of random bytes in a table or an index is never an empty answer: the read that meets it
// says "cannot be read (damaged)" and the check does not say "ok". A unit command is told so and
// leaves the file byte for byte as it was, not even switched from its rollback journal to
// write-ahead logging; a sound file in the rollback journal takes the event and stays in it.
TEST_F(History, DamageInsideIsToldByEveryReadAndTheFileIsLeftAsItIs) {
  const DateTime now = Day(2026, 12, 1);
  const fs::path sound = dir_ / "sound.sqlite";
  FiveUnits(sound, now);
  Sql(sound, "PRAGMA journal_mode = DELETE");
  SaveStatusFile(dir_);  // what a unit command's start would take in, were the history empty
  for (const char* object : {"events", "events_unit", "units"}) {
    SCOPED_TRACE(object);
    fs::create_directories(file_.parent_path());
    fs::remove(file_);  // mingw's copy_file refuses to overwrite on Windows
    fs::copy_file(sound, file_);
    PlantRandomPage(file_, object);
    const std::string damaged = ReadText(file_);
    HistoryStore reader;
    ASSERT_TRUE(reader.Open(file_, HistoryStore::Access::Read)) << reader.Message();
    if (std::string(object) == "units") reader.Due(now);
    else reader.Visits(5);
    EXPECT_NE(reader.Message().find("cannot be read (damaged)"), std::string::npos) << reader.Message();
    EXPECT_TRUE(reader.ReadFailed());
    EXPECT_NE(reader.Check(), std::vector<std::string>{"ok"});
    reader.Close();
    HistoryStore store;
    std::string told = OpenHistory(store, file_, DataPaths{dir_});
    if (told.empty()) told = RecordOutcome(store, {}, MakeOutcome(OutcomeKind::Done, "General Status"), AUnit(5), {}, true);
    EXPECT_NE(told.find("(damaged)"), std::string::npos) << told;
    store.Close();
    EXPECT_EQ(ReadText(file_), damaged);
    for (const char* side : {"-wal", "-shm", "-journal"}) EXPECT_FALSE(fs::exists(file_.string() + side)) << side;
  }
  HistoryStore store;
  ASSERT_TRUE(store.Open(sound)) << store.Message();
  EXPECT_EQ(RecordOutcome(store, {}, MakeOutcome(OutcomeKind::Done, "General Status"), AUnit(5), {}, true), "");
  store.Close();
  EXPECT_EQ(ReadText(sound).substr(18, 2), "\1\1");  // the header's rollback journal
}

// A history another program holds is waited for, a stated time; each event lost so is told by
// its action and unit, and the store takes events again once the file is free.
TEST_F(History, ALockedHistoryIsWaitedForAndEachLostEventIsTold) {
  store_.busyWaitMs = 200;
  ASSERT_TRUE(store_.Open(file_)) << store_.Message();
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(file_.string().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const Outcome read = MakeOutcome(OutcomeKind::Done, "General Status");
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(RecordOutcome(store_, {}, read, AUnit(), {}, true),
              "The unit history " + file_.string() +
                  " is in use by another program (waited 0.2 seconds): \"General Status\" of unit 1A2B3C was not "
                  "recorded.");
  sqlite3_close(other);
  EXPECT_EQ(RecordOutcome(store_, {}, read, AUnit(), {}, true), "");
  EXPECT_EQ(store_.Visits(0x1A2B3C).size(), 1u);
}

// Two terminals starting at once on a new history: the second, which found it empty, waits for
// the first's import under the write lock and imports nothing.
TEST_F(History, TwoTerminalsStartingAtOnceImportTheStatusFileOnce) {
  SaveStatusFile(dir_);
  ASSERT_TRUE(store_.Open(file_)) << store_.Message();
  ASSERT_EQ(sqlite3_exec(store_.Db(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  HistoryStore second;
  std::string told = "not yet";
  std::thread starting([&] { told = OpenHistory(second, file_, DataPaths{dir_}); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the second finds it empty and waits
  Read(AUnit(0x10), Day(2026, 1, 1));                             // the first's import
  ASSERT_EQ(sqlite3_exec(store_.Db(), "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  starting.join();
  EXPECT_EQ(told, "");
  EXPECT_EQ(store_.Visits(0x10).size(), 1u);
}

// The first terminal is still writing a fresh file when the second switches it to write-ahead
// logging: SQLite refuses the switch at once, without waiting, and the second asks again until
// the first lets go.
TEST_F(History, ASecondTerminalWaitsToSwitchAFreshFileToWriteAheadLogging) {
  const fs::path fresh = dir_ / "fresh.sqlite";
  sqlite3* first = nullptr;
  ASSERT_EQ(sqlite3_open(fresh.string().c_str(), &first), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(first, "BEGIN IMMEDIATE; CREATE TABLE t(x)", nullptr, nullptr, nullptr), SQLITE_OK);
  std::thread lettingGo([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(first, "ROLLBACK", nullptr, nullptr, nullptr);
  });
  HistoryStore second;
  EXPECT_TRUE(second.Open(fresh)) << second.Message();
  lettingGo.join();
  sqlite3_close(first);
}
