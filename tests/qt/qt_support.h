// The Qt program offscreen on the simulated unit in virtual time, and a stand-in for the
// person at the bench who answers the modal windows as they appear.
#pragma once
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

#include "tests/support/test_bench.h"
#include "tester_app.h"
#include "tester_window.h"
#include "unit_worker.h"

// Waits (processing events) until the condition holds; gives up after a generous bound so a
// broken window fails the test instead of hanging it. Not a measure of speed.
inline bool WaitUntil(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 20000); }

// Answers every modal window that opens: message boxes with the next queued button (OK, or
// Yes for a question, when the queue is empty), other dialogs through a handler.
class ModalAnswerer : public QObject {
 public:
  ModalAnswerer() {
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start(10);
  }
  std::deque<QMessageBox::StandardButton> answers;
  std::function<void(QWidget*)> onDialog;  // any modal window that is not a message box
  std::vector<std::string> texts;
  std::vector<std::string> titles;

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      texts.push_back(box->text().toStdString());
      titles.push_back(box->windowTitle().toStdString());
      QMessageBox::StandardButton answer = QMessageBox::Ok;
      if (box->button(QMessageBox::Yes)) answer = QMessageBox::Yes;
      if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
      }
      if (QAbstractButton* b = box->button(answer)) b->click();
      return;
    }
    if (onDialog) onDialog(modal);
  }
  QTimer timer_;
};

struct AppOnBench {
  // site: --site (a connection text), none when empty; before: runs on the data folder before
  // the program starts.
  explicit AppOnBench(const std::string& site = {},
                      const std::function<void(const std::filesystem::path& root)>& before = {}) {
    AppOptions options;
    options.site = site, options.simulate = true, options.paths.root = root;
    options.historyFile = (root / "history.sqlite").string();  // never this PC's own
    if (before) before(root);
    app = std::make_unique<CTesterApp>(options, &clock);
  }
  ~AppOnBench() {
    app.reset();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  // Start-up: the window's initialisation, its first show, and the search on its timer.
  void Start() {
    app->Start();
    // The dialog is read only while no action runs.
    ASSERT_TRUE(WaitUntil([this] { return !app->worker().Busy() && !dlg().searchPending; }));
    app->worker().WaitIdle();
  }
  CTesterDlg& dlg() { return app->dlg(); }
  TesterWindow& window() { return app->window(); }
  std::string StatusLine() { return window().statusLine()->text().toStdString(); }
  std::string Pane() { return window().pane()->toPlainText().toStdString(); }
  void Click(int id) {
    window().Click(id);
    app->worker().WaitIdle();
  }
  std::string& wire() { return app->bench()->line().written; }

  VirtualClock clock;
  std::filesystem::path root = FreshTempDir("qt");
  std::unique_ptr<CTesterApp> app;
};
