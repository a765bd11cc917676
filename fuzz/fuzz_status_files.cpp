// The two status files as arbitrary documents: the terminal opens them, lists the stored units
// ("Manual command"), reads every unit back, makes the check report over all units and per
// unit, then saves one unit's entry and reads it again. Whatever the files hold, nothing may
// crash; a file that loaded sound must stay sound after a save, and an entry written must read
// back as it was written.
//
// Input: the current-status file, two 0xFF bytes, the new-status file (none when absent).
#include <cstring>
#include <fstream>
#include <sstream>

#include "fuzz_support.h"
#include "records/status_xml.h"
#include "status/status_report.h"

namespace {
// An entry as the file writes it (every field, reals to two decimals). Unless rounded, also its
// status report and its reals in full, for comparing entries beyond the decimals the file keeps.
std::string Describe(const StatusEntry& e, bool rounded = false) {
  CStatusXml doc;
  doc.WriteUnit(e.checks, e.status);
  std::ostringstream text;
  doc.Root().print(text);
  if (rounded) return text.str();
  text << StatusReportText(e.status);
  for (float v : {e.checks.DepthOffsetValue, e.status.Tat, e.status.Voltage, e.status.DepthOffset,
                  e.status.PressureFullScale, e.status.PressureAccuracy})
    text << ' ' << std::hexfloat << v;
  return text.str();
}

// Saves the entry as the unit's current entry and reads it back from the file.
StatusEntry SaveAndReload(fuzz::Bench& b, const std::filesystem::path& path, const StatusEntry& entry,
                          size_t unitsBefore) {
  CTransponder& unit = b.unit;
  unit.status.currentStatus = entry.status;
  unit.status.currentChecks = entry.checks;
  fuzz::Expect(unit.SaveCurrentEntry(), "a sound file takes a save", b.op.boxes.empty() ? "" : b.op.boxes.back().text);
  CStatusXml reread;
  const CStatusXml::LoadResult loaded = reread.Load(path);
  fuzz::Expect(loaded.outcome == CStatusXml::LoadOutcome::Loaded, "a saved file reads back sound", loaded.reason);
  std::vector<std::string> after;
  fuzz::Expect(static_cast<size_t>(reread.ListUnitIds(after)) >= unitsBefore, "a save keeps every unit of the file");
  fuzz::Expect(unit.LoadCurrentEntry(entry.status.UnitId), "the saved unit is found");
  return StatusEntry{unit.records.storedChecks, unit.records.storedStatus};
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> pieces = fuzz::Split(data, size, 2);
  fuzz::Root().Reset();
  const std::filesystem::path currentPath = fuzz::Root().StatusDir() / "Current-Status.xml";
  std::ofstream(currentPath, std::ios::binary) << pieces[0];
  if (pieces.size() > 1) std::ofstream(fuzz::Root().StatusDir() / "New-Status.xml", std::ios::binary) << pieces[1];

  fuzz::Bench b;
  CTransponder& unit = b.unit;

  std::vector<std::string> lines;
  unit.ListStoredUnits(lines);
  const std::string report = unit.FileStatusReport();

  const bool currentSound = !unit.records.currentFile->Damaged();
  std::vector<std::string> ids;
  unit.records.currentFile->ListUnitIds(ids);
  if (ids.size() > 64) ids.resize(64);
  // The entry of the first unit whose identity is written plainly is saved and read back below
  // (a save goes to the element named by the identity's decimal text, which "0042" is not).
  StatusEntry entry;
  entry.status.UnitId = -1;
  for (const std::string& id : ids) {
    const StatusEntry read = unit.records.currentFile->ReadUnit(id);
    (void)StatusReportText(read.status);
    unit.CheckReport(read.status.UnitId, true);
    if (entry.status.UnitId == -1 && read.status.UnitId != -1 && std::to_string(read.status.UnitId) == id) entry = read;
  }
  if (!currentSound || entry.status.UnitId == -1) return 0;
  // The first save keeps everything as read, reals to the two decimals the file writes; a
  // second save changes nothing at all.
  const StatusEntry once = SaveAndReload(b, currentPath, entry, ids.size());
  fuzz::Expect(Describe(entry, true) == Describe(once, true), "an entry reads back as it was written",
               Describe(entry, true) + "\n---\n" + Describe(once, true));
  const StatusEntry twice = SaveAndReload(b, currentPath, once, ids.size());
  fuzz::Expect(Describe(once) == Describe(twice), "an entry saved again reads back the same",
               Describe(once) + "\n---\n" + Describe(twice));
  return 0;
}
