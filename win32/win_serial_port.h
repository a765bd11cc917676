// Real serial ports through the Windows serial API: COM n is the native port \\.\COMn, opened
// for reading and writing and not shared. The line settings and time-outs go to the driver
// (SetCommState, SetCommTimeouts); a read returns what has arrived at once, otherwise waits at
// most 10 ms for a byte. The port list comes from the registry's SERIALCOMM key, with the
// friendly names that the device manager shows where the system gives them. Used by
// velmoor-cli and the window on Windows.
#pragma once
#include <memory>
#include <vector>

#include "platform/serial_device.h"

class WinSerialProvider : public ISerialProvider {
 public:
  std::unique_ptr<ISerialDevice> OpenPort(int comNumber, int& lastError) override;
  std::vector<SerialPortInfo> ListPorts() override;
};
