// The Qt windows offscreen: clicks run on the worker one at a time, the window reads nothing of
// the unit while an action runs, the busy window keeps moving while the worker is blocked, and a
// box asked on the worker is answered on the GUI thread, also while that thread waits on it.
#include <gtest/gtest.h>

#include <atomic>

#include "busy_dlg.h"
#include "qt_operator.h"
#include "tests/qt/qt_support.h"

// One window through three steps: an action that blocks the worker, the busy window asked for
// by a blocked worker, and a box asked on the worker while the GUI thread waits on it.
TEST(QtMainWindow, TheWorkerRunsOneActionAndTheGuiThreadKeepsTheWindowsGoing) {
  AppOnBench b;
  b.Start();
  b.Click(ctl::kGeneralStatus);
  const std::string line = b.StatusLine();
  QtOperator& op = b.app->op();
  // While an action runs, clicks, Esc and "History" are ignored, not queued, and the window
  // reads nothing of the unit, which the action keeps changing.
  std::atomic<bool> release{false}, running{false};
  ASSERT_TRUE(b.app->worker().Start([&] {
    for (int32_t n = 0; !release; ++n, running = true) {
      b.dlg().unit.status.currentStatus.UnitId = 0x100000 + n % 16;
      QThread::msleep(1);
    }
  }));
  ASSERT_TRUE(WaitUntil([&] { return running.load(); }));
  b.wire().clear();
  b.window().Click(ctl::kGeneralStatus);
  b.window().ShowHistory();
  QTest::keyClick(&b.window(), Qt::Key_Escape);
  b.window().Click(ctl::kExit);
  QTest::qWait(1100);  // the status line's redraw, once a second
  EXPECT_TRUE(b.window().isVisible());
  EXPECT_EQ(b.StatusLine(), line);
  release = true;
  b.app->worker().WaitIdle();
  EXPECT_EQ(b.wire(), "") << "the click during the action was not queued";
  EXPECT_EQ(b.window().historyWindow(), nullptr);

  // The busy window keeps moving while the worker is blocked.
  release = false;
  std::atomic<bool> shown{false};
  ASSERT_TRUE(b.app->worker().Start([&] {
    op.ShowBusy();
    op.SetBusyCaption("Waiting for Transponder to reboot");
    shown = true;
    // Blocked as in a long exchange: nothing here lets the GUI thread run.
    while (!release.load()) QThread::msleep(1);
    op.HideBusy();
  }));
  ASSERT_TRUE(WaitUntil([&] { return shown.load(); }));
  CBusyDlg* busy = op.busyWindow();
  ASSERT_NE(busy, nullptr);
  EXPECT_EQ(busy->caption(), "Waiting for Transponder to reboot");
  const long start = busy->animation()->framesAdvanced();
  EXPECT_TRUE(WaitUntil([&] { return busy->animation()->framesAdvanced() >= start + 5; }));
  release = true;
  b.app->worker().WaitIdle();
  EXPECT_EQ(op.busyWindow(), nullptr);

  // A box asked on the worker is answered on the GUI thread, also while that thread waits on
  // the worker (as for the port's close at the end).
  ModalAnswerer person;
  person.answers.push_back(QMessageBox::No);
  MbAnswer answer = MbAnswer::Ok;
  b.app->worker().RunAndWait(
      [&] { answer = op.MessageBox("Run Release test", "Release test", MbButtons::YesNo, MbIcon::Exclamation); });
  EXPECT_EQ(answer, MbAnswer::No);
  EXPECT_EQ(person.texts, (std::vector<std::string>{"Run Release test"}));
  EXPECT_EQ(person.titles, (std::vector<std::string>{"Release test"}));
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
