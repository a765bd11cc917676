// The update engine, which brings the unit to its required status one setting at a time, the
// required record loaded from the new-status file, and the verification of the result.
#pragma once
#include <cstdint>

#include "commands/setup_commands.h"
#include "commands/unit_tests.h"
#include "platform/fixed_text.h"
#include "records/status_files.h"
#include "serial/unit_link.h"
#include "status/status_state.h"

class StatusUpdater : public UnitPart, public RequiredStatusUpdate {
 public:
  StatusUpdater(UnitLink& unitLink, StatusState& unitStatus, StatusFiles& statusFiles, SetupCommands& setupCommands)
      : UnitPart(unitLink), status(unitStatus), files(statusFiles), setup(setupCommands) {}

  // Brings the unit to status.requiredStatus. The replies of the status it reads again on the
  // way are appended to replyText (the window's reply text), as the status readers append theirs.
  void UpdateStatus(TextSpan replyText) override;
  bool LoadRequiredStatus(int32_t unitId) override;
  bool CheckStatus(TextSpan report);

  StatusState& status;
  StatusFiles& files;
  SetupCommands& setup;
};
