// Writes the fuzzers' seed corpora from what the simulated unit really says and the project's
// own sample files: a status read and a sensor read of each unit profile, as the bytes that
// came back for each write; a program load against the simulated bootloader; the status files
// those reads leave; the command files of the tests. Usage: make_seeds OUTPUT_DIR
// (one folder per fuzzer is made under it).
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "firmware/srecord_image.h"
#include "history/history_fields.h"
#include "unit/transponder.h"
#include "sim/forwarding_device.h"
#include "sim/scripted_operator.h"
#include "sim/sim_bench.h"
#include "sim/sim_status.h"
#include "tools/sample_programs.h"

namespace fs = std::filesystem;

namespace {

// Passes everything through to the real device, and keeps the bytes read after each write
// as one piece: what the far end answered to that write.
class RecordingDevice : public ForwardingDevice {
 public:
  RecordingDevice(std::unique_ptr<ISerialDevice> inner, std::vector<std::string>& pieces)
      : ForwardingDevice(std::move(inner)), pieces_(pieces) {}
  bool Write(const char* data, size_t n) override {
    pieces_.emplace_back();
    return ForwardingDevice::Write(data, n);
  }
  ReadResult Read(uint8_t* data, size_t n, size_t& got, IClock& clock, uint64_t deadlineUs) override {
    const ReadResult r = ForwardingDevice::Read(data, n, got, clock, deadlineUs);
    if (r == ReadResult::Bytes && !pieces_.empty()) pieces_.back().append(reinterpret_cast<const char*>(data), got);
    return r;
  }

 private:
  std::vector<std::string>& pieces_;
};

class RecordingProvider : public ISerialProvider {
 public:
  explicit RecordingProvider(ISerialProvider& inner) : inner_(inner) {}
  std::unique_ptr<ISerialDevice> OpenPort(int comNumber, int& lastError) override {
    auto device = inner_.OpenPort(comNumber, lastError);
    if (!device) return nullptr;
    return std::make_unique<RecordingDevice>(std::move(device), pieces);
  }
  std::vector<SerialPortInfo> ListPorts() override { return inner_.ListPorts(); }
  std::vector<std::string> pieces;

 private:
  ISerialProvider& inner_;
};

// A simulated bench whose port records every answer, with a data folder of its own.
struct RecordedBench {
  explicit RecordedBench(const fs::path& root) : bench(clock), recorder(bench.provider), port(clock, recorder) {
    port.portNumber = 5;
    fs::create_directories(root / "T7Status");
    unit = std::make_unique<CTransponder>(port, op, DataPaths{root});
    const DateTime when = DateTime::FromCivil({2026, 3, 6, 14, 5, 0});
    unit->utcNow = [when] { return when; };
    unit->localNow = [when] { return when; };
  }
  VirtualClock clock;
  SimBench bench;
  RecordingProvider recorder;
  CCommPort port;
  ScriptedOperator op;
  std::unique_ptr<CTransponder> unit;
};

std::string Join(const std::vector<std::string>& pieces) {
  std::string out;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i) out += "\xff\xff";
    out += pieces[i];
  }
  return out;
}

void Put(const fs::path& dir, const std::string& name, const std::string& bytes) {
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const struct {
  SimProfile profile;
  const char* name;
} kProfiles[] = {{SimProfile::WidebandWithDaughterCard, "wideband"},
                 {SimProfile::ToneOnly, "tone"},
                 {SimProfile::Ehf, "ehf"},
                 {SimProfile::OldFirmware, "old-firmware"}};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const fs::path out = argv[1];
  const fs::path work = fs::temp_directory_path() / ("vt-seeds-" + std::to_string(::getpid()));
  fs::remove_all(work);
  const fs::path filesRoot = work / "files";

  // Status reads: one session per profile; the bytes each write brought back.
  int helperSeeds = 0;
  for (const auto& p : kProfiles) {
    RecordedBench b(filesRoot);
    ApplyStatusProfile(*b.bench.unit, p.profile);
    char output[CTransponder::kReplyTextSize];
    b.unit->GetStatus("General status", output, false);
    b.unit->ReadSensors(output);
    Put(out / "fuzz_status_replies", std::string("status-") + p.name, std::string(1, '\0') + Join(b.recorder.pieces));
    // The same replies on a line that fails now and then, and one that vanishes mid-read.
    Put(out / "fuzz_status_replies", std::string("status-failing-reads-") + p.name,
        std::string(1, '\x50') + Join(b.recorder.pieces));
    Put(out / "fuzz_status_replies", std::string("status-vanishing-") + p.name,
        std::string(1, '\x87') + Join(b.recorder.pieces));

    // The same status, saved as the new-status entry too.
    b.unit->status.requiredStatus = b.unit->status.currentStatus;
    b.unit->status.requiredChecks = b.unit->status.currentChecks;
    b.unit->SaveNewEntry();

    // Each reply with the keys its reader looks for, into buffers large and small.
    static const char* kKeys[] = {"TYPE,", "S/N,", "UNIT ID,",     "Batt,", "TS = ",       "PS = ",
                                  "AD = ", "Main", "IIFReplyCh =", "RT",    "Offset   = ", "V= "};
    for (const std::string& reply : b.recorder.pieces) {
      if (reply.size() < 8) continue;
      for (const char* key : kKeys) {
        if (reply.find(key) == std::string::npos) continue;
        const std::string k(key);
        const char capacity = helperSeeds % 3 == 0 ? '\0' : helperSeeds % 3 == 1 ? '\x07' : '\x40';
        Put(out / "fuzz_reply_helpers", "reply-" + std::to_string(helperSeeds++),
            std::string(1, capacity) + static_cast<char>(k.size()) + k + reply);
      }
    }
  }
  Put(out / "fuzz_reply_helpers", "numbers", std::string("\0\x03S/N", 5) + " -2147483649.5e-3,0x1Fz");

  // The unit history's field objects: a whole state, and escapes of every kind.
  UnitStatus unit;
  unit.UnitId = 0x1A2B3C;
  unit.SerialNo = "002345-007";
  unit.String2 = "Clock\\\\/12:00 \xE9";
  Put(out / "fuzz_history_fields", "state", history::FieldsJson(history::TextsOf(StatusChecks{}, unit)));
  Put(out / "fuzz_history_fields", "escapes",
      "{\"TypeNo\":\"a\\\"b\\\\c\\/d\\u00e9\\ud83d\\ude00\\n\",\"Unknown\":\"x\"}");

  // The status files those reads left: four units in the current-status file, four in the new.
  const std::string current = ReadAll(filesRoot / "T7Status" / "Current-Status.xml");
  const std::string pending = ReadAll(filesRoot / "T7Status" / "New-Status.xml");
  Put(out / "fuzz_status_files", "four-units", current + "\xff\xff" + pending);
  Put(out / "fuzz_status_files", "current-only", current);
  Put(out / "fuzz_status_files", "small",
      "<Velmoors><Velmoor><General><UnitId>4660</UnitId><SerialNo>01234-001</SerialNo></General>"
      "<Checks><LastStatusTime>2026-03-06 14:05:00</LastStatusTime><CI1Result>1</CI1Result>"
      "<CI1Time>2026-03-06 14:10:00</CI1Time></Checks></Velmoor></Velmoors>");

  // A program load against the simulated bootloader: the file, then what came back for each
  // record and for the finish.
  {
    SampleProgramSpec spec = SmallSampleProgram();
    spec.dataRecords = 12;
    const std::string program = MakeSampleProgram(spec);
    const fs::path path = work / "small.a07";
    std::ofstream(path, std::ios::binary) << program;
    RecordedBench b(work / "load");
    if (b.unit->StartLoad(path.c_str()) == 0) {
      b.recorder.pieces.clear();
      char message[200] = {};
      int r = 0;
      do r = b.unit->ContinueLoad(message, 0);
      while (r > 0);
      b.unit->FinishLoad();
      Put(out / "fuzz_srecord_load", "small-load",
          std::string(1, '\xff') + program + "\xff\xff" + Join(b.recorder.pieces));
    } else {
      std::fprintf(stderr, "the simulated bootloader did not take the load; no recorded load seed\n");
    }
    Put(out / "fuzz_srecord_load", "small-all-ok", std::string(1, '\xff') + program);
    Put(out / "fuzz_srecord_load", "errors",
        std::string(1, '\x05') +
            "S00600004844521B\r\nS1130010FFFF\r\nS2080120000102030405D0\r\nS5030000FC\r\nS9030000FC\r\n" + "\xff\xff" +
            "ERROR 1\r\n" + "\xff\xff" + "OK\r\n" + "\xff\xff" + "?\r\n");
  }

  // Command files: the tests' own, and the edge cases of the format.
  for (const auto& entry : fs::directory_iterator(fs::path(VT_SOURCE_DIR) / "tests" / "data"))
    if (entry.path().extension() == ".T7d")
      Put(out / "fuzz_command_file", entry.path().filename().string(), ReadAll(entry.path()));
  Put(out / "fuzz_command_file", "edges",
      std::string(49, 'C') + "^#RRTC^-5\n^^\nno caret\nPing^#RRTC\r\nLong^" + std::string(240, 'x') +
          "^123\nLast^#INFO");

  fs::remove_all(work);
  std::printf("seeds written to %s\n", out.c_str());
  return 0;
}
