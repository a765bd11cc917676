#include "tester_app.h"

#include "qt_operator.h"
#include "qt_serial_port.h"
#include "serial/comm_port.h"
#include "sim/sim_bench.h"
#include "tester_window.h"
#include "ui/tester_dlg.h"
#include "unit_worker.h"

CTesterApp::CTesterApp(const AppOptions& options, IClock* clock) {
  if (!clock) {
    ownClock_ = std::make_unique<SteadyClock>();
    clock = ownClock_.get();
  }
  clock_ = clock;
  CCommPort* port = nullptr;
  ISerialProvider* provider = nullptr;
  if (options.simulate) {
    bench_ = std::make_unique<SimBench>(*clock_, kSimulatedUnitPort, kSimulatedPortCount);
    bench_->unit->state.modelName = "QRN";  // so "Quick set" offers the navigation schemes
    port = &bench_->port;
    provider = &bench_->provider;
  } else {
    provider_ = std::make_unique<QtSerialProvider>(options.paths.PortsDir());
    port_ = std::make_unique<CCommPort>(*clock_, *provider_);
    port = port_.get();
    provider = provider_.get();
  }
  op_ = std::make_unique<QtOperator>(provider);
  dlg_ = std::make_unique<CTesterDlg>(*port, *op_, options.paths);
  worker_ = std::make_unique<UnitWorker>();
  window_ = std::make_unique<TesterWindow>(*dlg_, *worker_);
  op_->SetMainWindow(window_.get());
  op_->showProgress = [this](bool visible) { window_->ShowProgress(visible); };
  op_->setProgress = [this](int percent) { window_->SetProgress(percent); };
  dlg_->SetView(window_.get());
}

CTesterApp::~CTesterApp() { Shutdown(); }

void CTesterApp::Start() {
  dlg_->OnInitDialog();
  window_->show();
}

int CTesterApp::Run() {
  dlg_->OnInitDialog();
  const int result = window_->exec();
  Shutdown();
  (void)result;  // "Exit" and Esc both end the program normally
  return 0;
}

void CTesterApp::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  worker_->WaitIdle();
  CCommPort& port = dlg_->unit.port;
  worker_->RunAndWait([&port] { port.Close(); });
}
