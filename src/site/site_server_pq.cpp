#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>

#include "history/due_rules.h"
#include "history/history_fields.h"
#include "history/sha256.h"
#include "site/site_server.h"
#include "history/unit_state.h"
#include "platform/connection_text.h"
#include "platform/net_probe.h"
#include "platform/text_numbers.h"

namespace history {

namespace {

// The server's tables, version by version; the first step makes the first version. Unit texts
// are kept as bytes (bytea), exactly as the unit sent them; the views give them as text.
const char* const kSiteSteps[] = {
    "CREATE TABLE velmoor_schema("
    " version integer NOT NULL,"
    " site_id text NOT NULL,"
    " created timestamptz NOT NULL DEFAULT now());"
    "CREATE TABLE velmoor_field("
    " field smallint PRIMARY KEY,"
    " grp text NOT NULL,"
    " element text NOT NULL,"
    " class text NOT NULL);"
    "CREATE TABLE velmoor_event("
    " id bigserial UNIQUE,"
    " uid text PRIMARY KEY,"
    " at timestamptz NOT NULL,"
    " unit_id integer,"
    " serial bytea NOT NULL,"
    " bench bytea NOT NULL,"
    " operator bytea NOT NULL,"
    " terminal text NOT NULL,"
    " action text NOT NULL,"
    " outcome text NOT NULL,"
    " reason bytea NOT NULL,"
    " failed_readers integer NOT NULL,"
    " differences bytea NOT NULL,"
    " file bytea NOT NULL,"
    " file_sha256 text NOT NULL,"
    " records_sent integer NOT NULL,"
    " records_total integer NOT NULL,"
    " duration_ms bigint NOT NULL,"
    " test_result integer NOT NULL,"
    " command bytea NOT NULL,"
    " reply bytea NOT NULL,"
    " log_file bytea NOT NULL,"
    " status_read boolean NOT NULL,"
    " imported boolean NOT NULL,"
    " fields bytea[],"
    " battery_count bigint,"
    " bench_event bigint NOT NULL,"
    " received timestamptz NOT NULL DEFAULT now());"
    "CREATE INDEX velmoor_event_unit ON velmoor_event(unit_id, at);"
    "CREATE INDEX velmoor_event_battery ON velmoor_event(unit_id, at) WHERE battery_count IS NOT NULL;"
    "CREATE TABLE velmoor_unit("
    " unit_id integer PRIMARY KEY,"
    " serial bytea NOT NULL,"
    " last_at timestamptz NOT NULL,"
    " release_at timestamptz,"
    " selftest_at timestamptz,"
    " selftest_result integer NOT NULL DEFAULT -1,"
    " count bigint NOT NULL DEFAULT -1,"
    " count_at timestamptz,"
    " capacity bigint NOT NULL DEFAULT 0);"
    "CREATE INDEX velmoor_unit_serial ON velmoor_unit(serial);"
    "CREATE FUNCTION velmoor_text(b bytea) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $f$"
    " BEGIN RETURN convert_from(b, 'UTF8'); EXCEPTION WHEN others THEN RETURN encode(b, 'escape'); END $f$;"
    "CREATE VIEW velmoor_visit AS SELECT id, uid, at, unit_id, upper(lpad(to_hex(unit_id), 6, '0')) AS unit,"
    " velmoor_text(serial) AS serial, velmoor_text(bench) AS bench, velmoor_text(operator) AS operator,"
    " terminal, action, outcome, velmoor_text(reason) AS reason, failed_readers,"
    " velmoor_text(differences) AS differences, velmoor_text(file) AS file, file_sha256, records_sent,"
    " records_total, duration_ms, test_result, velmoor_text(command) AS command, velmoor_text(reply) AS reply,"
    " velmoor_text(log_file) AS log_file, status_read, imported, battery_count, received FROM velmoor_event;"
    "CREATE VIEW velmoor_field_value AS SELECT e.id AS event, e.uid, e.at, e.unit_id, f.grp, f.element,"
    " f.class, velmoor_text(e.fields[f.field + 1]) AS value"
    " FROM velmoor_event e JOIN velmoor_field f ON f.field < cardinality(e.fields) WHERE e.fields IS NOT NULL;",
    // 2: each bench that sent, when it last did and how many events the site took from it.
    "CREATE TABLE velmoor_bench("
    " bench bytea PRIMARY KEY,"
    " terminal text NOT NULL,"
    " last_event_at timestamptz NOT NULL,"
    " last_push timestamptz NOT NULL DEFAULT now(),"
    " events bigint NOT NULL DEFAULT 0);"
    "INSERT INTO velmoor_bench(bench, terminal, last_event_at, events)"
    " SELECT bench, max(terminal), max(at), count(*) FROM velmoor_event GROUP BY bench;",
    // 3: the benches and the units as text, for the site's own reports.
    "CREATE VIEW velmoor_bench_list AS SELECT velmoor_text(bench) AS bench, terminal, last_event_at, last_push,"
    " events FROM velmoor_bench;"
    "CREATE VIEW velmoor_unit_list AS SELECT unit_id, upper(lpad(to_hex(unit_id), 6, '0')) AS unit,"
    " velmoor_text(serial) AS serial, last_at, release_at, selftest_at, selftest_result, count, count_at, capacity"
    " FROM velmoor_unit;",
    // 4: an event's fields are what it read (NULL: not read; the events of earlier terminals hold
    // their bench's whole state, reading false), how its unit was known, and when the battery's
    // capacity was read, so that every bench's readings merge field by field.
    "ALTER TABLE velmoor_event ADD COLUMN reading boolean NOT NULL DEFAULT false;"
    "ALTER TABLE velmoor_event ADD COLUMN unit_from text NOT NULL DEFAULT '';"
    "ALTER TABLE velmoor_unit ADD COLUMN capacity_at timestamptz;"
    "UPDATE velmoor_unit SET capacity_at = last_at WHERE capacity > 0;"
    "CREATE OR REPLACE VIEW velmoor_visit AS SELECT id, uid, at, unit_id, upper(lpad(to_hex(unit_id), 6, '0')) AS unit,"
    " velmoor_text(serial) AS serial, velmoor_text(bench) AS bench, velmoor_text(operator) AS operator,"
    " terminal, action, outcome, velmoor_text(reason) AS reason, failed_readers,"
    " velmoor_text(differences) AS differences, velmoor_text(file) AS file, file_sha256, records_sent,"
    " records_total, duration_ms, test_result, velmoor_text(command) AS command, velmoor_text(reply) AS reply,"
    " velmoor_text(log_file) AS log_file, status_read, imported, battery_count, received, unit_from"
    " FROM velmoor_event;"
    "CREATE OR REPLACE VIEW velmoor_field_value AS SELECT e.id AS event, e.uid, e.at, e.unit_id, f.grp, f.element,"
    " f.class, velmoor_text(e.fields[f.field + 1]) AS value"
    " FROM velmoor_event e JOIN velmoor_field f ON f.field < cardinality(e.fields)"
    " WHERE e.fields IS NOT NULL AND e.fields[f.field + 1] IS NOT NULL;"
    "CREATE OR REPLACE VIEW velmoor_unit_list AS SELECT unit_id, upper(lpad(to_hex(unit_id), 6, '0')) AS unit,"
    " velmoor_text(serial) AS serial, last_at, release_at, selftest_at, selftest_result, count, count_at, capacity,"
    " capacity_at FROM velmoor_unit;",
};
static_assert(sizeof kSiteSteps / sizeof kSiteSteps[0] == SiteServer::kSchemaVersion);

// The one lock every init takes, so that two benches making the tables at once take turns.
constexpr const char* kInitLock = "SELECT pg_advisory_xact_lock(5640830472)";

SiteProblem Problem(SiteProblemKind kind, std::string message, std::string detail = {}) {
  while (!detail.empty() && (detail.back() == '\n' || detail.back() == ' ')) detail.pop_back();
  return {kind, std::move(message), std::move(detail)};
}

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out = "\\x";
  out.reserve(2 + bytes.size() * 2);
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

int HexDigit(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}

// A bytea as the server writes it in hex ("\x4142").
std::string Unhex(std::string_view text) {
  std::string out;
  if (text.size() < 2 || text[0] != '\\' || text[1] != 'x') return out;
  out.reserve((text.size() - 2) / 2);
  for (size_t i = 2; i + 1 < text.size(); i += 2) {
    const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) break;
    out += static_cast<char>(hi << 4 | lo);
  }
  return out;
}

// What an event read as an array of bytea, written as the server reads it: {"\\x41",NULL}
// (NULL: a field the event did not read).
std::string FieldsArray(const FieldTexts& fields, const FieldMask& read) {
  std::string out = "{";
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) out += ',';
    if (!read[i]) {
      out += "NULL";
      continue;
    }
    out += "\"\\";
    out += Hex(fields[i]);
    out += '"';
  }
  return out + "}";
}

// A whole number as the server sends it in binary: big-endian, of 1, 2, 4 or 8 bytes, signed.
int64_t BigEndian(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > 8) return 0;
  uint64_t v = static_cast<unsigned char>(bytes[0]) & 0x80 ? ~uint64_t{0} : 0;
  for (const char c : bytes) v = v << 8 | static_cast<unsigned char>(c);
  return static_cast<int64_t>(v);
}

// An array of bytea as the server sends it in binary (dimensions, then each element's length,
// -1 for NULL, and its bytes); its elements in order (a NULL is an empty text, and not in
// present). What a damaged array holds past the point it stops making sense is left out.
FieldTexts FieldsOfBinaryArray(std::string_view b, FieldMask& present) {
  FieldTexts out;
  present.reset();
  size_t at = 0;
  auto word = [&](int64_t& v) {
    if (b.size() - at < 4) return false;
    v = BigEndian(b.substr(at, 4));
    at += 4;
    return true;
  };
  int64_t dims = 0, flags = 0, type = 0, count = 0, lower = 0;
  if (!word(dims) || !word(flags) || !word(type) || dims != 1 || !word(count) || !word(lower)) return out;
  for (int64_t n = 0; n < count && n < kFieldCount; ++n) {
    int64_t length = 0;
    if (!word(length)) break;
    if (length < 0) continue;
    if (static_cast<uint64_t>(length) > b.size() - at) break;
    out[static_cast<size_t>(n)].assign(b.data() + at, static_cast<size_t>(length));
    present.set(static_cast<size_t>(n));
    at += static_cast<size_t>(length);
  }
  return out;
}

SiteProblem NotConnected(const std::string& shown) {
  return Problem(SiteProblemKind::Unreachable, "The site server (" + shown +
                                                   ") is not connected. The bench goes on with this PC's history; the "
                                                   "events wait here and are sent later.");
}

// A time for the server: milliseconds as text (0: none, NULL).
constexpr const char* kMs = "round(extract(epoch from %s) * 1000)::bigint";

std::string MsOf(const char* column) {
  char b[160];
  std::snprintf(b, sizeof b, kMs, column);
  return b;
}

// Bound values of one statement: each a text or NULL.
class Params {
 public:
  Params& Add(std::string v) {
    values_.push_back(std::move(v));
    null_.push_back(false);
    return *this;
  }
  Params& Add(int64_t v) { return Add(std::to_string(v)); }
  Params& Bytes(std::string_view v) { return Add(Hex(v)); }
  Params& Null() {
    values_.emplace_back();
    null_.push_back(true);
    return *this;
  }
  Params& MsOrNull(int64_t ms) { return ms > 0 ? Add(ms) : Null(); }
  int Count() const { return static_cast<int>(values_.size()); }
  std::vector<const char*> Pointers() const {
    std::vector<const char*> p;
    for (size_t i = 0; i < values_.size(); ++i) p.push_back(null_[i] ? nullptr : values_[i].c_str());
    return p;
  }

 private:
  std::vector<std::string> values_;
  std::vector<bool> null_;
};

// A result that clears itself.
struct Result {
  PGresult* r = nullptr;
  explicit Result(PGresult* res) : r(res) {}
  ~Result() { PQclear(r); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  bool Ok() const {
    const ExecStatusType s = PQresultStatus(r);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
  }
  int Rows() const { return PQntuples(r); }
  std::string_view View(int row, int col) const {
    return std::string_view(PQgetvalue(r, row, col), static_cast<size_t>(PQgetlength(r, row, col)));
  }
  std::string Text(int row, int col) const { return std::string(View(row, col)); }
  bool Null(int row, int col) const { return PQgetisnull(r, row, col) != 0; }
  int64_t Int(int row, int col, int64_t otherwise = 0) const {
    if (Null(row, col)) return otherwise;
    return textnum::WholeInt(View(row, col), INT64_MIN, INT64_MAX).value_or(otherwise);
  }
  std::string State() const {
    const char* s = PQresultErrorField(r, PG_DIAG_SQLSTATE);
    return s ? s : "";
  }
};

// The server's SQLSTATE in a message libpq made of the server's error in verbose form
// ("...: FATAL:  28P01: ..."): libpq keeps no result of a connection that failed, and puts the
// code there in a fixed form (two spaces after the severity, then the code and a colon), whatever
// the language of the words around it. Empty when the server sent no error.
std::string SqlStateIn(const std::string& message) {
  for (size_t at = message.find(":  "); at != std::string::npos; at = message.find(":  ", at + 1)) {
    const size_t c = at + 3;
    if (c + 6 > message.size() || message[c + 5] != ':') continue;
    bool code = true;
    for (size_t i = c; i < c + 5; ++i)
      code = code && ((message[i] >= '0' && message[i] <= '9') || (message[i] >= 'A' && message[i] <= 'Z'));
    if (code) return message.substr(c, 5);
  }
  return {};
}

// The first line of libpq's or the server's words, without the code verbose messages carry.
std::string FirstLine(const std::string& detail) {
  std::string line = detail.substr(0, detail.find('\n'));
  const std::string state = SqlStateIn(line);
  if (!state.empty()) {
    const size_t at = line.find(":  " + state + ": ");
    if (at != std::string::npos) line.erase(at + 3, state.size() + 2);
  }
  while (!line.empty() && (line.back() == ' ' || line.back() == '.' || line.back() == '\r')) line.pop_back();
  return line;
}

// What the server's SQLSTATE says of a failed connection or statement: a password refused; the
// bench refused (pg_hba.conf, a role, a database or a grant); or a passing condition (the
// connection lost, the server shutting down or starting, too many connections, a deadlock),
// tried again later as a server that is away.
SiteProblemKind KindOfState(const std::string& state) {
  if (state == "28P01") return SiteProblemKind::Password;
  if (state.empty() || state.rfind("08", 0) == 0 || state.rfind("57P", 0) == 0 || state == "53300" ||
      state == "40001" || state == "40P01")
    return SiteProblemKind::Unreachable;
  return SiteProblemKind::Refused;
}

// libpq's words about a setting it could not parse, without anything of the setting but option
// names: it quotes a part of the text in some of them.
std::string SafeParseError(const std::string& why) {
  std::string out;
  size_t i = 0;
  while (i < why.size()) {
    const size_t open = why.find('"', i);
    if (open == std::string::npos) break;
    const size_t close = why.find('"', open + 1);
    if (close == std::string::npos) break;
    const std::string quoted = why.substr(open + 1, close - open - 1);
    const bool name = !quoted.empty() && quoted.size() <= 32 &&
                      quoted.find_first_not_of("abcdefghijklmnopqrstuvwxyz_=") == std::string::npos;
    out += why.substr(i, open - i) + "\"" + (name ? quoted : "...") + "\"";
    i = close + 1;
  }
  out += why.substr(std::min(i, why.size()));
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// connect_timeout as libpq takes it: a whole number of seconds; 0 or less waits as long as it
// takes, and less than 2 is 2. Nothing when the text is not a number.
std::optional<int> ConnectTimeout(const char* text) {
  std::string t = text ? text : "";
  while (!t.empty() && t.back() == ' ') t.pop_back();
  while (!t.empty() && t.front() == ' ') t.erase(0, 1);
  const std::optional<int64_t> v = textnum::WholeInt(t, INT32_MIN, INT32_MAX);
  if (!v) return std::nullopt;
  return *v <= 0 ? 0 : std::max<int>(2, static_cast<int>(*v));
}

// One option of a connection as libpq will use it (from the setting, its service or the
// environment); empty when not set.
std::string OptionOf(PGconn* conn, const char* key) {
  std::string value;
  if (PQconninfoOption* options = PQconninfo(conn)) {
    for (PQconninfoOption* o = options; o->keyword; ++o)
      if (std::strcmp(o->keyword, key) == 0 && o->val) value = o->val;
    PQconninfoFree(options);
  }
  return value;
}

const char* const kGoesOn = " The bench goes on with this PC's history; the events wait here and are sent later.";
const char* const kPasswordFile = "libpq's password file (~/.pgpass, %APPDATA%\\postgresql\\pgpass.conf on Windows)";

}  // namespace

SiteProblem ReadSiteSetting(const std::string& text, SiteSetting& setting) {
  setting = {};
  std::string trimmed = text;
  while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\r')) trimmed.pop_back();
  if (trimmed.empty()) return Problem(SiteProblemKind::BadSetting, "No site server is set.");
  const std::string shown = RedactConnection(trimmed);
  const std::string setting_ = "The site server setting" + (shown.empty() ? std::string() : " (" + shown + ")");
  if (ConnectionCarriesPassword(trimmed))
    return Problem(SiteProblemKind::BadSetting, setting_ +
                                                    " carries a password, which the terminal does not take: put the "
                                                    "password in " +
                                                    kPasswordFile + " instead.");
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(trimmed.c_str(), &error);
  if (!options) {
    const std::string why = SafeParseError(error ? error : "no memory");
    PQfreemem(error);
    return Problem(SiteProblemKind::BadSetting,
                   setting_ + " is not a PostgreSQL connection text (" + why.substr(0, why.find('\n')) +
                       "); write it as \"service=NAME\" or \"host=... dbname=... user=...\".",
                   why);
  }
  bool application = false, timeoutGiven = false;
  std::optional<int> timeout = 5;
  for (PQconninfoOption* o = options; o->keyword; ++o) {
    if (!o->val || !*o->val) continue;
    const std::string key = o->keyword;
    if (key == "connect_timeout") timeout = ConnectTimeout(o->val), timeoutGiven = true;
    if (key == "application_name") application = true;
  }
  PQconninfoFree(options);
  if (!timeout)
    return Problem(SiteProblemKind::BadSetting, setting_ + ": its connect_timeout is not a whole number of seconds.");
  setting.timeoutSeconds = *timeout;
  setting.shown = shown.empty() ? "the default server" : shown;
  // A connection text of key = value pairs takes more of them; a URI takes them as parameters.
  // (The text is also the key of this PC's record of how far it sent: it stays as it was.)
  const bool uri = trimmed.rfind("postgresql://", 0) == 0 || trimmed.rfind("postgres://", 0) == 0;
  std::string extra;
  if (!timeoutGiven) extra += uri ? "connect_timeout=5" : " connect_timeout=5";
  if (!application) extra += std::string(uri ? (extra.empty() ? "" : "&") : " ") + "application_name=velmoor";
  if (uri && !extra.empty()) extra = (trimmed.find('?') == std::string::npos ? "?" : "&") + extra;
  setting.conninfo = trimmed + extra;
  return {};
}

struct SiteServer::Impl {
  using Clock = std::chrono::steady_clock;
  PGconn* conn = nullptr;
  std::mutex connMutex;  // conn's replacement, against Interrupt from another thread
  std::string shown, conninfo;
  std::optional<Clock::time_point> deadline;   // no wait of a call goes past it
  std::optional<Clock::time_point> startedAt;  // of the statement given up at the deadline

  ~Impl() { Close(); }
  void Close() { Replace(nullptr); }
  void Replace(PGconn* c) {
    std::lock_guard<std::mutex> lock(connMutex);
    if (conn) PQfinish(conn);
    conn = c;
  }
  std::string Where() const { return "The site server (" + shown + ")"; }
  SiteProblem AwaitConnection(Clock::time_point started, const std::function<bool()>& stop);
  SiteProblem Seed(int version, std::string& siteId);

  // Milliseconds to the deadline (at most cap); 0: it has passed.
  int Left(int cap) const {
    if (!deadline) return cap;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<int64_t>(ms, 0, cap));
  }

  SiteProblem Silent(Clock::time_point since) const {
    const auto s = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
    return Problem(
        SiteProblemKind::Unreachable,
        Where() + " did not answer within " + std::to_string(std::max<int64_t>(1, (s + 500) / 1000)) + " s." + kGoesOn);
  }

  SiteProblem Told(SiteProblemKind kind, const std::string& detail) const {
    const std::string words = FirstLine(detail);
    switch (kind) {
      case SiteProblemKind::Password:
        return Problem(kind,
                       Where() + " refused the password, or none was found: put it in " + kPasswordFile + "." + kGoesOn,
                       detail);
      case SiteProblemKind::Refused:
        return Problem(kind,
                       Where() + " refused: " + words +
                           ". The site's administrator can grant this bench access (docs/site.md)." + kGoesOn,
                       detail);
      case SiteProblemKind::UnknownHost:
        return Problem(
            kind,
            Where() + " is not known: its host name does not resolve. Check the host in the site setting." + kGoesOn,
            detail);
      case SiteProblemKind::BadSetting:
        return Problem(kind,
                       "The site server setting (" + shown + ") cannot be used: " + words +
                           ". Check it, and the service file it names." + kGoesOn,
                       detail);
      case SiteProblemKind::Tls:
        return Problem(
            kind,
            Where() + " would not make the TLS connection the setting asks for (sslmode): " + words + "." + kGoesOn,
            detail);
      default:
        return Problem(SiteProblemKind::Unreachable,
                       Where() + " cannot be reached" + (words.empty() ? "" : ": " + words) + "." + kGoesOn, detail);
    }
  }

  // Why a connection failed, from libpq's state of it and the server's SQLSTATE. immediate: it
  // failed as it was started, before any wait.
  SiteProblem ConnectFailed(bool immediate) {
    const std::string detail = PQerrorMessage(conn);
    const std::string state = SqlStateIn(detail);
    if (!state.empty()) return Told(KindOfState(state), detail);
    if (PQconnectionNeedsPassword(conn)) return Told(SiteProblemKind::Password, detail);
    const std::string address = PQhostaddr(conn) ? PQhostaddr(conn) : "";
    if (address.empty()) {
      // No address was tried: the setting, the host's name, or a local socket that is not there.
      if (immediate && PQping(conninfo.c_str()) == PQPING_NO_ATTEMPT) return Told(SiteProblemKind::BadSetting, detail);
      const std::string host = PQhost(conn) ? PQhost(conn) : "";
      if (host.empty() || host[0] == '/' || host[0] == '@' || host.find(',') != std::string::npos)
        return Told(SiteProblemKind::Unreachable, detail);
      return Told(SiteProblemKind::UnknownHost, detail);
    }
    // An address was tried and nothing a PostgreSQL server says came back: ask what is there.
    const std::string port = PQport(conn) ? PQport(conn) : "";
    switch (net_probe::AskPostgres(address, port.empty() ? "5432" : port, Left(2000))) {
      case net_probe::Answer::Other:
        return Problem(SiteProblemKind::Unreachable,
                       Where() + " cannot be reached: what answers at " + address + " port " + port +
                           " is not a PostgreSQL server." + kGoesOn,
                       detail);
      case net_probe::Answer::Tls:
      case net_probe::Answer::NoTls: {
        const std::string mode = OptionOf(conn, "sslmode");
        if (mode == "require" || mode == "verify-ca" || mode == "verify-full")
          return Told(SiteProblemKind::Tls, detail);
        break;
      }
      case net_probe::Answer::None: break;
    }
    return Told(SiteProblemKind::Unreachable, detail);
  }

  SiteProblem Failed(const Result& r) {
    if (startedAt) {
      const Clock::time_point since = *startedAt;
      startedAt.reset();
      return Silent(since);
    }
    std::string detail = PQresultErrorMessage(r.r);
    if (detail.empty() && conn) detail = PQerrorMessage(conn);
    const std::string state = r.State();
    // A connection lost is that, whatever the statement was.
    const SiteProblemKind kind =
        !conn || PQstatus(conn) != CONNECTION_OK ? SiteProblemKind::Unreachable : KindOfState(state);
    SiteProblem p = Told(kind, detail);
    if (kind == SiteProblemKind::Unreachable) Close();
    return p;
  }

  // A statement of a transaction failed: what it means, the transaction rolled back.
  SiteProblem Abort(const Result& r) {
    SiteProblem p = Failed(r);
    if (conn) Exec("ROLLBACK");
    return p;
  }

  // Runs a statement (several, without parameters) and waits for its result, never past the
  // deadline: a call the server does not answer by then is given up, and its connection shut (the
  // server rolls its transaction back). The first error, else the last result.
  // binary: the rows come in the server's binary form (a statement with parameters only).
  Result Exec(const char* sql, const Params& p = {}, bool binary = false) {
    startedAt.reset();
    if (!conn) return Result(nullptr);
    const Clock::time_point started = Clock::now();
    const auto ptrs = p.Pointers();
    const int sent =
        p.Count() ? PQsendQueryParams(conn, sql, p.Count(), nullptr, ptrs.data(), nullptr, nullptr, binary ? 1 : 0)
                  : PQsendQuery(conn, sql);
    if (!sent) return Result(PQmakeEmptyPGresult(conn, PGRES_FATAL_ERROR));
    for (;;) {
      const int flushed = PQflush(conn);
      if (flushed < 0) break;
      if (flushed == 0 && !PQisBusy(conn)) break;
      const int fd = PQsocket(conn);
      if (fd < 0) break;
      if (Left(100) == 0 && deadline) {
        startedAt = started;
        Close();
        return Result(nullptr);
      }
      const int ready = net_probe::WaitForSocket(fd, net_probe::kRead | (flushed ? net_probe::kWrite : 0), Left(100));
      if (ready < 0) break;
      if ((ready & net_probe::kRead) && !PQconsumeInput(conn)) break;
    }
    PGresult* kept = nullptr;
    while (PGresult* r = PQgetResult(conn)) {
      const ExecStatusType s = PQresultStatus(r);
      if (kept && PQresultStatus(kept) == PGRES_FATAL_ERROR) {
        PQclear(r);
      } else {
        PQclear(kept);
        kept = r;
      }
      if (PQstatus(conn) == CONNECTION_BAD && s == PGRES_FATAL_ERROR) break;
    }
    return Result(kept ? kept : PQmakeEmptyPGresult(conn, PGRES_FATAL_ERROR));
  }
};

SiteServer::SiteServer() : impl_(std::make_unique<Impl>()) {}

void SiteServer::Interrupt() {
  std::lock_guard<std::mutex> lock(impl_->connMutex);
  if (impl_->conn && PQsocket(impl_->conn) >= 0) net_probe::ShutSocket(PQsocket(impl_->conn));
}
SiteServer::~SiteServer() = default;

bool SiteServer::Connected() const { return impl_->conn && PQstatus(impl_->conn) == CONNECTION_OK; }
void SiteServer::Disconnect() { impl_->Close(); }

void SiteServer::SetDeadline(std::optional<std::chrono::steady_clock::time_point> deadline) {
  impl_->deadline = deadline;
}

// Waits for the connection PQconnectStart began, within the setting's time limit and the
// deadline; a stop gives it up. Closed unless it was made.
SiteProblem SiteServer::Impl::AwaitConnection(Clock::time_point started, const std::function<bool()>& stop) {
  // The time limit as libpq would take it (the setting's, else 5 s).
  const std::string given = OptionOf(conn, "connect_timeout");
  const std::optional<int> timeout = given.empty() ? std::optional<int>(5) : ConnectTimeout(given.c_str());
  if (!timeout) {
    Close();
    return Problem(SiteProblemKind::BadSetting, "The site server setting (" + shown +
                                                    ") cannot be used: connect_timeout \"" + given.substr(0, 16) +
                                                    "\" is not a whole number of seconds.");
  }
  std::optional<Clock::time_point> until = deadline;
  if (*timeout > 0 && (!until || started + std::chrono::seconds(*timeout) < *until))
    until = started + std::chrono::seconds(*timeout);
  PostgresPollingStatusType poll = PGRES_POLLING_WRITING;
  while (PQstatus(conn) != CONNECTION_BAD && poll != PGRES_POLLING_OK && poll != PGRES_POLLING_FAILED) {
    const int fd = PQsocket(conn);
    if (fd < 0) break;
    const int ready =
        net_probe::WaitForSocket(fd, poll == PGRES_POLLING_READING ? net_probe::kRead : net_probe::kWrite, 100);
    if (stop && stop()) {
      Close();
      return Problem(SiteProblemKind::Unreachable,
                     Where() + " did not answer before the connection was given up." + kGoesOn);
    }
    if (until && Clock::now() >= *until) {
      Close();
      return Silent(started);
    }
    if (ready == 0) continue;
    poll = PQconnectPoll(conn);
  }
  if (PQstatus(conn) != CONNECTION_OK) {
    SiteProblem p = ConnectFailed(false);
    Close();
    return p;
  }
  return {};
}

SiteProblem SiteServer::Open(const SiteSetting& setting, const std::function<bool()>& stop) {
  Impl& m = *impl_;
  m.Close();
  m.shown = setting.shown;
  m.conninfo = setting.conninfo;
  siteId_.clear();
  const auto started = Impl::Clock::now();
  // Made step by step, so that a stop is heard while the server is slow to answer.
  // libpq leaves the connection's time limit to the caller when it is made this way.
  m.Replace(PQconnectStart(setting.conninfo.c_str()));
  if (!m.conn) return Problem(SiteProblemKind::Unreachable, "No memory for the site server's connection.");
  if (PQstatus(m.conn) == CONNECTION_BAD) {
    SiteProblem p = m.ConnectFailed(true);
    m.Close();
    return p;
  }
  // The server's errors with their SQLSTATE, which tells them apart in any language.
  PQsetErrorVerbosity(m.conn, PQERRORS_VERBOSE);
  if (SiteProblem p = m.AwaitConnection(started, stop)) return p;
  PQsetErrorVerbosity(m.conn, PQERRORS_DEFAULT);
  PQsetClientEncoding(m.conn, "UTF8");
  // Sent without blocking, so that no call waits past the deadline on a server that reads nothing.
  PQsetnonblocking(m.conn, 1);
  {
    Result r = m.Exec("SET bytea_output = 'hex'");
    if (!r.Ok()) return m.Failed(r);
  }
  return {};
}

SiteProblem SiteServer::Connect(const SiteSetting& setting, const std::function<bool()>& stop) {
  Impl& m = *impl_;
  if (SiteProblem p = Open(setting, stop)) return p;
  // A server this terminal does not write to is let go at once.
  SiteProblem p = CheckSchema();
  if (p) m.Close();
  return p;
}

SiteProblem SiteServer::CheckSending() {
  Impl& m = *impl_;
  if (!Connected()) return NotConnected(m.shown);
  Result r = m.Exec(
      "SELECT p || ' on ' || t FROM (VALUES ('velmoor_event', 'SELECT'), ('velmoor_event', 'INSERT'),"
      " ('velmoor_unit', 'SELECT'), ('velmoor_unit', 'INSERT'), ('velmoor_unit', 'UPDATE'),"
      " ('velmoor_bench', 'SELECT'), ('velmoor_bench', 'INSERT'), ('velmoor_bench', 'UPDATE')) v(t, p)"
      " WHERE NOT has_table_privilege(t, p)"
      " UNION ALL SELECT 'USAGE on velmoor_event_id_seq'"
      " WHERE NOT has_sequence_privilege('velmoor_event_id_seq', 'USAGE')");
  if (!r.Ok()) return m.Failed(r);
  if (r.Rows() == 0) return {};
  std::string missing;
  for (int i = 0; i < r.Rows(); ++i) missing += (i ? ", " : "") + r.Text(i, 0);
  return Problem(SiteProblemKind::Refused, m.Where() + " does not let this bench send its events: it lacks " + missing +
                                               ". The site's administrator can grant them (docs/site.md, step 3)." +
                                               kGoesOn);
}

SiteProblem SiteServer::CheckSchema() {
  Impl& m = *impl_;
  Result r = m.Exec("SELECT version, site_id FROM velmoor_schema ORDER BY version DESC LIMIT 1");
  if (!r.Ok() && r.State() != "42P01") return m.Failed(r);
  if (!r.Ok() || r.Rows() == 0)
    return Problem(SiteProblemKind::NotInitialised,
                   "The site server (" + m.shown +
                       ") holds no unit history yet: run \"velmoor-cli site init\" once, as the site's administrator.");
  const int64_t version = r.Int(0, 0, 0);
  siteId_ = r.Text(0, 1);
  if (version < kSchemaVersion)
    return Problem(SiteProblemKind::OlderSchema, "The site server's history (" + m.shown +
                                                     ") is of an older version (" + std::to_string(version) +
                                                     "): run \"velmoor-cli site init\" to bring it up to date.");
  if (version > kSchemaVersion)
    return Problem(SiteProblemKind::NewerSchema,
                   "The site server's history (" + m.shown + ") was made by a newer terminal (version " +
                       std::to_string(version) + "): this one does not write to it; update the terminal.");
  return {};
}

// A new site's field names and its version row, with the site's id made for it.
SiteProblem SiteServer::Impl::Seed(int version, std::string& siteId) {
  for (int i = 0; i < kFieldCount; ++i) {
    Result f = Exec("INSERT INTO velmoor_field(field, grp, element, class) VALUES($1, $2, $3, $4)",
                    Params().Add(i).Add(FieldGroup(i)).Add(FieldName(i)).Add(FieldClassName(ClassOf(i))));
    if (!f.Ok()) return Abort(f);
  }
  Result id = Exec(
      "INSERT INTO velmoor_schema(version, site_id) VALUES($1, md5(random()::text || clock_timestamp()::text))"
      " RETURNING site_id",
      Params().Add(version));
  if (!id.Ok()) return Abort(id);
  siteId = id.Text(0, 0);
  return {};
}

SiteProblem SiteServer::Init(const SiteSetting& setting, int& fromVersion, int toVersion) {
  Impl& m = *impl_;
  fromVersion = 0;
  if (SiteProblem p = Open(setting, {})) return p;
  Result begin = m.Exec("BEGIN");
  if (!begin.Ok()) return m.Failed(begin);
  Result lock = m.Exec(kInitLock);
  if (!lock.Ok()) return m.Abort(lock);
  Result exists = m.Exec("SELECT to_regclass('velmoor_schema') IS NOT NULL");
  if (!exists.Ok()) return m.Abort(exists);
  if (exists.Text(0, 0) == "t") {
    Result v = m.Exec("SELECT coalesce(max(version), 0), min(site_id) FROM velmoor_schema");
    if (!v.Ok()) return m.Abort(v);
    fromVersion = static_cast<int>(v.Int(0, 0, 0));
    siteId_ = v.Text(0, 1);
  }
  if (fromVersion > toVersion) {
    m.Exec("ROLLBACK");
    return Problem(SiteProblemKind::NewerSchema, "The site server's history (" + m.shown +
                                                     ") was made by a newer terminal (version " +
                                                     std::to_string(fromVersion) + "): this one leaves it as it is.");
  }
  for (int v = fromVersion; v < toVersion; ++v) {
    Result step = m.Exec(kSiteSteps[v]);
    if (!step.Ok()) return m.Abort(step);
  }
  // An earlier terminal wrote each unit's summary from the state of the bench that sent last (a
  // test set back to never by a bench that never ran one, the serial and battery of whichever
  // bench sent last): worked out again from the events, merged field by field as every reader
  // merges them.
  if (fromVersion > 0 && fromVersion < 4 && toVersion >= 4) {
    if (SiteProblem p = RecomputeUnits()) {
      if (Connected()) m.Exec("ROLLBACK");
      return p;
    }
  }
  if (fromVersion == 0) {
    if (SiteProblem p = m.Seed(toVersion, siteId_)) return p;
  } else if (fromVersion < toVersion) {
    Result up = m.Exec("UPDATE velmoor_schema SET version = $1", Params().Add(toVersion));
    if (!up.Ok()) return m.Abort(up);
  }
  Result commit = m.Exec("COMMIT");
  if (!commit.Ok()) return m.Failed(commit);
  return {};
}

SiteProblem SiteServer::RecomputeUnits() {
  Impl& m = *impl_;
  Result units = m.Exec("SELECT unit_id FROM velmoor_unit ORDER BY unit_id");
  if (!units.Ok()) return m.Failed(units);
  const auto type = static_cast<size_t>(*FieldIndex("Type"));
  const auto stacks = static_cast<size_t>(*FieldIndex("BatteryStacks"));
  for (int u = 0; u < units.Rows(); ++u) {
    const auto unitId = static_cast<int32_t>(units.Int(u, 0));
    std::vector<HistoryStore::OutboxEvent> events;
    if (SiteProblem p = LoadUnit(unitId, events)) return p;
    // The unit's events replayed in time order into a store in memory, which keeps the summary
    // a bench's own store keeps; when the battery was read last beside it.
    HistoryStore mirror;
    bool kept = mirror.OpenInMemory() && mirror.BeginBatch();
    int64_t capacityMs = 0;
    for (HistoryStore::OutboxEvent& o : events) {
      o.event.id = 0;
      kept = kept && mirror.Append(o.event, o.hasState ? &o.state : nullptr, o.hasState ? &o.read : nullptr);
      if (o.hasState && (o.read[type] || o.read[stacks])) capacityMs = std::max(capacityMs, ToUnixMs(o.event.time));
    }
    kept = kept && mirror.CommitBatch();
    if (!kept)
      return Problem(SiteProblemKind::LocalHistory,
                     "The site's units could not be worked out again in memory: " + mirror.Message());
    UnitRow row;
    // No event of the unit carries a reading: its summary stays as it is.
    if (!mirror.Summary(unitId, row)) continue;
    Params p;
    p.Add(unitId).Bytes(row.serial).Add(row.lastMs).MsOrNull(row.releaseMs);
    p.MsOrNull(row.selfTestMs).Add(row.selfTestResult).Add(row.count);
    p.MsOrNull(row.countMs).Add(row.capacity).MsOrNull(capacityMs);
    Result r = m.Exec(
        "UPDATE velmoor_unit SET serial = $2, last_at = to_timestamp($3::float8 / 1000),"
        " release_at = to_timestamp($4::float8 / 1000), selftest_at = to_timestamp($5::float8 / 1000),"
        " selftest_result = $6, count = $7, count_at = to_timestamp($8::float8 / 1000), capacity = $9,"
        " capacity_at = to_timestamp($10::float8 / 1000) WHERE unit_id = $1",
        p);
    if (!r.Ok()) return m.Failed(r);
  }
  return {};
}

namespace {

// Each statement takes a whole batch, one row of values each ("?": the row's parameters), so a
// batch costs the same few round trips to the server whatever its size: on a site's network
// every round trip counts.
struct RowsStatement {
  const char* head;  // up to VALUES
  const char* row;   // one row's values
  const char* tail;  // after the rows
};

constexpr RowsStatement kInsertEvents{
    "INSERT INTO velmoor_event(uid, at, unit_id, serial, bench, operator, terminal, action, outcome, reason,"
    " failed_readers, differences, file, file_sha256, records_sent, records_total, duration_ms, test_result,"
    " command, reply, log_file, status_read, imported, fields, battery_count, bench_event, reading, unit_from)"
    " VALUES ",
    "(?, to_timestamp(?::float8 / 1000), ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, true, ?)",
    " ON CONFLICT (uid) DO NOTHING RETURNING uid"};

// A unit's summary, merged field by field whatever order the benches send in: the serial read
// last; the latest release test and self test (with its result) that any bench reported, never
// set back by a bench that did not run one; the battery's capacity and count read last.
constexpr RowsStatement kUpsertUnits{
    "INSERT INTO velmoor_unit AS u(unit_id, serial, last_at, release_at, selftest_at, selftest_result, count,"
    " count_at, capacity, capacity_at) VALUES ",
    "(?, ?, to_timestamp(?::float8 / 1000), to_timestamp(?::float8 / 1000), to_timestamp(?::float8 / 1000), ?, ?,"
    " to_timestamp(?::float8 / 1000), ?, to_timestamp(?::float8 / 1000))",
    " ON CONFLICT (unit_id) DO UPDATE SET"
    " serial = CASE WHEN EXCLUDED.last_at >= u.last_at AND length(EXCLUDED.serial) > 0 THEN EXCLUDED.serial"
    "   ELSE u.serial END,"
    " release_at = GREATEST(u.release_at, EXCLUDED.release_at),"
    " selftest_at = GREATEST(u.selftest_at, EXCLUDED.selftest_at),"
    " selftest_result = CASE WHEN EXCLUDED.selftest_at IS NOT NULL"
    "   AND (u.selftest_at IS NULL OR EXCLUDED.selftest_at >= u.selftest_at) THEN EXCLUDED.selftest_result"
    "   ELSE u.selftest_result END,"
    " capacity = CASE WHEN EXCLUDED.capacity_at IS NOT NULL"
    "   AND (u.capacity_at IS NULL OR EXCLUDED.capacity_at >= u.capacity_at) THEN EXCLUDED.capacity"
    "   ELSE u.capacity END,"
    " capacity_at = GREATEST(u.capacity_at, EXCLUDED.capacity_at),"
    " count = CASE WHEN EXCLUDED.count_at IS NOT NULL AND (u.count_at IS NULL OR EXCLUDED.count_at >= u.count_at)"
    "   THEN EXCLUDED.count ELSE u.count END,"
    " count_at = GREATEST(u.count_at, EXCLUDED.count_at),"
    " last_at = GREATEST(u.last_at, EXCLUDED.last_at)"};

constexpr RowsStatement kUpsertBenches{
    "INSERT INTO velmoor_bench AS b(bench, terminal, last_event_at, events) VALUES ",
    "(?, ?, to_timestamp(?::float8 / 1000), ?)",
    " ON CONFLICT (bench) DO UPDATE SET terminal = EXCLUDED.terminal,"
    " last_event_at = GREATEST(b.last_event_at, EXCLUDED.last_event_at), last_push = now(),"
    " events = b.events + EXCLUDED.events"};

// The statement for rows rows, its parameters numbered in order.
std::string StatementFor(const RowsStatement& st, size_t rows) {
  std::string sql = st.head;
  int n = 0;
  for (size_t r = 0; r < rows; ++r) {
    if (r) sql += ", ";
    for (const char* c = st.row; *c; ++c) {
      if (*c == '?') sql += "$" + std::to_string(++n);
      else sql += *c;
    }
  }
  return sql + st.tail;
}

// What a batch tells of a bench.
struct BenchRow {
  std::string terminal;
  int64_t lastMs = 0, taken = 0;
};

// A batch of events as the site takes it: the events' rows, and each unit's summary and each
// bench's from them. The summaries are written after the events in their keys' order, so that
// benches sending at once take the rows in one order and never wait on each other.
struct Batch {
  Params events;
  std::map<int32_t, UnitRow> units;
  std::map<std::string, BenchRow> benches;
  std::map<std::string, const std::string*> benchOf;  // the site's id of each event -> its bench
};

void AddEventRow(Params& p, const HistoryStore::OutboxEvent& o, const std::string& uid, int64_t at) {
  const HistoryEvent& e = o.event;
  p.Add(uid).Add(at);
  if (e.unitId == -1) p.Null();
  else p.Add(e.unitId);
  p.Bytes(e.serial).Bytes(e.bench).Bytes(e.operatorName).Add(e.terminal).Add(e.action).Add(e.outcome);
  p.Bytes(e.reason).Add(e.failedReaders).Bytes(e.differences).Bytes(e.file).Add(e.fileSha256);
  p.Add(e.recordsSent).Add(e.recordsTotal).Add(e.durationMs).Add(e.testResult);
  p.Bytes(e.command).Bytes(e.reply).Bytes(e.logFile).Add(e.statusRead ? "t" : "f").Add(e.imported ? "t" : "f");
  if (o.hasState) p.Add(FieldsArray(o.state, o.read));
  else p.Null();
  if (o.batteryCount) p.Add(*o.batteryCount);
  else p.Null();
  p.Add(e.id).Add(e.unitFrom);
}

// The bench's own state holds the latest checks it knows; what the event read decides the rest.
void TakeUnitFacts(UnitRow& u, bool added, const HistoryStore::OutboxEvent& o, int64_t at) {
  const HistoryEvent& e = o.event;
  const StateFacts f = FactsOf(o.state);
  u.unitId = e.unitId;
  const bool serialRead = o.read[static_cast<size_t>(*FieldIndex("SerialNo"))] && !f.serial.empty();
  if (added || (at >= u.lastMs && (serialRead || u.serial.empty()))) u.serial = serialRead ? f.serial : e.serial;
  u.lastMs = std::max(u.lastMs, at);
  if (f.releaseMs > u.releaseMs) u.releaseMs = f.releaseMs;
  if (f.selfTestMs > 0 && f.selfTestMs >= u.selfTestMs) u.selfTestMs = f.selfTestMs, u.selfTestResult = f.selfTestResult;
  const bool batteryRead = o.read[static_cast<size_t>(*FieldIndex("Type"))] ||
                           o.read[static_cast<size_t>(*FieldIndex("BatteryStacks"))];
  // A battery read as a type or a number of stacks of no known capacity leaves none: the
  // count is no longer judged against the battery read before.
  if (batteryRead && at >= u.capacityMs) u.capacity = f.capacity, u.capacityMs = at;
  if (o.batteryCount && at >= u.countMs) u.count = *o.batteryCount, u.countMs = at;
}

Batch BatchOf(const std::vector<HistoryStore::OutboxEvent>& events) {
  Batch b;
  for (const HistoryStore::OutboxEvent& o : events) {
    const HistoryEvent& e = o.event;
    const int64_t at = ToUnixMs(e.time);
    const std::string uid = SiteUid(o);
    AddEventRow(b.events, o, uid, at);
    BenchRow& bench = b.benches[e.bench];
    bench.terminal = e.terminal;
    bench.lastMs = std::max(bench.lastMs, at);
    b.benchOf[uid] = &b.benches.find(e.bench)->first;
    if (o.hasState && e.unitId != -1) {
      auto [it, added] = b.units.try_emplace(e.unitId);
      TakeUnitFacts(it->second, added, o, at);
    }
  }
  return b;
}

// A whole number of the unit events' answer (big-endian, binary form), or otherwise when NULL.
int64_t Whole(const Result& r, int row, int col, int64_t otherwise) {
  return r.Null(row, col) ? otherwise : BigEndian(r.View(row, col));
}
bool Flag(const Result& r, int row, int col) { return !r.Null(row, col) && r.View(row, col) == std::string_view("\1", 1); }

// One row of the unit events' answer.
HistoryStore::OutboxEvent EventOfRow(const Result& r, int row) {
  HistoryStore::OutboxEvent o;
  HistoryEvent& e = o.event;
  e.uid = r.Text(row, 0);
  e.time = FromUnixMs(Whole(r, row, 1, 0));
  e.unitId = static_cast<int32_t>(Whole(r, row, 2, -1));
  e.serial = r.Text(row, 3);
  e.bench = r.Text(row, 4);
  e.operatorName = r.Text(row, 5);
  e.terminal = r.Text(row, 6);
  e.action = r.Text(row, 7);
  e.outcome = r.Text(row, 8);
  e.reason = r.Text(row, 9);
  e.failedReaders = static_cast<int32_t>(Whole(r, row, 10, 0));
  e.differences = r.Text(row, 11);
  e.file = r.Text(row, 12);
  e.fileSha256 = r.Text(row, 13);
  e.recordsSent = static_cast<int>(Whole(r, row, 14, 0));
  e.recordsTotal = static_cast<int>(Whole(r, row, 15, 0));
  e.durationMs = Whole(r, row, 16, -1);
  e.testResult = static_cast<int32_t>(Whole(r, row, 17, -1));
  e.command = r.Text(row, 18);
  e.reply = r.Text(row, 19);
  e.logFile = r.Text(row, 20);
  e.statusRead = Flag(r, row, 21);
  e.imported = Flag(r, row, 22);
  e.unitFrom = r.Text(row, 26);
  o.hasState = !r.Null(row, 23);
  if (o.hasState) {
    FieldMask present;
    o.state = FieldsOfBinaryArray(r.View(row, 23), present);
    // An earlier terminal's event holds its bench's whole state: what it read is judged from it.
    o.read = Flag(r, row, 25) ? present : FieldsHeld(e.statusRead, o.state);
  }
  if (!r.Null(row, 24)) o.batteryCount = Whole(r, row, 24, 0);
  return o;
}

}  // namespace

SiteProblem SiteServer::Send(const std::vector<HistoryStore::OutboxEvent>& events) {
  Impl& m = *impl_;
  if (!Connected()) return NotConnected(m.shown);
  if (events.empty()) return {};
  Batch batch = BatchOf(events);
  Result begin = m.Exec("BEGIN");
  if (!begin.Ok()) return m.Failed(begin);
  {
    Result r = m.Exec(StatementFor(kInsertEvents, events.size()).c_str(), batch.events);
    if (!r.Ok()) return m.Abort(r);
    // An event the site already held (sent before a cut) is not counted again.
    for (int i = 0; i < r.Rows(); ++i) {
      const auto it = batch.benchOf.find(r.Text(i, 0));
      if (it != batch.benchOf.end()) ++batch.benches[*it->second].taken;
    }
  }
  if (!batch.units.empty()) {
    Params p;
    for (const auto& [id, u] : batch.units) {
      p.Add(id).Bytes(u.serial).Add(u.lastMs).MsOrNull(u.releaseMs).MsOrNull(u.selfTestMs).Add(u.selfTestResult);
      p.Add(u.count).MsOrNull(u.countMs).Add(u.capacity).MsOrNull(u.capacityMs);
    }
    Result r = m.Exec(StatementFor(kUpsertUnits, batch.units.size()).c_str(), p);
    if (!r.Ok()) return m.Abort(r);
  }
  {
    Params p;
    for (const auto& [name, b] : batch.benches) p.Bytes(name).Add(b.terminal).Add(b.lastMs).Add(b.taken);
    Result r = m.Exec(StatementFor(kUpsertBenches, batch.benches.size()).c_str(), p);
    if (!r.Ok()) return m.Abort(r);
  }
  if (onBatchSent) onBatchSent(events.size());
  // The batch is the site's only once its commit is answered: a commit that fails or is not
  // answered leaves it waiting here, and it is sent again.
  Result commit = m.Exec("COMMIT");
  if (!commit.Ok()) return m.Failed(commit);
  return {};
}

std::optional<int32_t> SiteServer::FindUnit(std::string_view text, SiteProblem& problem) {
  Impl& m = *impl_;
  problem = {};
  if (!Connected()) {
    problem = NotConnected(m.shown);
    return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  {
    Result r = m.Exec("SELECT unit_id FROM velmoor_unit WHERE serial = $1 ORDER BY last_at DESC LIMIT 1",
                      Params().Bytes(text));
    if (!r.Ok()) {
      problem = m.Failed(r);
      return std::nullopt;
    }
    if (r.Rows() > 0) return static_cast<int32_t>(r.Int(0, 0));
  }
  const std::optional<int32_t> id = UnitIdOfHex(text);
  if (!id) return std::nullopt;
  Result r = m.Exec(
      "SELECT 1 FROM velmoor_unit WHERE unit_id = $1 UNION ALL SELECT 1 FROM velmoor_event"
      " WHERE unit_id = $1 LIMIT 1",
      Params().Add(*id));
  if (!r.Ok()) {
    problem = m.Failed(r);
    return std::nullopt;
  }
  if (r.Rows() > 0) return id;
  return std::nullopt;
}

SiteProblem SiteServer::LoadUnit(int32_t unitId, std::vector<HistoryStore::OutboxEvent>& events) {
  Impl& m = *impl_;
  events.clear();
  if (!Connected()) return NotConnected(m.shown);
  // In the server's binary form: a unit's thousand visits carry about a hundred values each,
  // which as text would be written out in hex by the server and read back here.
  const std::string sql =
      "SELECT uid, " + MsOf("at") +
      ", unit_id, serial, bench, operator, terminal, action, outcome, reason, failed_readers, differences, file,"
      " file_sha256, records_sent, records_total, duration_ms, test_result, command, reply, log_file, status_read,"
      " imported, fields, battery_count, reading, unit_from FROM velmoor_event WHERE unit_id = $1 ORDER BY at, id";
  Result r = m.Exec(sql.c_str(), Params().Add(unitId), true);
  if (!r.Ok()) return m.Failed(r);
  // The whole numbers and flags are of the sizes the tables give them; anything else is not
  // these tables' answer.
  const std::pair<int, int> sizes[] = {{1, 8},  {2, 4},  {10, 4}, {14, 4}, {15, 4}, {16, 8}, {17, 4},
                                       {21, 1}, {22, 1}, {24, 8}, {25, 1}};
  for (const auto& [col, size] : sizes)
    if (PQnfields(r.r) != 27 || PQfsize(r.r, col) != size)
      return Problem(SiteProblemKind::Refused,
                     m.Where() + " answered a unit's events in a form this terminal does not know.");
  events.reserve(static_cast<size_t>(r.Rows()));
  for (int i = 0; i < r.Rows(); ++i) events.push_back(EventOfRow(r, i));
  return {};
}

SiteProblem SiteServer::Due(const HistorySettings& settings, int64_t nowMs, std::vector<UnitFlags>& due) {
  Impl& m = *impl_;
  due.clear();
  if (!Connected()) return NotConnected(m.shown);
  // Each unit's summary, with the battery count its rate is taken from (read at least the rate
  // span before the latest), in one statement.
  const std::string sql = "SELECT u.unit_id, u.serial, " + MsOf("u.last_at") + ", " + MsOf("u.release_at") + ", " +
                          MsOf("u.selftest_at") + ", u.selftest_result, u.count, " + MsOf("u.count_at") +
                          ", u.capacity, r.battery_count, " + MsOf("r.at") +
                          " FROM velmoor_unit u LEFT JOIN LATERAL (SELECT e.battery_count, e.at FROM velmoor_event e"
                          " WHERE e.unit_id = u.unit_id AND e.battery_count IS NOT NULL"
                          " AND e.at <= u.count_at - make_interval(days => $1::int) ORDER BY e.at DESC LIMIT 1) r"
                          " ON true ORDER BY u.unit_id";
  Result r = m.Exec(sql.c_str(), Params().Add(settings.batteryRateDays));
  if (!r.Ok()) return m.Failed(r);
  for (int i = 0; i < r.Rows(); ++i) {
    UnitRow row;
    row.unitId = static_cast<int32_t>(r.Int(i, 0));
    row.serial = Unhex(r.Text(i, 1));
    row.lastMs = r.Int(i, 2);
    row.releaseMs = r.Int(i, 3);
    row.selfTestMs = r.Int(i, 4);
    row.selfTestResult = r.Int(i, 5, -1);
    row.count = r.Int(i, 6, -1);
    row.countMs = r.Int(i, 7);
    row.capacity = r.Int(i, 8);
    std::optional<std::pair<int64_t, int64_t>> ref;
    if (!r.Null(i, 9)) ref.emplace(r.Int(i, 9), r.Int(i, 10));
    UnitFlags f = FlagsOf(row, settings, nowMs, [&](int64_t) { return ref; });
    if (f.Any()) due.push_back(std::move(f));
  }
  return {};
}

SiteProblem SiteServer::Counts(int64_t& events, int64_t& units, int64_t& benches) {
  Impl& m = *impl_;
  if (!Connected()) return NotConnected(m.shown);
  Result r = m.Exec(
      "SELECT (SELECT coalesce(sum(events), 0) FROM velmoor_bench), (SELECT count(*) FROM velmoor_unit),"
      " (SELECT count(*) FROM velmoor_bench)");
  if (!r.Ok()) return m.Failed(r);
  events = r.Int(0, 0), units = r.Int(0, 1), benches = r.Int(0, 2);
  return {};
}

}  // namespace history
