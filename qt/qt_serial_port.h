// Real serial ports through QSerialPort. COM n is resolved as the README says (ROOT/ports/COMn
// links first, then the machine's ports in order); a pseudo-terminal opens by its path through
// such a link. The port is used only from the thread that opened it.
#pragma once
#include <filesystem>
#include <memory>

#include "platform/serial_device.h"

class QtSerialProvider : public ISerialProvider {
 public:
  explicit QtSerialProvider(std::filesystem::path portsDir) : portsDir_(std::move(portsDir)) {}
  std::unique_ptr<ISerialDevice> OpenPort(int comNumber, int& lastError) override;
  std::vector<SerialPortInfo> ListPorts() override;
  PortOpenReport LastOpenReport() const override { return lastReport_; }

 private:
  std::filesystem::path portsDir_;
  PortOpenReport lastReport_;
};
