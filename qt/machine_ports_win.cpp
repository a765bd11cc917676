// COM n is the native port \\.\COMn; the ports folder of the data folder plays no part here.
#include "machine_ports.h"
#include "win_serial_port.h"

std::unique_ptr<ISerialProvider> MachinePorts(const DataPaths&) { return std::make_unique<WinSerialProvider>(); }
