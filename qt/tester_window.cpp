#include "tester_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <utility>

#include "dialog_units.h"
#include "history/visit_note.h"
#include "history_window.h"
#include "platform/session_log.h"
#include "gui_thread.h"
#include "qt_operator.h"
#include "unit_worker.h"

namespace {
// The window's icon: a transponder sending a ping.
QIcon ProgramIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(18, 74, 112));
  p.drawRoundedRect(QRectF(3, 9, 9, 14), 2, 2);
  p.setBrush(Qt::NoBrush);
  for (int k = 0; k < 3; ++k) {
    p.setPen(QPen(QColor(40, 150, 210), 2));
    const double r = 8 + 6 * k;
    p.drawArc(QRectF(12 - r, 16 - r, 2 * r, 2 * r), -40 * 16, 80 * 16);
  }
  return QIcon(pixmap);
}
}  // namespace

TesterWindow::TesterWindow(CTesterDlg& dlg, UnitWorker& worker, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), dlg_(dlg), worker_(worker) {
  setObjectName("mainWindow");
  // The window's font: the one its template names when the machine has it, else a sans serif
  // of the same size.
  QFont f("MS Sans Serif");
  f.setStyleHint(QFont::SansSerif);
  f.setPointSize(8);
  setFont(f);
  setWindowIcon(ProgramIcon());
  Build();
  connect(&worker_, &UnitWorker::finished, this, [this](const ActionResult& r) { ActionFinished(r); });
  auto* second = new QTimer(this);
  connect(second, &QTimer::timeout, this, [this] { EverySecond(); });
  second->start(1000);
}

void TesterWindow::Build() {
  const DialogUnits du(font());
  setFixedSize(du.Size(kMainWindowWidthDu, kMainWindowHeightDu + kStatusLineHeightDu));
  BuildStatusLine(du);
  for (const ControlSpec& c : MainControls()) {
    QWidget* w = NewControl(c);
    w->setObjectName(QString("control%1").arg(c.id));
    w->setGeometry(du.Rect(c.x, c.y, c.w, c.h));
    w->setAccessibleName(QString::fromLatin1(c.text));
    controls_[c.id] = w;
  }
  // "Quick set" in the larger font; "General Status" is the default button (Enter runs it).
  if (auto* q = button(ctl::kQuickSet)) {
    QFont big = q->font();
    big.setPixelSize(24);
    q->setFont(big);
  }
  if (auto* g = button(ctl::kGeneralStatus)) {
    g->setAutoDefault(true);
    g->setDefault(true);
    g->setFocus();
  }
  BuildHistoryButton(du);
  // Built before any action runs.
  for (const ControlSpec& c : MainControls()) ApplyControl(c.id, ViewOf(dlg_, c.id));
}

void TesterWindow::BuildStatusLine(const DialogUnits& du) {
  // The status line, under every control of the window.
  statusLine_ = new QLabel(this);
  statusLine_->setObjectName("statusLine");
  // No fixed accessible name: a screen reader reads the line's text, as it is drawn.
  statusLine_->setAccessibleDescription("The port, the unit, the unit history and the site");
  statusLine_->setGeometry(du.Rect(7, kMainWindowHeightDu - 2, kMainWindowWidthDu - 14, kStatusLineHeightDu - 2));
  statusLine_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  statusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  DrawStatusLine();
}

QWidget* TesterWindow::NewControl(const ControlSpec& c) {
  const QString text = QString::fromLatin1(c.text);
  switch (c.kind) {
    case ControlKind::Button: {
      auto* b = new QPushButton(text, this);
      b->setAutoDefault(false);
      connect(b, &QPushButton::clicked, this, [this, id = c.id] { Click(id); });
      return b;
    }
    case ControlKind::CheckBox:
      rawReplies_ = new QCheckBox(text, this);
      connect(rawReplies_, &QCheckBox::clicked, this, [this, id = c.id] { Click(id); });
      return rawReplies_;
    case ControlKind::Edit: return manualText_ = new QLineEdit(this);
    case ControlKind::Pane:
      pane_ = new QPlainTextEdit(this);
      pane_->setReadOnly(true);
      pane_->setLineWrapMode(QPlainTextEdit::NoWrap);
      pane_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      pane_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      pane_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
      return pane_;
    case ControlKind::Progress:
      progress_ = new QProgressBar(this);
      progress_->setRange(0, 100);
      progress_->setTextVisible(false);
      return progress_;
  }
  return nullptr;
}

void TesterWindow::BuildHistoryButton(const DialogUnits& du) {
  // "History": beside "Set time", in the row's empty right-hand place; shown with the unit
  // buttons when a history is kept.
  historyButton_ = new QPushButton("History", this);
  historyButton_->setObjectName("historyButton");
  historyButton_->setAutoDefault(false);
  historyButton_->setGeometry(du.Rect(395, 100, 125, 14));
  historyButton_->setToolTip("The unit's visits, what changed since the last one, its measured values over time");
  connect(historyButton_, &QPushButton::clicked, this, [this] { ShowHistory(); });
}

void TesterWindow::ShowHistory() {
  // The unit is the one the status line shows: the window's own copy.
  const int32_t unitId = status_.unitId;
  if (worker_.Busy() || !historyKept_ || unitId < 0) return;
  // The store belongs to the worker thread; the window opens when the action has ended.
  const std::optional<history::SiteSetting> site = site_ ? std::optional(siteSetting_) : std::nullopt;
  // A site the sender finds away is not waited for again here.
  history::SiteProblem away = site_ ? site_->State().problem : history::SiteProblem{};
  if (!history::SiteAway(away)) away = {};
  StartAction([this, unitId, site, away](ActionResult& r) {
    if (!dlg_.history) return;
    r.dossier = ReadUnitDossier(*dlg_.history, site ? &*site : nullptr, unitId, DateTime::NowUtc(), away);
    r.dossierUnit = unitId;
  });
}

void TesterWindow::SetHistory(bool wanted, bool kept) {
  historyWanted_ = wanted;
  historyKept_ = kept;
  status_ = WithNotes(status_);
  DrawStatusLine();
}

void TesterWindow::TellHistoryProblem(const std::string& problem) {
  if (problem.empty()) return;
  LogEvent("history", EscapeBytes(problem));
  paneNotes_.push_back(problem);
}

void TesterWindow::SetSite(history::SiteSender* sender, const history::SiteSetting& setting) {
  site_ = sender;
  siteSetting_ = setting;
  DrawStatusLine();
}

ConnectionStatus TesterWindow::WithNotes(ConnectionStatus s) const {
  s.visitNote = s.unitId >= 0 && s.unitId == visitNoteUnit_ ? visitNote_ : std::string();
  s.history.clear();
  if (historyWanted_ && !historyKept_) s.history = "no unit history";
  else if (historyLostEvent_) s.history = "unit history: an event was not written";
  return s;
}

QWidget* TesterWindow::control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QPushButton* TesterWindow::button(int id) const { return qobject_cast<QPushButton*>(control(id)); }

bool TesterWindow::actionRunning() const { return worker_.Busy(); }

TesterWindow::ControlView TesterWindow::ViewOf(const CTesterDlg& dlg, int id) {
  ControlView v;
  v.text = QString::fromStdString(dlg.ControlText(id));
  v.visible = dlg.IsVisible(id);
  v.historyButton = id == ctl::kReadSensors && dlg.history && v.visible;
  return v;
}

void TesterWindow::ApplyControl(int id, const ControlView& v) {
  QWidget* w = control(id);
  if (!w) return;
  if (auto* b = qobject_cast<QPushButton*>(w)) {
    if (b->text() != v.text) b->setText(v.text);
    b->setAccessibleName(v.text);
  } else if (auto* c = qobject_cast<QCheckBox*>(w)) {
    c->setText(v.text);
    c->setAccessibleName(v.text);
  }
  w->setVisible(v.visible);
  if (id == ctl::kReadSensors) historyButton_->setVisible(v.historyButton);
}

void TesterWindow::Pull(CTesterDlg& dlg) {
  bool raw = false;
  std::string manual;
  RunOnGui(this, [&] {
    raw = rawReplies_->isChecked();
    manual = manualText_->text().toStdString();
  });
  dlg.rawReplies = raw;
  dlg.manualText = manual;
}

void TesterWindow::Push(const CTesterDlg& dlg) {
  // Read here, on the thread that owns the dialog; the GUI thread gets the values.
  const QString text = ToDisplayText(dlg.paneText);
  const bool raw = dlg.rawReplies;
  const QString manual = QString::fromStdString(dlg.manualText);
  const QString title = QString::fromStdString(dlg.title);
  const ConnectionStatus connection = ConnectionStatus::Of(dlg);
  RunOnGui(this, [&] {
    if (pane_->toPlainText() != text) {
      pane_->setPlainText(text);  // the pane shows the first line of the new text
      pane_->moveCursor(QTextCursor::Start);
      pane_->verticalScrollBar()->setValue(0);
      pane_->horizontalScrollBar()->setValue(0);
    }
    rawReplies_->setChecked(raw);
    manualText_->setText(manual);
    setWindowTitle(title);
    status_ = WithNotes(connection);
    DrawStatusLine();
  });
}

void TesterWindow::DrawStatusLine() {
  // A device path that no longer exists: the adapter was pulled out since the last action.
  const bool present =
      status_.device.rfind("/dev/", 0) != 0 || QFileInfo::exists(QString::fromStdString(status_.device));
  status_.site = site_ ? history::SiteStatusText(site_->State()) : std::string();
  const QString text = QString::fromStdString(status_.Text(present));
  if (statusLine_->text() != text) statusLine_->setText(text);
}

void TesterWindow::EverySecond() {
  DrawStatusLine();
  // Told between actions, once each, without stopping the bench.
  if (worker_.Busy()) return;
  // A problem of the site's, the first time of its kind: in the pane (the sender has logged it;
  // the status line shows the site's state).
  if (site_) {
    const std::string problem = site_->TakeMessage();
    if (!problem.empty()) {
      paneNotes_.push_back(problem);
      ShowPaneNotes();
    }
  }
  if (logFailureShown_) return;
  const std::shared_ptr<SessionLog> log = SessionLog::Get();
  const std::string failure = log ? log->TakeFailure() : std::string();
  if (failure.empty()) return;
  logFailureShown_ = true;
  // A box that does not wait for an answer.
  auto* box =
      new QMessageBox(QMessageBox::Information, "Session log", QString::fromStdString(failure), QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setObjectName("sessionLogBox");
  box->open();
}

void TesterWindow::ShowPaneNotes() {
  if (paneNotes_.empty()) return;
  QString notes;
  for (const std::string& n : paneNotes_) notes += "\n\n" + ToDisplayText(n);
  paneNotes_.clear();
  const QString shown = pane_->toPlainText();
  pane_->setPlainText(shown.isEmpty() ? notes.mid(2) : shown + notes);
}

void TesterWindow::ControlChanged(const CTesterDlg& dlg, int id) {
  const ControlView view = ViewOf(dlg, id);
  RunOnGui(this, [&] { ApplyControl(id, view); });
}

void TesterWindow::StartTimer(int id, int milliseconds) {
  RunOnGui(this, [&] {
    QTimer::singleShot(milliseconds, this,
                       [this, id] { StartAction([this, id](ActionResult&) { dlg_.OnTimer(id); }); });
  });
}

void TesterWindow::EndDialog(bool ok) {
  RunOnGui(this, [&] {
    if (worker_.Busy()) {
      pendingEnd_ = ok ? 1 : 0;  // closes when the action has ended
      return;
    }
    done(ok ? QDialog::Accepted : QDialog::Rejected);
  });
}

void TesterWindow::Click(int id) {
  if (worker_.Busy() || !isEnabled()) return;
  if (!CTesterDlg::RunsOnWorker(id)) {
    dlg_.OnCommand(id);  // the worker is idle: the dialog is the GUI thread's for now
    return;
  }
  // The note reads the unit as the dossier does: the site's visits when a site is set and the
  // sender reaches it (a site not reached yet, or away, is not waited for: this PC's own then, as
  // the dossier shows them).
  const history::SiteState siteState = site_ ? site_->State() : history::SiteState{};
  const std::optional<history::SiteSetting> site =
      site_ && siteState.reached && !siteState.problem ? std::optional(siteSetting_) : std::nullopt;
  StartAction([this, id, site](ActionResult& r) {
    const Outcome o = dlg_.OnCommand(id);
    // After a status read: what changed since the unit's last visit, and what is due.
    if (dlg_.history && o.statusRead) {
      r.visitNoteUnit = dlg_.unit.status.currentStatus.UnitId;
      if (r.visitNoteUnit >= 0) {
        const UnitDossier d =
            ReadUnitDossier(*dlg_.history, site ? &*site : nullptr, r.visitNoteUnit, DateTime::NowUtc());
        r.visitNote = history::SinceLastVisitNote(d.dossier, d.settings);
      }
    }
  });
}

bool TesterWindow::StartAction(std::function<void(ActionResult&)> body) {
  return worker_.Start([this, body = std::move(body)] {
    ActionResult r;
    body(r);
    // On the worker still: the dialog's state as the action left it, by value.
    r.status = ConnectionStatus::Of(dlg_);
    r.historyKept = dlg_.history && dlg_.history->IsOpen();
    r.historyProblem = std::exchange(dlg_.historyProblem, std::string());
    return r;
  });
}

void TesterWindow::reject() {
  if (worker_.Busy()) return;
  dlg_.OnCancel();
}

void TesterWindow::closeEvent(QCloseEvent* event) {
  // The title bar has no close box; a close from the window manager counts as Esc, and is
  // refused while an action runs.
  if (worker_.Busy()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TesterWindow::ActionFinished(const ActionResult& r) {
  if (r.visitNoteUnit >= 0) {
    visitNoteUnit_ = r.visitNoteUnit;
    visitNote_ = r.visitNote;
  }
  if (r.historyKept) historyKept_ = *r.historyKept;
  if (!r.historyProblem.empty()) {
    historyLostEvent_ = true;
    paneNotes_.push_back(r.historyProblem);  // the core has logged it
  }
  if (r.status) status_ = *r.status;
  status_ = WithNotes(status_);
  DrawStatusLine();
  // What the history has to tell, under what the action showed.
  ShowPaneNotes();
  if (r.dossier && pendingEnd_ < 0) {
    delete historyWindow_;
    const UnitDossier& d = *r.dossier;
    historyWindow_ = new HistoryWindow(d.dossier, d.settings, r.dossierUnit, this, d.source, d.detail);
    historyWindow_->open();
  }
  if (pendingEnd_ >= 0) {
    const bool ok = pendingEnd_ == 1;
    pendingEnd_ = -1;
    done(ok ? QDialog::Accepted : QDialog::Rejected);
  }
}

void TesterWindow::ShowProgress(bool visible) {
  // Called by the action, on its thread: the dialog tells the window (ControlChanged).
  dlg_.ShowControl(ctl::kProgress, visible);
}

void TesterWindow::SetProgress(int percent) {
  RunOnGui(this, [&] {
    progress_->setValue(percent < 0 ? 0 : percent > 100 ? 100 : percent);
    progress_->repaint();
  });
}
