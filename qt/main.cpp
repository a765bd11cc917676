// The bench test terminal: the main window on the machine's serial ports, or with --simulate
// on the built-in simulated unit (COM3). --root DIR keeps the data folder in DIR/T7Status.
#include <QApplication>
#include <cstdio>

#include "tester_app.h"

int main(int argc, char** argv) {
  // Read first, so a wrong option is reported even where no display can be opened.
  const AppOptions options = ParseCommandLine(argc, argv);
  if (!options.ok) {
    std::fprintf(stderr, "%s\n", options.message.c_str());
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Velmoor test terminal");
  CTesterApp tester(options);
  return tester.Run();
}
