// The application: reads the command line, builds the serial backend (the machine's ports, or
// the built-in simulated unit with --simulate), the Qt operator, the main window and its
// worker thread, and runs the main window until it closes, which ends the program. It opens the
// unit history (unless --no-history) on the worker thread, which is the only thread that uses it,
// and with a site chosen (--site, or the history settings' "site =", none with --no-site) sends
// it to the site's server in the background.
#pragma once
#include <filesystem>
#include <memory>
#include <string>

#include "app_options.h"
#include "history/history_store.h"
#include "site/site_sender.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "sim/serial_side.h"

class CCommPort;
class CTesterDlg;
class ISerialProvider;
class QtOperator;
class TesterWindow;
class UnitWorker;
struct SimBench;
class SerialSide;
class LoggedOperator;

class CTesterApp {
 public:
  // clock: the tick counter for the port and the simulated line (a SteadyClock when null).
  explicit CTesterApp(const AppOptions& options, IClock* clock = nullptr);
  ~CTesterApp();

  // Shows the main window, starts the unit search, and runs until the window closes.
  int Run();
  // The start-up without the event loop (tests and the screenshot tool): the window's
  // initialisation and its first show.
  void Start();
  // Closes the port on the thread that opened it (done by the destructor too).
  void Shutdown();

  CTesterDlg& dlg() { return *dlg_; }
  TesterWindow& window() { return *window_; }
  UnitWorker& worker() { return *worker_; }
  QtOperator& op() { return *op_; }
  SimBench* bench() { return side_->Bench(); }
  // The unit history, open or not (use it on the worker thread only).
  history::HistoryStore& history() { return *history_; }
  // The site's sender; null when no site is chosen or its setting cannot be used.
  history::SiteSender* site() { return site_.get(); }

 private:
  // Told once, in the window's pane when the start-up search has ended and in the session log
  // (no box: the bench goes on), when the history cannot be kept or the site's setting cannot
  // be used; the status line shows a history that is not kept.
  void TellHistoryProblem();
  void StartSite(const AppOptions& options);
  std::unique_ptr<history::HistoryStore> history_;  // outlives the window's class
  std::unique_ptr<history::SiteSender> site_;       // outlives the window
  std::string historyProblem_;
  std::string siteProblem_;
  std::unique_ptr<SerialSide> side_;
  std::unique_ptr<QtOperator> op_;
  std::unique_ptr<LoggedOperator> logged_;
  std::unique_ptr<CTesterDlg> dlg_;
  std::unique_ptr<UnitWorker> worker_;
  std::unique_ptr<TesterWindow> window_;
  bool shutDown_ = false;
};
