#include "app_options.h"

#include <QCommandLineParser>
#include <QStringList>

#include "platform/version.h"

const char* ProgramVersion() { return kProgramVersionPlain; }

AppOptions ParseCommandLine(int argc, char** argv, const char* program, const char* description) {
  AppOptions o;
  o.paths = DataPaths::Default();
  QStringList args{QString::fromLatin1(program)};
  for (int i = 1; i < argc; ++i) {
    const QString a = QString::fromLocal8Bit(argv[i]);
    // Qt's own options (-platform offscreen, -style fusion, -reverse ...) are Qt's to read,
    // with their value when one follows.
    if (a.startsWith('-') && !a.startsWith("--") && a != "-h" && a != "-v" && a != "-?") {
      if (i + 1 < argc && argv[i + 1][0] != '-') ++i;
      continue;
    }
    args << a;
  }
  QCommandLineParser p;
  p.setApplicationDescription(QString::fromLatin1(description));
  const QCommandLineOption help = p.addHelpOption();
  const QCommandLineOption version = p.addVersionOption();
  const QCommandLineOption simulate("simulate",
                                    "Runs on the built-in simulated unit (on COM3) instead of the machine's ports.");
  const QCommandLineOption root("root", "Keeps the data folder in DIR/T7Status instead of $HOME/Dranmere/T7Status.",
                                "DIR");
  const QCommandLineOption noLog("no-log", "Writes no session log of the wire (T7Status/logs/YYYY-MM-DD.log).");
  const QCommandLineOption history("history", "The unit history database (default: this PC's own).", "FILE");
  const QCommandLineOption noHistory("no-history", "Keeps no unit history.");
  const QCommandLineOption operatorName("operator", "Who runs the operations (default: the login name).", "NAME");
  p.addOptions({simulate, root, noLog, history, noHistory, operatorName});
  // helpText() names the program by the application's first argument, which is not there yet.
  auto usage = [&] {
    QString text = p.helpText();
    const int end = text.indexOf('\n');
    return (QString("Usage: %1 [options]").arg(program) + (end >= 0 ? text.mid(end) : QString())).toStdString();
  };
  if (!p.parse(args) || !p.positionalArguments().isEmpty()) {
    o.ok = false;
    o.exitCode = 2;
    const QString what = p.positionalArguments().isEmpty()
                             ? p.errorText()
                             : "Unexpected argument '" + p.positionalArguments().first() + "'.";
    o.message = what.toStdString() + "\n" + usage();
    return o;
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
  o.simulate = p.isSet(simulate);
  o.log = !p.isSet(noLog);
  o.noHistory = p.isSet(noHistory);
  o.operatorName = p.value(operatorName).toStdString();
  if (p.isSet(history)) {
    o.historyFile = p.value(history).toStdString();
    if (o.historyFile.empty()) {
      o.ok = false;
      o.exitCode = 2;
      o.message = "--history needs a file\n" + usage();
      return o;
    }
  }
  if (p.isSet(root)) {
    const QString dir = p.value(root);
    if (dir.isEmpty()) {
      o.ok = false;
      o.exitCode = 2;
      o.message = "--root needs a folder\n" + usage();
      return o;
    }
    o.paths.root = dir.toStdString();
  }
  return o;
}
