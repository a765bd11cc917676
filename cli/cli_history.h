// velmoor-cli's unit history commands (history, diff, due): they read this PC's history store
// and need no unit and no port.
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
