// The two status files of the data folder and the unit's entries in them. Every load and save
// reads its file from disk first, so changes made by other programs between two operations are
// picked up, and a save rewrites the file as it now stands with only the one unit changed.
//
// Several terminals may share the data folder. A save holds an advisory lock on a lock file
// beside the status file ("Current-Status.xml.lock") from its reload to its rename, so that no
// other terminal's save can land in between and be lost. Reads that only report take no lock:
// the rename puts a whole new file in place, so a reader sees the old file or the new one.
#include <cstdio>
#include <optional>

#include "platform/file_ops.h"
#include "records/status_xml.h"
#include "unit/transponder.h"

namespace {
enum FileSlot { kCurrentSlot = 0, kNewSlot = 1 };

// A message box for the operator; the busy window steps aside while it is shown.
void Tell(CTransponder& t, const std::string& text, const char* caption) {
  const bool wasBusy = t.serial.busyShown;
  if (wasBusy) t.HideBusy();
  t.op.MessageBox(text, caption, MbButtons::Ok, MbIcon::Exclamation);
  if (wasBusy) t.ShowBusy();
}

struct Notice {
  std::string text;
  const char* caption = "";
};

void Tell(CTransponder& t, const std::optional<Notice>& notice) {
  if (notice) Tell(t, notice->text, notice->caption);
}

// Reloads the document from its file. A damaged file is left alone; the operator hears of it
// once, and again only after the file was sound in between. The notice is returned, for the
// caller to show when it holds no lock.
std::optional<Notice> ReloadQuietly(CTransponder& t, CStatusXml& doc, const std::filesystem::path& path, int slot) {
  CStatusXml::LoadResult result = doc.Load(path);
  if (!result.Damaged()) {
    t.records.statusFileDamageShown[slot] = false;
    return std::nullopt;
  }
  if (t.records.statusFileDamageShown[slot]) return std::nullopt;
  t.records.statusFileDamageShown[slot] = true;
  return Notice{"The status file " + file_ops::PathText(path) + " is damaged: it " + result.reason +
                    ".\n\nIt was left unchanged. Nothing is recorded in it until it is repaired, replaced or removed.",
                "Status file damaged"};
}

void Reload(CTransponder& t, CStatusXml& doc, const std::filesystem::path& path, int slot) {
  Tell(t, ReloadQuietly(t, doc, path, slot));
}

std::filesystem::path LockFileFor(const std::filesystem::path& path) {
  std::filesystem::path lockFile = path;
  lockFile += ".lock";
  return lockFile;
}

std::string UnitText(int32_t unitId) {
  char text[16];
  std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(unitId));
  return text;
}

// Takes the status file's lock for a save. A lock not had within the wait is reported once
// (until a later save has it again), and the save goes on without it: the unit's data is
// worth more than the small chance of a collision.
file_ops::FileLock LockForSave(CTransponder& t, const std::filesystem::path& path, int slot, int32_t unitId,
                               std::optional<Notice>& notice) {
  const std::filesystem::path lockFile = LockFileFor(path);
  file_ops::FileLock lock = file_ops::FileLock::Acquire(lockFile, t.records.statusFileLockWaitMs);
  if (lock.Locked()) {
    t.records.statusFileLockFailureShown[slot] = false;
  } else if (!t.records.statusFileLockFailureShown[slot]) {
    t.records.statusFileLockFailureShown[slot] = true;
    notice = Notice{"The lock file " + file_ops::PathText(lockFile) + " could not be locked: " + lock.error() +
                        ".\n\nThe entry of unit " + UnitText(unitId) +
                        " is saved without the lock, so a save by another terminal at the same moment could be "
                        "lost. The next save tries the lock again.",
                    "Status file not locked"};
  }
  return lock;
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

// Writes the entry into the file as it now stands: under the file's lock, reload, change the
// one unit, save, release; only then is the operator told what went wrong. False when the file
// was left as it was because it is damaged or could not be written.
bool SaveEntry(CTransponder& t, CStatusXml& doc, const std::filesystem::path& path, int slot,
               const StatusChecks& checks, const UnitStatus& status) {
  t.records.storedStatus = status;
  t.records.storedChecks = checks;
  if (status.UnitId == -1) {
    // No identity: nothing to write, the file stays as it was, and no lock is needed.
    Reload(t, doc, path, slot);
    return !doc.Damaged();
  }
  std::optional<Notice> lockNotice, fileNotice;
  bool saved = false;
  {
    file_ops::FileLock lock = LockForSave(t, path, slot, status.UnitId, lockNotice);
    fileNotice = ReloadQuietly(t, doc, path, slot);
    if (!doc.Damaged()) {
      doc.WriteUnit(checks, status);
      CStatusXml::SaveResult result = doc.Save(path);
      saved = result.saved;
      if (saved) {
        t.records.statusFileSaveFailureShown[slot] = false;
      } else if (!t.records.statusFileSaveFailureShown[slot]) {
        t.records.statusFileSaveFailureShown[slot] = true;
        fileNotice = Notice{"The status file " + file_ops::PathText(path) + " could not be saved: " + result.error +
                                ".\n\nThe file was left as it was; the entry of unit " + UnitText(status.UnitId) +
                                " was not recorded.",
                            "Status file not saved"};
      }
    }
  }
  if (!saved) ++t.records.savesNotRecorded[slot];
  Tell(t, lockNotice);
  Tell(t, fileNotice);
  return saved;
}

// Removes the temporary files that saves killed part-way left beside the status file (those
// of processes that no longer run). Only when there are some is the lock taken, briefly, so
// that a terminal that shares the folder is never robbed of the file of a save in progress;
// when the lock is busy they stay for the next start.
void RemoveStaleSaves(const std::filesystem::path& path) {
  if (file_ops::StaleTemporaries(path).empty()) return;
  file_ops::FileLock lock = file_ops::FileLock::Acquire(LockFileFor(path), 1000);
  if (!lock.Locked()) return;
  for (const auto& stale : file_ops::StaleTemporaries(path)) file_ops::RemoveFile(stale);
}
}  // namespace

// Out of line, where CStatusXml is complete.
RecordsState::RecordsState() = default;
RecordsState::~RecordsState() = default;

CTransponder::CTransponder(CCommPort& p, IOperator& o, DataPaths dataPaths)
    : port(p), op(o), paths(std::move(dataPaths)) {
  RemoveStaleSaves(paths.CurrentStatusFile());
  RemoveStaleSaves(paths.NewStatusFile());
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
  return SaveEntry(*this, *Ensure(records.newFile), paths.NewStatusFile(), kNewSlot, status.requiredChecks,
                   status.requiredStatus);
}

DateTime CTransponder::NowUtc() { return utcNow ? utcNow() : DateTime::NowUtc(); }

int CTransponder::ListStoredUnits(std::vector<std::string>& lines) {
  CloseStatusFiles();
  OpenStatusFiles();
  lines.clear();
  return records.currentFile->ListUnits(lines);
}
