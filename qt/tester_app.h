// The application: the bench session of the command line (the machine's ports, or the
// built-in simulated unit with --simulate) with the Qt operator, the main window and its
// worker thread, run until the window closes, which ends the program. The session's history
// (unless --no-history) is opened on the worker thread, which is the only thread that uses it;
// with a site chosen (--site, or the history settings' "site =", none with --no-site) it is sent
// to the site's server in the background.
#pragma once
#include <filesystem>
#include <memory>
#include <string>

#include "app_options.h"
#include "history/history_store.h"
#include "site/site_sender.h"
#include "platform/clock.h"

class BenchSession;
class CTesterDlg;
class QtOperator;
class TesterWindow;
class UnitWorker;
struct SimBench;

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

  CTesterDlg& dlg();
  TesterWindow& window() { return *window_; }
  UnitWorker& worker() { return *worker_; }
  QtOperator& op() { return *op_; }
  SimBench* bench();
  // The unit history, open or not (use it on the worker thread only).
  history::HistoryStore& history();
  // The site's sender; null when no site is chosen or its setting cannot be used.
  history::SiteSender* site();
  BenchSession& session() { return *session_; }

 private:
  // Told once, in the window's pane when the start-up search has ended and in the session log
  // (no box: the bench goes on), when the history cannot be kept or the site's setting cannot
  // be used; the status line shows a history that is not kept.
  void TellHistoryProblem();
  // The serial side, the operator, the window's class, the history and the site; outlives
  // the window.
  std::unique_ptr<BenchSession> session_;
  QtOperator* op_ = nullptr;  // the session's
  std::string historyProblem_;
  std::string siteProblem_;
  std::unique_ptr<UnitWorker> worker_;
  std::unique_ptr<TesterWindow> window_;
  bool shutDown_ = false;
};
