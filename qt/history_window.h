// A unit's dossier drawn with Qt: its visits newest first, what changed between its last two
// status reads (configuration, firmware, measured values), its measured values over time with
// the limits they are judged by, and what is due. It only draws a history::Dossier; above it, a
// line says where the visits come from when a site is set (the site, or this PC's own and why).
#pragma once
#include <QDialog>

#include "history/history_store.h"

class QGridLayout;
class QLabel;
class QTableWidget;
class QTreeWidget;
class TimeChart;

class HistoryWindow : public QDialog {
  Q_OBJECT
 public:
  // source: where the visits come from (empty: no line); detail: a second line, why.
  HistoryWindow(const history::Dossier& dossier, const history::HistorySettings& settings, int32_t unitId,
                QWidget* parent = nullptr, const std::string& source = {}, const std::string& detail = {});

  QTableWidget* visits() const { return visits_; }
  QTreeWidget* changes() const { return changes_; }
  QLabel* flags() const { return flags_; }
  QLabel* source() const { return source_; }  // null when no site is set
  // One chart per measured series, named by its element ("Voltage", "BatteryUsed", ...), with
  // the series' limits. A series with no values has none, but for the battery's two.
  const QList<TimeChart*>& charts() const { return charts_; }

 private:
  // The window's parts: the line of where the visits come from, what is due over everything,
  // the visits newest first, the differences between the last two status reads by class, and
  // the measured values over time (the battery's used capacity among them) with their limits.
  QLabel* BuildSource(const std::string& source, const std::string& detail);
  QLabel* BuildFlags(const history::Dossier& d, const history::HistorySettings& settings);
  QTableWidget* BuildVisits(const history::Dossier& d);
  QTreeWidget* BuildChanges(const history::Dossier& d);
  QGridLayout* BuildCharts(const history::Dossier& d, const history::HistorySettings& settings);

  QTableWidget* visits_ = nullptr;
  QTreeWidget* changes_ = nullptr;
  QLabel* flags_ = nullptr;
  QLabel* source_ = nullptr;
  QList<TimeChart*> charts_;
};
