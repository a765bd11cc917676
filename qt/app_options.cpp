#include "app_options.h"

#include <QCommandLineParser>
#include <QStringList>

#include "platform/connection_text.h"
#include "platform/version.h"

const char* ProgramVersion() { return kProgramVersion; }

namespace {
// The options both programs share read into o, the rest (and Qt's own, with their values) left
// for Qt's parser; shared gets what the shared reader refused.
QStringList TakeSharedOptions(const std::vector<std::string>& words, const char* program, AppOptions& o,
                              std::string& shared) {
  QStringList args{QString::fromLatin1(program)};
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& a = words[i];
    // Qt's own options (-platform offscreen, -style fusion, -reverse ...) are Qt's to read,
    // with their value when one follows.
    if (a.size() > 1 && a[0] == '-' && a[1] != '-' && a != "-h" && a != "-v" && a != "-?") {
      if (i + 1 < words.size() && !words[i + 1].empty() && words[i + 1][0] != '-') ++i;
      continue;
    }
    const OptionRead read = ReadSharedOption(words, i, o, shared);
    if (read == OptionRead::Error) break;
    if (read == OptionRead::NotShared) args << QString::fromLocal8Bit(a.c_str());
  }
  return args;
}

void AddUsageOptions(QCommandLineParser& p) {
  // Listed for the usage; their values come from the shared reader above.
  p.addOptions({{"simulate", "Runs on the built-in simulated unit (on COM3) instead of the machine's ports."},
                {"root", "Keeps the data folder in DIR/T7Status instead of $HOME/Dranmere/T7Status.", "DIR"},
                {"no-log", "Writes no session log of the wire (T7Status/logs/YYYY-MM-DD.log)."},
                {"history", "The unit history database (default: this PC's own).", "FILE"},
                {"no-history", "Keeps no unit history."},
                {"operator", "Who runs the operations (default: the login name).", "NAME"},
                {"site",
                 "The site's history server: a PostgreSQL connection text or \"service=NAME\" (default: site = "
                 "in the history settings); the password comes from ~/.pgpass or the service file only.",
                 "CONNINFO"},
                {"no-site", "Sends to no site server."}});
}
}  // namespace

AppOptions ParseCommandLine(int argc, char** argv, const char* program, const char* description) {
  AppOptions o;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) words.emplace_back(argv[i]);
  std::string shared;  // what the shared reader refused
  const QStringList args = TakeSharedOptions(words, program, o, shared);
  QCommandLineParser p;
  p.setApplicationDescription(QString::fromLatin1(description));
  const QCommandLineOption help = p.addHelpOption();
  const QCommandLineOption version = p.addVersionOption();
  AddUsageOptions(p);
  // helpText() names the program by the application's first argument, which is not there yet.
  auto usage = [&] {
    QString text = p.helpText();
    const int end = text.indexOf('\n');
    return (QString("Usage: %1 [options]").arg(program) + (end >= 0 ? text.mid(end) : QString())).toStdString();
  };
  auto refuse = [&](const std::string& why) {
    o.ok = false;
    o.exitCode = 2;
    o.message = why + "\n" + usage();
    return o;
  };
  // A password is refused before the window (or the session log) keeps it, and is not named.
  if (shared.empty()) shared = RefusePasswordIn(words);
  if (!shared.empty()) return refuse(shared);
  if (!p.parse(args) || !p.positionalArguments().isEmpty()) {
    const QString what = p.positionalArguments().isEmpty()
                             ? p.errorText()
                             : "Unexpected argument '" + p.positionalArguments().first() + "'.";
    return refuse(what.toStdString());
  }
  if (p.isSet(help) || p.isSet("help-all")) {
    o.ok = false;
    o.message = usage();
    return o;
  }
  if (p.isSet(version)) {
    o.ok = false;
    o.message = std::string(program) + " " + kProgramVersion + "\n";
    return o;
  }
  // The window's simulated unit has no test switches.
  if (!o.simSwitches.empty()) return refuse("--simulate takes no switches here");
  return o;
}
