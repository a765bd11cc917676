// The one call that keeps an operation in the unit history, made as each operation ends (after
// the status file was saved), from the window and from the command line.
#pragma once
#include <cstdint>
#include <string>

#include "history/history_store.h"
#include "platform/paths.h"
#include "status/unit_status.h"
#include "platform/outcome.h"

namespace history {

// What the caller knows about the session, the same for every operation of it.
struct HistoryContext {
  std::string bench;         // empty: the store's settings, else the host name
  std::string operatorName;  // empty: the login name (--operator NAME sets it)
  std::string terminal;      // the program and its version ("velmoor-cli 3.00.012")
  std::string logFile;       // empty: the session log's file of today, when a log runs
  int64_t durationMs = -1;   // how long the operation took, when measured
  std::string port;          // the operation's port ("COM3 (/dev/ttyUSB0)"), when known
  std::string namedUnit;     // the unit the command line names (--unit), for an operation that does not read it
};

// Records the operation's outcome as one event of the unit named by status.UnitId. An operation
// that did not read its unit (a program load, a clock set, a sensor reading from the command
// line) is filed under the unit the command line names (context.namedUnit), else the unit this
// bench last read on the same port, and the event says which; with neither it has no unit.
// With statusWasRead, the status and checks are stored as read (a field the step did not read is
// no value); without, the checks with their times (a bench test's result), and the sensors'
// values with sensorsRead. A program load's file is hashed (SHA-256).
// Never throws and never touches the status files. Returns a message for the operator the first
// time the history cannot be written in this session (empty otherwise, and when all went well).
std::string RecordOutcome(HistoryStore& store, const HistoryContext& context, const Outcome& outcome,
                          const UnitStatus& status, const StatusChecks& checks, bool statusWasRead,
                          bool sensorsRead = false);

// Opens the store at file (DefaultHistoryFile() unless --history names one) and, on its first
// use, takes each unit of the current-status file as its first visit, in the name of the
// context's operator and terminal. Returns a message for the operator when the history cannot
// be kept (the session goes on without it), else empty.
std::string OpenHistory(HistoryStore& store, const std::filesystem::path& file, const DataPaths& paths,
                        const HistoryContext& context = {});

// The event RecordOutcome writes, without writing it (for the log and the tests).
HistoryEvent EventOf(const HistoryContext& context, const Outcome& outcome, const UnitStatus& status,
                     const std::string& defaultBench);

}  // namespace history
