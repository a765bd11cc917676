// The test report: the unit's status, its hardware self test, its release test (when it has
// a release and the operator agrees), its versions and sensors and its sensor reading, shown
// in the pane and written to the unit's report file in the data folder.
#include "ui/test_report_action.h"

#include <cstdio>

#include "platform/text_numbers.h"
#include "records/test_report.h"
#include "status/status_report.h"
#include "unit/transponder.h"

Outcome ProduceTestReport(CTransponder& unit, TextSpan replyText) {
  IOperator& op = unit.op;
  unit.Progress().Shown();
  if (!unit.CheckComms(3)) return MakeOutcome(OutcomeKind::NoUnit, {});
  // Each step writes its reply into the reply text, as the window's actions do (so the raw
  // replies show the last step's), and the report takes it in as it comes.
  if (!unit.GetStatus("", replyText, true)) {
    unit.Progress().Ended();
    const MbAnswer a = op.Ask(Question::IncompleteStatus, "Incomplete status recovered\r\nContinue anyway??",
                              "Communications error", MbIcon::Exclamation);
    if (a != MbAnswer::Yes) return MakeOutcome(OutcomeKind::Declined, {}, "the status read was incomplete");
    unit.Progress().Shown();
  }
  const UnitStatus& s = unit.status.currentStatus;
  std::string report = IdentityText(s) + InterrogateText(s) + TimingPowerText(s);
  const std::string daughterCard = DaughterCardText(s);
  if (!daughterCard.empty()) report += "\r\n" + daughterCard;

  const bool selfTestAnswered = unit.HardwareSelfCheck(replyText, false);
  report += "\r\n";
  report += replyText.c_str();

  if (textnum::Contains(s.Das.c_str(), "V0.0") && s.DasId.size() < 2) {
    report += "\r\nNo DAS card found\r\n";
  } else {
    if ((s.Fitted & 0x100) == 0) {
      report += "\r\nNo Release mechanism found\r\n";
    } else {
      unit.Progress().Ended();
      const MbAnswer a = op.Ask(Question::RunReleaseTest, "Run Release test", "Release test", MbIcon::Exclamation);
      unit.Progress().Shown();
      if (a == MbAnswer::Yes) {
        unit.port.Delay(1000);
        unit.ReleaseCheck(replyText, false);
        report += "\r\n";
        report += replyText.c_str();
        report += "\r\n";
      } else {
        report += "\r\nRelease mechanism NOT TESTED\r\n";
      }
    }
    report += VersionsSensorsText(unit.status.currentStatus);
    unit.ReadSensors(replyText);
    report += "\r\n\r\n";
    report += replyText.c_str();
  }

  const CivilTime now = unit.localNow().ToCivil();
  char stamp[80];
  std::snprintf(stamp, sizeof stamp, "\r\n\r\nData stored at %02d:%02d %02d/%02d/%d ", now.hour, now.minute, now.day,
                now.month, now.year);
  report += stamp;

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
