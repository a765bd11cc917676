// The command line that the programs share (the window and velmoor-cli): --root DIR keeps the
// data folder in DIR/T7Status, --simulate runs on the built-in simulated unit, --no-log writes
// no session log; --history FILE names the unit history database (this PC's own by default),
// --no-history keeps none, --operator NAME says who runs the operations, --site CONNINFO names
// the site's history server, --no-site sends to none; --help and --version print to standard
// output. Qt Core only.
#pragma once
#include <string>

#include "platform/paths.h"
#include "platform/shared_options.h"

// The shared options (SharedOptions) are read by the same reader as velmoor-cli's; Qt's parser
// reads --help and --version and lists every option in the usage.
struct AppOptions : SharedOptions {
  bool ok = true;       // false: the program ends at once with exitCode
  int exitCode = 0;     // 0 after --help or --version, 2 for a command line not understood
  std::string message;  // what to print then (standard output for 0, standard error for 2)
};

// program: the name in the usage line; description: one line about the program.
AppOptions ParseCommandLine(int argc, char** argv, const char* program = "velmoor-terminal",
                            const char* description = "Bench test terminal for Velmoor transponders.");
// The version from the build, as the title shows it ("3.00.012").
const char* ProgramVersion();
