// velmoor-cli on Windows: the machine's ports through the Windows serial API (no Qt).
#include "cli/serial_provider.h"
#include "win_serial_port.h"

std::unique_ptr<ISerialProvider> MachineSerialProvider(const DataPaths&) {
  return std::make_unique<WinSerialProvider>();
}
