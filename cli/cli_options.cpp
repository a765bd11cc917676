#include "cli/cli_options.h"

#include <optional>
#include <set>

#include "platform/connection_text.h"
#include "platform/text_numbers.h"
#include "platform/version.h"

namespace {

const std::set<std::string> kCommands = {"ports",        "status",  "sensors", "set-time", "self-test",
                                         "release-test", "report",  "apply",   "quickset", "load",
                                         "run",          "history", "diff",    "due",      "site"};

// Positional arguments each subcommand takes.
size_t ArgsOf(const std::string& c) {
  return c == "quickset" || c == "load" || c == "run" || c == "history" || c == "diff" || c == "site" ? 1 : 0;
}

// What the one positional argument of a subcommand is, for the usage messages.
const char* ArgumentOf(const std::string& c) {
  if (c == "site") return "init, status or push";
  if (c == "quickset") return "a scheme";
  if (c == "history" || c == "diff") return "a unit";
  return "a file";
}

bool IsHistoryCommandName(const std::string& c) { return c == "history" || c == "diff" || c == "due"; }

bool ToInt(const std::string& text, int low, int high, int& out) {
  const std::optional<int64_t> v = textnum::WholeInt(text, low, high);
  if (!v) return false;
  out = static_cast<int>(*v);
  return true;
}

}  // namespace

const char* CliUsage() {
  return "usage: velmoor-cli [OPTIONS] COMMAND [ARGS]\n"
         "\n"
         "Commands (each runs what the window's button runs):\n"
         "  ports                        each COM number with its device and description\n"
         "  status [--json]              read the unit; the status report, or every field as JSON\n"
         "  sensors                      read the sensors\n"
         "  set-time                     set the unit's clock to this PC's time\n"
         "  self-test                    the hardware self test\n"
         "  release-test                 the release test\n"
         "  report [--release-test|--no-release-test]\n"
         "                               the test report (also written to T7Status/<serial>.txt)\n"
         "  apply                        apply the unit's entry of New-Status.xml and verify it\n"
         "  quickset SCHEME [--power low|high] [--gain low|medium|high|maximum]\n"
         "                               quick set with a scheme (A1..C4, MA..MC), read back, verify\n"
         "  load FILE                    load a program file (.a07) through the bootloader\n"
         "  run FILE.T7d --button N      run command button N (1..6) of a command file\n"
         "  history UNIT [--since DATE] [--json|--csv]\n"
         "                               the unit's visits (UNIT: hex id or serial number), newest first\n"
         "  history --check              SQLite's integrity check of the whole history file\n"
         "  diff UNIT [--json] [VISIT VISIT]\n"
         "                               what changed between the last two status reads (or two visits)\n"
         "  due [--json]                 units due for a release or self test, or a battery\n"
         "                               (history, diff and due read the site server when one is set)\n"
         "  site init                    make (or bring up to date) the site server's history tables\n"
         "  site status                  the site server, what waits on this PC to be sent, when last sent\n"
         "  site push [--timeout S]      send everything waiting and wait until it is sent (default 60 s)\n"
         "\n"
         "Options:\n"
         "  --port N          the unit's COM number (default: search COM1 to COM10)\n"
         "  --simulate        use the built-in simulated unit (COM3); it starts factory-fresh\n"
         "                    in every run (what one command sets is gone in the next)\n"
         "  --root DIR        keep the data folder in DIR/T7Status\n"
         "  --yes | --no      the answer to every Yes/No question (quickset and load need one)\n"
         "  --retries N       a step asked again with no progress is repeated at most N times,\n"
         "                    then answered No; first answers stand (default 3)\n"
         "  --entry TEXT      the answer to an entry prompt (a command file's serial number)\n"
         "  --no-log          write no session log\n"
         "  --history FILE    the unit history database (default: this PC's own)\n"
         "  --no-history      keep no unit history\n"
         "  --operator NAME   who runs the operations (default: the login name)\n"
         "  --unit UNIT       the unit an operation that does not read it (load, set-time,\n"
         "                    sensors) is filed under in the history (default: the unit this\n"
         "                    bench last read on that port)\n"
         "  --site CONNINFO   the site's history server: a PostgreSQL connection text or\n"
         "                    \"service=NAME\" (default: site = in the history settings);\n"
         "                    the password comes from ~/.pgpass or the service file only\n"
         "  --no-site         send to no site server\n"
         "  --version, --help\n"
         "\n"
         "Standard output carries the result; messages go to standard error.\n"
         "\n"
         "Exit codes, from what the operation did:\n"
         "  0  done (and verified, where the command verifies)\n"
         "  1  the unit refused or a check failed (self test, release test, verification,\n"
         "     programming error, incomplete status read)\n"
         "  2  usage: the command line, or a question it does not answer\n"
         "  3  no unit answered, or the port would not open (why: on standard error)\n"
         "  4  a file would not open or is not what it should be\n"
         "  5  done, but the unit's record could not be saved to the status file\n"
         "  6  declined: an answer given (--no, a cancelled prompt) stopped the operation\n"
         "history, diff and due: 1 no such unit (or fewer than two status reads to compare),\n"
         "4 a history file that is not there, cannot be read or is damaged (also --check).\n"
         "site: 0 done (push: everything sent); 1 the site refused (password, TLS, access, version);\n"
         "2 no site set; 3 the site cannot be reached; 4 a history file that cannot be read.\n";
}

SessionSettings CliSessionSettings(const CliOptions& o) {
  return ReadSessionSettings(o, std::string("velmoor-cli ") + kProgramVersion, o.unit);
}

namespace {

// The word at words[i] read as one of the command line's own options.
struct OptionWord {
  const std::vector<std::string>& words;
  size_t& i;
  std::string& message;
  const std::string& a = words[i];

  bool Is(const char* name) const { return a == name || a.rfind(std::string(name) + "=", 0) == 0; }
  // An option's value: "--opt VALUE" or "--opt=VALUE".
  bool Value(const char* name, std::string& v) {
    const std::string eq = std::string(name) + "=";
    if (a.compare(0, eq.size(), eq) == 0) {
      v = a.substr(eq.size());
    } else if (a == name && i + 1 < words.size()) {
      v = words[++i];
    } else {
      message = std::string(name) + " needs a value";
      return false;
    }
    if (v.empty()) message = std::string(name) + " needs a value";
    return !v.empty();
  }
};

// The options every command takes.
OptionRead ReadGeneralOption(OptionWord w, CliOptions& o) {
  const std::string& a = w.a;
  std::string& message = w.message;
  std::string v;
  auto refuse = [&](const std::string& why) { return message = why, OptionRead::Error; };
  if (a == "--help" || a == "-h") {
    o.help = true;
  } else if (a == "--version") {
    o.version = true;
  } else if (w.Is("--port")) {
    if (!w.Value("--port", v)) return OptionRead::Error;
    if (!ToInt(v, 1, 255, o.port)) return refuse("--port needs a COM number from 1 to 255");
  } else if (a == "--yes" || a == "--no") {
    if (o.answer && *o.answer != (a == "--yes")) return refuse("give --yes or --no, not both");
    o.answer = a == "--yes";
  } else if (w.Is("--retries")) {
    if (!w.Value("--retries", v)) return OptionRead::Error;
    if (!ToInt(v, 0, 100, o.retries)) return refuse("--retries needs a number from 0 to 100");
  } else if (w.Is("--entry")) {
    if (!w.Value("--entry", v)) return OptionRead::Error;
    o.entry = v;
  } else if (w.Is("--unit")) {
    if (!w.Value("--unit", o.unit)) return OptionRead::Error;
  } else {
    return OptionRead::NotShared;
  }
  return OptionRead::Taken;
}

// The options of one command; seen gets the command each is for, checked once the command is known.
OptionRead ReadCommandOption(OptionWord w, CliOptions& o, std::set<std::string>& seen) {
  const std::string& a = w.a;
  std::string v;
  auto taken = [&](const char* command) { return seen.insert(command), OptionRead::Taken; };
  if (a == "--json") {
    o.json = true;
    return taken("json");
  } else if (a == "--csv") {
    o.csv = true;
    return taken("history");
  } else if (a == "--check") {
    o.check = true;
    return taken("history");
  } else if (w.Is("--timeout")) {
    if (!w.Value("--timeout", v)) return OptionRead::Error;
    if (!ToInt(v, 1, 86400, o.timeout))
      return w.message = "--timeout needs a number of seconds from 1 to 86400", OptionRead::Error;
    return taken("site");
  } else if (w.Is("--since")) {
    return w.Value("--since", o.since) ? taken("history") : OptionRead::Error;
  } else if (a == "--release-test" || a == "--no-release-test") {
    o.releaseTest = a == "--release-test";
    return taken("report");
  } else if (w.Is("--power")) {
    return w.Value("--power", o.power) ? taken("quickset") : OptionRead::Error;
  } else if (w.Is("--gain")) {
    return w.Value("--gain", o.gain) ? taken("quickset") : OptionRead::Error;
  } else if (w.Is("--button")) {
    if (!w.Value("--button", v)) return OptionRead::Error;
    if (!ToInt(v, 1, 6, o.button)) return w.message = "--button needs a number from 1 to 6", OptionRead::Error;
    return taken("run");
  }
  return OptionRead::NotShared;
}

// The options given fit the command, and its arguments are the ones it takes.
bool CheckCommand(CliOptions& o, std::set<std::string>& seen, std::string& message) {
  const std::set<std::string> jsonCommands = {"status", "history", "diff", "due"};
  if (seen.erase("json") && !jsonCommands.count(o.command))
    return message = "an option given is for the status command (or history, diff, due)", false;
  for (const std::string& c : seen)
    if (c != o.command) return message = "an option given is for the " + c + " command", false;
  if (o.json && o.csv) return message = "give --json or --csv, not both", false;
  // What is left over on the command line, named as given.
  auto leftOver = [&](size_t from) {
    std::string t;
    for (size_t i = from; i < o.args.size(); ++i) t += (t.empty() ? "" : " ") + o.args[i];
    return t;
  };
  if (!o.unit.empty() && (IsHistoryCommandName(o.command) || o.command == "site" || o.command == "ports"))
    return message = "--unit names the unit of an operation on a unit, not of " + o.command, false;
  if (o.check) {
    if (!o.args.empty()) return message = "history --check takes no unit (it checks the whole file): " + leftOver(0), false;
    if (o.json || o.csv || !o.since.empty()) return message = "history --check takes no other option", false;
    return true;
  }
  if (o.command == "diff" && o.args.size() == 3) return true;  // diff UNIT VISIT VISIT
  if (o.command == "diff" && o.args.size() == 2)
    return message = "diff takes a unit alone, or a unit and two visits: one visit given (" + o.args[1] + ")", false;
  if (o.args.size() != ArgsOf(o.command)) {
    if (ArgsOf(o.command) == 0) return message = o.command + " takes no arguments: " + leftOver(0), false;
    if (o.args.empty()) return message = o.command + " needs " + ArgumentOf(o.command), false;
    return message = o.command + " takes " + ArgumentOf(o.command) +
                     (o.command == "diff" ? " and at most two visits" : "") + "; left over: " +
                     leftOver(o.command == "diff" ? 3 : 1),
           false;
  }
  if (o.command == "run" && o.button == 0) return message = "run needs --button N", false;
  if (o.command == "site" && o.args[0] != "init" && o.args[0] != "status" && o.args[0] != "push")
    return message = "site needs init, status or push", false;
  return true;
}

}  // namespace

bool ParseCliOptions(int argc, const char* const* argv, CliOptions& o, std::string& message) {
  o.paths = DataPaths::Default();
  std::vector<std::string> words(argv + 1, argv + argc);
  // Refused before anything is written or started, and without naming it.
  message = RefusePasswordIn(words);
  if (!message.empty()) return false;
  std::set<std::string> seen;  // subcommand options given, checked against the command below
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& a = words[i];
    OptionRead read = ReadSharedOption(words, i, o, message);
    if (read == OptionRead::NotShared) read = ReadGeneralOption(OptionWord{words, i, message}, o);
    if (read == OptionRead::NotShared) read = ReadCommandOption(OptionWord{words, i, message}, o, seen);
    if (read == OptionRead::Error) return false;
    if (read == OptionRead::Taken) continue;
    if (a.size() > 1 && a[0] == '-') {
      return message = "unknown option " + a, false;
    } else if (o.command.empty()) {
      if (!kCommands.count(a)) return message = "unknown command " + a, false;
      o.command = a;
    } else {
      o.args.push_back(a);
    }
  }
  if (o.help || o.version) return true;
  if (o.command.empty()) return message = "no command given", false;
  return CheckCommand(o, seen, message);
}
