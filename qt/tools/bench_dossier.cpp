// The dossier of a unit with 1,000 visits: a history store of 1,000 status reads of one unit
// (one every 8 hours, its battery count and voltage moving), then the time from reading the
// dossier out of the store to the dossier window drawn on the screen. Prints the time against
// the target of one second and their ratio.
#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "history/history_store.h"
#include "history_window.h"

namespace {

constexpr int64_t kVisitGapMs = int64_t{8} * 3600 * 1000;

// Fills the store with a status read of the unit every 8 hours from first on, its battery count
// and voltage moving. False (told) when the store refuses one.
bool FillVisits(history::HistoryStore& store, UnitStatus& s, const DateTime& first, int visits) {
  for (int i = 0; i < visits; ++i) {
    const DateTime at = history::FromUnixMs(history::ToUnixMs(first) + int64_t{i} * kVisitGapMs);
    s.Count = 10 + i / 20;
    s.Voltage = 14.6f - 0.0005f * static_cast<float>(i);
    history::HistoryEvent ev;
    ev.time = at;
    ev.unitId = s.UnitId;
    ev.serial = s.SerialNo.str();
    ev.bench = "bench-" + std::to_string(1 + i % 3);
    ev.action = "General Status";
    ev.outcome = "done";
    ev.statusRead = true;
    StatusChecks c;
    c.LastStatusTime = at;
    const history::FieldTexts t = history::TextsOf(c, s);
    if (!store.Append(ev, &t)) {
      std::fprintf(stderr, "%s\n", store.Message().c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  const int visits = argc > 1 ? std::atoi(argv[1]) : 1000;
  const auto dir =
      std::filesystem::temp_directory_path() / ("vt-bench-dossier-" + std::to_string(QCoreApplication::applicationPid()));
  std::filesystem::create_directories(dir);
  history::HistoryStore store;
  if (!store.Open(dir / "history.sqlite")) {
    std::fprintf(stderr, "%s\n", store.Message().c_str());
    return 2;
  }
  UnitStatus s;
  s.UnitId = 0x1A2B3C;
  s.SerialNo = "002345-007";
  s.T7V = "V3.01";
  s.Type = "Lithium";
  s.BatteryStacks = 1;
  const DateTime first = DateTime::FromCivil({2025, 1, 6, 8, 0, 0});
  if (!FillVisits(store, s, first, visits)) return 2;
  const DateTime now = history::FromUnixMs(history::ToUnixMs(first) + int64_t{visits} * kVisitGapMs);

  // Twice: the first pays for the fonts and styles that the program's first window loads.
  double ms = 0;  // the slower of the two
  int rows = 0;
  for (int run = 0; run < 2; ++run) {
    QElapsedTimer timer;
    timer.start();
    HistoryWindow w(store.LoadDossier(s.UnitId, now), store.settings, s.UnitId);
    w.show();
    w.repaint();
    QCoreApplication::processEvents();
    const double took = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    ms = std::max(ms, took);
    rows = w.visits()->rowCount();
    std::printf("dossier of %d visits (%d rows) %s: %.1f ms\n", visits, rows, run == 0 ? "first window" : "again", took);
  }
  std::printf("dossier of %d visits shown: %.1f ms / target 1000 ms = %.3f\n", visits, ms, ms / 1000.0);
  store.Close();
  std::filesystem::remove_all(dir);
  return rows == visits ? 0 : 1;
}
