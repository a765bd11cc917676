#include "ui/tester_dlg.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "firmware/bootload_action.h"
#include "platform/session_log.h"
#include "platform/text_numbers.h"
#include "ui/quickset_flow.h"
#include "status/status_report.h"
#include "ui/bench_actions.h"
#include "ui/command_file.h"

namespace {
// Controls hidden at start-up (and the progress bar, hidden separately).
// clang-format off
const int kHiddenAtStart[] = {ctl::kCommand1,     ctl::kCommand2,        ctl::kCommand3,
                              ctl::kCommand4,     ctl::kCommand5,        ctl::kCommand6,
                              ctl::kSetTime,      ctl::kSetAddress,      ctl::kDasCalibration,
                              ctl::kSetDepth,     ctl::kReset,           ctl::kManualCommand,
                              ctl::kSetNewStatus, ctl::kGetFileStatus,   ctl::kHardwareSelfTest,
                              ctl::kAcousticCheck, ctl::kSetAsTestTransponder, ctl::kRawReplies,
                              ctl::kInitialise,   ctl::kReadSensors,     ctl::kEnable,
                              ctl::kReleaseTest,  ctl::kFactoryDefaults, ctl::kSetSerialNumber,
                              ctl::kSynchOut,     ctl::kSynchIn,         ctl::kTestReport,
                              ctl::kExportStatus, ctl::kManualText};
// clang-format on

// The unit buttons that the first "General Status" reveals.
// clang-format off
const int kUnitActions[] = {ctl::kSetTime,      ctl::kSetAddress,      ctl::kDasCalibration, ctl::kSetDepth,
                            ctl::kReset,        ctl::kHardwareSelfTest, ctl::kAcousticCheck, ctl::kSetAsTestTransponder,
                            ctl::kInitialise,   ctl::kReadSensors,     ctl::kEnable,         ctl::kReleaseTest,
                            ctl::kFactoryDefaults, ctl::kTestReport};
// clang-format on

const std::string kNoText;
}  // namespace

CTesterDlg::CTesterDlg(CCommPort& port, IOperator& op, DataPaths paths, IDialogView* view)
    : unit(port, op, std::move(paths)), view_(view) {
  // Every control starts visible with its caption, as the window template has it; start-up
  // hides what must not show yet.
  for (const auto& c : MainControls()) controls_[c.id] = ControlState{true, c.text};
}

bool CTesterDlg::IsVisible(int id) const {
  auto it = controls_.find(id);
  return it != controls_.end() && it->second.visible;
}

const std::string& CTesterDlg::ControlText(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? kNoText : it->second.text;
}

void CTesterDlg::ShowControl(int id, bool visible) {
  auto it = controls_.find(id);
  if (it == controls_.end() || it->second.visible == visible) return;
  it->second.visible = visible;
  if (view_) view_->ControlChanged(*this, id);
}

void CTesterDlg::SetControlText(int id, const std::string& text) {
  auto it = controls_.find(id);
  if (it == controls_.end() || it->second.text == text) return;
  it->second.text = text;
  if (view_) view_->ControlChanged(*this, id);
}

void CTesterDlg::Pull() {
  if (view_) view_->Pull(*this);
}

void CTesterDlg::Push() {
  if (view_) view_->Push(*this);
}

// ---- start-up ----

bool CTesterDlg::OnInitDialog() {
  ShowControl(ctl::kProgress, false);
  ClearCommandEntries();
  title = std::string("Dranmere Test terminal V") + kProgramVersion;
  unit.paths.CreateFolders();
  actionsHidden = true;
  for (int id : kHiddenAtStart) ShowControl(id, false);
  searchTimer = kSearchTimerId;
  searchPending = true;
  if (view_) view_->StartTimer(searchTimer, 10);
  Push();
  return true;
}

void CTesterDlg::OnTimer(int id) {
  if (id != searchTimer || !searchPending) return;  // one shot
  searchPending = false;
  Pull();
  unit.ShowBusy();
  unit.SetBusyCaption("Searching for Velmoor");
  rawReplies = true;
  std::vector<bool> flags;
  std::vector<std::string> tried;
  unitPort = unit.FindUnitPort(1, CPortSelectDlg::kLastPort, flags, &tried);
  portSelect.SetPresent(flags);
  unit.HideBusy();
  if (unitPort > 0) {
    char text[64];
    std::snprintf(text, sizeof text, "Velmoor detected on Comm %d", unitPort);
    paneText = text;
  } else {
    // What each port did, in view while the operator chooses one.
    paneText = "No unit answered. The ports tried:";
    for (const auto& t : tried) paneText += "\r\n" + t;
    Push();
  }
  ConnectToUnit();
  lastReplyHeader = 0;
  actionsHidden = true;
  ShowUnitActions();
  unit.HideBusy();
  Push();
}

void CTesterDlg::ConnectToUnit() {
  if (unitPort == 0) {
    unit.HideBusy();
    if (!portSelect.Open()) {
      // The box ends the program and the pane with it: what the search found at each port
      // goes into the box, under the box's own words.
      std::string text = kNoPortsText;
      if (!paneText.empty()) text += "\r\n\r\n" + paneText;
      Push();  // the status line as it stands while the box is up
      unit.op.MessageBox(text, kNoPortsCaption, MbButtons::Ok, MbIcon::Stop);
    } else {
      PortChoice choice = unit.op.SelectPort(portSelect.PresentFlags());
      // Only the dialog's "no ports" says -1; a choice is a port or 0.
      portSelect.chosenPort = choice.chosenPort < 0 ? 0 : choice.chosenPort;
    }
    unitPort = portSelect.chosenPort;
  }
  if (unitPort < 0) {
    ended = true;
    endedOk = false;
    if (view_) view_->EndDialog(false);
    return;
  }
  unit.port.Close();
  unit.port.portNumber = unitPort;
  if (!unit.port.Open(true)) {
    Push();  // the status line names the port that failed while the box is up
    unit.op.MessageBox("Failed to connect to comm port!", kDefaultCaption, MbButtons::Ok, MbIcon::None);
    // Why, after the box: the device, the system's reason and the usual remedy.
    if (!paneText.empty()) paneText += "\r\n\r\n";
    paneText += CTransponder::OpenFailureText(unit.port.LastOpenReport());
  }
}

void CTesterDlg::ShowUnitActions() {
  if (actionsHidden) return;
  UpdateCommandButtons();
  for (int id : kUnitActions) ShowControl(id, true);
}

void CTesterDlg::ShowReply(const char* text, uint8_t header) {
  lastReplyHeader = header;
  const char* t = text ? text : "";
  if (rawReplies) {
    paneText = t;
  } else {
    paneText = header ? std::string(t) + "\r\n\r\n" : std::string();
    paneText += StatusReportText(unit.status.currentStatus);
  }
  unit.HideBusy();
  Push();
}

void CTesterDlg::ClearCommandEntries() {
  for (int i = 0; i < 6; ++i) {
    commandCaption[i].Clear();
    commandText[i].Clear();
  }
}

void CTesterDlg::UpdateCommandButtons() {
  for (int i = 0; i < 6; ++i) {
    const int id = ctl::kCommandButtons[i];
    if (!commandCaption[i].empty() && !commandText[i].empty()) {
      SetControlText(id, commandCaption[i].str());
      ShowControl(id, true);
    } else {
      ShowControl(id, false);
    }
  }
}

// ---- buttons ----

namespace {

Outcome Done() { return MakeOutcome(OutcomeKind::Done, {}); }
Outcome NoUnit() { return MakeOutcome(OutcomeKind::NoUnit, {}); }
Outcome Refused(std::string reason) { return MakeOutcome(OutcomeKind::Refused, {}, std::move(reason)); }

// The outcome as the unit's parts found it: a comms check that found no unit makes it NoUnit
// (PortFailed, with the port's diagnosis, when the port would not open), and a record that was
// not kept NotRecorded; it says whether the action read the status and the sensors.
void AddFindings(Outcome& o, const UnitFindings& found, const CTransponder& unit) {
  if (found.commsFailed && (o.kind == OutcomeKind::Done || o.kind == OutcomeKind::NoUnit)) {
    o.kind = OutcomeKind::NoUnit;
    if (o.reason.empty()) o.reason = "no valid comms: the unit did not answer";
  }
  if (o.kind == OutcomeKind::NoUnit && !unit.port.isOpen && !unit.port.LastOpenReport().opened &&
      !unit.port.LastOpenReport().reason.empty()) {
    MarkPortFailed(o, unit.port.LastOpenReport());
  }
  if (o.kind == OutcomeKind::Done && found.recordNotKept) {
    o.kind = OutcomeKind::NotRecorded;
    o.reason = "the unit's record could not be saved to the status file";
  }
  o.statusRead = found.statusRead;
  o.sensorsRead = found.sensorsRead;
  // Only a status read of this action says which readers failed (the mask stays from the last).
  if (o.failedReaders == 0 && found.statusRead) o.failedReaders = unit.status.partialMask;
}

}  // namespace

std::string CTesterDlg::ActionName(int id) const {
  const int index = CommandIndexOf(id);
  if (index >= 0) return "Command " + std::to_string(index + 1);
  const ControlSpec* c = FindControl(id);
  return c ? c->text : "control " + std::to_string(id);
}

std::string CTesterDlg::PortName() const {
  const int com = unit.port.isOpen ? unit.port.portNumber : unitPort;
  if (com <= 0) return {};
  std::string name = "COM" + std::to_string(com);
  const PortOpenReport& report = unit.port.LastOpenReport();
  if (report.comNumber == com && !report.device.empty()) name += " (" + report.device + ")";
  return name;
}

Outcome CTesterDlg::OnCommand(int id) {
  unit.link.findings = {};
  const auto started = std::chrono::steady_clock::now();
  const std::string name = ActionName(id);
  const int index = CommandIndexOf(id);
  LogOperationStart(name, index >= 0 ? commandText[index].str() : std::string());
  Outcome o = RunAction(id);
  o.action = name;
  AddFindings(o, unit.link.findings, unit);
  o.pane = paneText;
  LogOutcome(OutcomeSummary(o));
  if (history && id != ctl::kExit && id != ctl::kRawReplies) {
    historyContext.durationMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    historyContext.port = PortName();
    const std::string problem = history::RecordOutcome(*history, historyContext, o, unit.status.currentStatus,
                                                       unit.status.currentChecks, o.statusRead, o.sensorsRead);
    // Told once; the actions go on without history.
    if (!problem.empty() && historyProblemInBox) {
      unit.op.MessageBox(problem, "Unit history", MbButtons::Ok, MbIcon::Information);
    } else if (!problem.empty()) {
      LogEvent("history", EscapeBytes(problem));
      historyProblem = problem;
    }
  }
  return o;
}

// Every action of the window, one row each: the control, and what it runs.
// clang-format off
const CTesterDlg::ActionRow CTesterDlg::kActions[] = {
    {ctl::kGeneralStatus,   [](CTesterDlg& d) { return d.OnGeneralStatus(); }},
    {ctl::kReadSensors,     [](CTesterDlg& d) { return d.OnReadSensors(); }},
    {ctl::kSetTime,         [](CTesterDlg& d) { return d.OnSetTime(); }},
    {ctl::kReset,           [](CTesterDlg& d) { return d.OnReset(); }},
    {ctl::kSetDepth,        [](CTesterDlg& d) { return d.OnSetDepth(); }},
    {ctl::kSetSerialNumber, [](CTesterDlg& d) { return d.OnSetSerialNumber(); }},
    {ctl::kRawReplies,      [](CTesterDlg& d) { return d.OnRawReplies(); }},
    {ctl::kBootload,        [](CTesterDlg& d) { return d.OnBootload(); }},
    {ctl::kExit,            [](CTesterDlg& d) { return d.OnExit(); }},
    {ctl::kQuickSet,        [](CTesterDlg& d) { return RunQuickset(d.unit, d); }},
    {ctl::kSetAddress,      [](CTesterDlg& d) { return RunSetAddressAndChannels(d.unit, d); }},
    {ctl::kLoadCommands,    [](CTesterDlg& d) { return LoadCommandFile(d.unit, d); }},
    {ctl::kTestReport,      [](CTesterDlg& d) { return TestReportAction(d.unit, d); }},
    {ctl::kAcousticCheck,   [](CTesterDlg& d) { return AcousticCheckAction(d.unit, d); }},
    {ctl::kHardwareSelfTest, [](CTesterDlg& d) { return HardwareSelfTestAction(d.unit, d); }},
    {ctl::kSetAsTestTransponder, [](CTesterDlg& d) { return SetAsTestTransponderAction(d.unit, d); }},
    {ctl::kReleaseTest,     [](CTesterDlg& d) { return ReleaseTestAction(d.unit, d); }},
    {ctl::kGetFileStatus,   [](CTesterDlg& d) { return GetFileStatusAction(d.unit, d); }},
    {ctl::kSetNewStatus,    [](CTesterDlg& d) { return SetNewStatusAction(d.unit, d); }},
    {ctl::kManualCommand,   [](CTesterDlg& d) { return ManualCommandAction(d.unit, d); }},
    {ctl::kExportStatus,    [](CTesterDlg& d) { return ExportStatusAction(d.unit, d); }},
    {ctl::kInitialise,      SetUp<&CTransponder::InitialiseUnit, kReplyHeader>},
    {ctl::kEnable,          SetUp<&CTransponder::EnableUnit, kReplyHeader>},
    {ctl::kFactoryDefaults, SetUp<&CTransponder::InstallFactoryDefaults, kReplyHeader>},
    {ctl::kSynchOut,        SetUp<&CTransponder::TestSynchOut, kReplyHeader>},
    {ctl::kSynchIn,         SetUp<&CTransponder::EnableSynchIn, kReplyHeader>},
    {ctl::kDasCalibration,  SetUp<&CTransponder::EnterDasCalibration, kReplyHeaderDasCalibration>},
};
// clang-format on

Outcome CTesterDlg::RunAction(int id) {
  // The command buttons run the command file's commands.
  const int index = CommandIndexOf(id);
  if (index >= 0) return RunCommandButton(unit, *this, index);
  for (const ActionRow& row : kActions)
    if (row.id == id) return row.run(*this);
  return Refused("no such control");
}

bool CTesterDlg::BeginUnitAction(bool emptyPane) {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) return false;
  if (emptyPane) {
    Pull();
    paneText.clear();
  }
  return true;
}

Outcome CTesterDlg::SendAndShow(void (CTransponder::*send)(TextSpan), uint8_t header) {
  if (!BeginUnitAction()) return NoUnit();
  (unit.*send)(Reply());
  ShowReply(replyText, header);
  return Done();
}

Outcome CTesterDlg::OnGeneralStatus() {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) {
    actionsHidden = false;
    ShowUnitActions();
    return NoUnit();
  }
  Pull();
  paneText.clear();
  const bool whole = unit.GetStatus("", replyText, true);
  actionsHidden = false;
  ShowUnitActions();
  ShowReply(replyText, kNoReplyHeader);
  if (whole) return Done();
  Outcome o = Refused("the status read was incomplete: " + unit.status.statusMessage);
  o.failedReaders = unit.status.partialMask;
  return o;
}

Outcome CTesterDlg::OnReadSensors() {
  if (!BeginUnitAction()) return NoUnit();
  const bool answered = unit.ReadSensors(Reply());
  ShowReply(replyText, kReplyHeader);
  return answered ? Done() : Refused("the unit did not answer the sensor reading");
}

Outcome CTesterDlg::OnReset() {
  unit.ShowBusy();
  Pull();
  paneText.clear();
  const bool back = unit.BreakReset(replyText);
  ShowReply(replyText, kReplyHeader);
  return back ? Done() : Refused("the unit did not come back from the comms-break reset");
}

Outcome CTesterDlg::OnSetTime() {
  if (!BeginUnitAction()) return NoUnit();
  const bool answered = unit.SetClock(unit.localNow(), replyText);
  ShowReply(replyText, kReplyHeader);
  return answered ? Done() : Refused("the unit did not take the time");
}

std::string CTesterDlg::PressureRefusedText(int pressure) {
  char text[160];
  std::snprintf(text, sizeof text,
                "Pressure %d millibars refused: it must lie between 751 and 1249\r\nDepth offset not set", pressure);
  return text;
}

Outcome CTesterDlg::OnSetDepth() {
  if (!unit.CheckComms(3)) return NoUnit();
  Pull();
  paneText.clear();
  std::string entered =
      unit.op.AskEntry(Prompt::AtmosphericPressure, "Enter Atmospheric pressure in millibars", "1000", true)
          .value_or("1000");
  // The leading decimal number, as the standard conversion reads it, held to the int's range
  // (anything that large is refused as out of range anyway).
  const int pressure = textnum::LeadingInt(entered.c_str(), textnum::Blanks::kCSpace);
  unit.ShowBusy();
  Outcome o = Done();
  if (!unit.SetDepthOffset(pressure, replyText)) {
    if (pressure <= 750 || pressure >= 1250) {
      // Nothing was sent: say so rather than show the previous action's reply again.
      TextSpan(replyText).Assign(PressureRefusedText(pressure));
      o = Refused("pressure " + std::to_string(pressure) + " millibars is out of range");
    } else {
      o = Refused("the unit did not take the depth offset");
    }
  }
  ShowReply(replyText, kReplyHeader);
  return o;
}

Outcome CTesterDlg::OnSetSerialNumber() {
  if (!unit.CheckComms(3)) return NoUnit();
  std::string entered =
      unit.op.AskEntry(Prompt::SerialNumber, "Enter serial number as xxxxx-yy", "", true).value_or("");
  unit.ShowBusy();
  const bool set = unit.SetSerialNumber(entered.c_str(), replyText);
  ShowReply(replyText, kReplyHeader);
  return set ? Done() : Refused("the serial number was not set");
}

Outcome CTesterDlg::OnRawReplies() {
  Pull();
  ShowReply(replyText, lastReplyHeader);
  return Done();
}

Outcome CTesterDlg::OnBootload() {
  Pull();
  Outcome o = BootloadNewProgram(unit.loader);
  paneText = o.pane;
  if (!o.pane.empty()) Push();
  return o;
}

Outcome CTesterDlg::OnExit() {
  ended = true;
  endedOk = true;
  if (view_) view_->EndDialog(true);
  return Done();
}

void CTesterDlg::OnCancel() {
  ended = true;
  endedOk = false;
  if (view_) view_->EndDialog(false);
}
