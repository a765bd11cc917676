#include "ui/tester_dlg.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "firmware/bootload_action.h"
#include "platform/text_numbers.h"
#include "quickset/quickset_flow.h"
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

void CTesterDlg::OnCommand(int id) {
  const int index = CommandIndexOf(id);
  if (index >= 0) return OnCommandButton(index);
  switch (id) {
    case ctl::kQuickSet: return OnQuickSet();
    case ctl::kGeneralStatus: return OnGeneralStatus();
    case ctl::kTestReport: return OnTestReport();
    case ctl::kSetAddress: return OnSetAddress();
    case ctl::kReadSensors: OnReadSensors(); return;
    case ctl::kInitialise: return OnInitialise();
    case ctl::kSetTime: OnSetTime(); return;
    case ctl::kReset: return OnReset();
    case ctl::kFactoryDefaults: return OnFactoryDefaults();
    case ctl::kSetDepth: return OnSetDepth();
    case ctl::kAcousticCheck: return OnAcousticCheck();
    case ctl::kHardwareSelfTest: return OnHardwareSelfTest();
    case ctl::kSetAsTestTransponder: return OnSetAsTestTransponder();
    case ctl::kReleaseTest: return OnReleaseTest();
    case ctl::kEnable: return OnEnable();
    case ctl::kDasCalibration: return OnDasCalibration();
    case ctl::kSetSerialNumber: return OnSetSerialNumber();
    case ctl::kSynchOut: return OnSynchOut();
    case ctl::kSynchIn: return OnSynchIn();
    case ctl::kGetFileStatus: return OnGetFileStatus();
    case ctl::kSetNewStatus: return OnSetNewStatus();
    case ctl::kManualCommand: return OnManualCommand();
    case ctl::kRawReplies: return OnRawReplies();
    case ctl::kExportStatus: return OnExportStatus();
    case ctl::kBootload: return OnBootload();
    case ctl::kLoadCommands: return OnLoadCommands();
    case ctl::kExit: return OnExit();
    default: return;
  }
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

void CTesterDlg::OnGeneralStatus() {
  unit.ShowBusy();
  if (!unit.CheckComms(3)) {
    actionsHidden = false;
    ShowUnitActions();
    return;
  }
  Pull();
  paneText.clear();
  unit.GetStatus("", unit.status.replyText, true);
  actionsHidden = false;
  ShowUnitActions();
  ShowReply(unit.status.replyText, kNoReplyHeader);
}

bool CTesterDlg::OnReadSensors() {
  if (!BeginUnitAction()) return false;
  const bool answered = unit.ReadSensors();
  ShowReply(unit.status.replyText, kReplyHeader);
  return answered;
}

void CTesterDlg::OnReset() {
  unit.ShowBusy();
  Pull();
  paneText.clear();
  unit.BreakReset(unit.status.replyText);
  ShowReply(unit.status.replyText, kReplyHeader);
}

bool CTesterDlg::OnSetTime() {
  if (!BeginUnitAction()) return false;
  const bool answered = unit.SetClock(unit.localNow(), unit.status.replyText);
  ShowReply(unit.status.replyText, kReplyHeader);
  return answered;
}

std::string CTesterDlg::PressureRefusedText(int pressure) {
  char text[160];
  std::snprintf(text, sizeof text,
                "Pressure %d millibars refused: it must lie between 751 and 1249\r\nDepth offset not set", pressure);
  return text;
}

void CTesterDlg::OnSetDepth() {
  if (!unit.CheckComms(3)) return;
  Pull();
  paneText.clear();
  std::string entered = unit.op.Entry("Enter Atmospheric pressure in millibars", "1000", true).value_or("1000");
  // The leading decimal number, as the standard conversion reads it, held to the int's range
  // (anything that large is refused as out of range anyway).
  const int pressure = textnum::LeadingInt(entered.c_str(), textnum::Blanks::kCSpace);
  unit.ShowBusy();
  if (!unit.SetDepthOffset(pressure, unit.status.replyText) && (pressure <= 750 || pressure >= 1250)) {
    // Nothing was sent: say so rather than show the previous action's reply again.
    TextSpan(unit.status.replyText).Assign(PressureRefusedText(pressure));
  }
  ShowReply(unit.status.replyText, kReplyHeader);
}

void CTesterDlg::OnSetSerialNumber() {
  if (!unit.CheckComms(3)) return;
  std::string entered = unit.op.Entry("Enter serial number as xxxxx-yy", "", true).value_or("");
  unit.ShowBusy();
  unit.SetSerialNumber(entered.c_str(), unit.status.replyText);
  ShowReply(unit.status.replyText, kReplyHeader);
}

void CTesterDlg::OnDasCalibration() {
  if (!BeginUnitAction()) return;
  unit.EnterDasCalibration(unit.status.replyText);
  ShowReply(unit.status.replyText, kReplyHeaderDasCalibration);
}

void CTesterDlg::OnInitialise() {
  if (!BeginUnitAction()) return;
  unit.InitialiseUnit();
  ShowReply(unit.status.replyText, kReplyHeader);
}

void CTesterDlg::OnEnable() {
  if (!BeginUnitAction()) return;
  unit.EnableUnit();
  ShowReply(unit.status.replyText, kReplyHeader);
}

void CTesterDlg::OnFactoryDefaults() {
  if (!BeginUnitAction()) return;
  unit.InstallFactoryDefaults();
  ShowReply(unit.status.replyText, kReplyHeader);
}

void CTesterDlg::OnSynchOut() {
  if (!BeginUnitAction()) return;
  unit.TestSynchOut();
  ShowReply(unit.status.replyText, kReplyHeader);
}

void CTesterDlg::OnSynchIn() {
  if (!BeginUnitAction()) return;
  unit.EnableSynchIn();
  ShowReply(unit.status.replyText, kReplyHeader);
}

void CTesterDlg::OnRawReplies() {
  Pull();
  ShowReply(unit.status.replyText, lastReplyHeader);
}

MainWindowHooks CTesterDlg::Hooks() {
  MainWindowHooks hooks;
  hooks.pullFields = [this] { Pull(); };
  hooks.setPaneText = [this](const std::string& text) { paneText = text; };
  hooks.pushFields = [this] { Push(); };
  hooks.showReply = [this](const char* text, int header) { ShowReply(text, static_cast<uint8_t>(header)); };
  return hooks;
}

void CTesterDlg::OnQuickSet() { RunQuickset(unit, Hooks()); }
void CTesterDlg::OnSetAddress() { RunSetAddressAndChannels(unit, Hooks()); }

void CTesterDlg::OnTestReport() {
  BenchWindow w = BenchWindowOf(*this);
  TestReportAction(unit, w);
}

void CTesterDlg::OnAcousticCheck() {
  BenchWindow w = BenchWindowOf(*this);
  AcousticCheckAction(unit, w);
}

void CTesterDlg::OnHardwareSelfTest() {
  BenchWindow w = BenchWindowOf(*this);
  HardwareSelfTestAction(unit, w);
}

void CTesterDlg::OnSetAsTestTransponder() {
  BenchWindow w = BenchWindowOf(*this);
  SetAsTestTransponderAction(unit, w);
}

void CTesterDlg::OnReleaseTest() {
  BenchWindow w = BenchWindowOf(*this);
  ReleaseTestAction(unit, w);
}

void CTesterDlg::OnCommandButton(int index) {
  BenchWindow w = BenchWindowOf(*this);
  CommandButtonAction(unit, w, index);
}

void CTesterDlg::OnGetFileStatus() {
  BenchWindow w = BenchWindowOf(*this);
  GetFileStatusAction(unit, w);
}

void CTesterDlg::OnSetNewStatus() {
  BenchWindow w = BenchWindowOf(*this);
  SetNewStatusAction(unit, w);
}

void CTesterDlg::OnManualCommand() {
  BenchWindow w = BenchWindowOf(*this);
  ManualCommandAction(unit, w);
}

void CTesterDlg::OnExportStatus() {
  BenchWindow w = BenchWindowOf(*this);
  ExportStatusAction(unit, w);
}

void CTesterDlg::OnBootload() {
  Pull();
  if (BootloadNewProgram(unit, paneText)) Push();
}

void CTesterDlg::OnLoadCommands() {
  BenchWindow w = BenchWindowOf(*this);
  LoadTestCommandsAction(unit, w);
}

void CTesterDlg::OnExit() {
  ended = true;
  endedOk = true;
  if (view_) view_->EndDialog(true);
}

void CTesterDlg::OnCancel() {
  ended = true;
  endedOk = false;
  if (view_) view_->EndDialog(false);
}
