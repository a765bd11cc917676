#include "tester_app.h"

#include "app/bench_session.h"
#include "machine_ports.h"
#include "qt_operator.h"
#include "tester_window.h"
#include "ui/tester_dlg.h"
#include "unit_worker.h"

CTesterApp::CTesterApp(const AppOptions& options, IClock* clock)
    : session_(std::make_unique<BenchSession>(
          options, ReadSessionSettings(options, std::string("velmoor-terminal ") + ProgramVersion()),
          [&] { return MachinePorts(options.paths); },
          [](ISerialProvider& ports) { return std::make_unique<QtOperator>(&ports); }, clock)),
      op_(&static_cast<QtOperator&>(session_->Operator())) {
  CTesterDlg& dlg = session_->Dialog();
  // The window tells a history that cannot be written in its status line and pane.
  dlg.historyProblemInBox = false;
  worker_ = std::make_unique<UnitWorker>();
  window_ = std::make_unique<TesterWindow>(dlg, *worker_);
  op_->SetMainWindow(window_.get());
  op_->showProgress = [this](bool visible) { window_->ShowProgress(visible); };
  op_->setProgress = [this](int percent) { window_->SetProgress(percent); };
  dlg.SetView(window_.get());
  // The history's connection is made, used and closed on the worker thread, where every action
  // runs; the window reads a unit's dossier there too.
  worker_->RunAndWait([this] { historyProblem_ = session_->OpenHistory(); });
  siteProblem_ = session_->StartSite();  // the terminal goes on without a site
  if (history::SiteSender* site = session_->Site()) {
    window_->SetSite(site, session_->Settings().site.setting);
    // Each action's outcome is in the store when it ends: the sender takes it from there.
    QObject::connect(worker_.get(), &UnitWorker::finished, window_.get(), [site] { site->Nudge(); });
  }
  window_->SetHistory(!options.noHistory, session_->History().IsOpen());
}

CTesterDlg& CTesterApp::dlg() { return session_->Dialog(); }
SimBench* CTesterApp::bench() { return session_->Bench(); }
history::HistoryStore& CTesterApp::history() { return session_->History(); }
history::SiteSender* CTesterApp::site() { return session_->Site(); }

void CTesterApp::TellHistoryProblem() {
  for (std::string* problem : {&historyProblem_, &siteProblem_}) {
    window_->TellHistoryProblem(*problem);
    problem->clear();
  }
}

CTesterApp::~CTesterApp() { Shutdown(); }

void CTesterApp::Start() {
  session_->Dialog().OnInitDialog();
  window_->show();
  TellHistoryProblem();
}

int CTesterApp::Run() {
  TellHistoryProblem();
  session_->Dialog().OnInitDialog();
  const int result = window_->exec();
  Shutdown();
  (void)result;  // "Exit" and Esc both end the program normally
  return 0;
}

void CTesterApp::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  // No action starts from here on (a search timer still pending is dropped); the running one
  // ends, answered if it asks.
  worker_->Close();
  worker_->WaitIdle();
  worker_->RunAndWait([this] { session_->Close(); });
  // The last action's event goes before the program ends, when the site is there to take it;
  // what is not sent by then waits on this PC for the next time.
  session_->FinishSite(std::chrono::seconds(1));
}
