// velmoor-cli's unit history commands (history, diff, due): they read this PC's history store
// and need no unit and no port. Also what the other commands use to record their outcomes.
#pragma once
#include <cstdio>
#include <string>

#include "cli/cli_options.h"
#include "history/record_outcome.h"

// Whether the command is one of the history's.
bool IsHistoryCommand(const std::string& command);
// Runs history, diff or due; returns the exit code: 0 done; 1 no such unit, or (diff) fewer than
// two status reads; 2 usage (a bad date or visit, or --no-history); 4 the history cannot be read.
int RunHistoryCommand(const CliOptions& options, std::FILE* result = stdout, std::FILE* messages = stderr);

// The history file of the options: --history FILE, else this PC's own.
std::filesystem::path CliHistoryFile(const CliOptions& options);
// The store of the options: --history FILE or this PC's own, none with --no-history. Opens it
// and takes the current-status file in on first use; a message for the operator when the
// history cannot be kept (empty otherwise).
std::string OpenCliHistory(history::HistoryStore& store, const CliOptions& options);
// The context of the command line's events: --operator, the program and its version.
history::HistoryContext CliHistoryContext(const CliOptions& options);
