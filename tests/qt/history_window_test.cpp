// The unit's dossier: the History button after a status read, the status line's note, and the
// dossier window drawing a store with three reads.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QScrollBar>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>

#include "history_window.h"
#include "qt_support.h"
#include "time_chart.h"
#include "tests/history/history_support.h"

using namespace history;

TEST(QtHistory, GeneralStatusNotesTheLastVisitAndTheButtonOpensTheDossier) {
  AppOnBench b;
  b.Start();
  EXPECT_FALSE(b.window().historyButton()->isVisible());
  for (int i = 0; i < 2; ++i) {
    b.window().Click(ctl::kGeneralStatus);
    b.app->worker().WaitIdle();
    QCoreApplication::processEvents();
  }
  EXPECT_TRUE(b.window().historyButton()->isVisible());
  const std::string line = b.window().statusLine()->text().toStdString();
  EXPECT_NE(line.find("changed since "), std::string::npos) << line;
  b.window().historyButton()->click();
  ASSERT_TRUE(WaitUntil([&] { return b.window().historyWindow() != nullptr; }));
  EXPECT_EQ(b.window().historyWindow()->source(), nullptr);  // no site set
  EXPECT_EQ(b.window().historyWindow()->visits()->rowCount(), 2);
  b.window().historyWindow()->close();
}

TEST(QtHistory, TheDossierDrawsVisitsDifferencesAndSeries) {
  const auto dir = FreshTempDir("dossier");
  HistoryStore store;
  ASSERT_TRUE(store.Open(dir / "h.sqlite")) << store.Message();
  UnitStatus s;
  s.UnitId = 0x1A2B3C, s.Type = "Lithium", s.BatteryStacks = 1;
  const struct {
    float volts;
    int32_t count;
    const char* firmware;
    int32_t address;
  } reads[] = {{14.6f, 10, "V3.01", 1}, {14.4f, 30, "V3.01", 2}, {14.1f, 60, "V3.02", 3}};
  // First two visits of one day, minutes apart, with a pressure sensor zeroed: five charts.
  StatusChecks zeroed;
  zeroed.DepthOffsetValue = 0.5f;
  zeroed.DepthOffsetTime = DateTime::FromCivil({2026, 9, 4, 16, 0, 0});
  s.Voltage = 14.7f, s.Count = 5, s.T7V = "V3.01", s.Address = 1, s.DepthOffset = 1.25f;
  AppendRead(store, s, DateTime::FromCivil({2026, 9, 5, 9, 0, 0}), zeroed, "a-bench-with-a-long-name");
  s.DepthOffset = 1.5f;
  AppendRead(store, s, DateTime::FromCivil({2026, 9, 5, 9, 20, 0}), zeroed, "a-bench-with-a-long-name");
  for (int i = 0; i < 3; ++i) {
    s.Voltage = reads[i].volts, s.Count = reads[i].count, s.T7V = reads[i].firmware, s.Address = reads[i].address;
    AppendRead(store, s, DateTime::FromCivil({2026, 10 + i, 5, 9, 0, 0}), zeroed, "bench-" + std::to_string(i + 1));
  }
  HistoryWindow w(store.LoadDossier(s.UnitId, DateTime::FromCivil({2026, 12, 7, 9, 0, 0})), store.settings, s.UnitId);

  ASSERT_EQ(w.visits()->rowCount(), 5);
  EXPECT_EQ(w.visits()->item(0, 1)->text(), "bench-3");  // newest first
  // Local time to the minute; the zone in the column's title (the tests run in UTC).
  EXPECT_EQ(w.visits()->item(2, 0)->text(), "2026-10-05 09:00");
  EXPECT_EQ(w.visits()->horizontalHeaderItem(0)->text(), "Time (UTC)");
  // Each class holds its own differences: the address, the firmware, the battery.
  ASSERT_EQ(w.changes()->topLevelItemCount(), 3);
  const char* groups[] = {"configuration (1)", "firmware (1)", "measured (2)"};
  for (int g = 0; g < 3; ++g) EXPECT_EQ(w.changes()->topLevelItem(g)->text(0), groups[g]);

  // A chart per series, each reading its own point (the two of one day too), limits where
  // the series has them; the voltage's drawn as the others'.
  QStringList names;
  for (TimeChart* c : w.charts()) {
    names << c->objectName();
    const std::string name = c->objectName().toStdString();
    if (name == "Voltage" || name == "Count" || name == "BatteryUsed") {
      EXPECT_EQ(c->points().size(), 5u) << name;
    }
    if (name == "BatteryUsed") {
      EXPECT_DOUBLE_EQ(c->points()[4].value, 60.0);
      EXPECT_EQ(c->limits().size(), 2u);
    }
  }
  EXPECT_EQ(names, QStringList({"Voltage", "BatteryUsed", "Count", "DepthOffset", "DepthOffsetValue"}));
  EXPECT_TRUE(w.flags()->text().contains("release test due"));

  // On a 1024x768 screen (less a title bar and a task bar) all of it shows: every chart at
  // least as large as it asks, its legend inside it, and the visits' and changes' columns
  // whole, without a scroll bar.
  EXPECT_LE(w.minimumSizeHint().width(), 1024);
  EXPECT_LE(w.minimumSizeHint().height(), 700);
  w.resize(1024, 700);
  w.show();
  QCoreApplication::processEvents();
  for (TimeChart* c : w.charts()) {
    const std::string name = c->objectName().toStdString();
    EXPECT_GE(c->width(), c->minimumSizeHint().width()) << name;
    EXPECT_GE(c->height(), c->minimumSizeHint().height()) << name;
    EXPECT_TRUE(w.rect().contains(QRect(c->mapTo(&w, QPoint(0, 0)), c->size()))) << name;
    for (const QRect& r : c->legendItems()) EXPECT_TRUE(c->rect().contains(r)) << name;
  }
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(w.visits()), static_cast<QAbstractItemView*>(w.changes())}) {
    auto* header = view == w.visits() ? w.visits()->horizontalHeader() : w.changes()->header();
    int columns = 0;
    for (int c = 0; c < header->count(); ++c) columns += header->sectionSize(c);
    EXPECT_LE(columns, view->viewport()->width()) << view->objectName().toStdString();
    EXPECT_GE(header->sectionSize(header->count() - 1), 40) << view->objectName().toStdString();
  }
  w.close();
  store.Close();
  std::filesystem::remove_all(dir);
}
