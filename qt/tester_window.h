// The main window drawn with Qt. It builds one widget per control of the main-window table,
// binds them to the toolkit-free CTesterDlg (pull and push, shown and hidden, captions), and
// hands every click to the worker thread, one action at a time. While an action runs the
// window takes no input, and reads nothing of the dialog's state: the IDialogView calls carry
// values made on the calling thread, and an action's end brings what it produced by value.
#pragma once
#include <QDialog>
#include <QPointer>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "site/site_sender.h"
#include "ui/connection_status.h"
#include "ui/unit_dossier.h"
#include "ui/tester_dlg.h"
#include "unit_worker.h"

class QPlainTextEdit;
class QProgressBar;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class DialogUnits;
class HistoryWindow;

class TesterWindow : public QDialog, public IDialogView {
  Q_OBJECT

 public:
  TesterWindow(CTesterDlg& dlg, UnitWorker& worker, QWidget* parent = nullptr);

  // IDialogView: may be called from the worker thread; carried to the GUI thread.
  void Pull(CTesterDlg& dlg) override;
  void Push(const CTesterDlg& dlg) override;
  void ControlChanged(const CTesterDlg& dlg, int id) override;
  void StartTimer(int id, int milliseconds) override;
  void EndDialog(bool ok) override;

  // A click on a control: runs its action unless one is running.
  void Click(int id);
  // Esc: the window closes as cancelled (not while an action runs).
  void reject() override;

  void ShowProgress(bool visible);
  void SetProgress(int percent);

  QWidget* control(int id) const;
  QPushButton* button(int id) const;
  QPlainTextEdit* pane() const { return pane_; }
  QProgressBar* progress() const { return progress_; }
  QLabel* statusLine() const { return statusLine_; }
  // "History", beside the unit buttons when a unit history is kept: opens the unit's dossier
  // once it is read (on the worker thread: from the site, when one is set, which may take the
  // connection's time-out while the window stays responsive).
  QPushButton* historyButton() const { return historyButton_; }
  void ShowHistory();
  // The site's sender and its setting, when a site is chosen (the sender outlives the window):
  // the status line shows how sending goes, a problem's first time of its kind is told in the
  // pane between actions, and the dossier reads the site.
  void SetSite(history::SiteSender* sender, const history::SiteSetting& setting);
  // Whether a unit history was asked for (not --no-history) and is open, as the program
  // started; one asked for and not kept shows in the status line.
  void SetHistory(bool wanted, bool kept);
  // A problem of the unit history's or the site setting's: told in the pane when the action
  // under way (at start-up, the search) has ended, and in the session log, once; no box.
  void TellHistoryProblem(const std::string& problem);
  HistoryWindow* historyWindow() const { return historyWindow_; }
  // The window's own height in dialog units: the controls' area and the status line under it
  // (two lines: the port and unit, then what changed since the unit's last visit).
  static constexpr int kStatusLineHeightDu = 20;
  bool actionRunning() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // A control as the dialog's state has it, read on the thread that calls.
  struct ControlView {
    QString text;
    bool visible = false;
    bool historyButton = false;  // "History" is shown (beside "Read sensors")
  };
  static ControlView ViewOf(const CTesterDlg& dlg, int id);
  // The window's widgets: the status line, one widget per control of the table (NewControl),
  // and "History".
  void Build();
  void BuildStatusLine(const DialogUnits& du);
  QWidget* NewControl(const ControlSpec& c);
  void BuildHistoryButton(const DialogUnits& du);
  void ApplyControl(int id, const ControlView& view);
  // Starts an action on the worker; body runs there, and the action's result gets the port and
  // unit as the action left them.
  bool StartAction(std::function<void(ActionResult&)> body);
  void ActionFinished(const ActionResult& result);
  // Draws the status line; once a second also looks whether the port's device still exists,
  // and tells the operator, once, when the session log cannot be written.
  void DrawStatusLine();
  void EverySecond();
  // Tells the notes waiting in the pane, under what it shows (between actions only).
  void ShowPaneNotes();
  // The status line's state: the dialog's (read where the dialog was), with what the window
  // keeps: the note of the unit's last visit and the history's state.
  ConnectionStatus WithNotes(ConnectionStatus s) const;

  CTesterDlg& dlg_;
  UnitWorker& worker_;
  std::map<int, QWidget*> controls_;
  QPlainTextEdit* pane_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QCheckBox* rawReplies_ = nullptr;
  QLineEdit* manualText_ = nullptr;
  QLabel* statusLine_ = nullptr;
  QPushButton* historyButton_ = nullptr;
  HistoryWindow* historyWindow_ = nullptr;
  history::SiteSender* site_ = nullptr;
  history::SiteSetting siteSetting_;
  // The GUI thread's own copies of what the actions produced.
  std::string visitNote_;
  int32_t visitNoteUnit_ = -1;
  ConnectionStatus status_;
  bool historyWanted_ = false;
  bool historyKept_ = false;
  bool historyLostEvent_ = false;       // an event of this session could not be written
  std::vector<std::string> paneNotes_;  // told in the pane when the running action has ended
  bool logFailureShown_ = false;
  int pendingEnd_ = -1;  // a close asked for while an action ran: 1 ok, 0 cancelled
};
