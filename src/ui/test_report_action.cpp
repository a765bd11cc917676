// The test report: the unit's status, its hardware self test, its release test (when it has
// a release and the operator agrees), its versions and sensors and its sensor reading, shown
// in the pane and written to the unit's report file in the data folder.
#include "ui/test_report_action.h"

#include <cstdio>

#include "platform/text_numbers.h"
#include "records/test_report.h"
#include "status/status_report.h"
#include "unit/transponder.h"

namespace {
// The status read for the report. An incomplete read goes on only when the operator agrees.
bool ReadStatus(CTransponder& unit, TextSpan replyText) {
  if (unit.GetStatus("", replyText, true)) return true;
  unit.Progress().Ended();
  const MbAnswer a = unit.op.Ask(Question::IncompleteStatus, "Incomplete status recovered\r\nContinue anyway??",
                                 "Communications error", MbIcon::Exclamation);
  if (a != MbAnswer::Yes) return false;
  unit.Progress().Shown();
  return true;
}

std::string StatusText(const UnitStatus& s) {
  std::string report = IdentityText(s) + InterrogateText(s) + TimingPowerText(s);
  const std::string daughterCard = DaughterCardText(s);
  if (!daughterCard.empty()) report += "\r\n" + daughterCard;
  return report;
}

// The release test runs only on a unit with a release and when the operator agrees.
void AddReleaseTest(CTransponder& unit, TextSpan replyText, std::string& report) {
  if ((unit.status.currentStatus.Fitted & 0x100) == 0) {
    report += "\r\nNo Release mechanism found\r\n";
    return;
  }
  unit.Progress().Ended();
  const MbAnswer a = unit.op.Ask(Question::RunReleaseTest, "Run Release test", "Release test", MbIcon::Exclamation);
  unit.Progress().Shown();
  if (a != MbAnswer::Yes) {
    report += "\r\nRelease mechanism NOT TESTED\r\n";
    return;
  }
  unit.port.Delay(1000);
  unit.ReleaseCheck(replyText, false);
  report += "\r\n";
  report += replyText.c_str();
  report += "\r\n";
}

// The steps that need the DAS card: the release test, the versions and sensors, the reading.
void AddDasCardSteps(CTransponder& unit, TextSpan replyText, std::string& report) {
  const UnitStatus& s = unit.status.currentStatus;
  if (textnum::Contains(s.Das.c_str(), "V0.0") && s.DasId.size() < 2) {
    report += "\r\nNo DAS card found\r\n";
    return;
  }
  AddReleaseTest(unit, replyText, report);
  report += VersionsSensorsText(unit.status.currentStatus);
  unit.ReadSensors(replyText);
  report += "\r\n\r\n";
  report += replyText.c_str();
}

std::string StoredAt(const CivilTime& now) {
  char stamp[80];
  std::snprintf(stamp, sizeof stamp, "\r\n\r\nData stored at %02d:%02d %02d/%02d/%d ", now.hour, now.minute, now.day,
                now.month, now.year);
  return stamp;
}

// Writes the report to the unit's report file; a self test that failed or went unanswered
// refuses the unit, once the report is stored.
Outcome StoreReport(CTransponder& unit, const std::string& report, bool selfTestAnswered) {
  IOperator& op = unit.op;
  const std::filesystem::path path = TestReportPath(unit.paths, unit.status.currentStatus.SerialNo.view());
  unit.Progress().Ended();
  Outcome outcome;
  outcome.file = path.string();
  outcome.testResult = selfTestAnswered ? unit.status.currentChecks.HardwareResult : -1;
  if (WriteTestReportFile(path, report)) {
    op.MessageBox("Results stored in " + path.string(), "Result stored", MbButtons::Ok, MbIcon::Information);
    if (!selfTestAnswered || !SelfTestPassed(outcome.testResult)) {
      outcome.kind = OutcomeKind::Refused;
      outcome.reason = selfTestAnswered ? "self test failed" : "the unit did not answer the self test";
    }
  } else {
    outcome.kind = OutcomeKind::BadFile;
    outcome.reason = "the report file could not be written";
    op.MessageBox("Results store failed!!", "Error!", MbButtons::Ok, MbIcon::Stop);
  }
  outcome.pane = report;
  return outcome;
}
}  // namespace

Outcome ProduceTestReport(CTransponder& unit, TextSpan replyText) {
  unit.Progress().Shown();
  if (!unit.CheckComms(3)) return MakeOutcome(OutcomeKind::NoUnit, {});
  // Each step writes its reply into the reply text, as the window's actions do (so the raw
  // replies show the last step's), and the report takes it in as it comes.
  if (!ReadStatus(unit, replyText)) return MakeOutcome(OutcomeKind::Declined, {}, "the status read was incomplete");
  std::string report = StatusText(unit.status.currentStatus);

  const bool selfTestAnswered = unit.HardwareSelfCheck(replyText, false);
  report += "\r\n";
  report += replyText.c_str();
  AddDasCardSteps(unit, replyText, report);
  report += StoredAt(unit.localNow().ToCivil());
  return StoreReport(unit, report, selfTestAnswered);
}
