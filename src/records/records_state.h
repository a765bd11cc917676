// The state that records/ keeps: the two status files, the entry last loaded from one of them,
// and whether the operator has been told of a damaged file or a failed save.
#pragma once
#include <cstdint>
#include <memory>

#include "status/unit_status.h"

class CStatusXml;

struct RecordsState {
  RecordsState();
  ~RecordsState();
  RecordsState(const RecordsState&) = delete;
  RecordsState& operator=(const RecordsState&) = delete;

  std::unique_ptr<CStatusXml> currentFile;
  std::unique_ptr<CStatusXml> newFile;
  // The entry that LoadCurrentEntry or LoadNewEntry found last (read by the check report, the
  // update engine and the acquisition).
  UnitStatus storedStatus;
  StatusChecks storedChecks;
  // Whether the operator has been told that a status file is damaged, or that a save to it
  // failed ([0] the current-status file, [1] the new-status file): once per file, until the
  // file is sound (or saved) again.
  bool statusFileDamageShown[2] = {};
  bool statusFileSaveFailureShown[2] = {};
  // Whether the operator has been told that a status file's lock could not be had (the same
  // way: once, until a save has the lock again), and how long a save waits for the lock.
  bool statusFileLockFailureShown[2] = {};
  uint32_t statusFileLockWaitMs = 10000;
};
