#include "win_serial_port.h"

// clang-format off
#include <windows.h>
#include <setupapi.h>
#include <devguid.h>
// clang-format on

#include <map>
#include <string>

#include "platform/port_names.h"

namespace {
// Read errors after which the port is no longer there (adapter unplugged, driver gone).
bool IsGoneError(DWORD e) {
  return e == ERROR_ACCESS_DENIED || e == ERROR_BAD_COMMAND || e == ERROR_DEVICE_REMOVED ||
         e == ERROR_DEVICE_NOT_CONNECTED || e == ERROR_GEN_FAILURE || e == ERROR_INVALID_HANDLE ||
         e == ERROR_FILE_NOT_FOUND || e == ERROR_DEV_NOT_EXIST;
}

std::string Narrow(const wchar_t* w) {
  if (!w || !*w) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string s(static_cast<size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  return s;
}

class WinSerialDevice : public ISerialDevice {
 public:
  explicit WinSerialDevice(HANDLE h) : h_(h) {}
  ~WinSerialDevice() override { Close(); }

  bool SetQueueSizes(uint32_t inBytes, uint32_t outBytes) override {
    return Check(h_ != INVALID_HANDLE_VALUE && SetupComm(h_, inBytes, outBytes));
  }

  bool GetLineSettings(LineSettings& out) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!Check(h_ != INVALID_HANDLE_VALUE && GetCommState(h_, &dcb))) return false;
    out.baud = dcb.BaudRate;
    out.dataBits = dcb.ByteSize;
    out.parity = dcb.Parity;
    out.stopBits = dcb.StopBits == ONESTOPBIT ? 1 : 2;
    out.binary = dcb.fBinary;
    out.dtrOn = dcb.fDtrControl == DTR_CONTROL_ENABLE;
    out.rtsOn = dcb.fRtsControl == RTS_CONTROL_ENABLE;
    out.ctsOutFlow = dcb.fOutxCtsFlow;
    out.dsrOutFlow = dcb.fOutxDsrFlow;
    out.dsrSensitivity = dcb.fDsrSensitivity;
    out.xonXoffOut = dcb.fOutX;
    out.xonXoffIn = dcb.fInX;
    out.txContinueOnXoff = dcb.fTXContinueOnXoff;
    out.errorCharReplace = dcb.fErrorChar;
    out.abortOnError = dcb.fAbortOnError;
    out.stripNulls = stripNulls_;  // stripped by the terminal's port, never by the driver
    return true;
  }

  bool SetLineSettings(const LineSettings& in) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!Check(h_ != INVALID_HANDLE_VALUE && GetCommState(h_, &dcb))) return false;
    dcb.BaudRate = in.baud;
    dcb.ByteSize = in.dataBits;
    dcb.Parity = in.parity;
    dcb.StopBits = in.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;  // the only mode Windows drivers support
    dcb.fParity = in.parity != NOPARITY;
    dcb.fDtrControl = in.dtrOn ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = in.rtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    dcb.fOutxCtsFlow = in.ctsOutFlow;
    dcb.fOutxDsrFlow = in.dsrOutFlow;
    dcb.fDsrSensitivity = in.dsrSensitivity;
    dcb.fOutX = in.xonXoffOut;
    dcb.fInX = in.xonXoffIn;
    dcb.fTXContinueOnXoff = in.txContinueOnXoff;
    dcb.fErrorChar = in.errorCharReplace;
    dcb.fAbortOnError = in.abortOnError;
    dcb.fNull = FALSE;
    if (!Check(SetCommState(h_, &dcb))) return false;
    stripNulls_ = in.stripNulls;
    return true;
  }

  bool GetTimeouts(SerialTimeouts& out) override {
    COMMTIMEOUTS t{};
    if (!Check(h_ != INVALID_HANDLE_VALUE && GetCommTimeouts(h_, &t))) return false;
    out = {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
           t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
    return true;
  }

  bool SetTimeouts(const SerialTimeouts& in) override {
    COMMTIMEOUTS t{in.readInterval, in.readTotalMultiplier, in.readTotalConstant, in.writeTotalMultiplier,
                   in.writeTotalConstant};
    if (!Check(h_ != INVALID_HANDLE_VALUE && SetCommTimeouts(h_, &t))) return false;
    set_ = now_ = t;
    haveNow_ = true;
    // With both read values at MAXDWORD a read returns what has arrived at once and waits for
    // the first byte only when nothing has: each read then waits for that byte until its
    // deadline.
    readReturnsAtOnce_ = in.readInterval == MAXDWORD && in.readTotalMultiplier == MAXDWORD;
    return true;
  }

  bool Purge() override {
    return Check(h_ != INVALID_HANDLE_VALUE &&
                 PurgeComm(h_, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR));
  }

  bool Write(const char* data, size_t n) override {
    if (h_ == INVALID_HANDLE_VALUE) return Check(false);
    // A write that ran into its time-out part way goes on with the rest; one that moves
    // nothing at all, or fails, ends it.
    while (n > 0) {
      DWORD done = 0;
      DWORD chunk = n > 65536 ? 65536 : static_cast<DWORD>(n);
      if (!WriteFile(h_, data, chunk, &done, nullptr)) return Fail();
      if (done == 0) {
        lastError_ = ERROR_TIMEOUT;
        return false;
      }
      data += done;
      n -= done;
    }
    return true;
  }

  ReadResult Read(uint8_t* data, size_t n, size_t& got, IClock& clock, uint64_t deadlineUs) override {
    got = 0;
    if (h_ == INVALID_HANDLE_VALUE || gone_) return ReadResult::Error;
    if (n == 0) return ReadResult::Nothing;
    if (!readReturnsAtOnce_) return ReadInto(data, n, got);
    // What has arrived, at once.
    COMMTIMEOUTS t = set_;
    t.ReadTotalTimeoutMultiplier = 0;  // MAXDWORD, 0, 0: return at once with what is there
    t.ReadTotalTimeoutConstant = 0;
    if (!Use(t)) return ReadResult::Error;
    const ReadResult r = ReadInto(data, n, got);
    if (r != ReadResult::Nothing) return r;
    // Nothing yet: one byte, waited for in the driver until it comes or the deadline. (With both
    // read values at MAXDWORD a read of more would return with its first byte on Windows, but
    // Wine waits for the whole count: one byte ends the wait on both.)
    const uint64_t now = clock.NowUs();
    if (now >= deadlineUs) return ReadResult::Nothing;
    const uint64_t leftMs = (deadlineUs - now + 999) / 1000;
    t.ReadTotalTimeoutMultiplier = MAXDWORD;
    t.ReadTotalTimeoutConstant = static_cast<DWORD>(leftMs < MAXDWORD - 1 ? leftMs : MAXDWORD - 1);
    if (!Use(t)) return ReadResult::Error;
    return ReadInto(data, 1, got);
  }

  bool SetBreak(bool on) override {
    if (h_ == INVALID_HANDLE_VALUE) return Check(false);
    return Check(on ? SetCommBreak(h_) : ClearCommBreak(h_));
  }

  void Close() override {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

  int LastError() const override { return lastError_; }
  bool Gone() const override { return gone_; }

 private:
  bool Check(bool ok) { return ok ? true : Fail(); }
  bool Fail() {
    lastError_ = static_cast<int>(GetLastError());
    if (lastError_ == 0) lastError_ = ERROR_INVALID_HANDLE;
    return false;
  }
  // Writes the time-outs to the driver when they differ from what it holds.
  bool Use(const COMMTIMEOUTS& t) {
    if (haveNow_ && t.ReadIntervalTimeout == now_.ReadIntervalTimeout &&
        t.ReadTotalTimeoutMultiplier == now_.ReadTotalTimeoutMultiplier &&
        t.ReadTotalTimeoutConstant == now_.ReadTotalTimeoutConstant)
      return true;
    COMMTIMEOUTS copy = t;
    if (!SetCommTimeouts(h_, &copy)) {
      ReadFailed();
      return false;
    }
    now_ = t;
    haveNow_ = true;
    return true;
  }

  ReadResult ReadInto(uint8_t* data, size_t n, size_t& got) {
    DWORD done = 0;
    const DWORD want = n > 65536 ? 65536 : static_cast<DWORD>(n);
    if (!ReadFile(h_, data, want, &done, nullptr)) {
      ReadFailed();
      return ReadResult::Error;
    }
    got = done;
    return done > 0 ? ReadResult::Bytes : ReadResult::Nothing;
  }

  void ReadFailed() {
    Fail();
    if (IsGoneError(static_cast<DWORD>(lastError_))) gone_ = true;
    DWORD errors = 0;
    ClearCommError(h_, &errors, nullptr);
  }

  HANDLE h_;
  COMMTIMEOUTS set_{};  // as the port set them
  COMMTIMEOUTS now_{};  // as the last read left them in the driver
  bool haveNow_ = false;
  bool readReturnsAtOnce_ = false;
  bool stripNulls_ = false;
  bool gone_ = false;
  int lastError_ = 0;
};

// COM number -> the friendly name the device manager shows ("USB Serial Port (COM3)").
std::map<int, std::string> FriendlyNames() {
  std::map<int, std::string> names;
  HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return names;
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
    HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    wchar_t port[64] = {};
    DWORD size = sizeof port - sizeof(wchar_t), type = 0;
    LSTATUS st = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(port), &size);
    RegCloseKey(key);
    if (st != ERROR_SUCCESS || type != REG_SZ) continue;
    int n = ComNumberOfName(Narrow(port));
    wchar_t friendly[256] = {};
    if (n > 0 &&
        SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr, reinterpret_cast<BYTE*>(friendly),
                                          sizeof friendly - sizeof(wchar_t), nullptr))
      names[n] = Narrow(friendly);
  }
  SetupDiDestroyDeviceInfoList(set);
  return names;
}
}  // namespace

std::unique_ptr<ISerialDevice> WinSerialProvider::OpenPort(int comNumber, int& lastError) {
  if (comNumber <= 0 || comNumber > 255) {
    lastError = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  const std::wstring name = L"\\\\.\\COM" + std::to_wstring(comNumber);
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    lastError = static_cast<int>(GetLastError());
    return nullptr;
  }
  return std::make_unique<WinSerialDevice>(h);
}

std::vector<SerialPortInfo> WinSerialProvider::ListPorts() {
  std::vector<SerialPortInfo> found;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return found;
  const auto friendly = FriendlyNames();
  for (DWORD i = 0;; ++i) {
    // Each value: the kernel's device name ("\Device\Serial0") and the port's name ("COM1").
    wchar_t device[256] = {};
    wchar_t port[64] = {};
    DWORD deviceLen = 255, portSize = sizeof port - sizeof(wchar_t), type = 0;
    LSTATUS st = RegEnumValueW(key, i, device, &deviceLen, nullptr, &type, reinterpret_cast<BYTE*>(port), &portSize);
    if (st == ERROR_NO_MORE_ITEMS) break;
    if (st != ERROR_SUCCESS || type != REG_SZ) continue;
    const std::string name = Narrow(port);
    const int n = ComNumberOfName(name);
    auto f = friendly.find(n);
    found.push_back({n, name, f != friendly.end() ? f->second : Narrow(device), 0, 0, "", ""});
  }
  RegCloseKey(key);
  return ComPortList(std::move(found));
}
