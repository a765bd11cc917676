// The one worker thread on which unit operations run, one action at a time, so the window
// stays responsive (the busy window's animation keeps moving) while the unit is talked to.
//
// The GUI thread never waits on the worker blocked: it waits by serving its events, so a job
// that asks the operator (a box, a dialog) is answered meanwhile and cannot deadlock against
// it. Actions are started, and their ends handed over, on the GUI thread only; what an action
// produced reaches the window by value with "finished", so the window never reads the unit's
// state while the worker may be using it.
#pragma once
#include <QObject>
#include <QThread>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "ui/connection_status.h"
#include "ui/unit_dossier.h"

class ThreadMailbox;

// What an action leaves for the window, made on the worker as the action ends.
struct ActionResult {
  std::optional<ConnectionStatus> status;  // the port and unit as the action left them
  std::optional<bool> historyKept;         // whether the unit history is still open
  std::string historyProblem;              // the history could not be written (told once)
  int32_t visitNoteUnit = -1;              // after a status read with a history: the unit ...
  std::string visitNote;                   // ... and what changed since its last visit
  std::optional<UnitDossier> dossier;      // "History": the unit's dossier, read
  int32_t dossierUnit = -1;
};

class UnitWorker : public QObject {
  Q_OBJECT
 public:
  using Job = std::function<ActionResult()>;

  explicit UnitWorker(QObject* parent = nullptr);
  // Takes no more actions, waits for the running one (answering what it asks), then stops the
  // thread.
  ~UnitWorker() override;

  // Starts an action on the worker thread: a job that returns an ActionResult, or nothing.
  // False (and nothing run) while one is running or once the worker is closed. GUI thread only.
  template <class F>
  bool Start(F job) {
    if constexpr (std::is_void_v<std::invoke_result_t<F&>>) {
      return StartJob(
          [job = std::move(job)]() mutable {
            job();
            return ActionResult{};
          },
          true);
    } else {
      return StartJob(Job(std::move(job)), true);
    }
  }
  // Whether an action is running: started and its end not yet handed over. GUI thread only.
  bool Busy() const { return running_; }
  // Runs a job on the worker thread (the port belongs to the thread that opened it) and waits
  // for it, serving the GUI's events meanwhile; emits no "finished". Runs also once closed.
  void RunAndWait(std::function<void()> job);
  // Serves GUI events until the running action has ended and its end is handed over.
  void WaitIdle();
  // Takes no more actions (the program is ending); RunAndWait still runs.
  void Close() { closed_ = true; }
  QThread* thread() { return &thread_; }

 signals:
  // Emitted on the GUI thread when an action has ended, with what it produced.
  void finished(const ActionResult& result);

 private:
  bool StartJob(Job job, bool tell);
  QThread thread_;
  ThreadMailbox* mailbox_ = nullptr;  // lives on the worker thread
  // GUI thread only.
  bool running_ = false;
  bool closed_ = false;
};
