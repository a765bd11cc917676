// The serial device as the terminal's port sees it: one numbered port, its line settings
// and time-outs, purge, write, a read into a buffer that waits on the port itself until a
// deadline, and the break.
// Backends: the QSerialPort one (real ports) and the simulated line (tests, --simulate).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"

struct LineSettings {
  uint32_t baud = 9600;
  uint8_t dataBits = 8;
  uint8_t parity = 0;    // 0 none
  uint8_t stopBits = 1;  // 1 stop bit
  bool binary = true;
  bool dtrOn = true;
  bool rtsOn = true;
  bool ctsOutFlow = false;
  bool dsrOutFlow = false;
  bool dsrSensitivity = false;
  bool xonXoffOut = false;
  bool xonXoffIn = false;
  bool txContinueOnXoff = true;
  bool errorCharReplace = false;
  bool abortOnError = false;
  bool stripNulls = false;  // done by the port itself, not the driver
  uint32_t otherBits = 0;   // whatever else the driver reports; kept as read
};

struct SerialTimeouts {
  uint32_t readInterval = 0;
  uint32_t readTotalMultiplier = 0;
  uint32_t readTotalConstant = 0;
  uint32_t writeTotalMultiplier = 0;
  uint32_t writeTotalConstant = 0;
};

enum class ReadResult { Bytes, Nothing, Error };

class ISerialDevice {
 public:
  virtual ~ISerialDevice() = default;
  virtual bool SetQueueSizes(uint32_t inBytes, uint32_t outBytes) = 0;
  virtual bool GetLineSettings(LineSettings& out) = 0;
  virtual bool SetLineSettings(const LineSettings& in) = 0;
  virtual bool GetTimeouts(SerialTimeouts& out) = 0;
  virtual bool SetTimeouts(const SerialTimeouts& in) = 0;
  // Drops what is waiting in both directions.
  virtual bool Purge() = 0;
  virtual bool Write(const char* data, size_t n) = 0;
  // Takes what has arrived, at most n bytes, into data and returns at once; when nothing has,
  // waits for the first byte until the clock reaches deadlineUs (a deadline already passed
  // only looks). got is how many bytes were taken: none unless the result is Bytes. The wait
  // sleeps on the port (the descriptor, the COM port's time-out), never in steps.
  virtual ReadResult Read(uint8_t* data, size_t n, size_t& got, IClock& clock, uint64_t deadlineUs) = 0;
  virtual bool SetBreak(bool on) = 0;
  virtual void Close() = 0;
  // The platform's last error number (0 when none is known).
  virtual int LastError() const = 0;
  // True once the device has gone (unplugged, closed under us): the port then closes
  // itself so that the next operation opens it afresh.
  virtual bool Gone() const { return false; }
};

struct SerialPortInfo {
  int comNumber = 0;        // the COM number the terminal uses for it
  std::string device;       // for example /dev/ttyUSB0, or COM3 on Windows
  std::string description;  // for example "USB serial adapter"
  // USB adapters only (0 when unknown): vendor and product ids, the adapter's serial number,
  // and the stable /dev/serial/by-id/... name that always leads to this adapter.
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  std::string serialNumber;
  std::string byId;
};

// What the last attempt to open a COM number found: the device behind it and, when it would
// not open, the system's reason and the usual remedy. Empty where the backend knows nothing.
struct PortOpenReport {
  int comNumber = 0;
  std::string device;  // empty: no device has that COM number
  bool opened = false;
  std::string reason;  // the system's words, for example "Permission denied"
  std::string remedy;  // what the operator can do about it
};

// Opens numbered ports and lists the ones the machine has.
class ISerialProvider {
 public:
  virtual ~ISerialProvider() = default;
  // Opens COM n for reading and writing, not shared; null with lastError set on failure.
  virtual std::unique_ptr<ISerialDevice> OpenPort(int comNumber, int& lastError) = 0;
  virtual std::vector<SerialPortInfo> ListPorts() = 0;
  // What the last OpenPort found (the device, and why it failed when it did).
  virtual PortOpenReport LastOpenReport() const { return {}; }
};
