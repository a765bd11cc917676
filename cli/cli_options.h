// The command line of velmoor-cli, read without any toolkit: global options, one subcommand
// and its own options.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "app/session_settings.h"
#include "platform/outcome.h"
#include "platform/paths.h"
#include "platform/shared_options.h"

// The options shared with the window (--root, --simulate[=LIST], --no-log, --history,
// --no-history, --operator) are SharedOptions', read by the same reader.
struct CliOptions : SharedOptions {
  std::string command;               // ports, status, sensors, ... ; empty with --help/--version
  std::vector<std::string> args;     // the subcommand's positional arguments
  int port = 0;                      // --port N; 0: search COM1 to COM10 as the window does
  std::optional<bool> answer;        // --yes / --no
  bool json = false;                 // status --json
  std::optional<bool> releaseTest;   // report --release-test / --no-release-test
  std::string power, gain;           // quickset --power / --gain
  int button = 0;                    // run --button N (1 to 6)
  std::optional<std::string> entry;  // --entry TEXT: the value of an entry dialog
  std::string unit;                  // --unit UNIT: the unit an operation that does not read it is filed under
  int retries = 3;                   // --retries N: how often one step may be repeated
  bool help = false;
  bool version = false;
  // The unit history's commands (cli/cli_history.h): history --since DATE, --csv, and
  // history --check (SQLite's integrity check of the whole file).
  std::string since;
  bool csv = false;
  bool check = false;
  // site push --timeout SECONDS: how long to keep trying.
  int timeout = 60;
  std::string commandLine;  // the whole command line, for the session log (CommandLineText)
};

// Exit codes: every command's code is ExitCodeFor its outcome's kind (the table in --help,
// docs/command-line.md and the manual page), except usage.
namespace cli_exit {
inline constexpr int kDone = 0;         // done and verified
inline constexpr int kRefused = 1;      // the unit said no, or a check failed
inline constexpr int kUsage = 2;        // the command line (or an unanswered question)
inline constexpr int kNoUnit = 3;       // no unit answered, or no port opened
inline constexpr int kBadFile = 4;      // a file would not open or parse
inline constexpr int kNotRecorded = 5;  // done, but the record was not saved
inline constexpr int kDeclined = 6;     // an answer given stopped the operation
}  // namespace cli_exit

inline int ExitCodeFor(OutcomeKind kind) {
  switch (kind) {
    case OutcomeKind::Done: return cli_exit::kDone;
    case OutcomeKind::Refused: return cli_exit::kRefused;
    case OutcomeKind::NoUnit:
    case OutcomeKind::PortFailed: return cli_exit::kNoUnit;
    case OutcomeKind::BadFile: return cli_exit::kBadFile;
    case OutcomeKind::NotRecorded: return cli_exit::kNotRecorded;
    case OutcomeKind::Declined: return cli_exit::kDeclined;
  }
  return cli_exit::kRefused;
}

// What velmoor-cli's session reads of its options: the history file, the context of the
// command's events (--operator, --unit, the program and its version) and the site.
SessionSettings CliSessionSettings(const CliOptions& options);

// Reads the command line. On an error returns false with message set.
bool ParseCliOptions(int argc, const char* const* argv, CliOptions& out, std::string& message);

// The text of --help.
const char* CliUsage();
