// The machine's own serial ports for the window: through Qt Serial Port (machine_ports_qt.cpp),
// or on Windows through the Windows serial API (machine_ports_win.cpp, win32/). The build picks
// the file; nothing else in the window knows which library talks to the ports.
#pragma once
#include <memory>

#include "platform/paths.h"
#include "platform/serial_device.h"

std::unique_ptr<ISerialProvider> MachinePorts(const DataPaths& paths);
