// The Qt windows offscreen: the main window shows what the window state says, clicks run on
// the worker one at a time, the busy window keeps moving while the worker is blocked, and the
// small dialogs return what the operator chose.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <atomic>

#include "busy_dlg.h"
#include "entry_window.h"
#include "port_select_window.h"
#include "qt_operator.h"
#include "quickset/quickset_flow.h"
#include "quickset_dialogs.h"
#include "tests/qt/qt_support.h"

namespace {
// Every widget shows and hides as the state says, and carries its caption.
void ExpectWindowMatchesState(AppOnBench& b) {
  for (const ControlSpec& c : MainControls()) {
    QWidget* w = b.window().control(c.id);
    ASSERT_NE(w, nullptr) << c.id;
    EXPECT_EQ(w->isVisibleTo(&b.window()), b.dlg().IsVisible(c.id)) << c.text;
    if (auto* button = qobject_cast<QPushButton*>(w)) {
      EXPECT_EQ(button->text().toStdString(), b.dlg().ControlText(c.id));
      EXPECT_EQ(button->accessibleName().toStdString(), b.dlg().ControlText(c.id));
    }
  }
  EXPECT_EQ(b.window().pane()->toPlainText(), ToDisplayText(b.dlg().paneText));
  EXPECT_EQ(b.window().windowTitle().toStdString(), b.dlg().title);
}
}  // namespace

TEST(QtMainWindow, AfterStartUpTheWindowShowsTheSearchResultAndFiveButtons) {
  AppOnBench b;
  b.Start();
  EXPECT_EQ(b.dlg().unitPort, kSimulatedUnitPort);
  EXPECT_EQ(b.window().pane()->toPlainText().toStdString(), "Velmoor detected on Comm 3");
  EXPECT_EQ(b.window().windowTitle(), "Dranmere Test terminal V3.00.012");
  ExpectWindowMatchesState(b);
  int visibleButtons = 0;
  for (const ControlSpec& c : MainControls())
    if (c.kind == ControlKind::Button && b.window().control(c.id)->isVisibleTo(&b.window())) ++visibleButtons;
  EXPECT_EQ(visibleButtons, 5);
  EXPECT_TRUE(b.window().isEnabled());
}

TEST(QtMainWindow, ThePaneAndButtonsAreWhatTheOperatorAndScreenReadersExpect) {
  AppOnBench b;
  b.Start();
  QPlainTextEdit* pane = b.window().pane();
  EXPECT_TRUE(pane->isReadOnly());
  EXPECT_EQ(pane->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_NE(pane->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_NE(pane->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(pane->accessibleName(), "Replies");
  for (const ControlSpec& c : MainControls())
    EXPECT_FALSE(b.window().control(c.id)->accessibleName().isEmpty()) << c.id;
  EXPECT_EQ(b.window().control(ctl::kRawReplies)->accessibleName(), "Display raw replies");
  EXPECT_TRUE(b.window().button(ctl::kGeneralStatus)->isDefault());
  EXPECT_GT(QFontInfo(b.window().button(ctl::kQuickSet)->font()).pixelSize(),
            QFontInfo(b.window().button(ctl::kGeneralStatus)->font()).pixelSize());
  EXPECT_FALSE(b.window().windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(b.window().windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST(QtMainWindow, GeneralStatusRevealsTheUnitButtonsAndAReplyTooWideForThePaneIsNotWrapped) {
  AppOnBench b;
  b.Start();
  b.ClickAndWait(ctl::kGeneralStatus);
  ExpectWindowMatchesState(b);
  EXPECT_TRUE(b.window().button(ctl::kReadSensors)->isVisibleTo(&b.window()));
  EXPECT_FALSE(b.window().button(ctl::kSetSerialNumber)->isVisibleTo(&b.window()));
  EXPECT_TRUE(b.window().pane()->toPlainText().startsWith("#HWST"));
  // CR LF line ends become lines; a bare CR does too.
  EXPECT_EQ(ToDisplayText("a\r\nb\rc"), "a\nb\nc");
}

TEST(QtMainWindow, EnterRunsGeneralStatusAndEscEndsTheProgram) {
  AppOnBench b;
  b.Start();
  b.wire().clear();
  QTest::keyClick(&b.window(), Qt::Key_Return);
  b.app->worker().WaitIdle();
  EXPECT_NE(b.wire().find("#HWST"), std::string::npos);
  EXPECT_FALSE(b.dlg().actionsHidden);

  QTest::keyClick(&b.window(), Qt::Key_Escape);
  EXPECT_FALSE(b.window().isVisible());
  EXPECT_EQ(b.window().result(), QDialog::Rejected);
}

TEST(QtMainWindow, ExitClosesAsOk) {
  AppOnBench b;
  b.Start();
  QTest::mouseClick(b.window().button(ctl::kExit), Qt::LeftButton);
  EXPECT_FALSE(b.window().isVisible());
  EXPECT_EQ(b.window().result(), QDialog::Accepted);
}

TEST(QtMainWindow, WhileAnActionRunsClicksAndEscAreIgnored) {
  AppOnBench b;
  b.Start();
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
  EXPECT_TRUE(b.dlg().actionsHidden);
}

TEST(QtMainWindow, AProgramEndAskedForDuringAnActionHappensWhenItHasEnded) {
  AppOnBench b;
  b.Start();
  std::atomic<bool> release{false};
  std::atomic<bool> asked{false};
  ASSERT_TRUE(b.app->worker().Start([&] {
    b.window().EndDialog(false);  // as ConnectToUnit does when there are no ports
    asked = true;
    while (!release.load()) QThread::msleep(1);
  }));
  ASSERT_TRUE(WaitUntil([&] { return asked.load(); }));
  EXPECT_TRUE(b.window().isVisible());
  release = true;
  ASSERT_TRUE(WaitUntil([&] { return !b.window().isVisible(); }));
  EXPECT_EQ(b.window().result(), QDialog::Rejected);
}

TEST(QtMainWindow, ASilentUnitAtGeneralStatusGetsTheNoValidCommsBox) {
  AppOnBench b;
  b.Start();
  b.sim().faults.dead = true;
  ModalAnswerer person;
  b.ClickAndWait(ctl::kGeneralStatus);
  EXPECT_EQ(person.texts, (std::vector<std::string>{"No valid comms"}));
  EXPECT_EQ(person.titles, (std::vector<std::string>{kProgramCaption}));
  EXPECT_TRUE(b.window().button(ctl::kSetTime)->isVisibleTo(&b.window()));
  EXPECT_TRUE(b.window().isEnabled()) << "the busy window has gone and re-enabled the window";
  EXPECT_EQ(b.app->op().busyWindow(), nullptr);
}

TEST(QtMainWindow, NoUnitFoundOpensThePortDialogAndTheChosenPortIsUsed) {
  AppOnBench b;
  b.sim().faults.dead = true;
  ModalAnswerer person;
  std::string details;
  std::string paneWhileChoosing;
  int rowsBefore = 0, rowsAfter = 0, comm4Before = -1, comm4After = -1;
  person.onDialog = [&](QWidget* w) {
    if (auto* ports = qobject_cast<PortSelectWindow*>(w)) {
      paneWhileChoosing = b.window().pane()->toPlainText().toStdString();
      rowsBefore = ports->table()->rowCount();
      comm4Before = ports->list()->findText("COMM  4");
      // An adapter pulled out while the dialog is open leaves the list and the table.
      b.app->bench()->provider.RemovePort(4);
      ports->Rescan();
      rowsAfter = ports->table()->rowCount();
      comm4After = ports->list()->findText("COMM  4");
      ports->list()->setCurrentIndex(ports->list()->findText("COMM  3"));
      details = ports->details()->text().toStdString();
      ports->selectButton()->click();
    }
  };
  b.Start();
  EXPECT_EQ(details, "Device: sim:COM3\nSimulated Velmoor unit");
  EXPECT_EQ(b.dlg().unitPort, 3);
  EXPECT_TRUE(person.texts.empty());
  // The pane lists what each port did while the operator chooses, and keeps it.
  EXPECT_EQ(paneWhileChoosing.rfind("No unit answered. The ports tried:\nCOM1 (sim:COM1): no answer", 0), 0u)
      << paneWhileChoosing;
  EXPECT_EQ(b.window().pane()->toPlainText().toStdString(), paneWhileChoosing);
  EXPECT_EQ(rowsBefore, 4);
  EXPECT_GE(comm4Before, 0);
  EXPECT_EQ(rowsAfter, 3);
  EXPECT_EQ(comm4After, -1);
  EXPECT_NE(b.window().statusLine()->text().toStdString().find("Port: COM3 (sim:COM3)  |  9600 bit/s"), std::string::npos);
}

TEST(QtMainWindow, QuickSetRunsThroughTheSettingsDialogAndItsBoxes) {
  AppOnBench b;
  b.Start();
  ModalAnswerer person;
  int dialogs = 0;
  // The simulated unit is of the QRN model, so the navigation schemes are offered: A3, High
  // power, Maximum gain, Set.
  person.onDialog = [&](QWidget* w) {
    if (auto* quickset = dynamic_cast<QuicksetDialog*>(w)) {
      ++dialogs;
      quickset->schemeButton(2)->click();
      quickset->powerList()->setCurrentText("High");
      quickset->gainList()->setCurrentText("Maximum");
      quickset->setButton()->click();
    }
  };
  b.ClickAndWait(ctl::kQuickSet);
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(person.texts, (std::vector<std::string>{quickset_text::kSetCorrectly, "Enable Unit (Yes)\nor\nDisable unit to save battery power (No)"}));
  EXPECT_TRUE(b.window().pane()->toPlainText().startsWith("#HWST"));
  EXPECT_TRUE(b.window().isEnabled());
}

TEST(QtBusyWindow, DisablesTheMainWindowShowsItsCaptionAtOnceAndAnimates) {
  AppOnBench b;
  b.Start();
  QtOperator& op = b.app->op();
  op.ShowBusy();
  CBusyDlg* busy = op.busyWindow();
  ASSERT_NE(busy, nullptr);
  EXPECT_TRUE(busy->isVisible());
  EXPECT_FALSE(b.window().isEnabled());
  op.SetBusyCaption("Setting time");
  EXPECT_EQ(busy->caption(), "Setting time") << "no event processing needed";
  EXPECT_EQ(busy->animation()->clip(), 2);
  const long start = busy->animation()->framesAdvanced();
  EXPECT_TRUE(WaitUntil([&] { return busy->animation()->framesAdvanced() >= start + 3; }));
  op.ShowBusy();
  EXPECT_EQ(op.busyWindow(), busy) << "one at most";
  op.HideBusy();
  EXPECT_EQ(op.busyWindow(), nullptr);
  EXPECT_TRUE(b.window().isEnabled());
}

TEST(QtBusyWindow, KeepsMovingWhileTheWorkerIsBlocked) {
  AppOnBench b;
  b.Start();
  QtOperator& op = b.app->op();
  std::atomic<bool> release{false};
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
}

TEST(QtOperatorCalls, ABoxAskedOnTheWorkerIsAnsweredOnTheGuiThread) {
  AppOnBench b;
  b.Start();
  ModalAnswerer person;
  person.answers.push_back(QMessageBox::No);
  MbAnswer answer = MbAnswer::Ok;
  b.app->worker().Start([&] {
    answer = b.app->op().MessageBox("Run Release test", "Release test", MbButtons::YesNo, MbIcon::Exclamation);
  });
  b.app->worker().WaitIdle();
  EXPECT_EQ(answer, MbAnswer::No);
  EXPECT_EQ(person.texts, (std::vector<std::string>{"Run Release test"}));
  EXPECT_EQ(person.titles, (std::vector<std::string>{"Release test"}));
}

TEST(QtOperatorCalls, TheProgressBarFollowsTheLoad) {
  AppOnBench b;
  b.Start();
  b.app->worker().Start([&] {
    b.app->op().ShowProgress(true);
    b.app->op().SetProgress(40);
  });
  b.app->worker().WaitIdle();
  EXPECT_TRUE(b.window().progress()->isVisibleTo(&b.window()));
  EXPECT_EQ(b.window().progress()->value(), 40);
  b.app->op().ShowProgress(false);
  EXPECT_FALSE(b.window().progress()->isVisibleTo(&b.window()));
}

TEST(QtEntryDialog, EnterOrOkReturnsTheTextAndEscKeepsTheValue) {
  CEntryDlg model;
  model.useEnterButton = true;
  model.title = "Enter serial number as xxxxx-yy";
  model.value = "";
  {
    EntryWindow w(model);
    EXPECT_EQ(w.windowTitle(), "Enter serial number as xxxxx-yy");
    EXPECT_FALSE(w.enterButton()->isHidden());
    EXPECT_TRUE(w.okButton()->isHidden());
    EXPECT_EQ(w.edit()->accessibleName(), "Enter serial number as xxxxx-yy");
    w.edit()->setText("12345-07");
    w.enterButton()->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
  }
  EXPECT_EQ(model.value, "12345-07");

  model.useEnterButton = false;
  model.value = "1000";
  {
    EntryWindow w(model);
    EXPECT_TRUE(w.enterButton()->isHidden());
    EXPECT_FALSE(w.okButton()->isHidden());
    EXPECT_EQ(w.edit()->text(), "1000");
    w.edit()->setText("1013");
    w.show();
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_EQ(w.result(), QDialog::Rejected);
  }
  EXPECT_EQ(model.value, "1000");
}

TEST(QtPortDialog, ListsThePortsStartsEmptyAndNamesTheDevice) {
  CPortSelectDlg model;
  model.SetPresent({false, true, false, true});
  ASSERT_TRUE(model.Open());
  std::vector<SerialPortInfo> ports = {{1, "/dev/ttyUSB0", "USB serial adapter", 0, 0, "", ""},
                                        {3, "/dev/ttyS0", "On-board port", 0, 0, "", ""}};
  {
    PortSelectWindow w(model, ports);
    EXPECT_EQ(w.windowTitle(), "Comm port selection");
    ASSERT_EQ(w.list()->count(), 2);
    EXPECT_EQ(w.list()->itemText(0), "COMM  1");
    EXPECT_EQ(w.list()->itemText(1), "COMM  3");
    EXPECT_EQ(w.list()->currentText(), "");
    w.list()->setCurrentIndex(0);
    EXPECT_EQ(w.details()->text(), "Device: /dev/ttyUSB0\nUSB serial adapter");
    w.selectButton()->click();
  }
  EXPECT_EQ(model.chosenPort, 1);

  model.Open();
  {
    PortSelectWindow w(model, ports);
    w.selectButton()->click();  // nothing chosen
  }
  EXPECT_EQ(model.chosenPort, 0);

  model.Open();
  {
    PortSelectWindow w(model, ports);
    w.list()->setEditText("COMM 4");
    EXPECT_EQ(w.details()->text(), "No device information");
    w.selectButton()->click();
  }
  EXPECT_EQ(model.chosenPort, 4);
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
