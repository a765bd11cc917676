// The two status files of the data folder (current and new), the unit's entries in them, the
// check reports drawn from them and the export of the current-status file over the serial line.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "records/records_state.h"
#include "serial/unit_link.h"
#include "status/status_reader.h"
#include "status/status_state.h"

class StatusFiles : public UnitPart, public CurrentStatusKeeper {
 public:
  // Removes what saves killed part-way left, and reads both files.
  StatusFiles(UnitLink& unitLink, StatusState& unitStatus, const DataPaths& dataPaths);
  ~StatusFiles() override;
  StatusFiles(const StatusFiles&) = delete;
  StatusFiles& operator=(const StatusFiles&) = delete;

  void OpenStatusFiles();
  void CloseStatusFiles();
  // Each load reads its file afresh and leaves the unit's entry in records.storedStatus and
  // records.storedChecks; false when the file holds none.
  bool LoadCurrentEntry(int32_t unitId);
  bool LoadNewEntry(int32_t unitId);
  // The current record (status.currentStatus) and the required one (status.requiredStatus).
  bool SaveCurrentEntry() override;
  bool SaveNewEntry();
  std::optional<StatusChecks> StoredChecks(int32_t unitId) override;
  int ListStoredUnits(std::vector<std::string>& lines);
  std::string CheckReport(int32_t unitId, bool withUnitLine);
  std::string FileStatusReport();
  // The outcome code: 0 done, 1 no answer in time, 2 no "Reply" to "Export", 3 the file
  // would not open, 4 the port would not open, 5 the operator declined.
  int ExportStatus();

  RecordsState records;
  StatusState& status;
  const DataPaths& paths;
};
