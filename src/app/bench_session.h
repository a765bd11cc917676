// The bench session: what both programs (the window and velmoor-cli) are made of, assembled the
// same way from the options they share. It takes the settings read once, and owns the serial
// side (the machine's ports or the simulated unit), the operator, the main window's class with
// its unit, the unit history with the context of its events, and the site's sender. A program
// adds only its thread policy (where the history is opened and each action runs) and what it
// does as each action ends.
#pragma once
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/session_settings.h"
#include "history/record_outcome.h"
#include "site/site_sender.h"
#include "platform/operator.h"
#include "platform/outcome.h"
#include "platform/shared_options.h"
#include "sim/serial_side.h"

class CTesterDlg;
class CTransponder;
class LoggedOperator;

// The session log of the wire for as long as the program runs (off with --no-log). End writes
// the exit code as its last line; a scope left without End (an exception) stops it without one.
class SessionLogScope {
 public:
  // tellFailure: given a log that could not be written, as the program ends (none: not told).
  SessionLogScope(const SharedOptions& options, const std::string& program, const std::string& commandLine,
                  std::function<void(const std::string&)> tellFailure = {});
  ~SessionLogScope();
  SessionLogScope(const SessionLogScope&) = delete;
  SessionLogScope& operator=(const SessionLogScope&) = delete;
  void End(int exitCode);

 private:
  void Stop(std::optional<int> exitCode);
  std::function<void(const std::string&)> tellFailure_;
  bool ended_ = false;
};

class BenchSession {
 public:
  // The program's operator, made on the session's ports (the window's boxes and dialogs, or the
  // command line's answers).
  using MakeOperator = std::function<std::unique_ptr<IOperator>(ISerialProvider& ports)>;

  // Assembles the session, the same way for both programs, once the session log runs: the
  // serial side (the simulated unit with --simulate, or the machine's ports that machinePorts
  // gives), the program's operator that makeOperator makes on its ports, and the main window's
  // class with its unit, which reads the status files. clock: the tick counter of the port and
  // the simulated line (null: a steady clock).
  BenchSession(const SharedOptions& options, SessionSettings settings, const SerialSide::MachinePorts& machinePorts,
               const MakeOperator& makeOperator, IClock* clock = nullptr);
  ~BenchSession();
  BenchSession(const BenchSession&) = delete;
  BenchSession& operator=(const BenchSession&) = delete;

  // Empty when the serial side is there; else why not (simulation switches not understood), and
  // nothing else of the session was made or may be used.
  const std::string& SerialProblem() const { return serialProblem_; }
  ISerialProvider& Ports() { return *side_.Ports(); }
  SimBench* Bench() { return side_.Bench(); }
  IOperator& Operator() { return *op_; }
  CTesterDlg& Dialog() { return *dlg_; }
  const CTransponder& Unit() const;
  const SessionSettings& Settings() const { return settings_; }

  // ---- the unit history and the site (on the thread that runs the actions) ----
  // Opens the history (unless --no-history) and has every action's outcome recorded in it.
  // Returns a message for the operator when it cannot be kept: the session goes on without it.
  std::string OpenHistory();
  history::HistoryStore& History() { return history_; }
  // Starts the site's sender when a site is chosen and the history is open. Returns why not
  // when the site's setting cannot be used (the bench goes on with this PC's history).
  std::string StartSite();
  // The site's sender; null when none was started.
  history::SiteSender* Site() { return sender_.get(); }
  // Sends the events written so far, waiting at most wait, and stops the sender (which the
  // window still shows). Returns what the operator should know of the site (a problem met, or
  // no answer in time), else empty.
  std::string FinishSite(std::chrono::milliseconds wait);

  // ---- the unit ----
  // Finds the unit as the window's start-up does: the folders, then the search over COM1 to
  // COM10, or, with comNumber > 0, that port alone (opened, not yet probed). Done when a port
  // is open; NoUnit, or PortFailed when the named port would not open. The outcome's pane
  // holds what the search found.
  Outcome Connect(int comNumber = 0);
  // The COM number of the unit's port (0 none).
  int UnitPort() const;
  // Runs the action of a control: its outcome, logged and kept in the history.
  Outcome Run(int id);
  // Loads the command file the operator's chooser gives, then runs its command button (1 to 6).
  // BadFile, naming fileShown, when the file gives that button no command.
  Outcome RunCommandButton(int button, const std::string& fileShown);
  // The pane shows each reply as it came (true), or the status report under it.
  void ShowRawReplies(bool raw);
  // An action whose unit was not found (the outcome of Connect) is kept in the history all the
  // same, under the unit last read on the named port, else with none. Returns a message for the
  // operator when the history cannot be written.
  std::string RecordNotConnected(Outcome outcome, int id);
  // The action's name as the operator knows it ("General Status", "Command 2").
  std::string ActionName(int id) const;

  // Stops the site's sender, giving the send under way a second (a command broken off), and lets
  // it go.
  void StopSite() { sender_.reset(); }
  // Closes the port, then the history (on the thread that opened them).
  void Close();

 private:
  DataPaths paths_;
  SessionSettings settings_;
  std::string serialProblem_;
  SerialSide side_;
  std::unique_ptr<IOperator> op_;
  std::unique_ptr<LoggedOperator> logged_;
  history::HistoryStore history_;  // outlives the window's class
  std::unique_ptr<CTesterDlg> dlg_;
  std::unique_ptr<history::SiteSender> sender_;
  bool namedPort_ = false;  // Connect was given the port
};
