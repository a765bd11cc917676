// The file work of one status read (LoadCurrentEntry, then SaveCurrentEntry) against what
// pugixml alone needs to parse and write the same current-status file, for files of 1,000 and
// 10,000 units. Target: at most 3 times pugixml's time. Also the peak memory of each against
// the file size.
//
// Two cases of ours: "steady", the usual one, where the file still holds what the terminal last
// saved (it is read and recognised, not parsed again); and "changed", where another program
// changed the file just before the read, so it is parsed again. The save always writes a
// temporary file, flushes it to disk (fsync), renames it and flushes the folder; pugixml's
// save_file does none of that, so its time is a floor, not a like-for-like figure.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "records/status_xml.h"
#include "serial/transponder.h"
#include "sim/scripted_operator.h"
#include "sim/sim_bench.h"
#include "sim/virtual_clock.h"

#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// Peak resident memory since the last reset, in bytes (Linux).
long long PeakRss() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
  return 0;
}
long long CurrentRss() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
  return 0;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// A unit as a real bench leaves it: every field read, check times set, the two reply texts.
StatusEntry RealisticEntry(int i) {
  StatusEntry e;
  UnitStatus& s = e.status;
  s.UnitId = 0x100000 + i;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%06d-%03d", 100000 + i, i % 1000);
  s.SerialNo = buf;
  s.TypeNo = "7815-11 Wideband Mini Transponder";
  s.DataFormat = 2;
  s.Channel = i % 15;
  s.Address = i % 100;
  s.HPRms = 3;
  s.HPRls = 4;
  s.FunctionLevel = 0x24;
  s.Band = "MF";
  s.TdrType = "Directional 30";
  s.T7V = "T7 V1.2B 2019";
  s.Das = "2.04";
  s.U4 = "1.7";
  s.U10 = "3.1";
  s.U5 = "2.0";
  s.U8 = "1.1";
  s.Dcard = "WB 4.11";
  s.DcardDraw = "A-7420-0113";
  s.DcardIss = "C";
  s.DcardId = "DC-55231";
  s.BattDraw = "A-7400-0210";
  s.BattIss = "B";
  s.BattId = "BP-9931";
  s.TxDraw = "A-7420-0090";
  s.TxIss = "D";
  s.TxId = "TX-10442";
  s.Type = "Lithium";
  s.DasId = "DAS-2231";
  s.EndcapSerial = "EC-4410";
  s.Enabled = "YNYN";
  s.String1 =
      "#STTX\r\nEN = YNYN\r\nCPD = 2\r\nRT = 1\r\nFE = 0\r\nIIF = 7\r\nTT = 3\r\nBR = 2400\r\nRC = 11\r\n"
      "WB = 1\r\nDC = 1\r\nBS = 2\r\nCD = 10\r\nDTT = 1\r\nDIPT = 250\r\nDD = 100\r\nUPD = 50\r\nCWD = 2000\r\n"
      "CRT = 1\r\nICT = 20\r\nES = 0\r\n";
  s.String2 =
      "#INFO\\\\/Velmoor T7 transponder\\\\/Main V1.2B 2019 DAS 2.04\\\\/Wideband card WB 4.11\\\\/"
      "Pressure sensor 3000 m, accuracy 0.01%\\\\/Inclinometer fitted\\\\/Battery Lithium x2\\\\/";
  for (int32_t* v : {&s.CPD, &s.DetectThreshold, &s.LinearGain, &s.RxGain, &s.CPU, &s.CPJ, &s.CPT, &s.CPS, &s.CPL,
                     &s.CPA, &s.CWTIndex, &s.CWRIndex, &s.CWCIndex, &s.BlockIndex, &s.AltCIFChannel,
                     &s.CIFReplyCHannel, &s.Warning, &s.Override, &s.Count, &s.RangingType, &s.FEEnabled,
                     &s.IIFChannel, &s.TelemetryType, &s.BaudRate, &s.ReplyChannel, &s.WideBandEnabled,
                     &s.DaughterCardFitted, &s.BatteryStacks, &s.ChirpDuration, &s.DataTelemetryType,
                     &s.DownlinkInterPacketTime, &s.DataDelay, &s.UplinkPacketDelay, &s.CommandWaitDelay,
                     &s.CommandReplyType, &s.InterCharacterTime, &s.ExternalSync, &s.InclinometerInteralScale,
                     &s.InclinometerExternalScale, &s.GenericFormat})
    *v = (i * 7 + static_cast<int>(reinterpret_cast<uintptr_t>(v) % 13)) % 10;
  s.Tat = 12.5f;
  s.Voltage = 14.2f;
  s.Fitted = 0x13;
  s.PressureFullScale = 3000.0f;
  s.PressureAccuracy = 0.01f;
  s.DepthOffset = 10.33f;
  DateTime t = DateTime::FromCivil({2025, 1 + i % 12, 1 + i % 28, i % 24, i % 60, 0});
  e.checks.LastStatusTime = t;
  e.checks.UpdatedTime = t;
  e.checks.UpdatedResult = 1;
  e.checks.CI1Time = t;
  e.checks.CI1Result = 1;
  e.checks.DepthOffsetTime = t;
  e.checks.DepthOffsetValue = 10.33f;
  e.checks.HardwareTime = t;
  e.checks.HardwareResult = 8;
  e.checks.ReleaseTime = t;
  e.checks.ReleaseResult = 0;
  return e;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double Seconds(const std::function<void()>& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// One measurement in a process of its own, so that its peak memory is its own: prints the
// median seconds of the rounds and the peak resident memory above the process's start.
int Child(const std::string& mode, const fs::path& root, int units, int rounds) {
  const long long start = CurrentRss();
  ResetPeak();
  DataPaths paths{root};
  std::vector<double> times;
  if (mode == "pugixml") {
    const fs::path out = root / "pugixml-out.xml";
    pugi::xml_document doc;  // one document for all rounds, as the terminal keeps one
    for (int r = 0; r < rounds; ++r)
      times.push_back(Seconds([&] {
        doc.load_file(paths.CurrentStatusFile().c_str());
        doc.save_file(out.c_str(), PUGIXML_TEXT(""), pugi::format_raw | pugi::format_no_declaration);
      }));
  } else {
    VirtualClock clock;
    SimBench bench(clock);
    ScriptedOperator op;
    CTransponder unit(bench.port, op, paths);
    const int32_t id = 0x100000 + units / 2;
    int minute = 0;
    auto statusRead = [&] {
      unit.LoadCurrentEntry(id);
      unit.status.currentStatus = unit.records.storedStatus;
      unit.status.currentChecks = unit.records.storedChecks;
      unit.status.currentChecks.LastStatusTime = DateTime::FromCivil({2026, 3, 1, 12, minute++ % 60, 0});
      unit.SaveCurrentEntry();
    };
    statusRead();  // the terminal has saved the file once
    for (int r = 0; r < rounds; ++r) {
      if (mode == "changed") {
        // Another program changes a digit of another unit: the read parses the file again.
        std::string text = ReadAll(paths.CurrentStatusFile());
        size_t at = text.find("<Address>");
        text[at + 9] = text[at + 9] == '1' ? '2' : '1';
        std::ofstream(paths.CurrentStatusFile(), std::ios::binary | std::ios::trunc) << text;
      }
      times.push_back(Seconds(statusRead));
    }
    if (!op.boxes.empty()) std::fprintf(stderr, "unexpected message box: %s\n", op.boxes[0].text.c_str());
  }
  std::printf("%.6f %lld\n", Median(times), PeakRss() - start);
  return 0;
}

struct Figures {
  double seconds = 0;
  long long peakBytes = 0;
};

Figures Measure(const char* mode, const fs::path& root, int units, int rounds) {
  static const std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string command = "'" + self + "' --child " + std::string(mode) + " '" + root.string() + "' " +
                        std::to_string(units) + " " + std::to_string(rounds);
  Figures f;
  if (std::FILE* p = popen(command.c_str(), "r")) {
    if (std::fscanf(p, "%lf %lld", &f.seconds, &f.peakBytes) != 2) std::fprintf(stderr, "%s failed\n", mode);
    pclose(p);
  }
  return f;
}

// True when both status-read cases stay within 3 times pugixml's time.
bool Run(int units, int rounds) {
  fs::path root = fs::temp_directory_path() / ("vt-bench-status-" + std::to_string(::getpid()));
  fs::remove_all(root);
  DataPaths paths{root};
  paths.CreateFolders();
  {
    CStatusXml doc;
    for (int i = 0; i < units; ++i) {
      StatusEntry e = RealisticEntry(i);
      doc.WriteUnit(e.checks, e.status);
    }
    doc.Save(paths.CurrentStatusFile());
  }
  const double fileBytes = static_cast<double>(fs::file_size(paths.CurrentStatusFile()));
  Figures base = Measure("pugixml", root, units, rounds);
  Figures steady = Measure("steady", root, units, rounds);
  Figures changed = Measure("changed", root, units, rounds);

  const double mb = 1024.0 * 1024.0;
  std::printf("%6d units, file %.1f MB (%.0f bytes a unit), median of %d rounds\n", units, fileBytes / mb,
              fileBytes / units, rounds);
  auto line = [&](const char* what, const Figures& f, bool ratio) {
    std::printf("  %-30s %8.1f ms   peak %6.1f MB = %4.2f x file", what, f.seconds * 1e3, f.peakBytes / mb,
                f.peakBytes / fileBytes);
    if (ratio) std::printf("   ratio %4.2f (target <= 3)", f.seconds / base.seconds);
    std::printf("\n");
  };
  line("pugixml parse + write", base, false);
  line("status read, file unchanged", steady, true);
  line("status read, file changed", changed, true);
  fs::remove_all(root);
  return base.seconds > 0 && steady.seconds <= 3 * base.seconds && changed.seconds <= 3 * base.seconds;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--child") == 0)
    return Child(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
  bool small = Run(1000, 9);
  bool large = Run(10000, 5);
  return small && large ? 0 : 1;
}
