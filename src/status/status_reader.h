// Reading the unit's whole status ("#HWST", "#TPST", "#FVFV", "#INFO", "#STTX") into the
// current record, and its pressure sensor ("#RDSE").
#pragma once
#include <cstdint>
#include <optional>

#include "platform/fixed_text.h"
#include "serial/unit_link.h"
#include "status/status_state.h"

// What the status reading needs of the current-status file, which is kept a layer above
// (records/): the checks the file holds for a unit, and the save of the record just read.
class CurrentStatusKeeper {
 public:
  virtual ~CurrentStatusKeeper() = default;
  // The checks the file holds for the unit; none when it holds no entry for it.
  virtual std::optional<StatusChecks> StoredChecks(int32_t unitId) = 0;
  // Saves the current record with its checks; false when it was not recorded.
  virtual bool SaveCurrentEntry() = 0;
};

class StatusReader : public UnitPart {
 public:
  StatusReader(UnitLink& unitLink, StatusState& unitStatus, CurrentStatusKeeper& keeper)
      : UnitPart(unitLink), status(unitStatus), keeper_(keeper) {}

  // Reads every status reply in turn into status.currentStatus, the replies into output (after
  // heading), takes the unit's checks from the current-status file, stamps the reading and
  // saves it. False when some reader failed (status.partialMask says which; the operator is
  // told when showMessageBox).
  bool GetStatus(const char* heading, TextSpan output, bool showMessageBox);
  bool ReadSensors(TextSpan reply);

  StatusState& status;

 private:
  CurrentStatusKeeper& keeper_;
};
