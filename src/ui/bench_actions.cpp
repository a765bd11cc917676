// The main window's actions for the bench tests, the reports, the status files, the export
// and the command buttons.
#include "ui/bench_actions.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "quickset/parameter_tables.h"
#include "records/export.h"
#include "status/status_report.h"
#include "ui/test_report_action.h"
#include "unit/transponder.h"
#include "ui/quickset_flow.h"

namespace {

constexpr const char* kWidebandQuestion = "Wideband is available\r\nDo you wish to use it?";

// Asks whether to use wideband when the unit has it; the busy window steps aside first.
bool ChooseWideband(CTransponder& unit) {
  if (!unit.WidebandAvailable()) return false;
  unit.HideBusy();
  return unit.op.Ask(Question::WidebandMode, kWidebandQuestion, "Mode choice", MbIcon::Question) == MbAnswer::Yes;
}

// A bench test that the unit answered: Done when it passed, else Refused with its result.
Outcome TestOutcome(bool passed, int32_t result, const char* failure) {
  Outcome o = passed ? MakeOutcome(OutcomeKind::Done, {}) : MakeOutcome(OutcomeKind::Refused, {}, failure);
  o.testResult = result;
  return o;
}

}  // namespace

Outcome AcousticCheckAction(CTransponder& unit, IMainWindow& window) {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) return MakeOutcome(OutcomeKind::NoUnit, {});
  window.Pull();
  char scratch[CTransponder::kReplyTextSize];
  unit.GetStatus("", scratch, true);
  window.PaneText().clear();
  const bool wideband = ChooseWideband(unit);
  int address = 0;
  int channel = 0;
  if (wideband) {
    const std::string entered =
        unit.op.AskEntry(Prompt::TestTransponderAddress, "Enter address of test transponder", "", false).value_or("");
    const int32_t number = CParameterTables::LeadingNumber(entered.c_str());
    address = number / 100;
    channel = number % 100;
    char text[16];
    if (!CParameterTables().AddressText(address, channel, unit.status.currentStatus.Band.c_str(), text)) {
      unit.HideBusy();
      unit.op.MessageBox("Illegal address!!", kDefaultCaption, MbButtons::Ok, MbIcon::Exclamation);
      return MakeOutcome(OutcomeKind::Refused, {}, "illegal test transponder address: " + entered);
    }
  }
  unit.ShowBusy();
  unit.AcousticCheck(window.Reply(), wideband, address, channel);
  window.ShowReply(window.Reply().c_str(), kReplyHeader);
  return TestOutcome(unit.status.currentChecks.CI1Result == 1, unit.status.currentChecks.CI1Result,
                     "no acoustic reply");
}

namespace {
// "Hardware self test" and "Release test" alike: the comms check, the test (with its status read
// first), its reply under the status report; Done when the unit answered and the result passed.
Outcome BenchTest(CTransponder& unit, IMainWindow& window, bool (CTransponder::*test)(TextSpan, bool),
                  const int32_t StatusChecks::*result, bool (*passed)(int32_t), const char* name) {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) return MakeOutcome(OutcomeKind::NoUnit, {});
  window.Pull();
  window.PaneText().clear();
  const bool answered = (unit.*test)(window.Reply(), true);
  window.ShowReply(window.Reply().c_str(), kReplyHeader);
  if (!answered) return MakeOutcome(OutcomeKind::Refused, {}, std::string("the unit did not answer the ") + name);
  const int32_t code = unit.status.currentChecks.*result;
  return TestOutcome(passed(code), code, (std::string(name) + " failed").c_str());
}
}  // namespace

Outcome HardwareSelfTestAction(CTransponder& unit, IMainWindow& window) {
  return BenchTest(unit, window, &CTransponder::HardwareSelfCheck, &StatusChecks::HardwareResult, SelfTestPassed,
                   "self test");
}

Outcome ReleaseTestAction(CTransponder& unit, IMainWindow& window) {
  return BenchTest(
      unit, window, &CTransponder::ReleaseCheck, &StatusChecks::ReleaseResult, [](int32_t r) { return r == 0; },
      "release test");
}

Outcome SetAsTestTransponderAction(CTransponder& unit, IMainWindow& window) {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) return MakeOutcome(OutcomeKind::NoUnit, {});
  window.Pull();
  char scratch[CTransponder::kReplyTextSize];
  if (!unit.GetStatus("", scratch, true)) {
    unit.HideBusy();
    Outcome o = MakeOutcome(OutcomeKind::Refused, {}, "the status read was incomplete");
    o.failedReaders = unit.status.partialMask;
    return o;
  }
  window.PaneText().clear();
  const bool wideband = ChooseWideband(unit);
  unit.ShowBusy();
  const bool ok = unit.SetAsTestTransponder(window.Reply(), wideband);
  TextSpan reply = window.Reply();
  if (!ok) {
    reply.Assign("FAILED to set as test transponder\r\n");
  } else if (wideband) {
    char text[100];
    std::snprintf(text, sizeof text, "Correctly set as wideband test transponder\r\nAddress is %d%02d",
                  unit.status.currentStatus.Address, unit.status.currentStatus.Channel);
    reply.Assign(text);
  } else {
    reply.Assign("Correctly set as tone test transponder\r\n");
  }
  window.ShowReply(window.Reply().c_str(), kReplyHeader);
  return ok ? MakeOutcome(OutcomeKind::Done, {})
            : MakeOutcome(OutcomeKind::Refused, {}, "the unit was not set as test transponder");
}

Outcome TestReportAction(CTransponder& unit, IMainWindow& window) {
  Outcome o = ProduceTestReport(unit, window.Reply());
  // A report that was made is shown, also when its file could not be written.
  if (o.kind == OutcomeKind::NoUnit || o.kind == OutcomeKind::Declined) return o;
  window.PaneText() = o.pane;
  window.Push();
  return o;
}

Outcome GetFileStatusAction(CTransponder& unit, IMainWindow& window) {
  window.Pull();
  window.PaneText() = unit.FileStatusReport();
  window.Push();
  return MakeOutcome(OutcomeKind::Done, {});
}

Outcome SetNewStatusAction(CTransponder& unit, IMainWindow& window) {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) return MakeOutcome(OutcomeKind::NoUnit, {});
  window.Pull();
  window.PaneText().clear();
  unit.GetStatus("", window.Reply(), true);
  const bool found = unit.LoadRequiredStatus(unit.status.currentStatus.UnitId);
  if (found) {
    unit.UpdateStatus(window.Reply());
    unit.GetStatus("", window.Reply(), true);
  } else {
    window.Reply().Assign("No update information found");
  }
  window.ShowReply(window.Reply().c_str(), kNoReplyHeader);
  if (!found) {
    const bool fileThere = std::filesystem::exists(unit.paths.NewStatusFile());
    Outcome o = MakeOutcome(fileThere ? OutcomeKind::Refused : OutcomeKind::BadFile, {},
                            "no update information for the unit in the new-status file");
    o.file = unit.paths.NewStatusFile().string();
    return o;
  }
  if (unit.status.partialMask != 0) {
    Outcome o = MakeOutcome(OutcomeKind::Refused, {}, "the unit was not read back whole");
    o.failedReaders = unit.status.partialMask;
    return o;
  }
  // The verification of the quick set, on the status just read back.
  char report[1000];
  if (unit.CheckStatus(TextSpan(report))) return MakeOutcome(OutcomeKind::Done, {});
  Outcome o = MakeOutcome(OutcomeKind::Refused, {}, "the unit was not set correctly");
  o.differences = report;
  return o;
}

Outcome ExportStatusAction(CTransponder& unit, IMainWindow&) {
  switch (unit.ExportStatus()) {
    case kExportDone: return MakeOutcome(OutcomeKind::Done, {});
    case kExportFileFailed: return MakeOutcome(OutcomeKind::BadFile, {}, "the current-status file would not open");
    case kExportPortFailed: return MakeOutcome(OutcomeKind::PortFailed, {}, "the port would not open");
    case kExportDeclined: return MakeOutcome(OutcomeKind::Declined, {}, "the transfer time was not accepted");
    default: return MakeOutcome(OutcomeKind::Refused, {}, "the far end did not take the export");
  }
}

Outcome ManualCommandAction(CTransponder& unit, IMainWindow& window) {
  std::vector<std::string> lines;
  unit.ListStoredUnits(lines);
  window.PaneText().clear();
  for (const std::string& line : lines) window.PaneText() += line + "\r\n";
  window.Push();
  return MakeOutcome(OutcomeKind::Done, {});
}
