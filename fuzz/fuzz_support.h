// What the fuzz targets share: splitting one input into pieces, a serial line whose far end
// answers each write with the next piece of the input, a scratch data folder on a RAM disk, the
// terminal on that line and folder, and a check that stops the run with a message when an
// expectation fails.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/serial_device.h"
#include "unit/transponder.h"
#include "sim/scripted_operator.h"
#include "sim/virtual_clock.h"

namespace fuzz {

// Stops the run when an expectation fails: libFuzzer keeps the input that got here as a crash.
inline void Expect(bool ok, const char* what, std::string_view detail = {}) {
  if (ok) return;
  std::fprintf(stderr, "expectation failed: %s\n%.*s\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

// The pieces of an input, split at each occurrence of the separator (two 0xFF bytes).
inline constexpr std::string_view kSeparator = "\xff\xff";
inline std::vector<std::string> Split(const uint8_t* data, size_t size, size_t maxPieces = 64) {
  std::vector<std::string> pieces;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (pieces.size() + 1 < maxPieces) {
    const size_t at = rest.find(kSeparator);
    if (at == std::string_view::npos) break;
    pieces.emplace_back(rest.substr(0, at));
    rest.remove_prefix(at + kSeparator.size());
  }
  pieces.emplace_back(rest);
  return pieces;
}

// The far end of a fuzzed line: every write the terminal makes is answered with the next
// piece, all of it arriving at once; when the pieces are used up nothing more arrives. Faults
// can be switched on: reads that fail, and the device vanishing after a number of writes.
struct FuzzLine {
  std::vector<std::string> replies;
  size_t next = 0;
  std::string arrived;
  size_t readPos = 0;
  int writes = 0;
  int vanishAfterWrites = -1;  // -1: never
  uint64_t failEveryRead = 0;  // 0: never; n: every n-th read fails
  uint64_t reads = 0;
  bool gone = false;
  std::string afterLast;  // the answer to every write once the pieces are used up
};

class FuzzDevice : public ISerialDevice {
 public:
  FuzzDevice(FuzzLine& line, VirtualClock& clock) : line_(line), clock_(clock) {}
  bool SetQueueSizes(uint32_t, uint32_t) override { return !line_.gone; }
  bool GetLineSettings(LineSettings& out) override { return Copy(out, settings_); }
  bool SetLineSettings(const LineSettings& in) override { return Copy(settings_, in); }
  bool GetTimeouts(SerialTimeouts& out) override { return Copy(out, timeouts_); }
  bool SetTimeouts(const SerialTimeouts& in) override { return Copy(timeouts_, in); }
  bool Purge() override {
    line_.arrived.clear();
    line_.readPos = 0;
    return !line_.gone;
  }
  bool Write(const char*, size_t) override {
    if (line_.gone) return false;
    ++line_.writes;
    if (line_.vanishAfterWrites >= 0 && line_.writes > line_.vanishAfterWrites) {
      line_.gone = true;
      return false;
    }
    if (line_.next < line_.replies.size()) line_.arrived += line_.replies[line_.next++];
    else line_.arrived += line_.afterLast;
    return true;
  }
  // A gone device fails every read; otherwise every n-th read fails when asked, and a read
  // with nothing waiting lasts to its deadline.
  ReadResult Read(uint8_t* data, size_t n, size_t& got, IClock&, uint64_t deadlineUs) override {
    got = 0;
    ++line_.reads;
    if (!line_.gone && line_.failEveryRead > 0 && line_.reads % line_.failEveryRead == 0) {
      clock_.AdvanceMs(1);  // a failed read takes its time too
      return ReadResult::Error;
    }
    while (!line_.gone && got < n && line_.readPos < line_.arrived.size())
      data[got++] = static_cast<uint8_t>(line_.arrived[line_.readPos++]);
    if (got > 0) return ReadResult::Bytes;
    if (line_.gone) return ReadResult::Error;
    clock_.SleepUntilUs(deadlineUs);
    return ReadResult::Nothing;
  }
  bool SetBreak(bool) override {
    clock_.AdvanceMs(1);
    return !line_.gone;
  }
  void Close() override {}
  int LastError() const override { return line_.gone ? 5 : 0; }
  bool Gone() const override { return line_.gone; }

 private:
  // Settings are kept as set; every call fails once the device has gone.
  template <typename T>
  bool Copy(T& to, const T& from) {
    to = from;
    return !line_.gone;
  }
  FuzzLine& line_;
  VirtualClock& clock_;
  LineSettings settings_;
  SerialTimeouts timeouts_;
};

// A data folder of this process on a RAM disk (the system's temporary folder when there is
// none), with its T7Status folder, made once and emptied by Reset.
struct ScratchRoot {
  ScratchRoot() {
    std::error_code ec;
    std::filesystem::create_directories(StatusDir(), ec);
  }
  ~ScratchRoot() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::filesystem::path StatusDir() const { return path / "T7Status"; }
  // Removes every file of the status folder.
  void Reset() const {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(StatusDir(), ec))
      std::filesystem::remove(entry.path(), ec);
  }
  const std::filesystem::path path =
      (std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                 : std::filesystem::temp_directory_path()) /
      ("vt-fuzz-" + std::to_string(::getpid()));
};

// The data folder of this process, made once for the run.
inline const ScratchRoot& Root() {
  static const ScratchRoot root;
  return root;
}

// The terminal on a fuzzed line (COM5) with the data folder of this process, the scripted
// operator and a clock that always says 6 March 2026, 14:05. The line's faults may be set
// before the first exchange.
struct Bench : ISerialProvider {
  Bench() : port(clock, *this), unit(port, op, DataPaths{Root().path}) {
    port.portNumber = 5;
    unit.utcNow = unit.localNow = [] { return DateTime::FromCivil({2026, 3, 6, 14, 5, 0}); };
  }
  // COM5 alone, while the line has not gone.
  std::unique_ptr<ISerialDevice> OpenPort(int comNumber, int& lastError) override {
    if (line.gone || comNumber != 5) {
      lastError = 2;
      return nullptr;
    }
    return std::make_unique<FuzzDevice>(line, clock);
  }
  std::vector<SerialPortInfo> ListPorts() override { return {{5, "fuzz", "fuzzed line", 0, 0, "", ""}}; }

  FuzzLine line;
  VirtualClock clock;
  CCommPort port;
  ScriptedOperator op;
  CTransponder unit;
};

}  // namespace fuzz
