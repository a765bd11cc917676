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
  connect(&worker_, &UnitWorker::finished, this, [this] { ActionFinished(); });
  auto* second = new QTimer(this);
  connect(second, &QTimer::timeout, this, [this] { EverySecond(); });
  second->start(1000);
}

void TesterWindow::Build() {
  const DialogUnits du(font());
  setFixedSize(du.Size(kMainWindowWidthDu, kMainWindowHeightDu + kStatusLineHeightDu));
  // The status line, under every control of the window.
  statusLine_ = new QLabel(this);
  statusLine_->setObjectName("statusLine");
  statusLine_->setAccessibleName("Connection");
  statusLine_->setGeometry(du.Rect(7, kMainWindowHeightDu - 2, kMainWindowWidthDu - 14, kStatusLineHeightDu - 2));
  statusLine_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  statusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  DrawStatusLine();
  for (const ControlSpec& c : MainControls()) {
    QWidget* w = nullptr;
    const QString text = QString::fromLatin1(c.text);
    switch (c.kind) {
      case ControlKind::Button: {
        auto* b = new QPushButton(text, this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, id = c.id] { Click(id); });
        w = b;
        break;
      }
      case ControlKind::CheckBox: {
        rawReplies_ = new QCheckBox(text, this);
        connect(rawReplies_, &QCheckBox::clicked, this, [this, id = c.id] { Click(id); });
        w = rawReplies_;
        break;
      }
      case ControlKind::Edit:
        manualText_ = new QLineEdit(this);
        w = manualText_;
        break;
      case ControlKind::Pane:
        pane_ = new QPlainTextEdit(this);
        pane_->setReadOnly(true);
        pane_->setLineWrapMode(QPlainTextEdit::NoWrap);
        pane_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        pane_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        pane_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        w = pane_;
        break;
      case ControlKind::Progress:
        progress_ = new QProgressBar(this);
        progress_->setRange(0, 100);
        progress_->setTextVisible(false);
        w = progress_;
        break;
    }
    w->setObjectName(QString("control%1").arg(c.id));
    w->setGeometry(du.Rect(c.x, c.y, c.w, c.h));
    w->setAccessibleName(text);
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
  // "History": beside "Set time", in the row's empty right-hand place; shown with the unit
  // buttons when a history is kept.
  historyButton_ = new QPushButton("History", this);
  historyButton_->setObjectName("historyButton");
  historyButton_->setAutoDefault(false);
  historyButton_->setGeometry(du.Rect(395, 100, 125, 14));
  historyButton_->setToolTip("The unit's visits, what changed since the last one, its measured values over time");
  connect(historyButton_, &QPushButton::clicked, this, [this] { ShowHistory(); });
  for (const ControlSpec& c : MainControls()) ApplyControl(c.id);
}

void TesterWindow::ShowHistory() {
  const int32_t unitId = dlg_.unit.status.currentStatus.UnitId;
  if (worker_.Busy() || !dlg_.history || unitId < 0) return;
  // The store belongs to the worker thread; the window opens when the action has ended.
  const std::optional<history::SiteSetting> site = site_ ? std::optional(siteSetting_) : std::nullopt;
  // A site the sender finds away is not waited for again here.
  history::SiteProblem away = site_ ? site_->State().problem : history::SiteProblem{};
  if (!history::SiteAway(away)) away = {};
  worker_.Start([this, unitId, site, away] {
    dossierRead_ = ReadUnitDossier(*dlg_.history, site ? &*site : nullptr, unitId, DateTime::NowUtc(), away);
    dossierUnit_ = unitId;
  });
}

void TesterWindow::SetSite(history::SiteSender* sender, const history::SiteSetting& setting) {
  site_ = sender;
  siteSetting_ = setting;
  DrawStatusLine();
}

ConnectionStatus TesterWindow::StatusNow() const {
  ConnectionStatus s = ConnectionStatus::Of(dlg_);
  if (s.unitId >= 0 && s.unitId == visitNoteUnit_) s.visitNote = visitNote_;
  return s;
}

QWidget* TesterWindow::control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QPushButton* TesterWindow::button(int id) const { return qobject_cast<QPushButton*>(control(id)); }

bool TesterWindow::actionRunning() const { return worker_.Busy(); }

void TesterWindow::ApplyControl(int id) {
  QWidget* w = control(id);
  if (!w) return;
  const QString text = QString::fromStdString(dlg_.ControlText(id));
  if (auto* b = qobject_cast<QPushButton*>(w)) {
    if (b->text() != text) b->setText(text);
    b->setAccessibleName(text);
  } else if (auto* c = qobject_cast<QCheckBox*>(w)) {
    c->setText(text);
    c->setAccessibleName(text);
  }
  w->setVisible(dlg_.IsVisible(id));
  if (id == ctl::kReadSensors) historyButton_->setVisible(dlg_.history && dlg_.IsVisible(id));
}

void TesterWindow::Pull(CTesterDlg& dlg) {
  RunOnGui(this, [&] {
    dlg.rawReplies = rawReplies_->isChecked();
    dlg.manualText = manualText_->text().toStdString();
  });
}

void TesterWindow::Push(const CTesterDlg& dlg) {
  RunOnGui(this, [&] {
    const QString text = ToDisplayText(dlg.paneText);
    if (pane_->toPlainText() != text) {
      pane_->setPlainText(text);  // the pane shows the first line of the new text
      pane_->moveCursor(QTextCursor::Start);
      pane_->verticalScrollBar()->setValue(0);
      pane_->horizontalScrollBar()->setValue(0);
    }
    rawReplies_->setChecked(dlg.rawReplies);
    manualText_->setText(QString::fromStdString(dlg.manualText));
    setWindowTitle(QString::fromStdString(dlg.title));
    status_ = StatusNow();
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
  // Told between actions, once each, without stopping the bench: the boxes do not wait for an
  // answer.
  if (worker_.Busy()) return;
  auto tell = [this](const char* caption, const std::string& text, const char* name) {
    auto* box = new QMessageBox(QMessageBox::Information, caption, QString::fromStdString(text), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(name);
    box->open();
    return box;
  };
  // A problem of the site's, the first time of its kind (one box at a time).
  if (site_ && !siteBox_) {
    const std::string problem = site_->TakeMessage();
    if (!problem.empty()) siteBox_ = tell("Unit history", problem, "siteBox");
  }
  if (logFailureShown_) return;
  SessionLog* log = SessionLog::Get();
  const std::string failure = log ? log->TakeFailure() : std::string();
  if (failure.empty()) return;
  logFailureShown_ = true;
  tell("Session log", failure, "sessionLogBox");
}

void TesterWindow::ControlChanged(const CTesterDlg&, int id) {
  RunOnGui(this, [&] { ApplyControl(id); });
}

void TesterWindow::StartTimer(int id, int milliseconds) {
  RunOnGui(this, [&] {
    QTimer::singleShot(milliseconds, this, [this, id] { worker_.Start([this, id] { dlg_.OnTimer(id); }); });
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
    dlg_.OnCommand(id);
    return;
  }
  // The note reads the unit as the dossier does: the site's visits when a site is set and the
  // sender reaches it (a site not reached yet, or away, is not waited for: this PC's own then, as
  // the dossier shows them).
  const history::SiteState siteState = site_ ? site_->State() : history::SiteState{};
  const std::optional<history::SiteSetting> site =
      site_ && siteState.reached && !siteState.problem ? std::optional(siteSetting_) : std::nullopt;
  worker_.Start([this, id, site] {
    const auto reads = dlg_.unit.status.reads;
    dlg_.OnCommand(id);
    // After a status read: what changed since the unit's last visit, and what is due.
    if (dlg_.history && dlg_.unit.status.reads != reads) {
      visitNoteUnit_ = dlg_.unit.status.currentStatus.UnitId;
      visitNote_.clear();
      if (visitNoteUnit_ >= 0) {
        const UnitDossier d =
            ReadUnitDossier(*dlg_.history, site ? &*site : nullptr, visitNoteUnit_, DateTime::NowUtc());
        visitNote_ = history::SinceLastVisitNote(d.dossier, d.settings);
      }
    }
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

void TesterWindow::ActionFinished() {
  if (!worker_.Busy()) {
    status_ = StatusNow();  // the worker is idle: the unit's state is still
    DrawStatusLine();
    if (dossierRead_ && pendingEnd_ < 0) {
      delete historyWindow_;
      const UnitDossier& d = *dossierRead_;
      historyWindow_ = new HistoryWindow(d.dossier, d.settings, dossierUnit_, this, d.source, d.detail);
      historyWindow_->open();
    }
    dossierRead_.reset();
  }
  if (pendingEnd_ >= 0) {
    const bool ok = pendingEnd_ == 1;
    pendingEnd_ = -1;
    done(ok ? QDialog::Accepted : QDialog::Rejected);
  }
}

void TesterWindow::ShowProgress(bool visible) {
  RunOnGui(this, [&] { dlg_.ShowControl(ctl::kProgress, visible); });
}

void TesterWindow::SetProgress(int percent) {
  RunOnGui(this, [&] {
    progress_->setValue(percent < 0 ? 0 : percent > 100 ? 100 : percent);
    progress_->repaint();
  });
}
