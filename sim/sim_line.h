// The simulated serial line between the terminal and a far end (the simulated unit, or the
// far-end device of the status export). Each byte takes its transmission time at the sender's
// rate (10 bits a byte); a byte whose sender and receiver run at different rates arrives
// garbled. The break reaches the far end. Works in virtual or real time.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_device.h"

class SimLine;

// What sits at the far end of a line.
class SimFarEnd {
 public:
  virtual ~SimFarEnd() = default;
  // The far end's own line rate, in bit/s.
  virtual uint32_t Baud() const = 0;
  // One byte arrived at the far end at time atUs (garbled already when the rates differ).
  virtual void OnByte(SimLine& line, uint8_t b, uint64_t atUs) = 0;
  // The terminal held the line in the break state from startUs to endUs.
  virtual void OnBreak(SimLine& line, uint64_t startUs, uint64_t endUs) = 0;
};

// Microseconds one byte takes on the line at a rate.
uint64_t ByteTimeUs(uint32_t baud);

class SimLine {
 public:
  explicit SimLine(IClock& clock) : clock_(clock) {}

  void Attach(SimFarEnd* far) { far_ = far; }
  SimFarEnd* far() const { return far_; }
  IClock& clock() { return clock_; }

  // The far end sends bytes, starting no earlier than startUs and after what it already sent.
  // Returns the time the last byte arrives at the terminal.
  uint64_t FarSend(const std::string& bytes, uint64_t startUs);
  // Drops what the far end has queued but not yet sent after time t (used on a break).
  void DropFarOutputAfter(uint64_t t);

  // ---- the terminal's side (used by SimSerialDevice) ----
  void TerminalWrite(const char* data, size_t n, uint32_t terminalBaud);
  // Delivers everything due by now to the far end.
  void Advance();
  // The next byte for the terminal at the terminal's rate, if one has arrived by now.
  bool TakeArrived(uint8_t& b, uint32_t terminalBaud);
  // When the next byte for the terminal arrives (UINT64_MAX when none is on its way).
  uint64_t NextArrivalUs() const;
  // Drops what has arrived at the terminal by now.
  void PurgeArrived();
  void Break(uint64_t startUs, uint64_t endUs);

  // Everything the terminal wrote, in order, for tests to read.
  std::string written;
  // Unplugged: the device reads fail and the port will not open.
  bool unplugged = false;
  // A device is open on this line (ports are not shared).
  bool inUse = false;

 private:
  struct Timed {
    uint64_t atUs;
    uint8_t byte;
    uint32_t senderBaud;
  };
  IClock& clock_;
  SimFarEnd* far_ = nullptr;
  std::deque<Timed> toFar_;
  std::deque<Timed> toTerminal_;
  uint64_t terminalLineFreeUs_ = 0;
  uint64_t farLineFreeUs_ = 0;
};

// Garbles a byte received at the wrong rate (deterministic; never CR or LF).
uint8_t Garble(uint8_t b);

// The terminal's end of a simulated line.
class SimSerialDevice : public ISerialDevice {
 public:
  explicit SimSerialDevice(SimLine& line) : line_(line) {}
  ~SimSerialDevice() override { line_.inUse = false; }
  bool SetQueueSizes(uint32_t, uint32_t) override { return !line_.unplugged; }
  bool GetLineSettings(LineSettings& out) override;
  bool SetLineSettings(const LineSettings& in) override;
  bool GetTimeouts(SerialTimeouts& out) override;
  bool SetTimeouts(const SerialTimeouts& in) override;
  bool Purge() override;
  bool Write(const char* data, size_t n) override;
  ReadResult Read(uint8_t* data, size_t n, size_t& got, IClock& clock, uint64_t deadlineUs) override;
  bool SetBreak(bool on) override;
  void Close() override;
  int LastError() const override { return lastError_; }
  bool Gone() const override { return line_.unplugged; }

 private:
  SimLine& line_;
  LineSettings settings_;
  SerialTimeouts timeouts_;
  bool breakOn_ = false;
  uint64_t breakStartUs_ = 0;
  int lastError_ = 0;
};

// COM numbers that lead to simulated lines. A port with no far end exists but nothing answers.
class SimSerialProvider : public ISerialProvider {
 public:
  explicit SimSerialProvider(IClock& clock) : clock_(clock) {}
  // Makes COM n exist; returns its line.
  SimLine& AddPort(int comNumber);
  void RemovePort(int comNumber);
  SimLine* Line(int comNumber);
  std::unique_ptr<ISerialDevice> OpenPort(int comNumber, int& lastError) override;
  std::vector<SerialPortInfo> ListPorts() override;
  PortOpenReport LastOpenReport() const override { return lastReport_; }
  // How many times each port was opened.
  std::map<int, int> opens;

 private:
  PortOpenReport lastReport_;
  IClock& clock_;
  std::map<int, std::unique_ptr<SimLine>> lines_;
};
