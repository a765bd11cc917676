// The program's one serial port. Opens a numbered COM port on first use, sets the fixed line
// format, writes a line (or raw characters) and collects the reply until the terminator
// arrives or the time-out runs out, each read waiting on the port for what comes next. Knows nothing of the unit's command language.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/fixed_text.h"
#include "platform/serial_device.h"

class CCommPort {
 public:
  // Size of the work buffer that a written line (text plus CR LF) is formatted into.
  static constexpr size_t kWorkBufferSize = 1000;

  CCommPort(IClock& clock, ISerialProvider& provider);
  virtual ~CCommPort();  // does not close the port
  CCommPort(const CCommPort&) = delete;
  CCommPort& operator=(const CCommPort&) = delete;

  int32_t failuresLeft = 3;  // counted exchanges that may still time out
  int32_t portNumber = 0;    // COM number, 1-based; 0 or below is illegal
  uint8_t terminator = 10;   // the byte that ends a reply
  bool isOpen = false;
  LineSettings lineSettings;
  SerialTimeouts timeouts;

  bool Open(bool stripNulls);
  void Close();
  bool SetBaudFromText(const char* text);
  bool SendBreak();
  bool SendLine(TextSpan buffer, int32_t seconds, bool uncounted);
  bool SendRaw(TextSpan buffer, int32_t seconds, bool uncounted);
  bool SendLineMs(TextSpan buffer, uint32_t milliseconds);
  void Delay(uint32_t ms);

  // The diagnostic text of the last failure ("Port open failed 2", ...). Nothing shows it.
  const std::string& LastErrorText() const { return lastErrorText_; }
  IClock& clock() { return clock_; }
  // What the last Open found: the device behind the COM number and, when it failed, why.
  const PortOpenReport& LastOpenReport() const { return lastOpen_; }
  // The device vanished under an open port (unplugged); cleared by the next successful Open.
  bool Unplugged() const { return unplugged_; }
  // Called with true while a port operation runs and false after it (the busy cursor).
  std::function<void(bool)> busyCursor;

 private:
  bool Send(TextSpan buffer, int32_t seconds, bool uncounted, bool addCrLf);
  // Reads into the buffer until the terminator, the deadline, or the device gone.
  bool ReadReply(TextSpan buffer, uint64_t deadlineUs);
  // Drops the bytes read from the device but not yet taken (with the driver's queues).
  void DropReceived() { receivedFrom_ = receivedTo_ = 0; }
  void Fail(const char* what, int error);
  void CloseIfGone();
  std::string PortText() const;  // "COM3 /dev/ttyUSB0"
  void LogOpenFailure();
  // Sets the line of the device just opened (9600 bit/s 8N1, DTR and RTS on, no flow control;
  // the rate and NUL stripping as before when it is reopened after failing reads) and its
  // time-outs. Returns what failed, else null.
  const char* Configure(bool stripNulls);

  // Reads that fail at once, this many in a row, mean the device has gone although it does not
  // say so: a read that should wait for a byte came back failed in under kImmediateUs.
  static constexpr int kImmediateFailuresMeaningGone = 10;
  static constexpr uint64_t kImmediateUs = 2000;

  IClock& clock_;
  ISerialProvider& provider_;
  bool readsFailing_ = false;  // the device failed its reads at once, again and again
  // Set when the port was closed under an operation (the device vanished or its reads kept
  // failing): the next Open of the same port restores the rate and NUL handling it had, so a
  // load at 38400 bit/s goes on at 38400. An explicit Close starts afresh at 9600.
  bool reopenAsBefore_ = false;
  int32_t reopenPort_ = 0;
  LineSettings reopenSettings_;
  std::unique_ptr<ISerialDevice> device_;
  // What the last read took from the device beyond the reply's terminator: it waits here for
  // the next reply, as it would in the driver, until the next purge or close.
  uint8_t received_[256] = {};
  size_t receivedFrom_ = 0;
  size_t receivedTo_ = 0;
  std::string lastErrorText_;
  PortOpenReport lastOpen_;
  bool unplugged_ = false;
};
