// The two status files of the data folder and the unit's entries in them. Every load and save
// reads its file from disk first, so changes made by other programs between two operations are
// picked up, and a save rewrites the file as it now stands with only the one unit changed.
//
// Several terminals may share the data folder. A save holds an advisory lock on a lock file
// beside the status file ("Current-Status.xml.lock") from its reload to its rename, so that no
// other terminal's save can land in between and be lost; and since a lock is only waited for so
// long, the rename also waits for proof that the file is still the one reloaded. Reads that
// only report take no lock: the rename puts a whole new file in place, so a reader sees the old
// file or the new one.
#include <cstdio>
#include <optional>

#include "platform/file_ops.h"
#include "records/status_xml.h"
#include "records/status_files.h"

namespace {
enum FileSlot { kCurrentSlot = 0, kNewSlot = 1 };

// A message box for the operator; the busy window steps aside while it is shown.
void Tell(StatusFiles& t, const std::string& text, const char* caption) {
  const bool wasBusy = t.Progress().Showing();
  if (wasBusy) t.Progress().Ended();
  t.op.MessageBox(text, caption, MbButtons::Ok, MbIcon::Exclamation);
  if (wasBusy) t.Progress().Shown();
}

struct Notice {
  std::string text;
  const char* caption = "";
};

void Tell(StatusFiles& t, const std::optional<Notice>& notice) {
  if (notice) Tell(t, notice->text, notice->caption);
}

// Reloads the document from its file. A damaged file is left alone; the operator hears of it
// once, and again only after the file was sound in between. The notice is returned, for the
// caller to show when it holds no lock.
std::optional<Notice> ReloadQuietly(StatusFiles& t, CStatusXml& doc, const std::filesystem::path& path, int slot) {
  CStatusXml::LoadResult result = doc.Load(path);
  if (!result.Damaged()) {
    t.records.statusFileDamageShown[slot] = false;
    return std::nullopt;
  }
  if (t.records.statusFileDamageShown[slot]) return std::nullopt;
  t.records.statusFileDamageShown[slot] = true;
  // A file the system will not let the terminal read (permissions, a folder in its place) is
  // not damaged: the remedy is another.
  if (result.outcome == CStatusXml::LoadOutcome::Unreadable)
    return Notice{"The status file " + file_ops::PathText(path) + " " + result.reason +
                      ".\n\nIt was left unchanged. Nothing is recorded in it until it can be read (check its "
                      "permissions and those of its folder).",
                  "Status file not readable"};
  return Notice{"The status file " + file_ops::PathText(path) + " is damaged: it " + result.reason +
                    ".\n\nIt was left unchanged. Nothing is recorded in it until it is repaired, replaced or removed.",
                "Status file damaged"};
}

void Reload(StatusFiles& t, CStatusXml& doc, const std::filesystem::path& path, int slot) {
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

// What the operator is told after a save. A lock not had within the wait is told once (until a
// save has it again); the save went on without it, since the unit's data is worth more than the
// lock, and it still replaced the file only if nobody had changed it since it was read. When the
// entry was not recorded either, both go into one notice.
std::optional<Notice> SaveNotice(StatusFiles& t, const std::filesystem::path& path, int slot, int32_t unitId,
                                 const file_ops::FileLock& lock, bool saved, std::optional<Notice> fileNotice) {
  bool tellLock = false;
  if (lock.Locked()) {
    t.records.statusFileLockFailureShown[slot] = false;
  } else if (!t.records.statusFileLockFailureShown[slot]) {
    t.records.statusFileLockFailureShown[slot] = true;
    tellLock = true;
  }
  if (!tellLock) return fileNotice;
  const std::string lockProblem =
      "The lock file " + file_ops::PathText(LockFileFor(path)) + " could not be locked: " + lock.error() + ".";
  if (saved) {
    return Notice{lockProblem + "\n\nThe entry of unit " + UnitText(unitId) +
                      " was saved without the lock (the file was replaced only after a check that no other "
                      "terminal had changed it meanwhile). The next save tries the lock again.",
                  "Status file not locked"};
  }
  if (fileNotice) {
    fileNotice->text += "\n\n" + lockProblem;
    return fileNotice;
  }
  return Notice{lockProblem + "\n\nThe entry of unit " + UnitText(unitId) + " was not recorded: the status file " +
                    file_ops::PathText(path) + " still cannot be saved.",
                "Status file not saved"};
}

std::unique_ptr<CStatusXml>& Ensure(std::unique_ptr<CStatusXml>& doc) {
  if (!doc) doc = std::make_unique<CStatusXml>();
  return doc;
}

// Reads the unit's entry into storedChecks and storedStatus; false (and the two untouched)
// when the file holds no entry for it.
bool LoadEntry(StatusFiles& t, CStatusXml& doc, const std::filesystem::path& path, int slot, int32_t unitId) {
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

// How often a save reloads and redoes its change when the file changed under it.
constexpr int kSaveRounds = 5;

// Writes the entry into the file as it now stands: under the file's lock, reload, change the
// one unit, save, release; only then is the operator told what went wrong. The file is
// replaced only if it is still the one reloaded: a terminal that stalled while holding the
// lock, or saved without it, finds a newer file, reloads it and redoes its change, so no update
// is lost. False when the entry was not recorded: the file is damaged, could not be written,
// or kept changing.
bool SaveEntry(StatusFiles& t, CStatusXml& doc, const std::filesystem::path& path, int slot,
               const StatusChecks& checks, const UnitStatus& status) {
  t.records.storedStatus = status;
  t.records.storedChecks = checks;
  if (status.UnitId == -1) {
    // No identity: nothing to write, the file stays as it was, and no lock is needed.
    Reload(t, doc, path, slot);
    return !doc.Damaged();
  }
  std::optional<Notice> notice;
  bool saved = false;
  {
    file_ops::FileLock lock = file_ops::FileLock::Acquire(LockFileFor(path), t.records.statusFileLockWaitMs);
    std::optional<Notice> fileNotice;
    CStatusXml::SaveResult result;
    for (int round = 0; round < kSaveRounds; ++round) {
      fileNotice = ReloadQuietly(t, doc, path, slot);
      if (doc.Damaged()) break;
      doc.WriteUnit(checks, status);
      result = doc.SaveIfUnchanged(path);
      if (!result.changed) break;
    }
    saved = result.saved;
    if (saved) {
      t.records.statusFileSaveFailureShown[slot] = false;
    } else if (!doc.Damaged() && !t.records.statusFileSaveFailureShown[slot]) {
      t.records.statusFileSaveFailureShown[slot] = true;
      const std::string why = result.changed ? "other programs changed it " + std::to_string(kSaveRounds) +
                                                   " times while the entry was being written"
                                             : result.error;
      fileNotice = Notice{"The status file " + file_ops::PathText(path) + " could not be saved: " + why +
                              ".\n\nThe file was left as it was; the entry of unit " + UnitText(status.UnitId) +
                              " was not recorded.",
                          "Status file not saved"};
    }
    notice = SaveNotice(t, path, slot, status.UnitId, lock, saved, fileNotice);
  }
  if (!saved) t.link.findings.recordNotKept = true;
  Tell(t, notice);
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

StatusFiles::StatusFiles(UnitLink& unitLink, StatusState& unitStatus, const DataPaths& dataPaths)
    : UnitPart(unitLink), status(unitStatus), paths(dataPaths) {
  RemoveStaleSaves(paths.CurrentStatusFile());
  RemoveStaleSaves(paths.NewStatusFile());
  OpenStatusFiles();
}

StatusFiles::~StatusFiles() { CloseStatusFiles(); }

void StatusFiles::OpenStatusFiles() {
  records.currentFile = std::make_unique<CStatusXml>();
  records.newFile = std::make_unique<CStatusXml>();
  Reload(*this, *records.currentFile, paths.CurrentStatusFile(), kCurrentSlot);
  Reload(*this, *records.newFile, paths.NewStatusFile(), kNewSlot);
}

void StatusFiles::CloseStatusFiles() {
  records.currentFile.reset();
  records.newFile.reset();
}

bool StatusFiles::LoadCurrentEntry(int32_t unitId) {
  Progress().Step("Getting current status");
  if (unitId == -1) return false;
  return LoadEntry(*this, *Ensure(records.currentFile), paths.CurrentStatusFile(), kCurrentSlot, unitId);
}

bool StatusFiles::LoadNewEntry(int32_t unitId) {
  return LoadEntry(*this, *Ensure(records.newFile), paths.NewStatusFile(), kNewSlot, unitId);
}

bool StatusFiles::SaveCurrentEntry() {
  return SaveEntry(*this, *Ensure(records.currentFile), paths.CurrentStatusFile(), kCurrentSlot, status.currentChecks,
                   status.currentStatus);
}

bool StatusFiles::SaveNewEntry() {
  return SaveEntry(*this, *Ensure(records.newFile), paths.NewStatusFile(), kNewSlot, status.requiredChecks,
                   status.requiredStatus);
}

std::optional<StatusChecks> StatusFiles::StoredChecks(int32_t unitId) {
  if (!LoadCurrentEntry(unitId)) return std::nullopt;
  return records.storedChecks;
}

int StatusFiles::ListStoredUnits(std::vector<std::string>& lines) {
  CloseStatusFiles();
  OpenStatusFiles();
  lines.clear();
  return records.currentFile->ListUnits(lines);
}
