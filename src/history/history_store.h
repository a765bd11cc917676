// The unit history of this PC: every operation on a unit, one event each, kept in an SQLite
// database on the PC's own disk (never in the shared data folder). Events are written as each
// operation ends, each in its own transaction with write-ahead logging, so a crash loses at most
// the event being written. The store never overwrites a file it did not make or cannot read: it
// then stays closed and says so once, and the terminal goes on without history. No failure of
// the store ever reaches the status files: they are saved first, and separately.
//
// A status read is kept field by field, each value as the text the status files hold. An event
// stores only the fields that changed since the unit's previous event (its first event stores
// them all); the store keeps each unit's latest whole state beside its events, and a unit's
// history is replayed from its events in order.
#pragma once
#include <array>
#include <bitset>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"
#include "status/unit_status.h"

struct sqlite3;

namespace history {

// Site settings, read from the settings file beside the database ("history-settings.txt",
// lines "key = value"; unknown keys and bad values are ignored).
struct HistorySettings {
  std::string bench;            // bench = NAME; empty: the PC's host name
  std::string site;             // site = CONNINFO: the site's history server (a libpq connection or service)
  int releaseTestDays = 180;    // release_test_days: a release test is due this long after the last
  int selfTestDays = 365;       // self_test_days: the same for the hardware self test
  int batteryPercent = 80;      // battery_percent: used capacity that calls for a new battery
  int batteryHorizonDays = 90;  // battery_horizon_days: how far ahead the used capacity is projected
  int batteryRateDays = 7;      // battery_rate_days: the rate is taken over at least this span
};
HistorySettings ReadHistorySettings(const std::filesystem::path& file);
// The settings file of a database: beside it.
std::filesystem::path SettingsFileFor(const std::filesystem::path& database);

// The default database: $XDG_DATA_HOME/velmoor/history.sqlite (else ~/.local/share/velmoor/...),
// %LOCALAPPDATA%\Velmoor\history.sqlite on Windows.
std::filesystem::path DefaultHistoryFile();

// The fields of a status entry (the 96 of the status files, in their order) as the texts the
// status files hold; an element a status file would leave empty is an empty text.
inline constexpr int kFieldCount = 96;
using FieldTexts = std::array<std::string, kFieldCount>;
FieldTexts TextsOf(const StatusChecks& checks, const UnitStatus& status);
// The element name of field i ("Voltage"), its group ("Battery"), and the index of a name.
const char* FieldName(int i);
const char* FieldGroup(int i);
std::optional<int> FieldIndex(std::string_view element);

// Which part of a unit a field belongs to, for differences.
enum class FieldClass { Configuration, Firmware, Measured };
FieldClass ClassOf(int field);
const char* FieldClassName(FieldClass c);  // "configuration", "firmware", "measured"

// One event: an operation on a unit at a bench.
struct HistoryEvent {
  int64_t id = 0;            // the store's number, in order of writing
  std::string uid;           // unique over all PCs (for a site's shared history)
  DateTime time;             // UTC, when the operation ended
  int32_t unitId = -1;       // -1: no unit known
  std::string serial;        // the unit's serial number text
  std::string bench;         // the PC's bench name
  std::string operatorName;  // who ran it
  std::string terminal;      // the program and its version
  std::string action;        // the operation, as its button names it
  std::string outcome;       // OutcomeKindName: "done", "refused", ...
  std::string reason;        // why it was not done
  // Details, each where the operation has it.
  int32_t failedReaders = 0;  // a status read: a bit for each reader that failed
  std::string differences;    // the verification's differences
  std::string file;           // the file the operation read or wrote
  std::string fileSha256;     // a program load: the file's SHA-256, hex
  int recordsSent = 0, recordsTotal = 0;
  int64_t durationMs = -1;     // -1: not measured
  int32_t testResult = -1;     // a bench test's result code
  std::string command, reply;  // a command button or manual command
  std::string logFile;         // the session log that holds the operation's traffic
  bool statusRead = false;     // the event carries a status read from the unit
  bool imported = false;       // taken from the current-status file when the store began
  std::string port;            // the port the operation used ("COM3 (/dev/ttyUSB0)"), when known
  // How the unit was known: empty when the operation (or the session before it) read it from
  // the unit; "port" when it is the unit last read on that port by this bench; "option" when the
  // command line named it.
  std::string unitFrom;
};

// The fields of one visit's status, or of the differences between two.
struct FieldChange {
  std::string group, element;
  FieldClass fieldClass = FieldClass::Configuration;
  std::string before, after;  // texts as the status files hold them
  // As the operator reads it in the status report ("AD", "1207" -> "1403"); label empty when the
  // report does not show the field.
  std::string label, shownBefore, shownAfter;
};
struct StatusDiff {
  bool found = false;        // false: the unit has fewer than two status reads, or a visit is not its
  int64_t from = 0, to = 0;  // the two events compared
  DateTime fromTime, toTime;
  std::vector<FieldChange> changes;  // configuration, then firmware, then measured; each in field order
};

// One measured field over time (only reads that hold a value).
struct SeriesPoint {
  DateTime time;
  int64_t event = 0;
  double value = 0;
};
struct FieldSeries {
  std::string element;  // "Voltage", "Count", ...
  std::vector<SeriesPoint> points;
};
// The measured fields that have series, by element name.
const std::vector<std::string>& SeriesFields();

// What is due for a unit, looking ahead.
struct UnitFlags {
  int32_t unitId = -1;
  std::string serial;
  DateTime lastVisit;
  bool releaseTestDue = false;  // never, or releaseTestDays or more ago
  DateTime lastReleaseTest;     // zero: never
  bool selfTestDue = false;     // never, or selfTestDays or more ago
  DateTime lastSelfTest;
  bool selfTestFailed = false;  // the last self test failed
  int32_t selfTestResult = -1;
  double batteryUsedPercent = -1;  // -1: not known (no count, stacks or battery type)
  bool batteryPastThreshold = false;
  bool batteryHeadingThere = false;    // projected past the threshold within batteryHorizonDays
  double batteryDaysToThreshold = -1;  // at the recent rate; -1 when not heading there
  bool Any() const {
    return releaseTestDue || selfTestDue || selfTestFailed || batteryPastThreshold || batteryHeadingThere;
  }
};

// Everything the window shows of one unit.
struct Dossier {
  std::vector<HistoryEvent> visits;  // newest first
  std::vector<FieldSeries> series;
  StatusDiff lastDiff;  // between the last two status reads
  UnitFlags flags;
  FieldTexts latest;  // the latest state (empty texts when none)
};

// One store is used from one thread at a time. Another thread or program reads the same file
// through a store of its own: with write-ahead logging, readers and the writer do not wait for
// each other (the window's dossier opens its own store on File()).
class HistoryStore;
struct UnitRow;
// A statement of a store's connection failed with an SQLite result code (the store notes it).
void NoteStatementFailure(sqlite3* db, int code);

class HistoryStore {
 public:
  // Schema versions: 1 first; 2 added each event's unique id; 3 the site outbox's cursor; 4 which
  // fields each event read, its port and how its unit was known.
  static constexpr int kSchemaVersion = 4;
  // The database's application id ("VLMH"): a file that carries another is not ours.
  static constexpr int32_t kApplicationId = 0x564C4D48;

  enum class State {
    Closed,  // never opened, or --no-history
    Open,
    Foreign,  // not an SQLite database, or one that is not a unit history: left untouched
    Damaged,  // ours but unreadable: left untouched
    Newer,    // written by a newer terminal (a later schema): left untouched
    Failed,   // could not be opened or created (folder, permissions, disk)
  };

  HistoryStore();
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // Write: the terminal's operations. The file (and its folder) is made when missing, brought
  // up to date and written. Read: the commands that only show it (history, diff, due, the
  // check). Nothing is made, brought up to date, imported or switched; a folder or file that
  // does not exist is an error; a file this user may not write is read where it is, leaving no
  // file beside it.
  enum class Access { Write, Read };
  // Opens the file. A file that is not ours, cannot be read, or (to write) this user may not
  // write is not touched. A new database uses write-ahead logging; a database in another
  // journal mode is used in that mode. Returns true when open; otherwise Message() says why,
  // in words for the operator.
  bool Open(const std::filesystem::path& file, Access access = Access::Write);
  // A store in memory, for a unit's events read from the site server (nothing is written to disk).
  bool OpenInMemory();
  void Close();
  State state() const { return state_; }
  bool IsOpen() const { return state_ == State::Open; }
  const std::filesystem::path& File() const { return file_; }
  // Why the store is not open, or why the last write or read failed. TakeMessage gives a message
  // once (the first problem of the session), then empty; an event lost because another program
  // held the file is told each time.
  const std::string& Message() const { return message_; }
  std::string TakeMessage();
  HistorySettings settings;  // read from the settings file at Open
  // How long an open, a read or a write waits for a file another program holds (set before Open).
  int busyWaitMs = 5000;
  // Whether a read met a failure since Open: what it returned is not the whole answer, and
  // Message() says why ("cannot be read (damaged)" for a file SQLite finds corrupt, which
  // also leaves the store closed to writing).
  bool ReadFailed() const { return readFailed_; }
  // SQLite's own integrity check of the whole file: "ok", or each problem it found (with
  // damage that stopped it, SQLite's words for that, and the store is Damaged).
  std::vector<std::string> Check();

  // ---- writing ----
  // Appends one event in its own transaction. With fields, the event carries a status read
  // (or a check result) of the unit: the changes from its latest state are stored and the state
  // is updated. Sets ev.id and ev.uid. False (and Message) on any failure; the store stays open
  // unless it found the file damaged. Inside a transaction the caller began on Db() (a batch of
  // events, as the benchmarks write them), the event is a savepoint of it.
  // read: which of the fields the step read (FieldsRead of the event and its fields when not given).
  bool Append(HistoryEvent& ev, const FieldTexts* fields, const std::bitset<kFieldCount>* read = nullptr);
  // A batch of events in one transaction (a store in memory filled at once): BeginBatch, then
  // Append each, then CommitBatch. False when the transaction could not be begun or committed.
  bool BeginBatch();
  bool CommitBatch();
  // On first use (no events yet): each unit of the current-status file becomes its first visit,
  // marked imported, with the last status time the file holds. Returns the number imported
  // (0 when the store already held events or the file has no units), -1 on failure. The
  // imported visits name who and which program imported them.
  int ImportStatusFile(const std::filesystem::path& currentStatusFile, const std::string& operatorName = {},
                       const std::string& terminal = {});
  bool Empty();

  // ---- the site's outbox ----
  // The events after afterId, in the order they were written, at most limit of them. An event
  // that carries fields comes with the unit's whole state after it: states holds each unit's
  // state as far as the events already read (the caller keeps it from one call to the next;
  // a unit not in it is replayed from its first event).
  struct OutboxEvent {
    HistoryEvent event;
    bool hasState = false;
    FieldTexts state;             // the unit's whole state after the event, as this store holds it
    std::bitset<kFieldCount> read;  // which fields the event read (its values are those of state)
    std::optional<int64_t> batteryCount;
  };
  std::vector<OutboxEvent> Outbox(int64_t afterId, int limit, std::map<int32_t, FieldTexts>& states);
  // The units of the events written after afterId.
  std::vector<int32_t> UnitsAfter(int64_t afterId);
  // How many events were written after afterId; -1 when the store cannot be read.
  int64_t CountAfter(int64_t afterId);
  // How far the events went to a site (by its connection text): the site's own id, the last
  // event it took, and when.
  struct SiteCursor {
    std::string siteId;
    int64_t lastId = 0;
    int64_t sentMs = 0;
  };
  SiteCursor Cursor(const std::string& site);
  bool SetCursor(const std::string& site, const SiteCursor& cursor);

  // ---- reading ----
  // A unit by its hex identity ("12D687", with or without 0x) or its serial number text; the
  // serial is tried first when both match.
  std::optional<int32_t> FindUnit(std::string_view unitText);
  // The unit's events, newest first; with since, only those at or after it.
  std::vector<HistoryEvent> Visits(int32_t unitId, std::optional<DateTime> since = {});
  // The whole state at each event of the unit that carries fields, oldest first.
  std::vector<std::pair<HistoryEvent, FieldTexts>> States(int32_t unitId);
  // The same with what each event read, for those after afterId (as the outbox gives them).
  std::vector<OutboxEvent> Readings(int32_t unitId, int64_t afterId = 0);
  // The unit this bench read last on a port (by a status read), and its serial number.
  std::optional<std::pair<int32_t, std::string>> LastUnitOnPort(const std::string& port);
  // The differences between the last two status reads, or between two named events.
  StatusDiff Diff(int32_t unitId, std::optional<int64_t> from = {}, std::optional<int64_t> to = {});
  // The measured fields' values over time, oldest first.
  std::vector<FieldSeries> Series(int32_t unitId);
  // What is due for the unit, and for every unit (those with any flag), as of now.
  std::optional<UnitFlags> Flags(int32_t unitId, DateTime now);
  // The unit's summary, as the store keeps it beside its events (what its flags are worked out
  // from); false when no event of the unit carries a reading.
  bool Summary(int32_t unitId, UnitRow& row);
  std::vector<UnitFlags> Due(DateTime now);
  // Visits, series, last differences, flags and latest state in one read.
  Dossier LoadDossier(int32_t unitId, DateTime now);

  // The raw connection, for tests and the migrations.
  sqlite3* Db() const { return db_; }
  // Applies the schema steps after fromVersion up to toVersion (from 0, the first step makes the
  // first version's tables) and sets the application id and the version. Open uses it; the tests
  // make a first-version database with it.
  static bool Migrate(sqlite3* db, int fromVersion, int toVersion, std::string& error);

 private:
  friend void NoteStatementFailure(sqlite3* db, int code);
  bool Fail(const std::string& what);
  // A statement's failure: a read that did not give its whole answer.
  void NoteFailure(int code);
  // "is in use by another program (waited 5 seconds)".
  std::string InUse() const;
  // Open's steps, in order; each that fails closes the store, sets its state and message and
  // returns false.
  bool Refuse(State state, const std::string& why, bool there = true);
  bool PrepareFolder();                    // the folder is there (made, to write)
  bool CheckHead(bool& walFile);           // an SQLite file, or none yet
  bool Connect(bool walFile, const std::filesystem::path& readOnlyPart);
  bool CheckOwner(int64_t& version, int64_t& tables);  // ours, and not of a newer terminal
  bool ChooseJournal(int64_t tables);      // write-ahead logging for a new file, and its syncing
  bool BringUpToDate();                    // the schema steps, under the write lock
  // Append's work inside a transaction the caller holds.
  bool Write(HistoryEvent& ev, const FieldTexts* fields, const std::bitset<kFieldCount>* read = nullptr);
  // Write's steps: the unit's state before the event (false: it could not be read), the event's
  // row, and the unit's row after it.
  bool LatestState(int32_t unitId, FieldTexts& state);
  bool InsertEvent(HistoryEvent& ev, int64_t at, const std::string& delta, const std::optional<int64_t>& count,
                   const std::string& mask);
  bool UpdateUnit(const HistoryEvent& ev, const FieldTexts& state, int64_t at, const std::optional<int64_t>& count);
  struct Statements;
  sqlite3* db_ = nullptr;
  Statements* st_ = nullptr;
  State state_ = State::Closed;
  // In memory (no other writer), each unit's latest state is kept here too, so that an event
  // is not preceded by reading its unit's state back from the database.
  bool keepStates_ = false;
  std::map<int32_t, FieldTexts> states_;
  std::filesystem::path file_;
  std::string message_;
  bool told_ = false;
  bool tellAgain_ = false;  // the message is of an event lost to a lock: told each time
  bool readOnly_ = false;   // opened with Access::Read
  int version_ = kSchemaVersion;  // the file's schema (an older one read as it is, read only)
  // The events' columns and their masks' as the file's schema has them.
  std::string EventColumns() const;
  const char* MaskColumn() const { return version_ >= 4 ? "read_mask" : "NULL"; }
  bool readFailed_ = false;
};

// A 64-bit UTC millisecond time from a date-time, and back.
int64_t ToUnixMs(const DateTime& t);
DateTime FromUnixMs(int64_t ms);

}  // namespace history
