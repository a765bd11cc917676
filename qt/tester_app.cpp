#include "tester_app.h"

#include "history/record_outcome.h"
#include "platform/file_ops.h"

#include "machine_ports.h"
#include "qt_operator.h"
#include "serial/comm_port.h"
#include "platform/logged_operator.h"
#include "sim/serial_side.h"
#include "tester_window.h"
#include "ui/tester_dlg.h"
#include "unit_worker.h"

CTesterApp::CTesterApp(const AppOptions& options, IClock* clock) {
  std::string unused;  // the window takes no simulation switches
  side_ = std::make_unique<SerialSide>(
      options.simulate, "", [&] { return MachinePorts(options.paths); }, clock,
      unused);
  CCommPort* port = side_->Port();
  ISerialProvider* provider = side_->Ports();
  op_ = std::make_unique<QtOperator>(provider);
  logged_ = std::make_unique<LoggedOperator>(*op_);
  dlg_ = std::make_unique<CTesterDlg>(*port, *logged_, options.paths);
  // The window tells a history that cannot be written in its status line and pane.
  dlg_->historyProblemInBox = false;
  worker_ = std::make_unique<UnitWorker>();
  window_ = std::make_unique<TesterWindow>(*dlg_, *worker_);
  op_->SetMainWindow(window_.get());
  op_->showProgress = [this](bool visible) { window_->ShowProgress(visible); };
  op_->setProgress = [this](int percent) { window_->SetProgress(percent); };
  dlg_->SetView(window_.get());
  // The history's connection is made, used and closed on the worker thread, where every action
  // runs; the window reads a unit's dossier there too.
  history_ = std::make_unique<history::HistoryStore>();
  if (!options.noHistory) {
    const std::filesystem::path file =
        options.historyFile.empty() ? history::DefaultHistoryFile() : file_ops::PathFromUtf8(options.historyFile);
    history::HistoryContext context;
    context.operatorName = options.operatorName;
    context.terminal = std::string("velmoor-terminal ") + ProgramVersion();
    worker_->RunAndWait([&] { historyProblem_ = history::OpenHistory(*history_, file, options.paths, context); });
    if (history_->IsOpen()) {
      dlg_->history = history_.get();
      dlg_->historyContext = context;
      StartSite(options);
    }
  }
  window_->SetHistory(!options.noHistory, history_->IsOpen());
}

void CTesterApp::StartSite(const AppOptions& options) {
  const history::SiteChoice site = history::ChooseSite(options.site, options.noSite, history_->settings);
  if (!site.set) return;
  if (site.problem) {
    siteProblem_ = site.problem.message;  // the terminal goes on without a site
    return;
  }
  site_ = std::make_unique<history::SiteSender>(history_->File(), site.setting);
  site_->Start();
  window_->SetSite(site_.get(), site.setting);
  // Each action's outcome is in the store when it ends: the sender takes it from there.
  QObject::connect(worker_.get(), &UnitWorker::finished, window_.get(), [this] { site_->Nudge(); });
}

void CTesterApp::TellHistoryProblem() {
  for (std::string* problem : {&historyProblem_, &siteProblem_}) {
    window_->TellHistoryProblem(*problem);
    problem->clear();
  }
}

CTesterApp::~CTesterApp() { Shutdown(); }

void CTesterApp::Start() {
  dlg_->OnInitDialog();
  window_->show();
  TellHistoryProblem();
}

int CTesterApp::Run() {
  TellHistoryProblem();
  dlg_->OnInitDialog();
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
  CCommPort& port = dlg_->unit.port;
  worker_->RunAndWait([this, &port] {
    port.Close();
    dlg_->history = nullptr;
    history_->Close();
  });
  // The last action's event goes before the program ends, when the site is there to take it;
  // what is not sent by then waits on this PC for the next time.
  if (site_) site_->Finish(std::chrono::seconds(1));
}
