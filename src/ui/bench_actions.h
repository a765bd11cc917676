// The main window's actions for the bench tests, the test report, the status files and the
// export, written against the window's interface (IMainWindow), so they need no toolkit and
// no window class. Each returns what happened.
#pragma once
#include <cstdint>
#include <string>

#include "platform/main_window.h"
#include "platform/outcome.h"

class CTransponder;

// "Acoustic check": status read, the mode question when wideband is available, the test
// transponder's address for wideband, then the check.
Outcome AcousticCheckAction(CTransponder& unit, IMainWindow& window);
// "Hardware self test" and "Release test": status read, then the test. Done when the unit
// answered and passed; the result (also in the unit's currentChecks) is in testResult.
Outcome HardwareSelfTestAction(CTransponder& unit, IMainWindow& window);
Outcome ReleaseTestAction(CTransponder& unit, IMainWindow& window);
// "Set as test transponder": a complete status read first, the mode question, the set-up.
Outcome SetAsTestTransponderAction(CTransponder& unit, IMainWindow& window);
// "Produce test report": the report in the pane and in ROOT/T7Status/<serial number>.txt.
// Done when made and stored and the self test passed; BadFile when the file could not be
// written; Declined when the operator stopped at an incomplete status.
Outcome TestReportAction(CTransponder& unit, IMainWindow& window);
// "Get file status": the check report of every unit of the current-status file; nothing is
// sent to the unit.
Outcome GetFileStatusAction(CTransponder& unit, IMainWindow& window);
// "Set new status": applies the unit's pending entry of the new-status file, reads the unit
// back and verifies it (differences in the outcome). Refused (BadFile when the file is
// missing) when the file holds no entry for the unit.
Outcome SetNewStatusAction(CTransponder& unit, IMainWindow& window);
// "Export status": the current-status file over the serial line.
Outcome ExportStatusAction(CTransponder& unit, IMainWindow& window);
// "Manual command" (hidden): the units of the current-status file.
Outcome ManualCommandAction(CTransponder& unit, IMainWindow& window);
