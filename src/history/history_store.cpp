#include "history/history_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>

#include "history/due_rules.h"
#include "history/history_fields.h"
#include "history/unit_state.h"
#include "platform/file_ops.h"
#include "platform/text_encoding.h"
#include "platform/text_numbers.h"
#include "platform/time_ops.h"
#include "records/status_xml.h"

namespace fs = std::filesystem;

namespace history {

namespace {

constexpr int64_t kMsPerDay = 86400000;
// Automation day of 1970-01-01.
constexpr double kUnixEpochDay = 25569.0;

// Each schema step, from the version before it. The first makes the first version.
const char* const kSteps[] = {
    // 1: events, and each unit's latest whole state with what the due flags need.
    "CREATE TABLE events("
    " id INTEGER PRIMARY KEY,"
    " at_ms INTEGER NOT NULL,"
    " unit_id INTEGER,"
    " serial TEXT NOT NULL DEFAULT '',"
    " bench TEXT NOT NULL DEFAULT '',"
    " operator TEXT NOT NULL DEFAULT '',"
    " terminal TEXT NOT NULL DEFAULT '',"
    " action TEXT NOT NULL DEFAULT '',"
    " outcome TEXT NOT NULL DEFAULT '',"
    " reason TEXT NOT NULL DEFAULT '',"
    " failed_readers INTEGER NOT NULL DEFAULT 0,"
    " differences TEXT NOT NULL DEFAULT '',"
    " file TEXT NOT NULL DEFAULT '',"
    " file_sha256 TEXT NOT NULL DEFAULT '',"
    " records_sent INTEGER NOT NULL DEFAULT 0,"
    " records_total INTEGER NOT NULL DEFAULT 0,"
    " duration_ms INTEGER NOT NULL DEFAULT -1,"
    " test_result INTEGER NOT NULL DEFAULT -1,"
    " command TEXT NOT NULL DEFAULT '',"
    " reply TEXT NOT NULL DEFAULT '',"
    " log_file TEXT NOT NULL DEFAULT '',"
    " status_read INTEGER NOT NULL DEFAULT 0,"
    " imported INTEGER NOT NULL DEFAULT 0,"
    " fields TEXT,"
    " battery_count INTEGER);"
    "CREATE INDEX events_unit ON events(unit_id, id);"
    "CREATE INDEX events_battery ON events(unit_id, at_ms) WHERE battery_count IS NOT NULL;"
    "CREATE TABLE units("
    " unit_id INTEGER PRIMARY KEY,"
    " serial TEXT NOT NULL DEFAULT '',"
    " state TEXT NOT NULL,"
    " last_ms INTEGER NOT NULL,"
    " release_ms INTEGER NOT NULL DEFAULT 0,"
    " selftest_ms INTEGER NOT NULL DEFAULT 0,"
    " selftest_result INTEGER NOT NULL DEFAULT -1,"
    " count INTEGER NOT NULL DEFAULT -1,"
    " count_ms INTEGER NOT NULL DEFAULT 0,"
    " capacity INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX units_serial ON units(serial);",
    // 2: a unique id for each event, so that a site's shared history takes each event once.
    "ALTER TABLE events ADD COLUMN uid TEXT;"
    "UPDATE events SET uid = lower(hex(randomblob(16))) WHERE uid IS NULL;"
    "CREATE UNIQUE INDEX events_uid ON events(uid);",
    // 3: how far the events were sent to each site server (the outbox's cursor).
    "CREATE TABLE site_cursor("
    " site TEXT PRIMARY KEY,"
    " site_id TEXT NOT NULL DEFAULT '',"
    " last_id INTEGER NOT NULL DEFAULT 0,"
    " sent_ms INTEGER NOT NULL DEFAULT 0);",
    // 4: which fields each event read (a field it did not read is no value), the port it used,
    // and how its unit was known when the operation did not read it.
    "ALTER TABLE events ADD COLUMN read_mask TEXT;"
    "ALTER TABLE events ADD COLUMN port TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE events ADD COLUMN unit_from TEXT NOT NULL DEFAULT '';"
    "CREATE INDEX events_port ON events(port, id) WHERE status_read = 1;",
};
static_assert(sizeof kSteps / sizeof kSteps[0] == HistoryStore::kSchemaVersion);

constexpr const char* kEventColumns =
    "id, uid, at_ms, unit_id, serial, bench, operator, terminal, action, outcome, reason, failed_readers, "
    "differences, file, file_sha256, records_sent, records_total, duration_ms, test_result, command, reply, "
    "log_file, status_read, imported, port, unit_from";
constexpr int kEventColumnCount = 26;
// The same of a file before version 4 (read as it is): no port, no way the unit was known.
constexpr const char* kEventColumnsV3 =
    "id, uid, at_ms, unit_id, serial, bench, operator, terminal, action, outcome, reason, failed_readers, "
    "differences, file, file_sha256, records_sent, records_total, duration_ms, test_result, command, reply, "
    "log_file, status_read, imported, '', ''";

std::string Text(sqlite3_stmt* s, int col) {
  const unsigned char* t = sqlite3_column_text(s, col);
  return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(s, col)))
           : std::string();
}

HistoryEvent ReadEvent(sqlite3_stmt* s) {
  HistoryEvent e;
  e.id = sqlite3_column_int64(s, 0);
  e.uid = Text(s, 1);
  e.time = FromUnixMs(sqlite3_column_int64(s, 2));
  e.unitId = sqlite3_column_type(s, 3) == SQLITE_NULL ? -1 : sqlite3_column_int(s, 3);
  e.serial = Text(s, 4);
  e.bench = Text(s, 5);
  e.operatorName = Text(s, 6);
  e.terminal = Text(s, 7);
  e.action = Text(s, 8);
  e.outcome = Text(s, 9);
  e.reason = Text(s, 10);
  e.failedReaders = sqlite3_column_int(s, 11);
  e.differences = Text(s, 12);
  e.file = Text(s, 13);
  e.fileSha256 = Text(s, 14);
  e.recordsSent = sqlite3_column_int(s, 15);
  e.recordsTotal = sqlite3_column_int(s, 16);
  e.durationMs = sqlite3_column_int64(s, 17);
  e.testResult = sqlite3_column_int(s, 18);
  e.command = Text(s, 19);
  e.reply = Text(s, 20);
  e.logFile = Text(s, 21);
  e.statusRead = sqlite3_column_int(s, 22) != 0;
  e.imported = sqlite3_column_int(s, 23) != 0;
  e.port = Text(s, 24);
  e.unitFrom = Text(s, 25);
  return e;
}

// A prepared statement that finalizes itself. A statement that cannot be prepared or stepped
// tells its store (NoteStatementFailure), so that no failed read passes for an empty answer.
class Stmt {
 public:
  Stmt(sqlite3* db, const std::string& sql) {
    if (db && sqlite3_prepare_v2(db, sql.c_str(), -1, &s_, nullptr) != SQLITE_OK)
      NoteStatementFailure(db, sqlite3_errcode(db));
  }
  ~Stmt() { sqlite3_finalize(s_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;
  sqlite3_stmt* get() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }
  void Bind(int i, int64_t v) { sqlite3_bind_int64(s_, i, v); }
  void Bind(int i, std::string_view t) {
    sqlite3_bind_text(s_, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
  }
  bool Step() {
    if (!s_) return false;
    const int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) NoteStatementFailure(sqlite3_db_handle(s_), rc);
    return false;
  }
  int Run() { return s_ ? sqlite3_step(s_) : SQLITE_ERROR; }
  void Reset() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  }

 private:
  sqlite3_stmt* s_ = nullptr;
};

// An event's id, unique across benches: 128 random bits. Stores on several threads of one
// program (the window's worker, the dossier's mirror of the site) share the generator, in turn.
std::string NewUid() {
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  static std::mt19937_64 rng = [] {
    std::random_device rd;
    std::seed_seq seq{rd(),
                      rd(),
                      rd(),
                      rd(),
                      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()),
                      static_cast<unsigned>(file_ops::CurrentProcessId())};
    return std::mt19937_64(seq);
  }();
  char buf[40];
  std::snprintf(buf, sizeof buf, "%016llx%016llx", static_cast<unsigned long long>(rng()),
                static_cast<unsigned long long>(rng()));
  return buf;
}

// The store of each open connection, so that a statement's failure reaches it.
std::mutex& OwnersLock() {
  static std::mutex lock;
  return lock;
}
std::map<sqlite3*, HistoryStore*>& Owners() {
  static std::map<sqlite3*, HistoryStore*> owners;
  return owners;
}
void SetOwner(sqlite3* db, HistoryStore* store) {
  const std::lock_guard<std::mutex> hold(OwnersLock());
  if (store) Owners()[db] = store;
  else Owners().erase(db);
}

// The oldest schema a store opened to read can read (version 2 added the events' unique ids).
constexpr int kOldestReadable = 2;

// The first part of a history that this user may not write: the file, its folder, or a file
// SQLite keeps beside it. Empty when every part that exists may be written.
fs::path ReadOnlyPart(const fs::path& file) {
  std::error_code ec;
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  if (fs::exists(file, ec) && !file_ops::MayWrite(file)) return file;
  if (!file_ops::MayWrite(folder)) return folder;
  for (const char* side : {"-wal", "-shm", "-journal"}) {
    fs::path p = file;
    p += side;
    if (fs::exists(p, ec) && !file_ops::MayWrite(p)) return p;
  }
  return {};
}

// The file as a URI, for SQLite's URI parameters: every byte but the plainest escaped.
std::string UriOf(const fs::path& file) {
  std::error_code ec;
  const fs::path whole = fs::absolute(file, ec);
  std::string uri = "file:";
  for (const char ch : file_ops::PathText(ec ? file : whole)) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '.' ||
        c == '-' || c == '_') {
      uri += ch;
    } else {
      char b[4];
      std::snprintf(b, sizeof b, "%%%02X", c);
      uri += b;
    }
  }
  return uri;
}

// A stored event's changes taken into the unit's state before it; returns what the event read.
// An event stored before the store kept each event's mask holds every field it changed, the
// "not read" values among them: those are no values.
FieldMask Replay(FieldTexts& state, const unsigned char* json, const unsigned char* mask, bool statusRead) {
  if (!json) return {};
  const std::string_view changes(reinterpret_cast<const char*>(json));
  if (mask) {
    ApplyFieldsJson(changes, state);
    return MaskOfText(reinterpret_cast<const char*>(mask));
  }
  FieldTexts reading = state;
  std::vector<int> changed;
  ApplyFieldsJson(changes, reading, &changed);
  FieldMask took;
  const FieldTexts& none = NotReadTexts();
  for (int i : changed) {
    const auto k = static_cast<size_t>(i);
    if (IsChecksField(i) || reading[k] != none[k]) took.set(k);
  }
  TakeReading(state, reading, took);
  return FieldsHeld(statusRead, state);
}

}  // namespace

void NoteStatementFailure(sqlite3* db, int code) {
  HistoryStore* store = nullptr;
  {
    const std::lock_guard<std::mutex> hold(OwnersLock());
    const auto it = Owners().find(db);
    if (it != Owners().end()) store = it->second;
  }
  if (store) store->NoteFailure(code);
}

int64_t ToUnixMs(const DateTime& t) { return std::llround((t.value - kUnixEpochDay) * double(kMsPerDay)); }
DateTime FromUnixMs(int64_t ms) {
  DateTime t;
  t.value = double(ms) / double(kMsPerDay) + kUnixEpochDay;
  return t;
}

fs::path DefaultHistoryFile() { return file_ops::LocalDataFolder() / "history.sqlite"; }

fs::path SettingsFileFor(const fs::path& database) { return database.parent_path() / "history-settings.txt"; }

HistorySettings ReadHistorySettings(const fs::path& file) {
  HistorySettings s;
  std::ifstream in(file);
  std::string line;
  auto trim = [](std::string t) {
    const size_t a = t.find_first_not_of(" \t\r");
    const size_t b = t.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : t.substr(a, b - a + 1);
  };
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
    const std::string key = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));
    if (key == "bench" || key == "site") {
      (key == "bench" ? s.bench : s.site) = value;
      continue;
    }
    const int64_t n = textnum::WholeInt(value, INT64_MIN, INT64_MAX).value_or(-1);
    if (n < 1 || n > 100000) continue;
    const int v = static_cast<int>(n);
    if (key == "release_test_days") s.releaseTestDays = v;
    else if (key == "self_test_days") s.selfTestDays = v;
    else if (key == "battery_percent" && v <= 100) s.batteryPercent = v;
    else if (key == "battery_horizon_days") s.batteryHorizonDays = v;
    else if (key == "battery_rate_days") s.batteryRateDays = v;
  }
  return s;
}

// The statements of every write, prepared once.
struct HistoryStore::Statements {
  Stmt state, savepoint, release, insert, unit;
  explicit Statements(sqlite3* db)
      : state(db, "SELECT state FROM units WHERE unit_id = ?1"),
        savepoint(db, "SAVEPOINT event"),
        release(db, "RELEASE event"),
        insert(db,
               "INSERT INTO events(uid, at_ms, unit_id, serial, bench, operator, terminal, action, outcome, reason,"
               " failed_readers, differences, file, file_sha256, records_sent, records_total, duration_ms,"
               " test_result, command, reply, log_file, status_read, imported, fields, battery_count, read_mask,"
               " port, unit_from)"
               " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20,"
               " ?21, ?22, ?23, ?24, ?25, ?26, ?27, ?28)"),
        unit(db,
             "INSERT INTO units(unit_id, serial, state, last_ms, release_ms, selftest_ms, selftest_result, count,"
             " count_ms, capacity) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
             " ON CONFLICT(unit_id) DO UPDATE SET serial = ?2, state = ?3, last_ms = max(last_ms, ?4),"
             " release_ms = ?5, selftest_ms = ?6, selftest_result = ?7,"
             " count = CASE WHEN ?9 >= count_ms THEN ?8 ELSE count END,"
             " count_ms = max(count_ms, ?9), capacity = ?10") {}
  bool Ok() const { return state && insert && unit && savepoint && release; }
  // A statement without values or rows, run once more.
  static int Once(Stmt& s) {
    s.Reset();
    const int rc = s.Run();
    s.Reset();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
  }
};

HistoryStore::HistoryStore() = default;
HistoryStore::~HistoryStore() { Close(); }

void HistoryStore::Close() {
  keepStates_ = false;
  states_.clear();
  delete st_;
  st_ = nullptr;
  if (db_) SetOwner(db_, nullptr);
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
  if (state_ == State::Open) state_ = State::Closed;
}

std::string HistoryStore::TakeMessage() {
  if (message_.empty() || (told_ && !tellAgain_)) return {};
  told_ = true;
  tellAgain_ = false;
  return message_;
}

std::string HistoryStore::InUse() const {
  const std::string wait = busyWaitMs % 1000 == 0 ? std::to_string(busyWaitMs / 1000)
                                                  : textnum::Fixed(busyWaitMs / 1000.0, 1);
  return "is in use by another program (waited " + wait + " seconds)";
}

bool HistoryStore::Fail(const std::string& what) {
  // A read found it damaged already: that says why, and the store closes.
  if (state_ == State::Damaged) {
    Close();
    return false;
  }
  const int code = db_ ? sqlite3_errcode(db_) : SQLITE_ERROR;
  const std::string where = file_ops::PathText(file_);
  const std::string detail = db_ ? sqlite3_errmsg(db_) : "";
  if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
    // Found damaged part-way: nothing more is written to it.
    message_ = "The unit history " + where + " " + what + " (damaged): " + detail +
               ". It is left as it is, and no unit history is kept in this session.";
    Close();
    state_ = State::Damaged;
  } else if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
    // Another program holds it for longer than the wait: the caller says what was lost.
    message_ = "The unit history " + where + " " + InUse();
    tellAgain_ = true;
  } else {
    message_ = "The unit history " + where + " " + what + (detail.empty() ? "" : ": " + detail);
  }
  return false;
}

void HistoryStore::NoteFailure(int code) {
  if (readFailed_) return;  // the first failure says why
  readFailed_ = true;
  const std::string where = file_ops::PathText(file_);
  const std::string detail = db_ ? sqlite3_errmsg(db_) : "";
  if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
    message_ = "The unit history " + where + " cannot be read (damaged): " + detail +
               (readOnly_ ? ". It is left as it is." : ". It is left as it is, and no unit history is kept in this session.");
    if (state_ == State::Open) state_ = State::Damaged;  // closed at Close(): a statement may still be running
  } else if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
    message_ = "The unit history " + where + " " + InUse() + " and could not be read.";
  } else {
    message_ = "The unit history " + where + " cannot be read: " + detail + ".";
  }
}

std::vector<std::string> HistoryStore::Check() {
  std::vector<std::string> found;
  if (!IsOpen()) return found;
  Stmt s(db_, "PRAGMA integrity_check");
  while (s.Step()) found.push_back(Text(s.get(), 0));
  // Damage that stops the check itself is what it found.
  if (state_ == State::Damaged) found.push_back(std::string("the check stopped: ") + sqlite3_errmsg(db_));
  return found;
}

bool HistoryStore::Migrate(sqlite3* db, int from, int to, std::string& error) {
  for (int v = from; v < to; ++v) {
    char* message = nullptr;
    if (sqlite3_exec(db, kSteps[v], nullptr, nullptr, &message) != SQLITE_OK) {
      error = message ? message : "schema step failed";
      sqlite3_free(message);
      return false;
    }
  }
  const std::string pragmas = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                              "; PRAGMA user_version = " + std::to_string(to) + ";";
  if (sqlite3_exec(db, pragmas.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    error = sqlite3_errmsg(db);
    return false;
  }
  return true;
}

bool HistoryStore::Refuse(State state, const std::string& why, bool there) {
  Close();
  state_ = state;
  const std::string untouched =
      readOnly_ ? " It is left as it is." : " It is left as it is, and no unit history is kept in this session.";
  message_ = "The unit history " + file_ops::PathText(file_) + " " + why + (there ? untouched : "");
  return false;
}

bool HistoryStore::PrepareFolder() {
  std::error_code ec;
  const fs::path folder = file_.has_parent_path() ? file_.parent_path() : fs::path(".");
  if (readOnly_) {
    // A read never makes a database: a mistyped name is an error, not a new empty history.
    if (!fs::is_directory(folder, ec))
      return Refuse(State::Failed, "cannot be read: its folder " + file_ops::PathText(folder) + " does not exist.",
                    false);
    if (!fs::exists(file_, ec))
      return Refuse(State::Failed, "does not exist (the window or a unit command starts it).", false);
  } else if (!fs::is_directory(folder, ec)) {
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec))
      return Refuse(State::Failed, "cannot be made: its folder " + file_ops::PathText(folder) + " cannot be made.");
  }
  return true;
}

bool HistoryStore::CheckHead(bool& walFile) {
  // A file that is there and not an SQLite database is never opened: SQLite would take an empty
  // one for a new database, and a foreign one is not ours to change.
  std::error_code ec;
  unsigned char head[20] = {};
  size_t headBytes = 0;
  if (fs::exists(file_, ec) && fs::file_size(file_, ec) > 0) {
    std::FILE* f = file_ops::OpenStream(file_, "rb");
    headBytes = f ? std::fread(head, 1, sizeof head, f) : 0;
    if (f) std::fclose(f);
    if (!f) return Refuse(State::Failed, "cannot be read.");
    if (headBytes < 16 || std::memcmp(head, "SQLite format 3", 16) != 0)
      return Refuse(State::Foreign, "is not a unit history database.");
  }
  // Header bytes 18 and 19 are 2 in a database that uses write-ahead logging.
  walFile = headBytes == sizeof head && head[18] == 2 && head[19] == 2;
  return true;
}

bool HistoryStore::Connect(bool walFile, const fs::path& readOnlyPart) {
  const fs::path& file = file_;
  std::error_code ec;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  std::string name = file_ops::PathText(file);
  if (readOnly_) {
    // Read with a connection that may write (and writes nothing): closing it takes away the
    // -wal and -shm files it opened.
    flags = SQLITE_OPEN_READWRITE;
    if (!readOnlyPart.empty()) {
      // This user may not write it: -wal and -shm files made now could not be given back and
      // would keep every later writer out. Without a -shm file no program has the file open,
      // and it is read as it stands, with nothing made beside it.
      flags = SQLITE_OPEN_READONLY;
      fs::path shm = file, wal = file;
      shm += "-shm";
      wal += "-wal";
      if (walFile && !fs::exists(shm, ec)) {
        if (fs::exists(wal, ec) && fs::file_size(wal, ec) > 0)
          return Refuse(State::Failed, "cannot be read: its last writes, in " + file_ops::PathText(wal) +
                                           ", can be taken in only by a user who may write it.");
        name = UriOf(file) + "?immutable=1";
        flags |= SQLITE_OPEN_URI;
      }
    }
  } else if (!readOnlyPart.empty()) {
    return Refuse(State::Failed, "cannot be written: " +
                                     (readOnlyPart == file ? std::string("the file") : file_ops::PathText(readOnlyPart)) +
                                     " is read-only for this user.");
  }
  if (sqlite3_open_v2(name.c_str(), &db_, flags, nullptr) != SQLITE_OK)
    return Refuse(State::Failed, std::string("cannot be opened: ") + (db_ ? sqlite3_errmsg(db_) : "no memory") + ".");
  sqlite3_busy_timeout(db_, busyWaitMs);
  sqlite3_extended_result_codes(db_, 0);
  return true;
}

bool HistoryStore::CheckOwner(int64_t& version, int64_t& tables) {
  // Read only, before anything is written: whose file it is and which version.
  int64_t appId = -1;
  version = -1;
  tables = -1;
  {
    Stmt a(db_, "PRAGMA application_id"), v(db_, "PRAGMA user_version"), t(db_, "SELECT count(*) FROM sqlite_master");
    if (a.Step()) appId = sqlite3_column_int64(a.get(), 0);
    if (v.Step()) version = sqlite3_column_int64(v.get(), 0);
    if (t.Step()) tables = sqlite3_column_int64(t.get(), 0);
  }
  const int readCode = sqlite3_errcode(db_);
  if ((appId < 0 || version < 0 || tables < 0) && (readCode == SQLITE_BUSY || readCode == SQLITE_LOCKED)) {
    // Held by another program for longer than the wait: not damaged, only not ours to use now.
    return Refuse(State::Failed, InUse() + ".");
  } else if (appId < 0 || version < 0 || tables < 0) {
    return Refuse(State::Damaged, std::string("cannot be read (") + sqlite3_errmsg(db_) + ").");
  } else if (appId != kApplicationId && !(appId == 0 && tables == 0)) {
    return Refuse(State::Foreign, "is a database of another program.");
  } else if (version > kSchemaVersion) {
    return Refuse(State::Newer, "was written by a newer terminal.");
  }
  return true;
}

bool HistoryStore::ChooseJournal(int64_t tables) {
  // A new database uses write-ahead logging: a write appends to the log, so a crash leaves
  // every committed event, and readers do not wait for the writer. A database kept in another
  // journal mode (an archived copy, a copy made with SQLite's own tools) is used in that mode:
  // switching would change a file that may yet turn out to be damaged and be left as it was.
  // Two terminals starting at once on a fresh file: the switch needs the file to itself, so the
  // one that finds the other at it asks again until the wait runs out.
  if (!readOnly_ && tables == 0) {
    std::string mode;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyWaitMs);
    for (;;) {
      Stmt wal(db_, "PRAGMA journal_mode = WAL");
      mode = wal.Step() ? Text(wal.get(), 0) : "";
      if (mode == "wal" || std::chrono::steady_clock::now() >= until) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (mode != "wal") {
      Fail("cannot use write-ahead logging");
      Close();
      state_ = State::Failed;
      return false;
    }
  }
  if (!readOnly_) {
    std::string mode;
    Stmt journal(db_, "PRAGMA journal_mode");
    if (journal.Step()) mode = Text(journal.get(), 0);
    // With the log, NORMAL synchronisation keeps each commit across a crash of the program; a
    // power cut may lose the last few, never the database. Without it, FULL.
    sqlite3_exec(db_, mode == "wal" ? "PRAGMA synchronous = NORMAL" : "PRAGMA synchronous = FULL", nullptr, nullptr,
                 nullptr);
  }
  return true;
}

bool HistoryStore::BringUpToDate() {
  std::string error;
  // Another terminal may be bringing it up to date at the same moment: the write lock decides,
  // and the version is read again under it.
  int64_t version = -1;
  bool ok = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (ok) {
    Stmt v(db_, "PRAGMA user_version");
    version = v.Step() ? sqlite3_column_int64(v.get(), 0) : -1;
  }
  ok = ok && version >= 0 && (version >= kSchemaVersion || Migrate(db_, int(version), kSchemaVersion, error));
  ok = ok && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ok) {
    const int code = sqlite3_errcode(db_);
    const std::string why = error.empty() ? sqlite3_errmsg(db_) : error;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return Refuse(State::Failed, code == SQLITE_BUSY || code == SQLITE_LOCKED
                                     ? InUse() + " and cannot be brought up to date."
                                     : "cannot be brought up to date: " + why + ".");
  }
  return true;
}

bool HistoryStore::Open(const fs::path& file, Access access) {
  Close();
  file_ = file;
  message_.clear();
  readOnly_ = access == Access::Read;
  readFailed_ = false;
  tellAgain_ = false;
  bool walFile = false;
  if (!PrepareFolder() || !CheckHead(walFile)) return false;
  const fs::path readOnlyPart = ReadOnlyPart(file);
  int64_t version = -1, tables = -1;
  if (!Connect(walFile, readOnlyPart) || !CheckOwner(version, tables)) return false;

  // To read, a file of an older terminal is brought up to date when this user may write it,
  // else read as it is when its schema has what the reads need.
  const bool bringUp = version < kSchemaVersion && (!readOnly_ || readOnlyPart.empty());
  version_ = bringUp ? kSchemaVersion : static_cast<int>(version);
  if (readOnly_ && tables == 0) return Refuse(State::Failed, "holds no unit history yet.");
  if (readOnly_ && !bringUp && version < kOldestReadable)
    return Refuse(State::Failed, "was written by an older terminal: the window or a unit command brings it up to date.");
  if (!ChooseJournal(tables)) return false;
  if (bringUp && !BringUpToDate()) return false;

  if (readOnly_) {
    // Nothing this connection runs from here on may write.
    sqlite3_exec(db_, "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
  } else {
    st_ = new Statements(db_);
    if (!st_->Ok()) return Refuse(State::Failed, std::string("cannot be used: ") + sqlite3_errmsg(db_) + ".");
  }
  settings = ReadHistorySettings(SettingsFileFor(file));
  SetOwner(db_, this);
  state_ = State::Open;
  return true;
}

bool HistoryStore::Append(HistoryEvent& ev, const FieldTexts* fields, const FieldMask* read) {
  if (!IsOpen() || readOnly_) return false;
  // An event lost because another program held the file past the wait is said, each time.
  auto lost = [&] {
    if (!tellAgain_) return false;
    char unit[16] = "no unit";
    if (ev.unitId != -1) std::snprintf(unit, sizeof unit, "unit %06X", static_cast<unsigned>(ev.unitId));
    message_ += ": \"" + ev.action + "\" of " + unit + " was not recorded.";
    return false;
  };
  // Its own transaction; inside one the caller holds (a batch), a savepoint of it.
  const bool inBatch = sqlite3_get_autocommit(db_) == 0;
  const char* undo = inBatch ? "ROLLBACK TO event; RELEASE event" : "ROLLBACK";
  tellAgain_ = false;
  // The savepoints of a batch's events are prepared once (a batch of a thousand is read from a
  // site into memory at every look at a unit).
  const int begun =
      inBatch ? Statements::Once(st_->savepoint) : sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (begun != SQLITE_OK) {
    Fail("cannot be written");
    return lost();
  }
  // A state kept in memory is taken on only by an event written whole, so an event undone leaves
  // it as it was.
  if (!Write(ev, fields, read)) {
    if (db_) sqlite3_exec(db_, undo, nullptr, nullptr, nullptr);
    return lost();
  }
  const int committed =
      inBatch ? Statements::Once(st_->release) : sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (committed != SQLITE_OK) {
    Fail("cannot be written");
    if (db_) sqlite3_exec(db_, undo, nullptr, nullptr, nullptr);
    // The state kept in memory took the event on: a store in memory that cannot keep its events
    // is closed rather than read with a state they do not hold.
    if (keepStates_) Close();
    return lost();
  }
  return true;
}

bool HistoryStore::LatestState(int32_t unitId, FieldTexts& state) {
  const auto kept = keepStates_ ? states_.find(unitId) : states_.end();
  if (kept != states_.end()) {
    state = kept->second;
    return true;
  }
  st_->state.Reset();
  st_->state.Bind(1, int64_t{unitId});
  if (st_->state.Step()) ApplyFieldsJson(Text(st_->state.get(), 0), state);
  const int stateStep = sqlite3_errcode(db_);
  st_->state.Reset();
  return stateStep == SQLITE_OK || stateStep == SQLITE_ROW || stateStep == SQLITE_DONE;
}

bool HistoryStore::InsertEvent(HistoryEvent& ev, int64_t at, const std::string& delta,
                               const std::optional<int64_t>& count, const std::string& mask) {
  Stmt& in = st_->insert;
  in.Reset();
  in.Bind(1, ev.uid);
  in.Bind(2, at);
  if (ev.unitId != -1) in.Bind(3, int64_t{ev.unitId});
  in.Bind(4, ev.serial);
  in.Bind(5, ev.bench);
  in.Bind(6, ev.operatorName);
  in.Bind(7, ev.terminal);
  in.Bind(8, ev.action);
  in.Bind(9, ev.outcome);
  in.Bind(10, ev.reason);
  in.Bind(11, int64_t{ev.failedReaders});
  in.Bind(12, ev.differences);
  in.Bind(13, ev.file);
  in.Bind(14, ev.fileSha256);
  in.Bind(15, int64_t{ev.recordsSent});
  in.Bind(16, int64_t{ev.recordsTotal});
  in.Bind(17, ev.durationMs);
  in.Bind(18, int64_t{ev.testResult});
  in.Bind(19, ev.command);
  in.Bind(20, ev.reply);
  in.Bind(21, ev.logFile);
  in.Bind(22, int64_t{ev.statusRead});
  in.Bind(23, int64_t{ev.imported});
  if (!delta.empty()) in.Bind(24, delta);
  if (count) in.Bind(25, *count);
  if (!mask.empty()) in.Bind(26, mask);
  in.Bind(27, ev.port);
  in.Bind(28, ev.unitFrom);
  const int inserted = in.Run();
  in.Reset();
  if (inserted != SQLITE_DONE) return false;
  ev.id = sqlite3_last_insert_rowid(db_);
  return true;
}

bool HistoryStore::UpdateUnit(const HistoryEvent& ev, const FieldTexts& state, int64_t at,
                              const std::optional<int64_t>& count) {
  Stmt& u = st_->unit;
  u.Reset();
  const StateFacts facts = FactsOf(state);
  u.Bind(1, int64_t{ev.unitId});
  u.Bind(2, facts.serial.empty() ? ev.serial : facts.serial);
  // In memory the unit's state is the one kept beside the store: the row's copy is never read.
  u.Bind(3, keepStates_ ? std::string("{}") : FieldsJson(state));
  u.Bind(4, at);
  u.Bind(5, facts.releaseMs);
  u.Bind(6, facts.selfTestMs);
  u.Bind(7, facts.selfTestResult);
  u.Bind(8, count.value_or(-1));
  u.Bind(9, count ? at : 0);
  u.Bind(10, facts.capacity);
  const int updated = u.Run();
  u.Reset();
  return updated == SQLITE_DONE;
}

bool HistoryStore::Write(HistoryEvent& ev, const FieldTexts* fields, const FieldMask* readGiven) {
  // The unit's latest state, and what this event's reading changes in it: only what the step
  // read is a value.
  FieldTexts state;
  std::string delta, mask;
  std::optional<int64_t> count;
  const bool ofUnit = ev.unitId != -1 && fields;
  if (ofUnit) {
    if (!LatestState(ev.unitId, state)) return Fail("cannot be read");
    const FieldMask read = readGiven ? *readGiven : FieldsRead(ev.statusRead, ev.failedReaders, *fields);
    delta = FieldsJson(*fields, TakeReading(state, *fields, read));
    mask = MaskText(read);
    if (read[static_cast<size_t>(*FieldIndex("Count"))]) count = BatteryCountOf(*fields);
  }
  if (ev.uid.empty()) ev.uid = NewUid();
  const int64_t at = ToUnixMs(ev.time);
  if (!InsertEvent(ev, at, delta, count, mask)) return Fail("cannot be written");
  if (ofUnit) {
    if (!UpdateUnit(ev, state, at, count)) return Fail("cannot be written");
    if (keepStates_) states_[ev.unitId] = std::move(state);
  }
  return true;
}

bool HistoryStore::BeginBatch() { return db_ && sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK; }
bool HistoryStore::CommitBatch() { return db_ && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK; }

bool HistoryStore::OpenInMemory() {
  Close();
  version_ = kSchemaVersion;
  file_.clear();
  message_.clear();
  readOnly_ = readFailed_ = tellAgain_ = false;
  std::string error;
  if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY, nullptr) !=
          SQLITE_OK ||
      !Migrate(db_, 0, kSchemaVersion, error)) {
    message_ = "The unit history cannot be kept in memory: " + (error.empty() ? std::string("no memory") : error);
    Close();
    state_ = State::Failed;
    return false;
  }
  st_ = new Statements(db_);
  state_ = st_->Ok() ? State::Open : State::Failed;
  SetOwner(db_, this);
  keepStates_ = true;
  return IsOpen();
}

std::string HistoryStore::EventColumns() const { return version_ >= 4 ? kEventColumns : kEventColumnsV3; }

std::vector<HistoryStore::OutboxEvent> HistoryStore::Outbox(int64_t afterId, int limit,
                                                            std::map<int32_t, FieldTexts>& states) {
  std::vector<OutboxEvent> out;
  if (!IsOpen()) return out;
  Stmt s(db_, "SELECT " + EventColumns() + ", fields, battery_count, " + MaskColumn() +
                  " FROM events WHERE id > ?1 ORDER BY id LIMIT ?2");
  Stmt before(db_, std::string("SELECT fields, ") + MaskColumn() +
                       ", status_read FROM events WHERE unit_id = ?1 AND fields IS NOT NULL AND id < ?2 ORDER BY id");
  s.Bind(1, afterId);
  s.Bind(2, int64_t{limit});
  while (s.Step()) {
    OutboxEvent o;
    o.event = ReadEvent(s.get());
    if (sqlite3_column_type(s.get(), kEventColumnCount + 1) != SQLITE_NULL)
      o.batteryCount = sqlite3_column_int64(s.get(), kEventColumnCount + 1);
    const unsigned char* json = sqlite3_column_text(s.get(), kEventColumnCount);
    if (json && o.event.unitId != -1) {
      auto it = states.find(o.event.unitId);
      if (it == states.end()) {
        // The unit's state before this event: its events from the first.
        it = states.emplace(o.event.unitId, FieldTexts{}).first;
        before.Reset();
        before.Bind(1, int64_t{o.event.unitId});
        before.Bind(2, o.event.id);
        while (before.Step())
          Replay(it->second, sqlite3_column_text(before.get(), 0), sqlite3_column_text(before.get(), 1),
                 sqlite3_column_int(before.get(), 2) != 0);
        before.Reset();
      }
      o.read = Replay(it->second, json, sqlite3_column_text(s.get(), kEventColumnCount + 2), o.event.statusRead);
      o.hasState = true;
      o.state = it->second;
    }
    out.push_back(std::move(o));
  }
  return out;
}

std::vector<int32_t> HistoryStore::UnitsAfter(int64_t afterId) {
  std::vector<int32_t> out;
  if (!IsOpen()) return out;
  Stmt s(db_, "SELECT DISTINCT unit_id FROM events WHERE id > ?1 AND unit_id IS NOT NULL ORDER BY unit_id");
  s.Bind(1, afterId);
  while (s.Step()) out.push_back(sqlite3_column_int(s.get(), 0));
  return out;
}

int64_t HistoryStore::CountAfter(int64_t afterId) {
  Stmt s(db_, "SELECT count(*) FROM events WHERE id > ?1");
  s.Bind(1, afterId);
  return s.Step() ? sqlite3_column_int64(s.get(), 0) : -1;
}

HistoryStore::SiteCursor HistoryStore::Cursor(const std::string& site) {
  SiteCursor c;
  Stmt s(db_, "SELECT site_id, last_id, sent_ms FROM site_cursor WHERE site = ?1");
  s.Bind(1, site);
  if (s.Step()) {
    c.siteId = Text(s.get(), 0);
    c.lastId = sqlite3_column_int64(s.get(), 1);
    c.sentMs = sqlite3_column_int64(s.get(), 2);
  }
  return c;
}

bool HistoryStore::SetCursor(const std::string& site, const SiteCursor& c) {
  Stmt s(db_,
         "INSERT INTO site_cursor(site, site_id, last_id, sent_ms) VALUES(?1, ?2, ?3, ?4)"
         " ON CONFLICT(site) DO UPDATE SET site_id = ?2, last_id = ?3, sent_ms = ?4");
  s.Bind(1, site);
  s.Bind(2, c.siteId);
  s.Bind(3, c.lastId);
  s.Bind(4, c.sentMs);
  return s.Run() == SQLITE_DONE || Fail("cannot be written");
}

bool HistoryStore::Empty() {
  // A store that cannot be read is not empty: nothing is imported into it.
  Stmt s(db_, "SELECT EXISTS(SELECT 1 FROM events)");
  return s.Step() && sqlite3_column_int(s.get(), 0) == 0;
}

namespace {
// The event a unit of the status file is imported as, at the time of its last status read
// (else now); the bench, operator and terminal are the importer's.
HistoryEvent ImportedEvent(const StatusEntry& entry, const fs::path& file, const DateTime& now) {
  HistoryEvent ev;
  ev.unitId = entry.status.UnitId;
  ev.serial = text_encoding::Cp1252ToUtf8(entry.status.SerialNo.view(), true);
  ev.action = "Imported from " + file_ops::PathText(file.filename());
  ev.outcome = "done";
  ev.file = file_ops::PathText(file);
  ev.statusRead = true;
  ev.imported = true;
  ev.time = entry.checks.LastStatusTime.value > 0.0 ? entry.checks.LastStatusTime : now;
  return ev;
}
}  // namespace

int HistoryStore::ImportStatusFile(const fs::path& currentStatusFile, const std::string& operatorName,
                                   const std::string& terminal) {
  if (!IsOpen()) return -1;
  if (readOnly_) return 0;
  if (!Empty()) return ReadFailed() ? -1 : 0;
  CStatusXml doc;
  const CStatusXml::LoadResult loaded = doc.Load(currentStatusFile);
  if (loaded.Damaged()) return 0;  // the status files report it themselves
  std::vector<std::string> ids;
  doc.ListUnitIds(ids);
  if (ids.empty()) return 0;
  const std::string units = " the units of " + file_ops::PathText(currentStatusFile.filename()) + " were not imported.";
  if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    Fail("cannot be written");
    if (tellAgain_) message_ += ":" + units;
    return -1;
  }
  // Asked again under the write lock: a second terminal starting at the same moment imports
  // nothing once the first has.
  if (!Empty()) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return ReadFailed() ? -1 : 0;
  }
  // The events go in one transaction: the file's units come in whole or not at all.
  int imported = 0;
  const DateTime now = DateTime::NowUtc();
  for (const std::string& id : ids) {
    const StatusEntry entry = doc.ReadUnit(id);
    if (entry.status.UnitId == -1) continue;
    HistoryEvent ev = ImportedEvent(entry, currentStatusFile, now);
    ev.bench = settings.bench.empty() ? file_ops::HostName() : settings.bench;
    ev.operatorName = operatorName.empty() ? file_ops::LoginName() : operatorName;
    ev.terminal = terminal;
    const FieldTexts texts = TextsOf(entry.checks, entry.status);
    if (!Write(ev, &texts)) {
      if (db_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      return -1;
    }
    ++imported;
  }
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    Fail("cannot be written");
    if (tellAgain_) message_ += ":" + units;
    if (db_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return -1;
  }
  return imported;
}

// ---- reading ----

std::optional<int32_t> HistoryStore::FindUnit(std::string_view text) {
  if (!IsOpen() || text.empty()) return std::nullopt;
  {
    Stmt s(db_, "SELECT unit_id FROM units WHERE serial = ?1 ORDER BY last_ms DESC LIMIT 1");
    s.Bind(1, text);
    if (s.Step()) return sqlite3_column_int(s.get(), 0);
  }
  const std::optional<int32_t> id = UnitIdOfHex(text);
  if (!id) return std::nullopt;
  Stmt s(db_, "SELECT 1 FROM units WHERE unit_id = ?1 UNION ALL SELECT 1 FROM events WHERE unit_id = ?1 LIMIT 1");
  s.Bind(1, int64_t{*id});
  if (s.Step()) return id;
  return std::nullopt;
}

std::vector<HistoryEvent> HistoryStore::Visits(int32_t unitId, std::optional<DateTime> since) {
  std::vector<HistoryEvent> out;
  if (!IsOpen()) return out;
  Stmt s(db_, "SELECT " + EventColumns() + " FROM events WHERE unit_id = ?1 AND at_ms >= ?2 ORDER BY at_ms DESC, id DESC");
  s.Bind(1, int64_t{unitId});
  s.Bind(2, since ? ToUnixMs(*since) : INT64_MIN);
  while (s.Step()) out.push_back(ReadEvent(s.get()));
  return out;
}

std::vector<std::pair<HistoryEvent, FieldTexts>> HistoryStore::States(int32_t unitId) {
  std::vector<std::pair<HistoryEvent, FieldTexts>> out;
  if (!IsOpen()) return out;
  Stmt s(db_, "SELECT " + EventColumns() + ", fields, " + MaskColumn() +
                  " FROM events WHERE unit_id = ?1 AND fields IS NOT NULL ORDER BY id");
  s.Bind(1, int64_t{unitId});
  FieldTexts state;
  while (s.Step()) {
    // Each event holds what its reading changed; a row that does not parse changes nothing.
    HistoryEvent ev = ReadEvent(s.get());
    Replay(state, sqlite3_column_text(s.get(), kEventColumnCount), sqlite3_column_text(s.get(), kEventColumnCount + 1),
           ev.statusRead);
    out.emplace_back(std::move(ev), state);
  }
  return out;
}

std::vector<HistoryStore::OutboxEvent> HistoryStore::Readings(int32_t unitId, int64_t afterId) {
  std::vector<OutboxEvent> out;
  if (!IsOpen()) return out;
  if (afterId > 0) {
    // Nothing of the unit after afterId (the usual case for the events a site took): no replay.
    Stmt any(db_, "SELECT EXISTS(SELECT 1 FROM events WHERE unit_id = ?1 AND id > ?2)");
    any.Bind(1, int64_t{unitId});
    any.Bind(2, afterId);
    if (!any.Step() || sqlite3_column_int(any.get(), 0) == 0) return out;
  }
  Stmt s(db_, "SELECT " + EventColumns() + ", fields, " + MaskColumn() +
                  ", battery_count FROM events WHERE unit_id = ?1 ORDER BY id");
  s.Bind(1, int64_t{unitId});
  if (afterId <= 0) {
    Stmt n(db_, "SELECT count(*) FROM events WHERE unit_id = ?1");
    n.Bind(1, int64_t{unitId});
    if (n.Step()) out.reserve(static_cast<size_t>(sqlite3_column_int64(n.get(), 0)));
  }
  FieldTexts state;
  while (s.Step()) {
    const bool hasFields = sqlite3_column_type(s.get(), kEventColumnCount) != SQLITE_NULL;
    const int64_t id = sqlite3_column_int64(s.get(), 0);
    FieldMask read;
    if (hasFields)
      read = Replay(state, sqlite3_column_text(s.get(), kEventColumnCount),
                    sqlite3_column_text(s.get(), kEventColumnCount + 1), sqlite3_column_int(s.get(), 22) != 0);
    if (id <= afterId) continue;
    OutboxEvent o;
    o.event = ReadEvent(s.get());
    o.hasState = hasFields;
    if (hasFields) o.state = state, o.read = read;
    if (sqlite3_column_type(s.get(), kEventColumnCount + 2) != SQLITE_NULL)
      o.batteryCount = sqlite3_column_int64(s.get(), kEventColumnCount + 2);
    out.push_back(std::move(o));
  }
  return out;
}

std::optional<std::pair<int32_t, std::string>> HistoryStore::LastUnitOnPort(const std::string& port) {
  if (!IsOpen() || port.empty() || version_ < 4) return std::nullopt;
  Stmt s(db_,
         "SELECT unit_id, serial FROM events WHERE port = ?1 AND status_read = 1 AND unit_id IS NOT NULL"
         " ORDER BY id DESC LIMIT 1");
  s.Bind(1, port);
  if (!s.Step()) return std::nullopt;
  return std::make_pair(sqlite3_column_int(s.get(), 0), Text(s.get(), 1));
}

namespace {

// The differences between two of a unit's readings (Readings' order), or its last two status reads.
StatusDiff DiffOf(const std::vector<HistoryStore::OutboxEvent>& states, std::optional<int64_t> from,
                  std::optional<int64_t> to) {
  StatusDiff d;
  const HistoryStore::OutboxEvent *a = nullptr, *b = nullptr;
  if (from && to) {
    for (const auto& st : states) {
      if (!st.hasState) continue;
      if (st.event.id == *from) a = &st;
      if (st.event.id == *to) b = &st;
    }
  } else {
    for (auto it = states.rbegin(); it != states.rend() && !a; ++it) {
      if (!it->hasState || !it->event.statusRead) continue;
      if (!b) b = &*it;
      else a = &*it;
    }
  }
  if (!a || !b) return d;
  d.found = true;
  d.from = a->event.id, d.to = b->event.id;
  d.fromTime = a->event.time, d.toTime = b->event.time;
  for (FieldClass c : {FieldClass::Configuration, FieldClass::Firmware, FieldClass::Measured}) {
    for (int i = 0; i < kFieldCount; ++i) {
      const auto k = static_cast<size_t>(i);
      if (ClassOf(i) != c || !ComparedInDiff(i) || a->state[k] == b->state[k]) continue;
      const ShownField before = ShownAs(i, a->state), after = ShownAs(i, b->state);
      d.changes.push_back({FieldGroup(i), FieldName(i), c, a->state[k], b->state[k],
                           after.label.empty() ? before.label : after.label, before.value, after.value});
    }
  }
  return d;
}

// Each measured field at each status read that read it.
std::vector<FieldSeries> SeriesOf(const std::vector<HistoryStore::OutboxEvent>& states) {
  std::vector<FieldSeries> out;
  for (const std::string& name : SeriesFields()) {
    FieldSeries series{name, {}};
    const int i = *FieldIndex(name);
    const auto k = static_cast<size_t>(i);
    for (const HistoryStore::OutboxEvent& st : states) {
      if (!st.hasState || !st.event.statusRead || !st.read[k]) continue;
      if (auto v = SeriesValue(i, st.state[k])) series.points.push_back({st.event.time, st.event.id, *v});
    }
    out.push_back(std::move(series));
  }
  return out;
}

}  // namespace

StatusDiff HistoryStore::Diff(int32_t unitId, std::optional<int64_t> from, std::optional<int64_t> to) {
  return DiffOf(Readings(unitId), from, to);
}

std::vector<FieldSeries> HistoryStore::Series(int32_t unitId) { return SeriesOf(Readings(unitId)); }

namespace {
constexpr const char* kFlagColumns =
    "unit_id, serial, last_ms, release_ms, selftest_ms, selftest_result, count, count_ms, capacity";
}

// The row of units a flag needs (kFlagColumns).
static UnitRow RowOf(sqlite3_stmt* s) {
  UnitRow r;
  r.unitId = sqlite3_column_int(s, 0);
  r.serial = Text(s, 1);
  r.lastMs = sqlite3_column_int64(s, 2);
  r.releaseMs = sqlite3_column_int64(s, 3);
  r.selfTestMs = sqlite3_column_int64(s, 4);
  r.selfTestResult = sqlite3_column_int(s, 5);
  r.count = sqlite3_column_int64(s, 6);
  r.countMs = sqlite3_column_int64(s, 7);
  r.capacity = sqlite3_column_int64(s, 8);
  return r;
}

namespace {
constexpr const char* kRateSql =
    "SELECT battery_count, at_ms FROM events WHERE unit_id = ?1 AND battery_count IS NOT NULL AND at_ms <= ?2"
    " ORDER BY at_ms DESC LIMIT 1";

// The battery count a unit's rate is taken from, read from the store.
RateReference StoreReference(Stmt& rate, int32_t unitId) {
  return [&rate, unitId](int64_t atOrBeforeMs) -> std::optional<std::pair<int64_t, int64_t>> {
    rate.Reset();
    rate.Bind(1, int64_t{unitId});
    rate.Bind(2, atOrBeforeMs);
    std::optional<std::pair<int64_t, int64_t>> out;
    if (rate.Step()) out.emplace(sqlite3_column_int64(rate.get(), 0), sqlite3_column_int64(rate.get(), 1));
    rate.Reset();
    return out;
  };
}
}  // namespace

std::optional<UnitFlags> HistoryStore::Flags(int32_t unitId, DateTime now) {
  if (!IsOpen()) return std::nullopt;
  Stmt s(db_, std::string("SELECT ") + kFlagColumns + " FROM units WHERE unit_id = ?1");
  Stmt rate(db_, kRateSql);
  s.Bind(1, int64_t{unitId});
  if (!s.Step()) return std::nullopt;
  return FlagsOf(RowOf(s.get()), settings, ToUnixMs(now), StoreReference(rate, unitId));
}

bool HistoryStore::Summary(int32_t unitId, UnitRow& row) {
  if (!IsOpen()) return false;
  Stmt s(db_, std::string("SELECT ") + kFlagColumns + " FROM units WHERE unit_id = ?1");
  s.Bind(1, int64_t{unitId});
  if (!s.Step()) return false;
  row = RowOf(s.get());
  return true;
}

std::vector<UnitFlags> HistoryStore::Due(DateTime now) {
  std::vector<UnitFlags> out;
  if (!IsOpen()) return out;
  Stmt s(db_, std::string("SELECT ") + kFlagColumns + " FROM units ORDER BY unit_id");
  Stmt rate(db_, kRateSql);
  const int64_t nowMs = ToUnixMs(now);
  while (s.Step()) {
    const UnitRow row = RowOf(s.get());
    UnitFlags f = FlagsOf(row, settings, nowMs, StoreReference(rate, row.unitId));
    if (f.Any()) out.push_back(std::move(f));
  }
  return out;
}

Dossier HistoryStore::LoadDossier(int32_t unitId, DateTime now) {
  Dossier d;
  if (!IsOpen()) return d;
  // The unit's events are read once: the readings give the series, the differences and the
  // latest state, and then their events are the visits.
  auto states = Readings(unitId);
  d.series = SeriesOf(states);
  d.lastDiff = DiffOf(states, {}, {});
  if (auto f = Flags(unitId, now)) d.flags = *f;
  for (auto it = states.rbegin(); it != states.rend(); ++it)
    if (it->hasState) {
      d.latest = std::move(it->state);
      break;
    }
  // Newest first, as Visits lists them.
  d.visits.reserve(states.size());
  for (auto it = states.rbegin(); it != states.rend(); ++it) d.visits.push_back(std::move(it->event));
  std::stable_sort(d.visits.begin(), d.visits.end(), [](const HistoryEvent& a, const HistoryEvent& b) {
    const int64_t am = ToUnixMs(a.time), bm = ToUnixMs(b.time);
    return am != bm ? am > bm : a.id > b.id;
  });
  return d;
}

}  // namespace history
