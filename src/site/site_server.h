// A site's shared unit history on its PostgreSQL server. Each PC's own store is the outbox:
// events go to the site in the order they were written, each under its unique id, so an event
// sent twice (after a cut) is kept once. The server's tables are made and brought up to date by
// the terminal (velmoor-cli site init) and are meant to be read by the site's own reports too:
// docs/site.md describes them and the server's set-up.
//
// The connection is a libpq connection text or service name ("service=velmoor",
// "host=hist.example port=5432 dbname=velmoor user=bench7 sslmode=verify-full"). The password
// comes from libpq's password file only: a connection text that carries one is refused, so it is
// never on a command line, in the terminal's files or in the log, and the text is shown only
// without its secrets (RedactConnection). Every statement binds its values as parameters.
//
// A failure is told by what libpq knows of the connection and by the server's SQLSTATE, never by
// the words of a message (libpq's and the server's are translated).
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_store.h"

namespace history {

enum class SiteProblemKind {
  None,
  NoClient,        // this build has no PostgreSQL client
  BadSetting,      // the connection text does not parse, carries a password, or names a service
                   // or an option value libpq does not know
  UnknownHost,     // the host name does not resolve
  Unreachable,     // refused, timed out, the connection lost, or what answers is not PostgreSQL
  Password,        // a password is needed and none was found, or it was refused
  Tls,             // a PostgreSQL server answers, but not with the TLS the setting requires
  Refused,         // the server refused the connection or a statement (pg_hba.conf, grants, database)
  NotInitialised,  // the database holds no unit history tables
  OlderSchema,     // made by an older terminal: velmoor-cli site init brings it up to date
  NewerSchema,     // made by a newer terminal: this one does not write to it
  LocalHistory,    // this PC's own history could not be read or noted: nothing to do with the site
};

struct SiteProblem {
  SiteProblemKind kind = SiteProblemKind::None;
  std::string message;  // one sentence for the operator: what is wrong and what to do
  std::string detail;   // the server's or libpq's own words, for the log
  explicit operator bool() const { return kind != SiteProblemKind::None; }
};
const char* SiteProblemKindName(SiteProblemKind kind);  // "unknown-host", ...
// The site is away (not reached), rather than reached and refusing.
inline bool SiteAway(const SiteProblem& p) {
  return p.kind == SiteProblemKind::Unreachable || p.kind == SiteProblemKind::UnknownHost;
}

// The connection text as the terminal uses it: a password in it is refused; connect_timeout
// (5 s) and application_name are added when not set. shown is the same without anything secret
// (RedactConnection), for messages and the log. connect_timeout is taken as libpq takes it: 0 or
// less is no limit, 1 is 2 s, and a text that is not a whole number is refused.
struct SiteSetting {
  std::string conninfo;
  std::string shown;
  int timeoutSeconds = 5;  // connect_timeout (0: no limit)
};
SiteProblem ReadSiteSetting(const std::string& text, SiteSetting& setting);

class SiteServer {
 public:
  // Versions of the server's tables: 1 first; 2 added each bench's last send; 3 the views of
  // the benches and the units as text; 4 keeps what each event read (field by field) and when
  // each unit's battery capacity was read.
  static constexpr int kSchemaVersion = 4;

  SiteServer();
  ~SiteServer();
  SiteServer(const SiteServer&) = delete;
  SiteServer& operator=(const SiteServer&) = delete;

  // Connects and checks the tables' version. stop, when given, is asked while the connection
  // is being made, and ends the attempt when it says so.
  SiteProblem Connect(const SiteSetting& setting, const std::function<bool()>& stop = {});
  void Disconnect();
  bool Connected() const;
  // From another thread: breaks off the call under way (its connection is shut, so the call
  // ends as a lost connection at once).
  void Interrupt();
  // No call waits past the deadline (none: as long as the server takes): a connection not made
  // by then is given up, and a statement not answered too, with its connection (the server then
  // rolls its transaction back). The only wait it cannot cut is libpq's look-up of a host name.
  void SetDeadline(std::optional<std::chrono::steady_clock::time_point> deadline);
  // Connects, and makes the tables (or brings them up to date); fromVersion tells what was
  // there (0: nothing). The connection stays open for use. The tests make an older site with
  // toVersion.
  SiteProblem Init(const SiteSetting& setting, int& fromVersion, int toVersion = kSchemaVersion);
  // The site's own id, made when its tables were: a PC's cursor belongs to one site.
  const std::string& SiteId() const { return siteId_; }

  // Sends events in one transaction; each is kept once, whatever was sent before. The units'
  // summaries (for what is due) move with them.
  SiteProblem Send(const std::vector<HistoryStore::OutboxEvent>& events);
  // Whether this bench may send: the grants a send needs (docs/site.md); Refused, naming
  // those it lacks, when it may not.
  SiteProblem CheckSending();
  // For the tests: called once a batch's statements are on the server, just before its commit.
  std::function<void(size_t sent)> onBatchSent;

  // ---- reading ----
  std::optional<int32_t> FindUnit(std::string_view unitText, SiteProblem& problem);
  // The unit's events, oldest first, each with the unit's whole state after it.
  SiteProblem LoadUnit(int32_t unitId, std::vector<HistoryStore::OutboxEvent>& events);
  // Every unit with anything due as of nowMs.
  SiteProblem Due(const HistorySettings& settings, int64_t nowMs, std::vector<UnitFlags>& due);
  // The site's size: events, units and benches.
  SiteProblem Counts(int64_t& events, int64_t& units, int64_t& benches);

 private:
  // The connection alone, and the check of the tables' version.
  SiteProblem Open(const SiteSetting& setting, const std::function<bool()>& stop);
  SiteProblem CheckSchema();
  // Each unit's summary worked out again from its events (inside Init's transaction).
  SiteProblem RecomputeUnits();
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string siteId_;
};

// The site's id of an event. An entry of the current-status file taken in as a unit's first
// visit is the same visit on every bench that shares the data folder: its id comes from the
// entry itself, so the site keeps it once.
std::string SiteUid(const HistoryStore::OutboxEvent& o);

}  // namespace history
