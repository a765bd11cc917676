// The serial backend of velmoor-cli for the machine's real ports: the only part of the
// program that knows which library talks to them (Qt Serial Port here; a Win32 one can take
// its place without touching the rest).
#pragma once
#include <memory>

#include "platform/paths.h"
#include "platform/serial_device.h"

std::unique_ptr<ISerialProvider> MachineSerialProvider(const DataPaths& paths);
