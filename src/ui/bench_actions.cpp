// The main window's actions for the bench tests, the reports, the status files, the export
// and the command buttons.
#include "ui/bench_actions.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "quickset/parameter_tables.h"
#include "records/test_report.h"
#include "unit/transponder.h"
#include "ui/command_file.h"

namespace {

constexpr const char* kWidebandQuestion = "Wideband is available\r\nDo you wish to use it?";

// Asks whether to use wideband when the unit has it; the busy window steps aside first.
bool ChooseWideband(CTransponder& unit) {
  if (!unit.WidebandAvailable()) return false;
  unit.HideBusy();
  return unit.op.Ask(Question::WidebandMode, kWidebandQuestion, "Mode choice", MbIcon::Question) == MbAnswer::Yes;
}

}  // namespace

void AcousticCheckAction(CTransponder& unit, BenchWindow& window) {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) return;
  window.pull();
  char scratch[CTransponder::kReplyTextSize];
  unit.GetStatus("", scratch, true);
  window.paneText.clear();
  const bool wideband = ChooseWideband(unit);
  int address = 0;
  int channel = 0;
  if (wideband) {
    const std::string entered = unit.op.AskEntry(Prompt::TestTransponderAddress, "Enter address of test transponder", "", false).value_or("");
    const int32_t number = CParameterTables::LeadingNumber(entered.c_str());
    address = number / 100;
    channel = number % 100;
    char text[16];
    if (!CParameterTables().AddressText(address, channel, unit.status.currentStatus.Band.c_str(), text)) {
      unit.HideBusy();
      unit.op.MessageBox("Illegal address!!", kDefaultCaption, MbButtons::Ok, MbIcon::Exclamation);
      return;
    }
  }
  unit.ShowBusy();
  unit.AcousticCheck(unit.status.replyText, wideband, address, channel);
  window.showReply(unit.status.replyText, kReplyHeader);
}

bool HardwareSelfTestAction(CTransponder& unit, BenchWindow& window) {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) return false;
  window.pull();
  window.paneText.clear();
  const bool answered = unit.HardwareSelfCheck(unit.status.replyText, true);
  window.showReply(unit.status.replyText, kReplyHeader);
  return answered;
}

bool ReleaseTestAction(CTransponder& unit, BenchWindow& window) {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) return false;
  window.pull();
  window.paneText.clear();
  const bool answered = unit.ReleaseCheck(unit.status.replyText, true);
  window.showReply(unit.status.replyText, kReplyHeader);
  return answered;
}

void SetAsTestTransponderAction(CTransponder& unit, BenchWindow& window) {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) return;
  window.pull();
  char scratch[CTransponder::kReplyTextSize];
  if (!unit.GetStatus("", scratch, true)) {
    unit.HideBusy();
    return;
  }
  window.paneText.clear();
  const bool wideband = ChooseWideband(unit);
  unit.ShowBusy();
  const bool ok = unit.SetAsTestTransponder(unit.status.replyText, wideband);
  TextSpan reply(unit.status.replyText);
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
  window.showReply(unit.status.replyText, kReplyHeader);
}

bool TestReportAction(CTransponder& unit, BenchWindow& window) {
  if (!ProduceTestReport(unit, window.paneText)) return false;
  window.push();
  return true;
}

void GetFileStatusAction(CTransponder& unit, BenchWindow& window) {
  window.pull();
  window.paneText = unit.FileStatusReport();
  window.push();
}

bool SetNewStatusAction(CTransponder& unit, BenchWindow& window) {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) return false;
  window.pull();
  window.paneText.clear();
  unit.GetStatus("", unit.status.replyText, true);
  const bool found = unit.LoadRequiredStatus(unit.status.currentStatus.UnitId);
  if (found) {
    unit.UpdateStatus();
    unit.GetStatus("", unit.status.replyText, true);
  } else {
    TextSpan(unit.status.replyText).Assign("No update information found");
  }
  window.showReply(unit.status.replyText, kNoReplyHeader);
  return found;
}

int ExportStatusAction(CTransponder& unit, BenchWindow&) { return unit.ExportStatus(); }

void LoadTestCommandsAction(CTransponder& unit, BenchWindow& window) { LoadCommandFile(unit, window); }

bool CommandButtonAction(CTransponder& unit, BenchWindow& window, int index) {
  return RunCommandButton(unit, window, index);
}

void ManualCommandAction(CTransponder& unit, BenchWindow& window) {
  std::vector<std::string> lines;
  unit.ListStoredUnits(lines);
  window.paneText.clear();
  for (const std::string& line : lines) window.paneText += line + "\r\n";
  window.push();
}
