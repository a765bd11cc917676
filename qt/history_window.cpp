#include "history_window.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "history/visit_note.h"

using namespace history;

namespace {

QString Utc(const DateTime& t) { return QString::fromStdString(t.ToText()); }

const char* TitleOf(const std::string& element) {
  if (element == "Voltage") return "Battery voltage (V)";
  if (element == "BatteryUsed") return "Battery used (%)";
  if (element == "Count") return "Battery count";
  if (element == "DepthOffset") return "Depth offset";
  if (element == "DepthOffsetValue") return "Depth offset set at the last zeroing";
  return element.c_str();
}

QChartView* ChartOf(const FieldSeries& s, const std::vector<SeriesLimit>& limits) {
  auto* chart = new QChart;
  chart->setTitle(TitleOf(s.element));
  chart->setMargins(QMargins(2, 2, 2, 2));
  auto* values = new QLineSeries;
  values->setObjectName(QString::fromStdString(s.element));
  values->setName("read");
  values->setPointsVisible(true);
  double lo = 0, hi = 1;
  qint64 first = 0, last = 0;
  for (const SeriesPoint& p : s.points) {
    const qint64 ms = ToUnixMs(p.time);
    if (values->count() == 0) lo = hi = p.value, first = last = ms;
    lo = std::min(lo, p.value), hi = std::max(hi, p.value);
    first = std::min(first, ms), last = std::max(last, ms);
    values->append(double(ms), p.value);
  }
  if (values->count() == 0) first = last = QDateTime::currentMSecsSinceEpoch();
  if (last - first < 3600 * 1000) first -= 43200 * 1000, last += 43200 * 1000;  // one read: a day around it
  chart->addSeries(values);
  auto* x = new QDateTimeAxis;
  x->setFormat("yyyy-MM-dd");
  x->setTickCount(3);
  x->setRange(QDateTime::fromMSecsSinceEpoch(first, Qt::UTC), QDateTime::fromMSecsSinceEpoch(last, Qt::UTC));
  auto* y = new QValueAxis;
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  values->attachAxis(x);
  values->attachAxis(y);
  for (const SeriesLimit& l : limits) {
    auto* line = new QLineSeries;
    line->setName(QString::fromStdString(l.label));
    QPen pen(l.label == "capacity" ? QColor(160, 0, 0) : QColor(220, 120, 0));
    pen.setStyle(Qt::DashLine);
    pen.setWidth(2);
    line->setPen(pen);
    line->append(double(first), l.value);
    line->append(double(last), l.value);
    chart->addSeries(line);
    line->attachAxis(x);
    line->attachAxis(y);
    lo = std::min(lo, l.value), hi = std::max(hi, l.value);
  }
  const double pad = hi > lo ? (hi - lo) * 0.1 : std::max(1.0, std::abs(hi) * 0.1);
  y->setRange(lo - pad, hi + pad);
  y->applyNiceNumbers();
  chart->legend()->setVisible(!limits.empty());
  chart->legend()->setAlignment(Qt::AlignBottom);
  auto* view = new QChartView(chart);
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumSize(300, 200);
  return view;
}

}  // namespace

HistoryWindow::HistoryWindow(const Dossier& d, const HistorySettings& settings, int32_t unitId, QWidget* parent,
                             const std::string& source, const std::string& detail)
    : QDialog(parent) {
  setObjectName("historyWindow");
  setWindowTitle(QString("History of unit %1").arg(unsigned(unitId), 6, 16, QChar('0')).toUpper());
  auto* outer = new QVBoxLayout(this);
  // Where the visits come from: every bench's from the site, or this PC's own and why.
  if (!source.empty()) {
    QString text = QString::fromStdString(source);
    if (!detail.empty()) text += "\n" + QString::fromStdString(detail);
    source_ = new QLabel(text, this);
    source_->setObjectName("source");
    source_->setWordWrap(true);
    if (!detail.empty()) source_->setStyleSheet("color: #a00000;");
    outer->addWidget(source_);
  }
  auto* grid = new QGridLayout;
  outer->addLayout(grid);

  // What is due, over everything.
  const std::vector<std::string> due = FlagTexts(d.flags, settings);
  QString dueText;
  for (const std::string& f : due) dueText += (dueText.isEmpty() ? "" : "; ") + QString::fromStdString(f);
  flags_ = new QLabel(due.empty() ? QString("Nothing due.") : "Due: " + dueText, this);
  flags_->setObjectName("flags");
  if (!due.empty()) flags_->setStyleSheet("font-weight: bold; color: #a00000;");
  grid->addWidget(flags_, 0, 0, 1, 2);

  // The visits, newest first.
  grid->addWidget(new QLabel(QString("Visits (%1), newest first; times UTC").arg(d.visits.size()), this), 1, 0);
  visits_ = new QTableWidget(int(d.visits.size()), 5, this);
  visits_->setObjectName("visits");
  visits_->setHorizontalHeaderLabels({"Time", "Bench", "Operator", "Done", "Outcome"});
  visits_->verticalHeader()->setVisible(false);
  visits_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int r = 0; r < visits_->rowCount(); ++r) {
    const HistoryEvent& ev = d.visits[size_t(r)];
    QString outcome = QString::fromStdString(ev.outcome);
    if (!ev.reason.empty()) outcome += ": " + QString::fromStdString(ev.reason);
    const QString cells[] = {Utc(ev.time), QString::fromStdString(ev.bench), QString::fromStdString(ev.operatorName),
                             QString::fromStdString(ev.action), outcome};
    for (int c = 0; c < 5; ++c) visits_->setItem(r, c, new QTableWidgetItem(cells[c]));
  }
  visits_->resizeColumnsToContents();
  visits_->horizontalHeader()->setStretchLastSection(true);
  grid->addWidget(visits_, 2, 0);

  // Since the last visit: the differences between the last two status reads, by class.
  grid->addWidget(
      new QLabel(d.lastDiff.found
                     ? QString("Since last visit: %1 to %2").arg(Utc(d.lastDiff.fromTime), Utc(d.lastDiff.toTime))
                     : QString("Since last visit: only one status read so far"),
                 this),
      3, 0);
  changes_ = new QTreeWidget(this);
  changes_->setObjectName("changes");
  changes_->setHeaderLabels({"Field", "Before", "After"});
  for (const FieldClass c : {FieldClass::Configuration, FieldClass::Firmware, FieldClass::Measured}) {
    auto* group = new QTreeWidgetItem(changes_);
    int n = 0;
    for (const FieldChange& ch : d.lastDiff.changes) {
      if (ch.fieldClass != c) continue;
      ++n;
      new QTreeWidgetItem(group, {QString::fromStdString(ch.group + "/" + ch.element),
                                  QString::fromStdString(ch.before), QString::fromStdString(ch.after)});
    }
    group->setText(0, QString("%1 (%2)").arg(FieldClassName(c)).arg(n));
    group->setExpanded(true);
  }
  for (int c = 0; c < 3; ++c) changes_->resizeColumnToContents(c);
  grid->addWidget(changes_, 4, 0);

  // The measured values over time, the battery's used capacity among them, with their limits.
  auto* charts = new QGridLayout;
  std::vector<FieldSeries> series = d.series;
  series.insert(series.begin() + std::min<size_t>(1, series.size()), BatteryUsedSeries(d));
  for (const FieldSeries& s : series) {
    // A value this unit never gave (no pressure sensor, never zeroed) has no chart.
    if (s.points.empty() && s.element != "Voltage" && s.element != "BatteryUsed") continue;
    QChartView* view = ChartOf(s, LimitsOf(s.element, d, settings));
    charts->addWidget(view, charts_.size() / 2, charts_.size() % 2);
    charts_.push_back(view);
  }
  grid->addLayout(charts, 1, 1, 4, 1);
  grid->setColumnStretch(0, 2);
  grid->setColumnStretch(1, 3);

  auto* close = new QPushButton("Close", this);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  grid->addWidget(close, 5, 1, Qt::AlignRight);
  resize(1280, 800);
}
