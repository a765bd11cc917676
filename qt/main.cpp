// The bench test terminal: the main window on the machine's serial ports, or with --simulate
// on the built-in simulated unit (COM3). --root DIR keeps the data folder in DIR/T7Status;
// --no-log writes no session log.
#include <QApplication>
#include <cstdio>

#include "app/bench_session.h"
#include "platform/session_log.h"
#include "tester_app.h"

int main(int argc, char** argv) {
  // Read first, so --help, --version and a wrong option work where no display can be opened.
  const AppOptions options = ParseCommandLine(argc, argv);
  if (!options.ok) {
    std::fputs(options.message.c_str(), options.exitCode == 0 ? stdout : stderr);
    return options.exitCode;
  }
  SessionLogScope log(options, std::string("velmoor-terminal ") + ProgramVersion(), CommandLineText(argc, argv));
  int result = 0;
  {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Velmoor test terminal");
    CTesterApp tester(options);
    result = tester.Run();
  }
  log.End(result);
  return result;
}
