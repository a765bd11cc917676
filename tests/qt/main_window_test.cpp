// The Qt windows offscreen: clicks run on the worker one at a time, the busy window keeps moving
// while the worker is blocked, and a box asked on the worker is answered on the GUI thread.
#include <gtest/gtest.h>

#include <atomic>

#include "busy_dlg.h"
#include "qt_operator.h"
#include "tests/qt/qt_support.h"

// One window through three steps: an action that blocks the worker, the busy window asked for
// by a blocked worker, and a box asked on the worker.
TEST(QtMainWindow, TheWorkerRunsOneActionAndTheGuiThreadKeepsTheWindowsGoing) {
  AppOnBench b;
  b.Start();
  QtOperator& op = b.app->op();
  // While an action runs, clicks and Esc are ignored, not queued.
  std::atomic<bool> release{false};
  ASSERT_TRUE(b.app->worker().Start([&] {
    while (!release.load()) QThread::msleep(1);
  }));
  b.wire().clear();
  b.window().Click(ctl::kGeneralStatus);
  QTest::keyClick(&b.window(), Qt::Key_Escape);
  b.window().Click(ctl::kExit);
  EXPECT_TRUE(b.window().isVisible());
  release = true;
  b.app->worker().WaitIdle();
  EXPECT_EQ(b.wire(), "") << "the click during the action was not queued";

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

  // A box asked on the worker is answered on the GUI thread.
  ModalAnswerer person;
  person.answers.push_back(QMessageBox::No);
  MbAnswer answer = MbAnswer::Ok;
  b.app->worker().Start(
      [&] { answer = op.MessageBox("Run Release test", "Release test", MbButtons::YesNo, MbIcon::Exclamation); });
  b.app->worker().WaitIdle();
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
