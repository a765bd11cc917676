// The main window drawn with Qt. It builds one widget per control of the main-window table,
// binds them to the toolkit-free CTesterDlg (pull and push, shown and hidden, captions), and
// hands every click to the worker thread, one action at a time. While an action runs the
// window takes no input.
#pragma once
#include <QDialog>
#include <QPointer>
#include <map>
#include <optional>

#include "history/site_sender.h"
#include "ui/connection_status.h"
#include "ui/unit_dossier.h"
#include "ui/tester_dlg.h"

class QPlainTextEdit;
class QProgressBar;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class UnitWorker;
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
  // the status line shows how sending goes, a problem's first time of its kind is told between
  // actions, and the dossier reads the site.
  void SetSite(history::SiteSender* sender, const history::SiteSetting& setting);
  HistoryWindow* historyWindow() const { return historyWindow_; }
  // The window's own height in dialog units: the controls' area and the status line under it
  // (two lines: the port and unit, then what changed since the unit's last visit).
  static constexpr int kStatusLineHeightDu = 20;
  bool actionRunning() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Build();
  void ApplyControl(int id);
  void ActionFinished();
  // Draws the status line; once a second also looks whether the port's device still exists,
  // and tells the operator, once, when the session log cannot be written.
  void DrawStatusLine();
  void EverySecond();
  // The status line's state: the dialog's, with the note of the unit's last visit.
  ConnectionStatus StatusNow() const;

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
  std::optional<UnitDossier> dossierRead_;  // read on the worker; the window opens when it ends
  int32_t dossierUnit_ = -1;
  history::SiteSender* site_ = nullptr;
  history::SiteSetting siteSetting_;
  QPointer<QMessageBox> siteBox_;  // the site's problem being told
  // Made on the worker thread at the end of an action that read the status; read on the GUI
  // thread once the worker is idle (or blocked in a Push).
  std::string visitNote_;
  int32_t visitNoteUnit_ = -1;
  ConnectionStatus status_;
  bool logFailureShown_ = false;
  int pendingEnd_ = -1;  // a close asked for while an action ran: 1 ok, 0 cancelled
};
