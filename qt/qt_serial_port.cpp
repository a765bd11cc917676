#include "qt_serial_port.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <algorithm>
#include <climits>
#include <map>

#include "platform/port_names.h"

namespace {
class QtSerialDevice : public ISerialDevice {
 public:
  explicit QtSerialDevice(std::unique_ptr<QSerialPort> port) : port_(std::move(port)) {}
  ~QtSerialDevice() override { Close(); }

  bool SetQueueSizes(uint32_t inBytes, uint32_t) override {
    port_->setReadBufferSize(0);  // unlimited: the driver's queue is ours to read
    (void)inBytes;
    return true;
  }
  bool GetLineSettings(LineSettings& out) override {
    out = settings_;
    return port_->isOpen();
  }
  bool SetLineSettings(const LineSettings& in) override {
    bool ok = port_->setBaudRate(static_cast<qint32>(in.baud)) && port_->setDataBits(QSerialPort::Data8) &&
              port_->setParity(QSerialPort::NoParity) && port_->setStopBits(QSerialPort::OneStop) &&
              port_->setFlowControl(QSerialPort::NoFlowControl);
    // Pseudo-terminals refuse DTR and RTS changes; that is harmless.
    port_->setDataTerminalReady(in.dtrOn);
    port_->setRequestToSend(in.rtsOn);
    if (ok) settings_ = in;
    return ok;
  }
  bool GetTimeouts(SerialTimeouts& out) override {
    out = timeouts_;
    return true;
  }
  bool SetTimeouts(const SerialTimeouts& in) override {
    timeouts_ = in;
    return true;
  }
  bool Purge() override {
    port_->waitForReadyRead(0);
    return port_->clear(QSerialPort::AllDirections);
  }
  bool Write(const char* data, size_t n) override {
    qint64 w = port_->write(data, static_cast<qint64>(n));
    port_->waitForBytesWritten(static_cast<int>(2 + n));
    return w == static_cast<qint64>(n);
  }
  ReadResult Read(uint8_t* data, size_t n, size_t& got, IClock& clock, uint64_t deadlineUs) override {
    got = 0;
    if (!port_->isOpen() || port_->error() == QSerialPort::ResourceError) return ReadResult::Error;
    if (port_->bytesAvailable() == 0) {
      // One wait on the descriptor for the rest of the time (none: only a look at what the
      // driver holds).
      const uint64_t now = clock.NowUs();
      const uint64_t leftUs = deadlineUs > now ? deadlineUs - now : 0;
      const int ms = static_cast<int>(std::min<uint64_t>((leftUs + 999) / 1000, INT_MAX));
      if (!port_->waitForReadyRead(ms)) {
        // A wait that fails for any reason but the time-out is a failed read: the port counts
        // such failures and takes a device that keeps failing at once for gone.
        const QSerialPort::SerialPortError e = port_->error();
        if (e != QSerialPort::NoError && e != QSerialPort::TimeoutError) return ReadResult::Error;
      }
    }
    if (port_->error() == QSerialPort::ResourceError) return ReadResult::Error;
    if (port_->bytesAvailable() > 0) {
      const qint64 r = port_->read(reinterpret_cast<char*>(data), static_cast<qint64>(n));
      if (r > 0) {
        got = static_cast<size_t>(r);
        return ReadResult::Bytes;
      }
    }
    if (port_->error() == QSerialPort::TimeoutError) port_->clearError();
    return ReadResult::Nothing;
  }
  bool SetBreak(bool on) override { return port_->setBreakEnabled(on); }
  void Close() override {
    if (port_->isOpen()) port_->close();
  }
  int LastError() const override { return static_cast<int>(port_->error()); }
  bool Gone() const override { return port_->error() == QSerialPort::ResourceError; }

 private:
  std::unique_ptr<QSerialPort> port_;
  LineSettings settings_;
  SerialTimeouts timeouts_;
};

std::vector<std::string> MachinePorts(std::map<std::string, SerialPortInfo>* details) {
  std::vector<std::string> devices;
  for (const auto& info : QSerialPortInfo::availablePorts()) {
    std::string path = info.systemLocation().toStdString();
    devices.push_back(path);
    if (details) {
      SerialPortInfo& d = (*details)[path];
      d.device = path;
      d.description = info.description().toStdString();
      if (d.description.empty()) d.description = info.manufacturer().toStdString();
      if (info.hasVendorIdentifier()) d.vendorId = info.vendorIdentifier();
      if (info.hasProductIdentifier()) d.productId = info.productIdentifier();
      d.serialNumber = info.serialNumber().toStdString();
      d.byId = ByIdLinkFor(path);
    }
  }
  return OrderSerialDevices(devices);
}

PortFailure FailureOf(QSerialPort::SerialPortError e) {
  switch (e) {
    case QSerialPort::DeviceNotFoundError: return PortFailure::NotFound;
    case QSerialPort::PermissionError: return PortFailure::Permission;
    case QSerialPort::OpenError: return PortFailure::Busy;
    default: return PortFailure::Other;
  }
}
}  // namespace

std::unique_ptr<ISerialDevice> QtSerialProvider::OpenPort(int comNumber, int& lastError) {
#ifdef _WIN32
  std::optional<std::string> device = "COM" + std::to_string(comNumber);
#else
  auto device = ResolveComPort(comNumber, portsDir_, MachinePorts(nullptr));
#endif
  lastReport_ = PortOpenReport{comNumber, device ? *device : "", false, "", ""};
  if (!device) {
    lastError = 2;
    lastReport_.reason = "no serial device has this number";
    lastReport_.remedy =
        "the machine lists fewer ports; plug the adapter in, or link ports/COM" + std::to_string(comNumber) + " to it";
    return nullptr;
  }
  std::string openName = *device;
#ifndef _WIN32
  // QSerialPort would take a lock that names no program of its own for stale, and open the
  // device under the program that holds it.
  if (auto held = RefuseLockedDevice(*device, lockPlaces_)) {
    lastError = static_cast<int>(QSerialPort::PermissionError);
    lastReport_.reason = held->reason;
    lastReport_.remedy = held->remedy;
    return nullptr;
  }
  std::error_code ec;
  const auto real = std::filesystem::canonical(*device, ec);
  if (!ec) openName = real.string();
#endif
  auto port = std::make_unique<QSerialPort>();
  port->setPortName(QString::fromStdString(openName));
  if (!port->open(QIODevice::ReadWrite)) {
    lastError = static_cast<int>(port->error());
    lastReport_.reason = port->errorString().toStdString();
    lastReport_.remedy = DiagnosePortFailure(FailureOf(port->error()), *device, lockPlaces_);
    return nullptr;
  }
  lastReport_.opened = true;
  return std::make_unique<QtSerialDevice>(std::move(port));
}

std::vector<SerialPortInfo> QtSerialProvider::ListPorts() {
  std::map<std::string, SerialPortInfo> details;
  auto ordered = MachinePorts(&details);
  std::vector<SerialPortInfo> out;
  for (int n = 1; n <= 10; ++n) {
    auto device = ResolveComPort(n, portsDir_, ordered);
    if (!device) continue;
    SerialPortInfo info;
    auto it = details.find(*device);
    if (it == details.end()) {
      // A ports link to a by-id name or a pseudo-terminal: the machine lists its target.
      std::error_code ec;
      const auto target = std::filesystem::weakly_canonical(*device, ec).string();
      it = details.find(target);
    }
    if (it != details.end()) info = it->second;
    else info.description = "serial device";
    info.comNumber = n;
    info.device = *device;
    if (info.byId.empty()) info.byId = ByIdLinkFor(*device);
    out.push_back(info);
  }
  return out;
}
