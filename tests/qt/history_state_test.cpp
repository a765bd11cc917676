// The unit history as the window tells it: a file it cannot use, or an event it cannot write,
// stops nothing. No box opens; the start-up search runs from its timer; the status line says
// so (and reads out as shown, to a screen reader); the pane and the session log tell it once.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QAccessible>
#include <fstream>

#include "platform/session_log.h"
#include "qt_support.h"

TEST(QtHistoryState, AnUnreadableHistoryOpensNoBoxAndTheSearchRuns) {
  ModalAnswerer person;
  AppOnBench b({}, [](const std::filesystem::path& root) {
    std::ofstream(root / "history.sqlite") << "bench notes, not a database\n";
    ASSERT_NE(SessionLog::Start(DataPaths{root}, true, "test"), nullptr);
  });
  b.Start();
  EXPECT_GT(b.dlg().unitPort, 0) << "the start-up search found the unit";
  EXPECT_NE(b.Pane().find("is not a unit history database"), std::string::npos) << b.Pane();
  EXPECT_NE(b.StatusLine().find("  |  no unit history"), std::string::npos) << b.StatusLine();
  EXPECT_EQ(QAccessible::queryAccessibleInterface(b.window().statusLine())->text(QAccessible::Name).toStdString(),
            b.StatusLine());
  // Told once: the next action's pane is its own; the status line still says it.
  b.Click(ctl::kGeneralStatus);
  EXPECT_EQ(b.Pane().find("is not a unit history database"), std::string::npos);
  EXPECT_NE(b.StatusLine().find("no unit history"), std::string::npos);
  SessionLog::Stop();
  EXPECT_EQ(Count(LoggedText(b.root), "] history The unit history "), 1u);
  EXPECT_TRUE(person.titles.empty()) << person.titles.front();
}

TEST(QtHistoryState, AnEventThatCannotBeWrittenIsToldOnceWithoutABox) {
  ModalAnswerer person;
  AppOnBench b;
  b.Start();
  // The store refuses writes from here on; it belongs to the worker thread.
  b.app->worker().RunAndWait(
      [&] { ASSERT_EQ(sqlite3_exec(b.app->history().Db(), "PRAGMA query_only = 1", nullptr, nullptr, nullptr), 0); });
  for (const bool first : {true, false}) {
    b.Click(ctl::kGeneralStatus);
    EXPECT_EQ(b.Pane().find("The unit history ") != std::string::npos, first) << b.Pane();
    EXPECT_NE(b.Pane().find("#HWST"), std::string::npos);  // under the action's own text
    EXPECT_NE(b.StatusLine().find("  |  unit history: an event was not written"), std::string::npos);
  }
  EXPECT_TRUE(person.titles.empty()) << person.titles.front();
}
