#include "sim/sim_line.h"

#include <algorithm>

uint64_t ByteTimeUs(uint32_t baud) {
  if (baud == 0) baud = 9600;
  return (10'000'000ull + baud / 2) / baud;
}

uint8_t Garble(uint8_t b) {
  // What a receiver at the wrong rate makes of a byte: framing noise with the top bit set.
  return static_cast<uint8_t>(0x80 | ((b * 37u + 11u) & 0x7F));
}

uint64_t SimLine::FarSend(const std::string& bytes, uint64_t startUs) {
  const uint32_t baud = far_ ? far_->Baud() : 9600;
  const uint64_t per = ByteTimeUs(baud);
  uint64_t t = std::max(startUs, farLineFreeUs_);
  for (unsigned char c : bytes) {
    t += per;
    toTerminal_.push_back({t, c, baud});
  }
  farLineFreeUs_ = t;
  return t;
}

void SimLine::DropFarOutputAfter(uint64_t t) {
  while (!toTerminal_.empty() && toTerminal_.back().atUs > t) toTerminal_.pop_back();
  farLineFreeUs_ = std::min(farLineFreeUs_, std::max<uint64_t>(t, toTerminal_.empty() ? 0 : toTerminal_.back().atUs));
}

void SimLine::TerminalWrite(const char* data, size_t n, uint32_t terminalBaud) {
  written.append(data, n);
  const uint64_t per = ByteTimeUs(terminalBaud);
  uint64_t t = std::max(clock_.NowUs(), terminalLineFreeUs_);
  for (size_t i = 0; i < n; ++i) {
    t += per;
    toFar_.push_back({t, static_cast<uint8_t>(data[i]), terminalBaud});
  }
  terminalLineFreeUs_ = t;
}

void SimLine::Advance() {
  const uint64_t now = clock_.NowUs();
  while (!toFar_.empty() && toFar_.front().atUs <= now) {
    Timed t = toFar_.front();
    toFar_.pop_front();
    if (!far_) continue;
    uint8_t b = t.senderBaud == far_->Baud() ? t.byte : Garble(t.byte);
    far_->OnByte(*this, b, t.atUs);
  }
}

bool SimLine::TakeArrived(uint8_t& b, uint32_t terminalBaud) {
  Advance();
  if (toTerminal_.empty() || toTerminal_.front().atUs > clock_.NowUs()) return false;
  Timed t = toTerminal_.front();
  toTerminal_.pop_front();
  b = t.senderBaud == terminalBaud ? t.byte : Garble(t.byte);
  return true;
}

uint64_t SimLine::NextArrivalUs() const {
  uint64_t next = UINT64_MAX;
  if (!toTerminal_.empty()) next = toTerminal_.front().atUs;
  // A byte still on its way to the far end may make it answer: wake up when it lands.
  if (!toFar_.empty()) next = std::min(next, toFar_.front().atUs);
  return next;
}

void SimLine::PurgeArrived() {
  Advance();
  const uint64_t now = clock_.NowUs();
  while (!toTerminal_.empty() && toTerminal_.front().atUs <= now) toTerminal_.pop_front();
}

void SimLine::Break(uint64_t startUs, uint64_t endUs) {
  Advance();
  // What was on its way to the far end is lost in the break.
  toFar_.clear();
  if (far_) far_->OnBreak(*this, startUs, endUs);
}

bool SimSerialDevice::GetLineSettings(LineSettings& out) {
  if (line_.unplugged) return false;
  out = settings_;
  return true;
}

bool SimSerialDevice::SetLineSettings(const LineSettings& in) {
  if (line_.unplugged) return false;
  line_.Advance();  // bytes already on the line keep the rate they were sent at
  settings_ = in;
  return true;
}

bool SimSerialDevice::GetTimeouts(SerialTimeouts& out) {
  if (line_.unplugged) return false;
  out = timeouts_;
  return true;
}

bool SimSerialDevice::SetTimeouts(const SerialTimeouts& in) {
  if (line_.unplugged) return false;
  timeouts_ = in;
  return true;
}

bool SimSerialDevice::Purge() {
  if (line_.unplugged) return false;
  line_.PurgeArrived();
  return true;
}

bool SimSerialDevice::Write(const char* data, size_t n) {
  if (line_.unplugged) {
    lastError_ = 22;
    return false;
  }
  line_.Advance();
  line_.TerminalWrite(data, n, settings_.baud);
  return true;
}

ReadResult SimSerialDevice::Read(uint8_t* data, size_t n, size_t& got, IClock&, uint64_t deadlineUs) {
  // The line's own clock times the bytes; the time passes to the next byte or the deadline in
  // one step.
  IClock& clock = line_.clock();
  got = 0;
  for (;;) {
    if (line_.unplugged) {
      lastError_ = 22;
      return ReadResult::Error;
    }
    while (got < n && line_.TakeArrived(data[got], settings_.baud)) ++got;
    if (got > 0) return ReadResult::Bytes;
    const uint64_t now = clock.NowUs();
    if (now >= deadlineUs) return ReadResult::Nothing;
    clock.SleepUntilUs(std::min(deadlineUs, std::max(now + 1, line_.NextArrivalUs())));
  }
}

bool SimSerialDevice::SetBreak(bool on) {
  if (line_.unplugged) return false;
  const uint64_t now = line_.clock().NowUs();
  if (on && !breakOn_) breakStartUs_ = now;
  if (!on && breakOn_) line_.Break(breakStartUs_, now);
  breakOn_ = on;
  return true;
}

void SimSerialDevice::Close() { line_.inUse = false; }

SimLine& SimSerialProvider::AddPort(int comNumber) {
  auto& slot = lines_[comNumber];
  if (!slot) slot = std::make_unique<SimLine>(clock_);
  return *slot;
}

void SimSerialProvider::RemovePort(int comNumber) {
  auto it = lines_.find(comNumber);
  if (it != lines_.end()) it->second->unplugged = true;
}

SimLine* SimSerialProvider::Line(int comNumber) {
  auto it = lines_.find(comNumber);
  return it == lines_.end() ? nullptr : it->second.get();
}

std::unique_ptr<ISerialDevice> SimSerialProvider::OpenPort(int comNumber, int& lastError) {
  SimLine* line = Line(comNumber);
  lastReport_ = PortOpenReport{comNumber, line ? "sim:COM" + std::to_string(comNumber) : "", false, "", ""};
  if (!line || line->unplugged) {
    lastError = 2;  // the device does not exist
    lastReport_.reason = line ? "unplugged" : "no such port";
    if (line) lastReport_.remedy = "plug the adapter back in";
    return nullptr;
  }
  if (line->inUse) {
    lastError = 5;  // not shared
    lastReport_.reason = "in use";
    lastReport_.remedy = "close the other program that holds it";
    return nullptr;
  }
  lastReport_.opened = true;
  line->inUse = true;
  ++opens[comNumber];
  return std::make_unique<SimSerialDevice>(*line);
}

std::vector<SerialPortInfo> SimSerialProvider::ListPorts() {
  std::vector<SerialPortInfo> out;
  for (auto& [n, line] : lines_) {
    if (line->unplugged) continue;
    SerialPortInfo info;
    info.comNumber = n;
    info.device = "sim:COM" + std::to_string(n);
    info.description = line->far() ? "Simulated Velmoor unit" : "Simulated serial port (nothing connected)";
    out.push_back(info);
  }
  return out;
}
