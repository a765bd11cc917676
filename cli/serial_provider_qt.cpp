#include <QCoreApplication>

#include "cli/serial_provider.h"
#include "qt/qt_serial_port.h"

std::unique_ptr<ISerialProvider> MachineSerialProvider(const DataPaths& paths) {
  // Qt's serial ports want an application object; one for the program's whole run.
  if (!QCoreApplication::instance()) {
    static int argc = 1;
    static char name[] = "velmoor-cli";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
  }
  return std::make_unique<QtSerialProvider>(paths.PortsDir());
}
