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
};

// Records the operation's outcome as one event of the unit named by status.UnitId (an event with
// no unit when it is -1). With statusWasRead, the status and checks are stored as read; without,
// the checks alone (a bench test's result and time). A program load's file is hashed (SHA-256).
// Never throws and never touches the status files. Returns a message for the operator the first
// time the history cannot be written in this session (empty otherwise, and when all went well).
std::string RecordOutcome(HistoryStore& store, const HistoryContext& context, const Outcome& outcome,
                          const UnitStatus& status, const StatusChecks& checks, bool statusWasRead);

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
