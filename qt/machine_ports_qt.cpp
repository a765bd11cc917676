#include "machine_ports.h"
#include "qt_serial_port.h"

std::unique_ptr<ISerialProvider> MachinePorts(const DataPaths& paths) {
  return std::make_unique<QtSerialProvider>(paths.PortsDir());
}
