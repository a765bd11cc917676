// The state that status/ keeps for the connected unit: the status records and their checks, what
// the last acquisition left.
// The acquisition writes the current records; the update engine, the settings dialogs and the
// bench tests fill the required ones; every subsystem reads them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "status/unit_status.h"

struct StatusState {
  static constexpr size_t kReplyTextSize = 2500;

  // What was last read from the unit.
  UnitStatus currentStatus;
  StatusChecks currentChecks;
  // What the unit is to be set to, and the checks that travel with it to the new-status file.
  UnitStatus requiredStatus;
  StatusChecks requiredChecks;
  // The readers that failed in the last acquisition, one bit each; 0 when all answered.
  int32_t partialMask = 0;
  // What the last acquisition told the operator when some readers failed.
  std::string statusMessage;
  // The unit's model from its firmware versions reply, which the settings dialogs tell apart.
  int32_t unitModel = 0;
};
