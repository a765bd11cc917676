#include "history_window.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "history/unit_state.h"
#include "history/visit_note.h"
#include "time_chart.h"

using namespace history;

namespace {

// Local time with its zone, as every screen of the terminal shows times.
QString Local(const DateTime& t) { return QString::fromStdString(LocalTimeText(t, true)); }

// The zone of this PC now ("UTC+01:00"), which the visits' column names once.
std::string ZoneNow() { return LocalTimeText(DateTime::NowUtc()).substr(17); }

// A visit's local time to the minute; its zone only where it differs from the column's (a visit
// in the other half of the year's summer time).
QString VisitTime(const DateTime& t, const std::string& zone) {
  const std::string text = LocalTimeText(t);
  return QString::fromStdString(text.size() > 17 && text.substr(17) == zone ? text.substr(0, 16) : text);
}

const char* TitleOf(const std::string& element) {
  if (element == "Voltage") return "Battery voltage (V)";
  if (element == "BatteryUsed") return "Battery used (%)";
  if (element == "Count") return "Battery count";
  if (element == "DepthOffset") return "Depth offset";
  if (element == "DepthOffsetValue") return "Depth offset set at the last zeroing";
  return element.c_str();
}

// The chart of one series: its readings and the limits it is judged by.
TimeChart* ChartOf(const FieldSeries& s, const std::vector<SeriesLimit>& limits) {
  std::vector<TimeChart::Point> points;
  for (const SeriesPoint& p : s.points) points.push_back({ToUnixMs(p.time), p.value});
  std::vector<TimeChart::Limit> lines;
  for (const SeriesLimit& l : limits)
    lines.push_back({QString::fromStdString(l.label), l.value,
                     l.label == "capacity" ? QColor(160, 0, 0) : QColor(220, 120, 0)});
  auto* chart = new TimeChart;
  chart->setObjectName(QString::fromStdString(s.element));
  chart->setData(TitleOf(s.element), "read", std::move(points), std::move(lines));
  return chart;
}

// Columns as wide as their contents, each at most a third of a 1024-pixel screen's dossier
// (a longer text is cut short, whole in its tool tip); the view is never narrower than its
// columns, so none is cut off or needs a scroll bar.
void FitColumns(QAbstractItemView* view, QHeaderView* header, int columns) {
  constexpr int kWidest = 170;
  int total = 0;
  for (int c = 0; c < columns; ++c) {
    header->resizeSection(c, std::min(kWidest, std::max(view->sizeHintForColumn(c), header->sectionSizeHint(c))));
    total += header->sectionSize(c);
  }
  header->setStretchLastSection(true);
  view->setTextElideMode(Qt::ElideRight);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view->setMinimumWidth(total + 2 * view->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) +
                        view->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2);
}

}  // namespace

HistoryWindow::HistoryWindow(const Dossier& d, const HistorySettings& settings, int32_t unitId, QWidget* parent,
                             const std::string& source, const std::string& detail)
    : QDialog(parent) {
  setObjectName("historyWindow");
  setWindowTitle(QString("History of unit %1").arg(unsigned(unitId), 6, 16, QChar('0')).toUpper());
  auto* outer = new QVBoxLayout(this);
  if (!source.empty()) outer->addWidget(BuildSource(source, detail));
  auto* grid = new QGridLayout;
  outer->addLayout(grid);
  grid->addWidget(BuildFlags(d, settings), 0, 0, 1, 2);
  grid->addWidget(new QLabel(QString("Visits (%1), newest first; local times").arg(d.visits.size()), this), 1, 0);
  grid->addWidget(BuildVisits(d), 2, 0);
  grid->addWidget(
      new QLabel(d.lastDiff.found
                     ? QString("Since last visit: %1 to %2").arg(Local(d.lastDiff.fromTime), Local(d.lastDiff.toTime))
                     : QString("Since last visit: only one status read so far"),
                 this),
      3, 0);
  grid->addWidget(BuildChanges(d), 4, 0);
  grid->addLayout(BuildCharts(d, settings), 1, 1, 4, 1);
  grid->setColumnStretch(0, 2);
  grid->setColumnStretch(1, 3);

  auto* close = new QPushButton("Close", this);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  grid->addWidget(close, 5, 1, Qt::AlignRight);
  // Roomy where the screen allows, and never larger than it: the whole dossier fits 1024x768.
  QSize size(1280, 800);
  if (const QScreen* s = screen()) size = size.boundedTo(s->availableGeometry().size() - QSize(16, 48));
  resize(size.expandedTo(minimumSizeHint()));
}

QLabel* HistoryWindow::BuildSource(const std::string& source, const std::string& detail) {
  QString text = QString::fromStdString(source);
  if (!detail.empty()) text += "\n" + QString::fromStdString(detail);
  source_ = new QLabel(text, this);
  source_->setObjectName("source");
  source_->setWordWrap(true);
  if (!detail.empty()) source_->setStyleSheet("color: #a00000;");
  return source_;
}

QLabel* HistoryWindow::BuildFlags(const Dossier& d, const HistorySettings& settings) {
  const std::vector<std::string> due = FlagTexts(d.flags, settings);
  QString dueText;
  for (const std::string& f : due) dueText += (dueText.isEmpty() ? "" : "; ") + QString::fromStdString(f);
  flags_ = new QLabel(due.empty() ? QString("Nothing due.") : "Due: " + dueText, this);
  flags_->setObjectName("flags");
  if (!due.empty()) flags_->setStyleSheet("font-weight: bold; color: #a00000;");
  return flags_;
}

QTableWidget* HistoryWindow::BuildVisits(const Dossier& d) {
  visits_ = new QTableWidget(int(d.visits.size()), 5, this);
  visits_->setObjectName("visits");
  const std::string zone = ZoneNow();
  visits_->setHorizontalHeaderLabels(
      {QString::fromStdString("Time (" + zone + ")"), "Bench", "Operator", "Done", "Outcome"});
  visits_->verticalHeader()->setVisible(false);
  visits_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int r = 0; r < visits_->rowCount(); ++r) {
    const HistoryEvent& ev = d.visits[size_t(r)];
    QString outcome = QString::fromStdString(ev.outcome);
    if (!ev.reason.empty()) outcome += ": " + QString::fromStdString(ev.reason);
    const QString cells[] = {VisitTime(ev.time, zone), QString::fromStdString(ev.bench), QString::fromStdString(ev.operatorName),
                             QString::fromStdString(ev.action), outcome};
    for (int c = 0; c < 5; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      item->setToolTip(cells[c]);
      visits_->setItem(r, c, item);
    }
  }
  FitColumns(visits_, visits_->horizontalHeader(), 5);
  return visits_;
}

QTreeWidget* HistoryWindow::BuildChanges(const Dossier& d) {
  changes_ = new QTreeWidget(this);
  changes_->setObjectName("changes");
  changes_->setHeaderLabels({"Field", "Before", "After"});
  for (const FieldClass c : {FieldClass::Configuration, FieldClass::Firmware, FieldClass::Measured}) {
    auto* group = new QTreeWidgetItem(changes_);
    int n = 0;
    for (const FieldChange& ch : d.lastDiff.changes) {
      if (ch.fieldClass != c) continue;
      ++n;
      // As the status report shows it, and as the status files name it (the group and the
      // files' texts in the tips, so the columns stay as narrow as the screen needs).
      const bool shown = !ch.label.empty();
      const std::string field =
          !shown ? ch.element : ch.label == ch.element ? ch.label : ch.label + " (" + ch.element + ")";
      auto* item = new QTreeWidgetItem(
          group, {QString::fromStdString(field), QString::fromStdString(shown ? ch.shownBefore : ch.before),
                  QString::fromStdString(shown ? ch.shownAfter : ch.after)});
      item->setToolTip(0, QString::fromStdString(ch.group + "/" + ch.element));
      item->setToolTip(1, QString::fromStdString(ch.before));
      item->setToolTip(2, QString::fromStdString(ch.after));
    }
    group->setText(0, QString("%1 (%2)").arg(FieldClassName(c)).arg(n));
    group->setExpanded(true);
  }
  FitColumns(changes_, changes_->header(), 3);
  return changes_;
}

QGridLayout* HistoryWindow::BuildCharts(const Dossier& d, const HistorySettings& settings) {
  auto* charts = new QGridLayout;
  std::vector<FieldSeries> series = d.series;
  series.insert(series.begin() + std::min<size_t>(1, series.size()), BatteryUsedSeries(d));
  for (const FieldSeries& s : series) {
    // A value this unit never gave (no pressure sensor, never zeroed) has no chart.
    if (s.points.empty() && s.element != "Voltage" && s.element != "BatteryUsed") continue;
    TimeChart* view = ChartOf(s, LimitsOf(s.element, d, settings));
    charts->addWidget(view, charts_.size() / 2, charts_.size() % 2);
    charts_.push_back(view);
  }
  return charts;
}
