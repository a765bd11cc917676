// The two status files of the data folder and the unit's entries in them. Every load and save
// reads its file from disk first, so changes made by other programs between two operations are
// picked up, and a save rewrites the file as it now stands with only the one unit changed.
#include <cstdio>

#include "records/status_xml.h"
#include "serial/transponder.h"

namespace {
enum FileSlot { kCurrentSlot = 0, kNewSlot = 1 };

// A message box for the operator; the busy window steps aside while it is shown.
void Tell(CTransponder& t, const std::string& text, const char* caption) {
  const bool wasBusy = t.serial.busyShown;
  if (wasBusy) t.HideBusy();
  t.op.MessageBox(text, caption, MbButtons::Ok, MbIcon::Exclamation);
  if (wasBusy) t.ShowBusy();
}

// Reloads the document from its file. A damaged file is left alone; the operator hears of it
// once, and again only after the file was sound in between.
void Reload(CTransponder& t, CStatusXml& doc, const std::filesystem::path& path, int slot) {
  CStatusXml::LoadResult result = doc.Load(path);
  if (!result.Damaged()) {
    t.records.statusFileDamageShown[slot] = false;
    return;
  }
  if (t.records.statusFileDamageShown[slot]) return;
  t.records.statusFileDamageShown[slot] = true;
  Tell(t,
       "The status file " + path.string() + " is damaged: it " + result.reason +
           ".\n\nIt was left unchanged. Nothing is recorded in it until it is repaired, replaced or removed.",
       "Status file damaged");
}

std::unique_ptr<CStatusXml>& Ensure(std::unique_ptr<CStatusXml>& doc) {
  if (!doc) doc = std::make_unique<CStatusXml>();
  return doc;
}

// Reads the unit's entry into storedChecks and storedStatus; false (and the two untouched)
// when the file holds no entry for it.
bool LoadEntry(CTransponder& t, CStatusXml& doc, const std::filesystem::path& path, int slot, int32_t unitId) {
  char id[16];
  std::snprintf(id, sizeof id, "%d", unitId);
  Reload(t, doc, path, slot);
  pugi::xml_node unit = doc.FindUnit(id, false);
  if (!unit) return false;
  StatusEntry entry = CStatusXml::ReadUnit(unit);
  t.records.storedChecks = entry.checks;
  t.records.storedStatus = entry.status;
  return true;
}

// Writes the entry into the file as it now stands. False when the file was left as it was
// because it is damaged or could not be written.
bool SaveEntry(CTransponder& t, CStatusXml& doc, const std::filesystem::path& path, int slot,
               const StatusChecks& checks, const UnitStatus& status) {
  t.records.storedStatus = status;
  t.records.storedChecks = checks;
  Reload(t, doc, path, slot);
  if (doc.Damaged()) return false;
  if (status.UnitId == -1) return true;  // no identity: nothing to write, the file stays as it was
  doc.WriteUnit(checks, status);
  CStatusXml::SaveResult saved = doc.Save(path);
  if (saved.saved) {
    t.records.statusFileSaveFailureShown[slot] = false;
    return true;
  }
  if (!t.records.statusFileSaveFailureShown[slot]) {
    t.records.statusFileSaveFailureShown[slot] = true;
    char unitText[16];
    std::snprintf(unitText, sizeof unitText, "%06X", static_cast<unsigned>(status.UnitId));
    Tell(t,
         "The status file " + path.string() + " could not be saved: " + saved.error +
             ".\n\nThe file was left as it was; the entry of unit " + unitText + " was not recorded.",
         "Status file not saved");
  }
  return false;
}
}  // namespace

// Out of line, where CStatusXml is complete.
RecordsState::RecordsState() = default;
RecordsState::~RecordsState() = default;

CTransponder::CTransponder(CCommPort& p, IOperator& o, DataPaths dataPaths)
    : port(p), op(o), paths(std::move(dataPaths)) {
  OpenStatusFiles();
}

CTransponder::~CTransponder() { CloseStatusFiles(); }

void CTransponder::OpenStatusFiles() {
  records.currentFile = std::make_unique<CStatusXml>();
  records.newFile = std::make_unique<CStatusXml>();
  Reload(*this, *records.currentFile, paths.CurrentStatusFile(), kCurrentSlot);
  Reload(*this, *records.newFile, paths.NewStatusFile(), kNewSlot);
}

void CTransponder::CloseStatusFiles() {
  records.currentFile.reset();
  records.newFile.reset();
}

bool CTransponder::LoadCurrentEntry(int32_t unitId) {
  if (serial.busyShown) SetBusyCaption("Getting current status");
  if (unitId == -1) return false;
  return LoadEntry(*this, *Ensure(records.currentFile), paths.CurrentStatusFile(), kCurrentSlot, unitId);
}

bool CTransponder::LoadNewEntry(int32_t unitId) {
  return LoadEntry(*this, *Ensure(records.newFile), paths.NewStatusFile(), kNewSlot, unitId);
}

bool CTransponder::SaveCurrentEntry() {
  return SaveEntry(*this, *Ensure(records.currentFile), paths.CurrentStatusFile(), kCurrentSlot, status.currentChecks,
                   status.currentStatus);
}

bool CTransponder::SaveNewEntry() {
  return SaveEntry(*this, *Ensure(records.newFile), paths.NewStatusFile(), kNewSlot, status.requiredChecks, status.requiredStatus);
}

DateTime CTransponder::NowUtc() { return utcNow ? utcNow() : DateTime::NowUtc(); }

int CTransponder::ListStoredUnits(std::vector<std::string>& lines) {
  CloseStatusFiles();
  OpenStatusFiles();
  lines.clear();
  return records.currentFile->ListUnits(lines);
}
