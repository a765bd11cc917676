#include "serial/comm_port.h"

#include <cstring>
#include <string_view>

#include "platform/session_log.h"

namespace {
struct CursorScope {
  explicit CursorScope(const std::function<void(bool)>& f) : f_(f) {
    if (f_) f_(true);
  }
  ~CursorScope() {
    if (f_) f_(false);
  }
  const std::function<void(bool)>& f_;
};

// When a reply's wait ends: on the first 10 ms step after more than moreThanMs. The driver
// waited 10 ms at a time for a byte and the loop looked at the clock after each wait, so on a
// silent line every time-out of the unit's protocol ended on such a step; one wait to this
// deadline ends it at the same moment.
uint64_t ReplyDeadlineUs(uint64_t startUs, uint64_t moreThanMs) { return startUs + (moreThanMs / 10 + 1) * 10'000; }
}  // namespace

CCommPort::CCommPort(IClock& clock, ISerialProvider& provider) : clock_(clock), provider_(provider) {}

CCommPort::~CCommPort() = default;

void CCommPort::Fail(const char* what, int error) { lastErrorText_ = std::string(what) + std::to_string(error); }

std::string CCommPort::PortText() const {
  std::string t = "COM" + std::to_string(portNumber);
  if (!lastOpen_.device.empty()) t += " " + lastOpen_.device;
  return t;
}

void CCommPort::LogOpenFailure() {
  if (!LogActive()) return;
  std::string t = PortText() + " failed: " + lastErrorText_;
  if (!lastOpen_.reason.empty()) t += ": " + lastOpen_.reason;
  if (!lastOpen_.remedy.empty()) t += "; " + lastOpen_.remedy;
  LogEvent("open", t);
}

bool CCommPort::Open(bool stripNulls) {
  if (isOpen) return true;
  CursorScope cursor(busyCursor);
  lastOpen_ = PortOpenReport{};
  lastOpen_.comNumber = portNumber;
  if (portNumber <= 0) {
    Fail("Illegal port ", 0);
    LogOpenFailure();
    return false;
  }
  int error = 0;
  device_ = provider_.OpenPort(portNumber, error);
  lastOpen_ = provider_.LastOpenReport();
  lastOpen_.comNumber = portNumber;
  if (!device_) {
    Fail("Port open failed ", error);
    lastOpen_.opened = false;
    LogOpenFailure();
    return false;
  }
  device_->SetQueueSizes(4096, 1024);
  if (const char* failed = Configure(stripNulls)) {
    Fail(failed, device_->LastError());
    device_->Close();
    device_.reset();
    lastOpen_.opened = false;
    LogOpenFailure();
    return false;
  }
  isOpen = true;
  reopenAsBefore_ = false;
  unplugged_ = false;
  lastOpen_.opened = true;
  if (LogActive()) LogEvent("open", PortText() + " " + std::to_string(lineSettings.baud) + " bit/s 8N1");
  return true;
}

const char* CCommPort::Configure(bool stripNulls) {
  LineSettings s;
  if (!device_->GetLineSettings(s)) return "Get state failed ";
  s.baud = 9600;
  s.dataBits = 8;
  s.parity = 0;
  s.stopBits = 1;
  s.binary = true;
  s.dtrOn = true;
  s.rtsOn = true;
  s.ctsOutFlow = false;
  s.dsrOutFlow = false;
  s.dsrSensitivity = false;
  s.xonXoffOut = false;
  s.xonXoffIn = false;
  s.txContinueOnXoff = true;
  s.errorCharReplace = false;
  s.abortOnError = false;
  s.stripNulls = stripNulls;
  if (reopenAsBefore_ && reopenPort_ == portNumber) {
    s.baud = reopenSettings_.baud;
    s.stripNulls = reopenSettings_.stripNulls;
  }
  if (!device_->SetLineSettings(s)) return "Set state failed ";
  lineSettings = s;
  SerialTimeouts t;
  if (!device_->GetTimeouts(t)) return "Read timeout setting failed ";
  t.readInterval = 0xFFFFFFFFu;
  t.readTotalMultiplier = 0xFFFFFFFFu;
  t.readTotalConstant = 10;
  t.writeTotalMultiplier = 1;
  t.writeTotalConstant = 2;
  if (!device_->SetTimeouts(t)) return "Write timeout setting failed ";
  timeouts = t;
  return nullptr;
}

void CCommPort::Close() {
  isOpen = false;
  reopenAsBefore_ = false;
  DropReceived();
  if (device_) {
    if (LogActive()) LogEvent("close", PortText());
    device_->Close();
    device_.reset();
  }
}

void CCommPort::CloseIfGone() {
  if (device_ && (device_->Gone() || readsFailing_)) {
    unplugged_ = true;
    if (LogActive())
      LogEvent("gone", PortText() + (readsFailing_ ? " reads keep failing" : " vanished") + " (unplugged?)");
    const LineSettings settings = lineSettings;
    Close();
    reopenAsBefore_ = true;
    reopenPort_ = portNumber;
    reopenSettings_ = settings;
  }
  readsFailing_ = false;
}

bool CCommPort::SetBaudFromText(const char* text) {
  if (!Open(true)) return false;
  static const struct {
    const char* text;
    uint32_t rate;
  } kRates[] = {{"1200", 1200},   {"2400", 2400},   {"4800", 4800},   {"9600", 9600},
                {"19200", 19200}, {"38400", 38400}, {"57600", 57600}, {"115200", 115200}};
  uint32_t rate = 0;
  std::string_view t(text ? text : "");
  for (const auto& r : kRates)
    if (t.find(r.text) != std::string_view::npos) rate = r.rate;  // a later match overrides
  if (rate == 0) return false;
  LineSettings s = lineSettings;
  s.baud = rate;
  if (!device_->SetLineSettings(s)) {
    Fail("Set state failed ", device_->LastError());
    if (LogActive()) LogEvent("rate", std::to_string(rate) + " bit/s refused: " + lastErrorText_);
    CloseIfGone();
    return false;
  }
  lineSettings = s;
  if (LogActive()) LogEvent("rate", std::to_string(rate) + " bit/s");
  return true;
}

bool CCommPort::SendBreak() {
  if (!Open(true)) return false;
  if (LogActive()) LogEvent("break", "50 ms");
  device_->SetBreak(true);
  Delay(50);
  device_->SetBreak(false);
  CloseIfGone();
  return true;
}

bool CCommPort::SendLine(TextSpan buffer, int32_t seconds, bool uncounted) {
  return Send(buffer, seconds, uncounted, true);
}

bool CCommPort::SendRaw(TextSpan buffer, int32_t seconds, bool uncounted) {
  return Send(buffer, seconds, uncounted, false);
}

bool CCommPort::ReadReply(TextSpan buffer, uint64_t deadlineUs) {
  buffer.Clear();
  size_t len = 0;
  bool success = false;
  bool readFailed = false;
  int immediateFailures = 0;
  // The raw bytes as they came, NULs included, for the session log.
  const bool logging = LogActive();
  std::string raw;
  do {
    if (receivedFrom_ == receivedTo_) {
      DropReceived();
      size_t got = 0;
      const uint64_t before = clock_.NowUs();
      const ReadResult r = device_->Read(received_, sizeof received_, got, clock_, deadlineUs);
      if (r == ReadResult::Error) {
        if (!readFailed) Fail("Error reading ", device_->LastError());
        readFailed = true;
        // A device that fails every read at once would have this loop spin a core until the
        // time-out: after a few such failures in a row it is taken for gone.
        immediateFailures = clock_.NowUs() - before < kImmediateUs ? immediateFailures + 1 : 0;
        if (immediateFailures >= kImmediateFailuresMeaningGone) {
          readsFailing_ = true;
          break;
        }
        continue;
      }
      immediateFailures = 0;
      if (r == ReadResult::Bytes) receivedTo_ = got < sizeof received_ ? got : sizeof received_;
    }
    // Bytes up to the terminator are the reply's; the rest wait for the next read.
    while (receivedFrom_ < receivedTo_ && !success) {
      const uint8_t b = received_[receivedFrom_++];
      if (logging) raw += static_cast<char>(b);
      if (b == 0 && lineSettings.stripNulls) continue;
      // Bytes beyond the buffer's capacity less one are dropped; the terminator is still seen.
      if (len + 1 < buffer.capacity) buffer.data[len++] = static_cast<char>(b);
      if (b == terminator) success = true;
    }
  } while (!success && clock_.NowUs() < deadlineUs && !(device_ && device_->Gone()));
  if (buffer.capacity) buffer.data[len < buffer.capacity ? len : buffer.capacity - 1] = '\0';
  if (logging) {
    if (!raw.empty()) LogEvent("recv", EscapeBytes(raw));
    if (readFailed) LogEvent("error", lastErrorText_);
    if (!success) LogEvent("timeout", "no terminator " + EscapeBytes(std::string(1, static_cast<char>(terminator))));
  }
  return success;
}

bool CCommPort::Send(TextSpan buffer, int32_t seconds, bool uncounted, bool addCrLf) {
  CursorScope cursor(busyCursor);
  // A send that cannot go out leaves no reply: the command must not pass for the unit's answer.
  if (!Open(false) || (!uncounted && failuresLeft < 1)) {
    if (isOpen && LogActive()) LogEvent("refused", "counted exchange not sent: too many time-outs");
    if (seconds != 0) buffer.Clear();
    return false;
  }
  Delay(20);
  device_->Purge();
  DropReceived();
  Delay(20);
  char work[kWorkBufferSize];
  TextSpan out(work);
  out.Assign(buffer.c_str() ? buffer.view() : std::string_view());
  if (addCrLf) out.Append("\r\n");
  size_t n = std::strlen(work);
  if (n) {
    if (LogActive()) LogEvent("send", EscapeBytes(std::string_view(work, n)));
    device_->Write(work, n);
  }
  if (seconds == 0) {
    CloseIfGone();
    return true;
  }
  // The wait ends once the whole seconds elapsed exceed the time-out: after (seconds + 1) s.
  const int64_t waitMs = (static_cast<int64_t>(seconds) + 1) * 1000;
  bool ok = ReadReply(buffer, ReplyDeadlineUs(clock_.NowUs(), waitMs > 0 ? static_cast<uint64_t>(waitMs) - 1 : 0));
  if (!uncounted && !ok) --failuresLeft;
  CloseIfGone();
  return ok;
}

bool CCommPort::SendLineMs(TextSpan buffer, uint32_t milliseconds) {
  CursorScope cursor(busyCursor);
  if (!Open(false)) {
    buffer.Clear();
    return false;
  }
  char work[kWorkBufferSize];
  TextSpan out(work);
  out.Assign(buffer.view());
  out.Append("\r\n");
  if (LogActive()) LogEvent("send", EscapeBytes(work));
  device_->Write(work, std::strlen(work));
  bool ok = ReadReply(buffer, ReplyDeadlineUs(clock_.NowUs(), milliseconds));
  CloseIfGone();
  return ok;
}

void CCommPort::Delay(uint32_t ms) { ::Delay(clock_, ms); }
