// The two status files as arbitrary documents: the terminal opens them, lists the stored units
// ("Manual command"), reads every unit back, makes the check report over all units and per
// unit, then saves one unit's entry and reads it again. Whatever the files hold, nothing may
// crash; a file that loaded sound must stay sound after a save, and an entry written must read
// back as it was written.
//
// Input: the current-status file, two 0xFF bytes, the new-status file (none when absent).
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "records/status_xml.h"
#include "serial/transponder.h"
#include "sim/scripted_operator.h"
#include "status/status_report.h"

namespace {
const fuzz::ScratchRoot& Root() {
  static const fuzz::ScratchRoot root;
  return root;
}

// Everything an entry shows: the status report and the check fields.
std::string Describe(const UnitStatus& s, const StatusChecks& c) {
  char checks[400];
  std::snprintf(checks, sizeof checks, "|%d %.17g %.17g %d %.17g %.17g %.9g %.17g %d %.17g %d|%d %u %.9g %.9g %.9g",
                c.UpdatedResult, c.UpdatedTime.value, c.LastStatusTime.value, c.CI1Result, c.CI1Time.value,
                c.DepthOffsetTime.value, c.DepthOffsetValue, c.HardwareTime.value, c.HardwareResult,
                c.ReleaseTime.value, c.ReleaseResult, s.UnitId, s.Fitted, s.Tat, s.Voltage, s.DepthOffset);
  return StatusReportText(s) + s.String1.str() + "|" + s.String2.str() + checks;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> pieces = fuzz::Split(data, size, 2);
  Root().Reset();
  const std::filesystem::path currentPath = Root().StatusDir() / "Current-Status.xml";
  fuzz::ScratchRoot::WriteFile(currentPath, pieces[0]);
  if (pieces.size() > 1) fuzz::ScratchRoot::WriteFile(Root().StatusDir() / "New-Status.xml", pieces[1]);

  VirtualClock clock;
  fuzz::FuzzLine line;
  fuzz::FuzzProvider provider(line, clock);
  CCommPort port(clock, provider);
  ScriptedOperator op;
  CTransponder unit(port, op, DataPaths{Root().path()});
  const DateTime when = DateTime::FromCivil({2026, 3, 6, 14, 5, 0});
  unit.utcNow = [when] { return when; };

  std::vector<std::string> lines;
  unit.ListStoredUnits(lines);
  const std::string report = unit.FileStatusReport();

  const bool currentSound = !unit.currentFile->Damaged();
  std::vector<std::string> ids;
  unit.currentFile->ListUnitIds(ids);
  if (ids.size() > 64) ids.resize(64);
  for (const std::string& id : ids) {
    const StatusEntry entry = unit.currentFile->ReadUnit(id);
    (void)StatusReportText(entry.status);
    unit.CheckReport(entry.status.UnitId, true);
  }
  if (!currentSound || ids.empty()) return 0;

  // Save the entry of the first unit whose identity is written plainly (a save goes to the
  // element named by the identity's decimal text, which "0042" is not), and read it back.
  StatusEntry entry;
  for (const std::string& id : ids) {
    entry = unit.currentFile->ReadUnit(id);
    if (entry.status.UnitId != -1 && std::to_string(entry.status.UnitId) == id) break;
    entry.status.UnitId = -1;
  }
  if (entry.status.UnitId == -1) return 0;
  unit.currentStatus = entry.status;
  unit.currentChecks = entry.checks;
  const bool saved = unit.SaveCurrentEntry();
  fuzz::Expect(saved, "a sound file takes a save", op.boxes.empty() ? "" : op.boxes.back().text);

  CStatusXml reread;
  const CStatusXml::LoadResult loaded = reread.Load(currentPath);
  fuzz::Expect(loaded.outcome == CStatusXml::LoadOutcome::Loaded, "a saved file reads back sound", loaded.reason);
  std::vector<std::string> after;
  reread.ListUnitIds(after);
  fuzz::Expect(after.size() >= std::min<size_t>(ids.size(), 64), "a save keeps every unit of the file");

  fuzz::Expect(unit.LoadCurrentEntry(entry.status.UnitId), "the saved unit is found");
  const std::string written = Describe(entry.status, entry.checks);
  const std::string readBack = Describe(unit.storedStatus, unit.storedChecks);
  fuzz::Expect(written == readBack, "an entry reads back as it was written", written + "\n---\n" + readBack);
  return 0;
}
