#include "sim/sim_tests.h"

#include <vector>

#include "sim/sim_line.h"

namespace {

using Reply = SimUnit::Reply;

Reply Lines(std::vector<std::string> lines) {
  Reply r;
  r.lines = std::move(lines);
  return r;
}

Reply Silent() {
  Reply r;
  r.silent = true;
  return r;
}

Reply SelfTest(SimUnit& u) {
  auto& t = u.state.tests;
  ++t.selfTests;
  if (t.selfTestSilent) return Silent();
  Reply r;
  r.delayMs = 2500;  // the unit exercises its receivers and transmitter
  if (t.selfTestNoMarkers) r.lines = {"Hardware check complete"};
  else if (t.selfTestCode == 0) r.lines = {"RX 1-6 OK", "TX OK", "Self test passed"};
  else r.lines = {"Self test error: " + std::to_string(t.selfTestCode)};
  return r;
}

Reply Release(SimUnit& u) {
  auto& t = u.state.tests;
  ++t.releaseTests;
  if (t.releaseSilent) return Silent();
  Reply r;
  r.delayMs = 4000;  // the release motor runs through its cycle
  if (t.releaseNoMarkers) r.lines = {"Release cycle complete"};
  else if (t.releaseCode == 0) r.lines = {"Release fired", "E:0"};
  else r.lines = {"Release fault", "E:" + std::to_string(t.releaseCode)};
  return r;
}

Reply EndReports(SimUnit& u, const std::string& args) {
  if (args != "16") return Lines({"DSDB Error"});
  // A report not yet sent is never sent.
  u.line().DropFarOutputAfter(u.nowUs());
  return Lines({"Debug 16 off"});
}

// The far end of the status export: its answer to a line, or nothing.
std::optional<std::string> ExportAnswer(SimUnitState::Tests& t, const std::string& line) {
  if (line == "Export") {
    if (t.exportSilent) return std::nullopt;
    t.exporting = true;
    t.exportEnded = false;
    t.exportPieces.clear();
    return t.exportNoReply ? "Ready" : "Reply";
  }
  if (line == "END") {
    t.exporting = false;
    t.exportEnded = true;
    return std::nullopt;
  }
  t.exportPieces.push_back(line);
  if (t.exportPiecesAnswered >= 0 && static_cast<int>(t.exportPieces.size()) > t.exportPiecesAnswered)
    return std::nullopt;
  return "OK";
}

// Lines that are not commands: the unit stands in for the far end of the status export.
Reply ExportLine(SimUnit& u, const std::string& line) {
  auto& t = u.state.tests;
  if (line != "Export" && !t.exporting) return Lines({"Unknown command"});
  const std::optional<std::string> answer = ExportAnswer(t, line);
  if (!answer) return Silent();
  Reply r = Lines({*answer});
  r.noEcho = line != "Export";
  return r;
}

}  // namespace

std::string InterrogationReportLine(const SimUnitState& s) {
  const auto& t = s.tests;
  if (!t.acousticLine.empty()) return t.acousticLine;
  switch (t.acoustic) {
    case SimUnitState::Tests::Acoustic::Reply: return "R: 1203 range 12.4m";
    case SimUnitState::Tests::Acoustic::NoReply: return "t/o";
    case SimUnitState::Tests::Acoustic::Nothing: break;
  }
  return std::string();
}

std::string ToneDetectValue(const SimUnitState& s) {
  const auto& t = s.tests;
  if (!t.toneValue.empty()) return t.toneValue;
  return t.acoustic == SimUnitState::Tests::Acoustic::Reply ? "0001A2300" : "000000000";
}

bool InterrogationReportsOn(const SimUnit& unit) {
  for (auto it = unit.received.rbegin(); it != unit.received.rend(); ++it) {
    if (*it == "#DSDB,16") return false;
    if (*it == "#ENDB,16") return true;
  }
  return false;
}

std::optional<SimUnit::Reply> TestGcmdCommand(SimUnit& unit, const std::string& args) {
  if (InterrogationReportsOn(unit)) {
    // The answer goes out first and the report after it, so the unit sends both itself.
    const uint64_t now = unit.nowUs();
    const uint64_t delayUs = (unit.replyDelayMs + unit.faults.slowReplyMs) * 1000ull;
    const uint64_t answered = unit.line().FarSend("#GCMD," + args + "\rGCMD " + args + " OK\r\n", now + delayUs);
    const std::string report = InterrogationReportLine(unit.state);
    if (!report.empty()) unit.line().FarSend(report + "\r", answered + unit.state.tests.acousticDelayMs * 1000ull);
    return Silent();
  }
  if (args == "8") return Lines({"Tone detect 0x" + ToneDetectValue(unit.state)});
  return std::nullopt;
}

void InstallTestCommands(SimUnit& unit) {
  unit.Handle("CKHW", [](SimUnit& u, const std::string&, const std::string&) { return SelfTest(u); });
  unit.Handle("RTST", [](SimUnit& u, const std::string&, const std::string&) { return Release(u); });
  unit.Handle("DSDB", [](SimUnit& u, const std::string&, const std::string& a) { return EndReports(u, a); });
  unit.Handle("", [](SimUnit& u, const std::string& line, const std::string&) { return ExportLine(u, line); });
}

SimExportDevice::SimExportDevice(SimLine& line) : line_(line), previous_(line.far()) { line_.Attach(this); }

SimExportDevice::~SimExportDevice() { line_.Attach(previous_); }

void SimExportDevice::OnByte(SimLine& line, uint8_t b, uint64_t atUs) {
  if (b == '\n') return;
  if (b != '\r') {
    if (pending_.size() < 100000) pending_.push_back(static_cast<char>(b));
    return;
  }
  std::string l;
  l.swap(pending_);
  if (!state.exporting && l != "Export") return;
  if (const std::optional<std::string> answer = ExportAnswer(state, l)) line.FarSend(*answer + "\r\n", atUs + 5000);
}
