#include "tester_app.h"

#include "qt_operator.h"
#include "qt_serial_port.h"
#include "serial/comm_port.h"
#include "platform/logged_operator.h"
#include "sim/serial_side.h"
#include "tester_window.h"
#include "ui/tester_dlg.h"
#include "unit_worker.h"

CTesterApp::CTesterApp(const AppOptions& options, IClock* clock) {
  std::string unused;  // the window takes no simulation switches
  side_ = std::make_unique<SerialSide>(
      options.simulate, "", [&] { return std::make_unique<QtSerialProvider>(options.paths.PortsDir()); }, clock,
      unused);
  CCommPort* port = side_->Port();
  ISerialProvider* provider = side_->Ports();
  op_ = std::make_unique<QtOperator>(provider);
  logged_ = std::make_unique<LoggedOperator>(*op_);
  dlg_ = std::make_unique<CTesterDlg>(*port, *logged_, options.paths);
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
