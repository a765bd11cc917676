#include "app/bench_session.h"

#include "platform/logged_operator.h"
#include "platform/session_log.h"
#include "ui/command_file.h"
#include "ui/tester_dlg.h"

// ---- the session log ----

SessionLogScope::SessionLogScope(const SharedOptions& o, const std::string& program, const std::string& commandLine,
                                 std::function<void(const std::string&)> tellFailure)
    : tellFailure_(std::move(tellFailure)) {
  SessionLog::Start(o.paths, !o.noLog, program, commandLine);
}

SessionLogScope::~SessionLogScope() { Stop(std::nullopt); }

void SessionLogScope::End(int exitCode) { Stop(exitCode); }

void SessionLogScope::Stop(std::optional<int> exitCode) {
  if (ended_) return;
  ended_ = true;
  if (tellFailure_) {
    if (const auto log = SessionLog::Get()) {
      log->Flush();
      const std::string failure = log->TakeFailure();
      if (!failure.empty()) tellFailure_(failure);
    }
  }
  if (exitCode) SessionLog::Stop(*exitCode);
  else SessionLog::Stop();
}

// ---- the session ----

BenchSession::BenchSession(const SharedOptions& o, SessionSettings settings,
                           const SerialSide::MachinePorts& machinePorts, const MakeOperator& makeOperator,
                           IClock* clock)
    : paths_(o.paths),
      settings_(std::move(settings)),
      side_(o.simulate, o.simSwitches, machinePorts, clock, serialProblem_) {
  if (!serialProblem_.empty()) return;
  op_ = makeOperator(Ports());
  logged_ = std::make_unique<LoggedOperator>(*op_);
  dlg_ = std::make_unique<CTesterDlg>(*side_.Port(), *logged_, paths_);
}

BenchSession::~BenchSession() = default;

const CTransponder& BenchSession::Unit() const { return dlg_->unit; }

std::string BenchSession::OpenHistory() {
  if (!settings_.keepHistory) return {};
  const std::string problem = history::OpenHistory(history_, settings_.historyFile, paths_, settings_.context);
  if (history_.IsOpen()) {
    dlg_->history = &history_;
    dlg_->historyContext = settings_.context;
  }
  return problem;
}

std::string BenchSession::StartSite() {
  const history::SiteChoice& site = settings_.site;
  if (!history_.IsOpen() || !site.set) return {};
  if (site.problem) return site.problem.message;
  sender_ = std::make_unique<history::SiteSender>(history_.File(), site.setting);
  sender_->Start();
  return {};
}

std::string BenchSession::FinishSite(std::chrono::milliseconds wait) {
  if (!sender_) return {};
  sender_->Finish(wait);
  std::string told = sender_->TakeMessage();
  // A site that said nothing in that time is told as the others are.
  const history::SiteState s = sender_->State();
  if (told.empty() && !s.problem && s.waiting != 0)
    told = "The site server (" + settings_.site.setting.shown +
           ") did not answer in time. The bench goes on with this PC's history; the events wait here and are "
           "sent later.";
  return told;
}

Outcome BenchSession::Connect(int comNumber) {
  CTesterDlg& d = *dlg_;
  namedPort_ = comNumber > 0;
  d.OnInitDialog();
  if (namedPort_) {
    d.rawReplies = true;  // as the search leaves it
    d.unitPort = comNumber;
    d.ConnectToUnit();
  } else {
    d.OnTimer(kSearchTimerId);
  }
  if (!d.ended && d.unit.port.isOpen) return MakeOutcome(OutcomeKind::Done, "connect");
  Outcome o = MakeOutcome(OutcomeKind::NoUnit, "connect", "no unit answered");
  const PortOpenReport& report = d.unit.port.LastOpenReport();
  if (namedPort_ && !report.opened) MarkPortFailed(o, report);
  o.pane = d.paneText;
  return o;
}

int BenchSession::UnitPort() const { return dlg_->unitPort; }

Outcome BenchSession::Run(int id) { return dlg_->OnCommand(id); }

Outcome BenchSession::RunCommandButton(int button, const std::string& fileShown) {
  Outcome loaded = dlg_->OnCommand(ctl::kLoadCommands);
  if (!loaded.Ok()) return loaded;
  const int i = button - 1;
  if (i < 0 || i >= kCommandButtons || dlg_->commandCaption[i].empty() || dlg_->commandText[i].empty())
    return MakeOutcome(OutcomeKind::BadFile, ActionName(ctl::kLoadCommands),
                       fileShown + " gives button " + std::to_string(button) + " no command");
  return dlg_->OnCommand(ctl::kCommandButtons[i]);
}

void BenchSession::ShowRawReplies(bool raw) { dlg_->rawReplies = raw; }

std::string BenchSession::RecordNotConnected(Outcome o, int id) {
  if (!dlg_->history) return {};
  o.action = ActionName(id);
  dlg_->historyContext.port = namedPort_ ? dlg_->PortName() : std::string();
  return history::RecordOutcome(*dlg_->history, dlg_->historyContext, o, dlg_->unit.status.currentStatus,
                                dlg_->unit.status.currentChecks, false);
}

std::string BenchSession::ActionName(int id) const { return dlg_->ActionName(id); }

void BenchSession::Close() {
  if (dlg_) {
    dlg_->unit.port.Close();
    dlg_->history = nullptr;
  }
  history_.Close();
}
