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
#include "status/status_report.h"

namespace {
// Everything an entry shows: the status report and the check fields. With rounded set, reals
// as the file writes them (two decimals) and no report (which shows reals its own way), for
// comparing an entry read with more decimals than the file keeps.
std::string Describe(const UnitStatus& s, const StatusChecks& c, bool rounded = false) {
  auto real = [rounded](float v) {
    if (rounded) return status_text::FromReal(v);
    char t[32];
    std::snprintf(t, sizeof t, "%.9g", v);
    return std::string(t);
  };
  char checks[400];
  std::snprintf(checks, sizeof checks, "|%d %.17g %.17g %d %.17g %.17g %.17g %d %.17g %d|%d %u %d %d %d ",
                c.UpdatedResult, c.UpdatedTime.value, c.LastStatusTime.value, c.CI1Result, c.CI1Time.value,
                c.DepthOffsetTime.value, c.HardwareTime.value, c.HardwareResult, c.ReleaseTime.value, c.ReleaseResult,
                s.UnitId, s.Fitted, s.Address, s.Channel, s.CIFReplyCHannel);
  const std::string reals = real(c.DepthOffsetValue) + " " + real(s.Tat) + " " + real(s.Voltage) + " " +
                            real(s.DepthOffset) + " " + real(s.PressureFullScale) + " " + real(s.PressureAccuracy);
  const std::string texts =
      s.SerialNo.str() + "|" + s.T7V.str() + "|" + s.Enabled.str() + "|" + s.String1.str() + "|" + s.String2.str();
  return (rounded ? std::string() : StatusReportText(s)) + texts + checks + reals;
}

// Saves the entry as the unit's current entry and reads it back from the file.
StatusEntry SaveAndReload(CTransponder& unit, ScriptedOperator& op, const std::filesystem::path& path,
                          const StatusEntry& entry, size_t unitsBefore) {
  unit.status.currentStatus = entry.status;
  unit.status.currentChecks = entry.checks;
  fuzz::Expect(unit.SaveCurrentEntry(), "a sound file takes a save", op.boxes.empty() ? "" : op.boxes.back().text);
  CStatusXml reread;
  const CStatusXml::LoadResult loaded = reread.Load(path);
  fuzz::Expect(loaded.outcome == CStatusXml::LoadOutcome::Loaded, "a saved file reads back sound", loaded.reason);
  std::vector<std::string> after;
  reread.ListUnitIds(after);
  fuzz::Expect(after.size() >= unitsBefore, "a save keeps every unit of the file");
  fuzz::Expect(unit.LoadCurrentEntry(entry.status.UnitId), "the saved unit is found");
  return StatusEntry{unit.records.storedChecks, unit.records.storedStatus};
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> pieces = fuzz::Split(data, size, 2);
  fuzz::Root().Reset();
  const std::filesystem::path currentPath = fuzz::Root().StatusDir() / "Current-Status.xml";
  fuzz::ScratchRoot::WriteFile(currentPath, pieces[0]);
  if (pieces.size() > 1) fuzz::ScratchRoot::WriteFile(fuzz::Root().StatusDir() / "New-Status.xml", pieces[1]);

  fuzz::Bench b;
  CTransponder& unit = b.unit;
  ScriptedOperator& op = b.op;

  std::vector<std::string> lines;
  unit.ListStoredUnits(lines);
  const std::string report = unit.FileStatusReport();

  const bool currentSound = !unit.records.currentFile->Damaged();
  std::vector<std::string> ids;
  unit.records.currentFile->ListUnitIds(ids);
  if (ids.size() > 64) ids.resize(64);
  for (const std::string& id : ids) {
    const StatusEntry entry = unit.records.currentFile->ReadUnit(id);
    (void)StatusReportText(entry.status);
    unit.CheckReport(entry.status.UnitId, true);
  }
  if (!currentSound || ids.empty()) return 0;

  // Save the entry of the first unit whose identity is written plainly (a save goes to the
  // element named by the identity's decimal text, which "0042" is not), and read it back.
  StatusEntry entry;
  for (const std::string& id : ids) {
    entry = unit.records.currentFile->ReadUnit(id);
    if (entry.status.UnitId != -1 && std::to_string(entry.status.UnitId) == id) break;
    entry.status.UnitId = -1;
  }
  if (entry.status.UnitId == -1) return 0;
  // The first save keeps everything as read, reals to the two decimals the file writes; a
  // second save changes nothing at all.
  const size_t unitsBefore = std::min<size_t>(ids.size(), 64);
  const StatusEntry once = SaveAndReload(unit, op, currentPath, entry, unitsBefore);
  fuzz::Expect(Describe(entry.status, entry.checks, true) == Describe(once.status, once.checks, true),
               "an entry reads back as it was written",
               Describe(entry.status, entry.checks, true) + "\n---\n" + Describe(once.status, once.checks, true));
  const StatusEntry twice = SaveAndReload(unit, op, currentPath, once, unitsBefore);
  fuzz::Expect(Describe(once.status, once.checks) == Describe(twice.status, twice.checks),
               "an entry saved again reads back the same",
               Describe(once.status, once.checks) + "\n---\n" + Describe(twice.status, twice.checks));
  return 0;
}
