// The unit history as the window tells it: a file it cannot use, or an event it cannot write,
// stops nothing. No box opens; the start-up search runs from its timer; the status line says
// so (and reads out as it shows, to a screen reader); the pane and the session log tell the
// message once.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QAccessible>
#include <QLabel>
#include <QPlainTextEdit>
#include <fstream>

#include "platform/session_log.h"
#include "qt_support.h"

namespace {

std::string StatusLine(AppOnBench& b) { return b.window().statusLine()->text().toStdString(); }
std::string Pane(AppOnBench& b) { return b.window().pane()->toPlainText().toStdString(); }
size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}
std::string LogText(const std::filesystem::path& root) {
  std::string text;
  for (const auto& e : std::filesystem::directory_iterator(root / "T7Status" / "logs")) {
    std::ifstream in(e.path());
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  return text;
}

}  // namespace

TEST(QtHistoryState, AnUnreadableHistoryOpensNoBoxAndTheSearchRuns) {
  ModalAnswerer person;
  AppOnBench b({}, [](const std::filesystem::path& root) {
    std::ofstream(root / "history.sqlite") << "bench notes, not a database\n";
    ASSERT_NE(SessionLog::Start(DataPaths{root}, true, "test"), nullptr);
  });
  b.Start();
  EXPECT_FALSE(b.wire().empty()) << "the start-up search talked to the unit";
  EXPECT_GT(b.dlg().unitPort, 0);
  QTest::qWait(50);
  EXPECT_TRUE(person.titles.empty()) << person.titles.front();
  const std::string line = StatusLine(b);
  EXPECT_NE(line.find("  |  no unit history"), std::string::npos) << line;
  EXPECT_EQ(Occurrences(Pane(b), "is not a unit history database"), 1u) << Pane(b);
  // A screen reader reads the line as it is shown.
  QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(b.window().statusLine());
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->text(QAccessible::Name).toStdString(), line);

  // Told once: the next action's pane is its own, the status line still says it.
  b.window().Click(ctl::kGeneralStatus);
  b.app->worker().WaitIdle();
  EXPECT_EQ(Occurrences(Pane(b), "is not a unit history database"), 0u) << Pane(b);
  EXPECT_NE(StatusLine(b).find("no unit history"), std::string::npos);
  EXPECT_TRUE(person.titles.empty());
  SessionLog::Stop();
  EXPECT_EQ(Occurrences(LogText(b.root), "] history The unit history "), 1u) << LogText(b.root);
}

TEST(QtHistoryState, AnEventThatCannotBeWrittenIsToldOnceWithoutABox) {
  ModalAnswerer person;
  AppOnBench b;
  b.Start();
  EXPECT_EQ(StatusLine(b).find("history"), std::string::npos) << StatusLine(b);
  // The store refuses writes from here on; it belongs to the worker thread.
  b.app->worker().RunAndWait(
      [&] { ASSERT_EQ(sqlite3_exec(b.app->history().Db(), "PRAGMA query_only = 1", nullptr, nullptr, nullptr), 0); });
  std::vector<size_t> told;
  for (int i = 0; i < 2; ++i) {
    b.window().Click(ctl::kGeneralStatus);
    b.app->worker().WaitIdle();
    told.push_back(Occurrences(Pane(b), "The unit history "));
    EXPECT_NE(Pane(b).find("#HWST"), std::string::npos) << Pane(b);  // the action's own text stays
    EXPECT_NE(StatusLine(b).find("  |  unit history: an event was not written"), std::string::npos) << StatusLine(b);
  }
  EXPECT_EQ(told, (std::vector<size_t>{1, 0}));
  QTest::qWait(50);
  EXPECT_TRUE(person.titles.empty()) << person.titles.front();
}
