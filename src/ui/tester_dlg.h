// The main window: its fields, the state of its controls, the start-up search for the unit
// and every button's action. It knows no toolkit: the window that draws it implements
// IDialogView, which copies control values into the fields (pull) and the fields into the
// controls (push), and is told when a control is shown, hidden or renamed.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "history/record_outcome.h"
#include "platform/fixed_text.h"
#include "platform/main_window.h"
#include "platform/version.h"
#include "ui/quickset_flow.h"
#include "unit/transponder.h"
#include "ui/main_controls.h"
#include "ui/small_dialogs.h"

class CTesterDlg;

class IDialogView {
 public:
  virtual ~IDialogView() = default;
  // Copies the controls' values into the fields: the raw-replies check box and the edit box.
  virtual void Pull(CTesterDlg& dlg) = 0;
  // Copies the fields into the controls: the pane text, the check box, the edit box, the title.
  virtual void Push(const CTesterDlg& dlg) = 0;
  // A control was shown, hidden or given a new text (at once, not at the next push).
  virtual void ControlChanged(const CTesterDlg& dlg, int id) = 0;
  // Starts the one-shot search timer; when it fires the window calls OnTimer(id).
  virtual void StartTimer(int id, int milliseconds) = 0;
  // Closes the main window, which ends the program (ok: as by "Exit"; else as cancelled).
  virtual void EndDialog(bool ok) = 0;
};

inline constexpr int kSearchTimerId = 1;

class CTesterDlg : public IMainWindow {
 public:
  // view may be null (tests): pulls and pushes then do nothing.
  CTesterDlg(CCommPort& port, IOperator& op, DataPaths paths, IDialogView* view = nullptr);
  CTesterDlg(const CTesterDlg&) = delete;
  CTesterDlg& operator=(const CTesterDlg&) = delete;

  void SetView(IDialogView* view) { view_ = view; }

  // ---- fields ----
  bool actionsHidden = true;
  uint8_t lastReplyHeader = 0;
  int unitPort = 0;  // 0 not found, -1 no ports at all, else the COM number
  int32_t commandTimeout[6] = {};
  FixedText<200> commandText[6];
  FixedText<50> commandCaption[6];
  std::string paneText;
  // The reply the last operation left for the pane (2,500 characters at most).
  char replyText[CTransponder::kReplyTextSize] = {};
  bool rawReplies = false;
  std::string manualText;
  int searchTimer = 0;
  bool searchPending = false;
  std::string title;
  bool ended = false;    // the window has been closed
  bool endedOk = false;  // closed as OK ("Exit") rather than cancelled
  CPortSelectDlg portSelect;
  CTransponder unit;
  // The unit history that each action's outcome goes to, as the action ends (after the status
  // file was saved); null: none kept. The program opens it and sets the context.
  history::HistoryStore* history = nullptr;
  history::HistoryContext historyContext;
  // A history that cannot be written is told once: in a box of the operator's, or, when
  // historyProblemInBox is false (the window), left here for the view to tell without stopping
  // the bench, and written to the session log.
  bool historyProblemInBox = true;
  std::string historyProblem;

  // ---- controls ----
  bool IsVisible(int id) const;
  const std::string& ControlText(int id) const;
  void ShowControl(int id, bool visible);
  void SetControlText(int id, const std::string& text);

  // ---- data exchange ----
  void Pull() override;
  void Push() override;
  std::string& PaneText() override { return paneText; }
  TextSpan Reply() override { return TextSpan(replyText); }

  // ---- start-up and the window's own operations ----
  bool OnInitDialog();
  void OnTimer(int id);
  void ConnectToUnit();
  void ShowUnitActions();
  void ShowReply(const char* text, uint8_t header) override;
  void ClearCommandEntries();
  void UpdateCommandButtons();

  // ---- buttons ----
  // Runs the action of a control and returns what happened; the session log gets its start,
  // its boxes and questions (through the operator) and its outcome. Every action may talk to
  // the unit except "Exit", which the window runs itself (RunsOnWorker false): it only closes
  // the window.
  Outcome OnCommand(int id);
  static bool RunsOnWorker(int id) { return id != ctl::kExit; }
  void OnCancel();  // the Esc key
  // The action's name as the operator knows it: the button's caption ("General Status"), or
  // "Command N" for a command button.
  std::string ActionName(int id) const;
  // The port as the unit history names it: "COM3 (/dev/ttyUSB0)"; empty while none is chosen.
  std::string PortName() const;

  // The start of most unit actions: busy window, comms check (which has said "No valid
  // comms" when it fails), then, when emptyPane, pull and empty the pane.
  bool BeginUnitAction(bool emptyPane = true);
  // Text of the pane for a pressure refused before anything was sent.
  static std::string PressureRefusedText(int pressure);
  // What the quick set and the address dialog's action need of this window.

 private:
  // The action itself, without the log and the outcome's common parts.
  Outcome RunAction(int id);
  Outcome OnGeneralStatus();
  Outcome OnReadSensors();
  Outcome OnSetTime();
  Outcome OnReset();
  Outcome OnSetDepth();
  Outcome OnSetSerialNumber();
  Outcome OnRawReplies();
  Outcome OnBootload();
  Outcome OnExit();
  // A set-up command that only sends and shows the reply under the status report.
  Outcome SendAndShow(void (CTransponder::*send)(TextSpan reply), uint8_t header);
  template <void (CTransponder::*send)(TextSpan), uint8_t header>
  static Outcome SetUp(CTesterDlg& d) {
    return d.SendAndShow(send, header);
  }

  // The window's actions: the control, and what it runs.
  struct ActionRow {
    int id;
    Outcome (*run)(CTesterDlg&);
  };
  static const ActionRow kActions[];

  struct ControlState {
    bool visible = false;
    std::string text;
  };
  std::map<int, ControlState> controls_;
  IDialogView* view_ = nullptr;
};
