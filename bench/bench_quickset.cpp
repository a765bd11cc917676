// A quick set costs nothing beyond the protocol: in virtual time, the whole flow (comms check,
// status read, dialog, watchdog restart, update, read-back, verification, enable question)
// lasts exactly as long as its exchanges, pauses and probes. Prints measured / computed floor.
//
// The floor is worked out from what went over the line, write by write, with the protocol's
// own figures: the pauses the terminal must make (20 ms + 20 ms around each purge, 500 ms
// before each exchange attempt, the break and the bootloader pauses, 1000 ms after "#GCMD,3"
// and "#GCMD,4", 500 ms before the interrogation channel), each command's bytes up to its CR
// and each reply's bytes at the line rate, the unit's processing time (20 ms in its
// application, 5 ms in its bootloader), and for a readiness probe the unit leaves unanswered
// while it is busy or booting, the probe's whole time-out window. An exchange that waited for
// an answer that never came is not in the floor: it would show as overhead.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "quickset/quickset_dlg.h"
#include "ui/quickset_flow.h"
#include "unit/transponder.h"
#include "sim/forwarding_device.h"
#include "sim/scripted_window.h"
#include "sim/sim_bench.h"

namespace {

// What crossed the line, with virtual times.
struct Ledger {
  struct Write {
    uint64_t atUs;
    std::string bytes;
    bool unitInBootloader;
    size_t replyBytes = 0;  // bytes read after it, up to the terminator
    bool answered = false;  // the terminator came
  };
  struct Break {
    uint64_t startUs, endUs;
    size_t beforeWrite;  // index of the write it came before
  };
  std::vector<Write> writes;
  std::vector<Break> breaks;
};

class LedgerDevice : public ForwardingDevice {
 public:
  LedgerDevice(std::unique_ptr<ISerialDevice> inner, Ledger& ledger, IClock& clock, SimUnit& unit)
      : ForwardingDevice(std::move(inner)), ledger_(ledger), clock_(clock), unit_(unit) {}
  bool Write(const char* data, size_t n) override {
    ledger_.writes.push_back({clock_.NowUs(), std::string(data, n), unit_.mode() == SimUnit::Mode::Bootloader});
    return ForwardingDevice::Write(data, n);
  }
  ReadResult Read(uint8_t* data, size_t n, size_t& got, IClock& clock, uint64_t deadlineUs) override {
    ReadResult r = ForwardingDevice::Read(data, n, got, clock, deadlineUs);
    for (size_t i = 0; r == ReadResult::Bytes && i < got; ++i) {
      if (ledger_.writes.empty() || ledger_.writes.back().answered) break;
      ++ledger_.writes.back().replyBytes;
      if (data[i] == '\n') ledger_.writes.back().answered = true;
    }
    return r;
  }
  bool SetBreak(bool on) override {
    if (on) breakStart_ = clock_.NowUs();
    if (!on) ledger_.breaks.push_back({breakStart_, clock_.NowUs(), ledger_.writes.size()});
    return ForwardingDevice::SetBreak(on);
  }

 private:
  Ledger& ledger_;
  IClock& clock_;
  SimUnit& unit_;
  uint64_t breakStart_ = 0;
};

class LedgerProvider : public ISerialProvider {
 public:
  LedgerProvider(ISerialProvider& inner, Ledger& ledger, IClock& clock, SimUnit& unit)
      : inner_(inner), ledger_(ledger), clock_(clock), unit_(unit) {}
  std::unique_ptr<ISerialDevice> OpenPort(int comNumber, int& lastError) override {
    auto d = inner_.OpenPort(comNumber, lastError);
    if (!d) return d;
    return std::make_unique<LedgerDevice>(std::move(d), ledger_, clock_, unit_);
  }
  std::vector<SerialPortInfo> ListPorts() override { return inner_.ListPorts(); }

 private:
  ISerialProvider& inner_;
  Ledger& ledger_;
  IClock& clock_;
  SimUnit& unit_;
};

struct Floor {
  double pausesMs = 0, exchangesMs = 0, probesMs = 0;
  int exchanges = 0, probes = 0, unansweredProbes = 0, unansweredExchanges = 0;
  double Total() const { return pausesMs + exchangesMs + probesMs; }
};

bool IsParameterCommand(int n) {
  switch (n) {
    // clang-format off
    case 23: case 30: case 33: case 37: case 39: case 41: case 42: case 43:
    case 44: case 45: case 46: case 47: case 48: case 63: case 67:
      return true;
    default:
      return false;
      // clang-format on
  }
}

int GcmdNumber(const std::string& line) { return line.rfind("#GCMD,", 0) == 0 ? std::atoi(line.c_str() + 6) : -1; }

Floor ComputeFloor(const Ledger& ledger, const SimUnit& unit) {
  Floor f;
  const double byteMs = ByteTimeUs(unit.appBaud) / 1000.0;
  const auto& w = ledger.writes;
  size_t nextBreak = 0;
  bool selectionNext = false;  // the next "#GCMD" is a selection code
  bool promptAsked = false;    // a " " has been sent since the last break (the first waits 1 s)
  for (size_t i = 0; i < w.size(); ++i) {
    const std::string& t = w[i].bytes;
    const std::string line = t.substr(0, t.find('\r'));
    // Breaks before this write: the 50 ms break, then 500 ms before asking for the prompt.
    while (nextBreak < ledger.breaks.size() && ledger.breaks[nextBreak].beforeWrite == i) {
      f.pausesMs += (ledger.breaks[nextBreak].endUs - ledger.breaks[nextBreak].startUs) / 1000.0 + 500;
      ++nextBreak;
      promptAsked = true;  // the prompt requests after a break wait 2 s
    }
    // Every send: 20 ms, purge, 20 ms.
    f.pausesMs += 40;
    const bool probe = line == "#DASP,0" || line == "#RRTC";
    const bool exchange = !line.empty() && line[0] == '#' && !probe;
    if (exchange) f.pausesMs += 500;
    const int n = GcmdNumber(line);
    bool lone = false;
    if (n >= 0) {
      if (selectionNext) {
        selectionNext = false;
      } else if (IsParameterCommand(n)) {
        selectionNext = true;
        // The interrogation channel waits 500 ms first.
        const int next = i + 1 < w.size() ? GcmdNumber(w[i + 1].bytes.substr(0, w[i + 1].bytes.find('\r'))) : -1;
        const int after = i + 2 < w.size() ? GcmdNumber(w[i + 2].bytes.substr(0, w[i + 2].bytes.find('\r'))) : -1;
        if (n == 23 && next >= 47 && next <= 62) f.pausesMs += 500;
        if (n == 37 && next == 54 && after != 37 && after != 3 && after != 4 && i + 2 < w.size() &&
            w[i + 2].bytes.rfind("#GCMD", 0) == 0)
          f.pausesMs += 500;
      } else {
        lone = true;
      }
    }
    // The bootloader: 100 ms before "W" and "Q", 10 ms after each single character, 1000 ms
    // after the CR LF that restarts the unit.
    if (t == "W" || t == "Q") f.pausesMs += 100;
    if (t == "W" || t == "x" || t == "7" || t == "Q") f.pausesMs += 10;
    if (t == "\r\n") f.pausesMs += 1000;
    if (lone && (n == 3 || n == 4)) f.pausesMs += 1000;

    // The wait for the reply.
    const bool awaited = !(t == "W" || t == "x" || t == "7" || t == "Q");
    if (!awaited) continue;
    if (w[i].answered) {
      const size_t toCr = t.find('\r') == std::string::npos ? t.size() : t.find('\r') + 1;
      const double processing = w[i].unitInBootloader ? 5.0 : unit.replyDelayMs;
      const double ms = toCr * byteMs + processing + w[i].replyBytes * byteMs;
      if (probe || line == " ") {
        f.probesMs += ms;
        ++f.probes;
      } else {
        f.exchangesMs += ms;
        ++f.exchanges;
      }
    } else if (probe || line.empty() || line == " ") {
      // A probe the unit leaves unanswered waits out its window: whole seconds elapsed must
      // exceed the time-out (1 s, or 2 s for the prompt request after a break).
      int seconds = 1;
      if (line == " " && promptAsked) seconds = 2;
      f.probesMs += (seconds + 1) * 1000.0;
      ++f.probes;
      ++f.unansweredProbes;
    } else {
      ++f.unansweredExchanges;
    }
    if (line == " ") promptAsked = true;
  }
  return f;
}

struct Run {
  double measuredMs;
  Floor floor;
  std::vector<std::string> boxes;
};

// One quick set on a QRN unit: A3 with "High" and "Maximum", then "Set"; the operator answers
// the boxes in order.
Run QuickSet(std::vector<MbAnswer> answers, const char* ignoredParameter) {
  VirtualClock clock;
  SimBench bench(clock);
  bench.unit->state.mainFirmware = "QRN V3.12.4 12/03/2021";
  bench.unit->state.settings.ignored = ignoredParameter;
  Ledger ledger;
  LedgerProvider provider(bench.provider, ledger, clock, *bench.unit);
  CCommPort port(clock, provider);
  port.portNumber = 5;
  ScriptedOperator op;
  op.quicksetScripts.push_back([](CQuicksetDlg& d) {
    d.OnScheme(2);
    d.power.Select("High");
    d.gain.Select("Maximum");
    d.OnSet();
  });
  op.answers.assign(answers.begin(), answers.end());
  const auto root = std::filesystem::temp_directory_path() / ("vt-bench-quickset-" + std::to_string(::getpid()));
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root / "T7Status");
  Run run{};
  {
    CTransponder unit(port, op, DataPaths{root});
    ScriptedWindow window(unit);
    const uint64_t t0 = clock.NowUs();
    RunQuickset(unit, window);
    run.measuredMs = (clock.NowUs() - t0) / 1000.0;
  }
  std::filesystem::remove_all(root);
  run.floor = ComputeFloor(ledger, *bench.unit);
  run.boxes = op.BoxTexts();
  return run;
}

void Print(const char* title, const Run& r) {
  const Floor& f = r.floor;
  double own = r.measuredMs - f.Total();
  if (own < 0.0005 && own > -0.0005) own = 0.0;
  std::printf("%s\n", title);
  std::printf("  exchanges %d (%.1f ms), probes %d of which %d unanswered (%.1f ms), pauses %.1f ms\n", f.exchanges,
              f.exchangesMs, f.probes, f.unansweredProbes, f.probesMs, f.pausesMs);
  if (f.unansweredExchanges)
    std::printf("  exchanges that got no answer: %d (not in the floor)\n", f.unansweredExchanges);
  std::printf("  measured / computed floor: %.3f ms / %.3f ms = %.6f (target 1.000000; the flow's own %+.3f ms)\n",
              r.measuredMs, f.Total(), r.measuredMs / f.Total(), own);
  std::printf("  boxes:");
  for (const auto& b : r.boxes) {
    std::string one = b.substr(0, b.find('\r'));
    std::printf(" [%s]", one.c_str());
  }
  std::printf("\n");
}

}  // namespace

int main() {
  Print("Quick set A3, High, Maximum; unit set correctly; left enabled", QuickSet({MbAnswer::Yes}, ""));
  Print("Quick set A3 on a unit that ignores its TAT; two retries, then No; disabled",
        QuickSet({MbAnswer::Yes, MbAnswer::Yes, MbAnswer::No, MbAnswer::No}, "Tat"));
  return 0;
}
