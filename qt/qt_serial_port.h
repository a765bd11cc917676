// Real serial ports through QSerialPort. COM n is resolved as docs/operating.md says (ROOT/ports/COMn
// links first, then the machine's ports in order); a pseudo-terminal opens by its path through
// such a link. The port is used only from the thread that opened it. A device whose lock file
// (LCK..ttyUSB0 in /var/lock or /run/lock) names a program that still runs is not opened: it is
// reported as held by that program. The device opened is the one a link leads to, so that the
// lock that QSerialPort leaves while the port is open bears the device's own name for others.
#pragma once
#include <filesystem>
#include <memory>

#include "platform/port_diagnosis.h"
#include "platform/serial_device.h"

class QtSerialProvider : public ISerialProvider {
 public:
  explicit QtSerialProvider(std::filesystem::path portsDir, LockPlaces lockPlaces = {})
      : portsDir_(std::move(portsDir)), lockPlaces_(std::move(lockPlaces)) {}
  std::unique_ptr<ISerialDevice> OpenPort(int comNumber, int& lastError) override;
  std::vector<SerialPortInfo> ListPorts() override;
  PortOpenReport LastOpenReport() const override { return lastReport_; }

 private:
  std::filesystem::path portsDir_;
  LockPlaces lockPlaces_;
  PortOpenReport lastReport_;
};
