// The unit's dossier: the History button after a status read, the status line's note, and the
// dossier window drawing a store with three reads.
#include <gtest/gtest.h>

#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>

#include "history_window.h"
#include "qt_support.h"
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
  s.UnitId = 0x1A2B3C;
  s.Type = "Lithium";
  s.BatteryStacks = 1;
  const struct {
    float volts;
    int32_t count;
    const char* firmware;
    int32_t address;
  } reads[] = {{14.6f, 10, "V3.01", 1}, {14.4f, 30, "V3.01", 2}, {14.1f, 60, "V3.02", 3}};
  for (int i = 0; i < 3; ++i) {
    s.Voltage = reads[i].volts, s.Count = reads[i].count, s.T7V = reads[i].firmware, s.Address = reads[i].address;
    AppendRead(store, s, DateTime::FromCivil({2026, 10 + i, 5, 9, 0, 0}), {}, "bench-" + std::to_string(i + 1));
  }
  HistoryWindow w(store.LoadDossier(s.UnitId, DateTime::FromCivil({2026, 12, 7, 9, 0, 0})), store.settings, s.UnitId);

  ASSERT_EQ(w.visits()->rowCount(), 3);
  EXPECT_EQ(w.visits()->item(0, 1)->text(), "bench-3");  // newest first
  EXPECT_EQ(w.visits()->item(2, 0)->text(), "2026-10-05 09:00:00");
  // Each class holds its own differences: the address, the firmware, the battery.
  ASSERT_EQ(w.changes()->topLevelItemCount(), 3);
  const char* groups[] = {"configuration (1)", "firmware (1)", "measured (2)"};
  for (int g = 0; g < 3; ++g) EXPECT_EQ(w.changes()->topLevelItem(g)->text(0), groups[g]);
  EXPECT_EQ(w.changes()->topLevelItem(1)->child(0)->text(2), "V3.02");

  int withPoints = 0;
  for (QChartView* v : w.charts()) {
    auto* values = qobject_cast<QLineSeries*>(v->chart()->series().at(0));
    if (values->objectName() == "Voltage" || values->objectName() == "Count" || values->objectName() == "BatteryUsed") {
      EXPECT_EQ(values->count(), 3) << values->objectName().toStdString();
      ++withPoints;
    }
    if (values->objectName() == "BatteryUsed") {
      EXPECT_DOUBLE_EQ(values->at(2).y(), 60.0);
    }
  }
  EXPECT_EQ(withPoints, 3);
  EXPECT_TRUE(w.flags()->text().contains("release test due"));
  store.Close();
  std::filesystem::remove_all(dir);
}
