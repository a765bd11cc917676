// The start-up search with no unit answering, in the Qt program: the pane lists the ports tried
// while the port dialog is open, the dialog's table follows a port pulled out, and the status
// line shows the port chosen.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "port_select_window.h"
#include "tests/qt/qt_support.h"

namespace {

TEST(QtPortDialog, ListsThePortsTriedAndFollowsAPortPulledOut) {
  AppOnBench b;
  b.app->bench()->unit->faults.dead = true;
  ModalAnswerer person;
  std::string paneWhileChoosing;
  person.onDialog = [&](QWidget* w) {
    if (auto* ports = qobject_cast<PortSelectWindow*>(w)) {
      paneWhileChoosing = b.window().pane()->toPlainText().toStdString();
      EXPECT_EQ(ports->table()->rowCount(), 4);
      EXPECT_GE(ports->list()->findText("COMM  4"), 0);
      b.app->bench()->provider.RemovePort(4);
      ports->Rescan();
      EXPECT_EQ(ports->table()->rowCount(), 3);
      EXPECT_EQ(ports->list()->findText("COMM  4"), -1);
      ports->list()->setCurrentIndex(ports->list()->findText("COMM  3"));
      EXPECT_EQ(ports->details()->text().toStdString(), "Device: sim:COM3\nSimulated Velmoor unit");
      ports->selectButton()->click();
    }
  };
  b.Start();
  EXPECT_EQ(b.dlg().unitPort, 3);
  EXPECT_EQ(paneWhileChoosing.rfind("No unit answered. The ports tried:\nCOM1 (sim:COM1): no answer", 0), 0u)
      << paneWhileChoosing;
  EXPECT_EQ(b.window().pane()->toPlainText().toStdString(), paneWhileChoosing);
  EXPECT_NE(b.window().statusLine()->text().toStdString().find("Port: COM3 (sim:COM3)  |  9600 bit/s"),
            std::string::npos);
}

}  // namespace
