// A bench for fault tests: the simulated unit on COM5 behind two taps. On the unit's side a
// tap counts the lines the unit receives and makes something happen at a chosen one (the
// unit dies, the port is pulled out). On the terminal's side a tap cuts the answers to chosen
// commands short. Plus the checks every fault test makes afterwards.
#pragma once
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "records/status_xml.h"
#include "serial/transponder.h"
#include "sim/scripted_operator.h"
#include "sim/sim_bench.h"
#include "tests/support/test_bench.h"

namespace faults {

// Sits between the line and the simulated unit. Counts the lines that reach the unit (each
// ends with its CR) and runs the action as the chosen line ends, before the unit sees it.
class LineTap : public SimFarEnd {
 public:
  LineTap(SimLine& line, SimUnit& unit) : unit_(unit) { line.Attach(this); }
  uint32_t Baud() const override { return unit_.Baud(); }
  void OnByte(SimLine& line, uint8_t b, uint64_t atUs) override {
    if (b == '\r' && ++lines == atLine && action) action();
    unit_.OnByte(line, b, atUs);
  }
  void OnBreak(SimLine& line, uint64_t startUs, uint64_t endUs) override { unit_.OnBreak(line, startUs, endUs); }

  int lines = 0;
  int atLine = 0;  // 0: never
  std::function<void()> action;

 private:
  SimUnit& unit_;
};

// The terminal's side: answers to writes that contain cutCommand (that begin with it, with
// atStart) lose everything after their first keepBytes bytes (the rest is read and thrown
// away, so the reply never ends). seen counts the bytes of the last such answer that came.
struct CutRule {
  std::string cutCommand;
  size_t keepBytes = 0;
  bool atStart = false;
  size_t seen = 0;
};

class CutDevice : public ISerialDevice {
 public:
  CutDevice(std::unique_ptr<ISerialDevice> inner, CutRule& rule) : inner_(std::move(inner)), rule_(rule) {}
  bool SetQueueSizes(uint32_t i, uint32_t o) override { return inner_->SetQueueSizes(i, o); }
  bool GetLineSettings(LineSettings& out) override { return inner_->GetLineSettings(out); }
  bool SetLineSettings(const LineSettings& in) override { return inner_->SetLineSettings(in); }
  bool GetTimeouts(SerialTimeouts& out) override { return inner_->GetTimeouts(out); }
  bool SetTimeouts(const SerialTimeouts& in) override { return inner_->SetTimeouts(in); }
  bool Purge() override { return inner_->Purge(); }
  bool Write(const char* data, size_t n) override {
    const size_t at = rule_.cutCommand.empty() ? std::string::npos : std::string(data, n).find(rule_.cutCommand);
    cutting_ = rule_.atStart ? at == 0 : at != std::string::npos;
    if (cutting_) rule_.seen = 0;
    passed_ = 0;
    return inner_->Write(data, n);
  }
  ReadResult ReadByte(uint8_t& b) override {
    const ReadResult r = inner_->ReadByte(b);
    if (r != ReadResult::Byte || !cutting_) return r;
    ++rule_.seen;
    if (passed_ < rule_.keepBytes) {
      ++passed_;
      return r;
    }
    return ReadResult::Nothing;  // thrown away
  }
  bool SetBreak(bool on) override { return inner_->SetBreak(on); }
  void Close() override { inner_->Close(); }
  int LastError() const override { return inner_->LastError(); }
  bool Gone() const override { return inner_->Gone(); }

 private:
  std::unique_ptr<ISerialDevice> inner_;
  CutRule& rule_;
  bool cutting_ = false;
  size_t passed_ = 0;
};

class CutProvider : public ISerialProvider {
 public:
  explicit CutProvider(ISerialProvider& inner) : inner_(inner) {}
  std::unique_ptr<ISerialDevice> OpenPort(int comNumber, int& lastError) override {
    auto device = inner_.OpenPort(comNumber, lastError);
    if (!device) return nullptr;
    return std::make_unique<CutDevice>(std::move(device), rule);
  }
  std::vector<SerialPortInfo> ListPorts() override { return inner_.ListPorts(); }
  CutRule rule;

 private:
  ISerialProvider& inner_;
};

struct FaultBench {
  FaultBench()
      : root(FreshTempDir("faults")),
        bench(clock),
        tap(bench.line(), *bench.unit),
        cutter(bench.provider),
        port(clock, cutter) {
    port.portNumber = 5;
    unit = std::make_unique<CTransponder>(port, op, DataPaths{root});
    unit->utcNow = [] { return DateTime::FromCivil({2026, 3, 6, 14, 5, 0}); };
    unit->localNow = [this] {
      DateTime t = DateTime::FromCivil({2026, 3, 6, 9, 0, 0});
      t.value += static_cast<double>(clock.NowMs()) / 86400000.0;
      return t;
    };
  }
  ~FaultBench() {
    unit.reset();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  SimUnit& sim() { return *bench.unit; }
  std::filesystem::path CurrentFile() const { return root / "T7Status" / "Current-Status.xml"; }

  // From the chosen line on, nothing answers, not even the bootloader.
  void DieAtLine(int line) {
    tap.atLine = line;
    tap.action = [this] { sim().faults.dead = true; };
  }
  // At the chosen line the port is pulled out: reads fail and it will not open again.
  void UnplugAtLine(int line) {
    tap.atLine = line;
    tap.action = [this] { bench.line().unplugged = true; };
  }
  void Replug() {
    bench.line().unplugged = false;
    tap.atLine = 0;
  }

  bool Warned() const {
    for (const auto& box : op.boxes)
      if (box.icon == MbIcon::Exclamation) return true;
    return false;
  }

  VirtualClock clock;
  std::filesystem::path root;
  SimBench bench;
  LineTap tap;
  CutProvider cutter;
  CCommPort port;
  ScriptedOperator op;
  std::unique_ptr<CTransponder> unit;
};

// Empty when the file is missing or loads sound; otherwise what is wrong with it.
inline std::string FileProblem(const std::filesystem::path& path) {
  if (!std::filesystem::exists(path)) return {};
  CStatusXml doc;
  const CStatusXml::LoadResult r = doc.Load(path);
  return r.Damaged() ? path.filename().string() + ": " + r.reason : std::string();
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::string out;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

}  // namespace faults
