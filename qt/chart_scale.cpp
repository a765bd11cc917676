#include "chart_scale.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace chart {

namespace {

constexpr qint64 kHourMs = 3600 * 1000;

// The next round step at or above raw: 1, 2, 2.5 or 5 times a power of ten, and its decimals.
double RoundStep(double raw, int* decimals) {
  const int e = int(std::floor(std::log10(raw)));
  const double unit = std::pow(10.0, e);
  for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    if (m * unit >= raw * (1 - 1e-9)) {
      const int exp = m == 10.0 ? e + 1 : e;
      *decimals = std::max(0, -exp) + (m == 2.5 && exp <= 0 ? 1 : 0);
      return m * unit;
    }
  }
  *decimals = std::max(0, -(e + 1));
  return 10 * unit;
}

// Where a step's ticks are counted from: the civil date and minute of the day in the zone.
struct Cursor {
  QDate date;
  int minute = 0;  // of the day
};

Cursor Floor(qint64 ms, TimeStep step, const QTimeZone& zone) {
  const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms, zone);
  Cursor c{t.date(), t.time().hour() * 60 + t.time().minute()};
  switch (step.unit) {
    case TimeUnit::Minute:
      c.minute -= c.minute % step.count;
      break;
    case TimeUnit::Hour:
      c.minute -= c.minute % (60 * step.count);
      break;
    case TimeUnit::Day:
      c.minute = 0;
      c.date = c.date.addDays(-(c.date.toJulianDay() % step.count));
      break;
    case TimeUnit::Week:
      c.minute = 0;
      c.date = c.date.addDays(1 - c.date.dayOfWeek());  // the Monday
      c.date = c.date.addDays(-7 * ((c.date.toJulianDay() / 7) % step.count));
      break;
    case TimeUnit::Month:
      c.minute = 0;
      c.date = QDate(c.date.year(), 1 + (c.date.month() - 1) / step.count * step.count, 1);
      break;
    case TimeUnit::Year:
      c.minute = 0;
      c.date = QDate(c.date.year() - ((c.date.year() % step.count) + step.count) % step.count, 1, 1);
      break;
  }
  return c;
}

Cursor Next(Cursor c, TimeStep step) {
  switch (step.unit) {
    case TimeUnit::Minute:
    case TimeUnit::Hour:
      // Every sub-day step divides a day, so the ticks restart at each midnight.
      c.minute += step.unit == TimeUnit::Minute ? step.count : 60 * step.count;
      while (c.minute >= 24 * 60) c.minute -= 24 * 60, c.date = c.date.addDays(1);
      break;
    case TimeUnit::Day:
      c.date = c.date.addDays(step.count);
      break;
    case TimeUnit::Week:
      c.date = c.date.addDays(7 * step.count);
      break;
    case TimeUnit::Month:
      c.date = c.date.addMonths(step.count);
      break;
    case TimeUnit::Year:
      c.date = c.date.addYears(step.count);
      break;
  }
  return c;
}

// A tick's own text and the coarser part it leaves out (empty for years).
struct TickText {
  QString own, context;
};
TickText TextOf(qint64 ms, TimeUnit unit, const QTimeZone& zone) {
  const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms, zone);
  const QLocale c = QLocale::c();  // English month names, whatever the desktop's language
  switch (unit) {
    case TimeUnit::Minute:
    case TimeUnit::Hour:
      return {c.toString(t, "HH:mm"), c.toString(t, "d MMM yyyy")};
    case TimeUnit::Day:
    case TimeUnit::Week:
      return {c.toString(t, "d MMM"), c.toString(t, "yyyy")};
    case TimeUnit::Month:
      return {c.toString(t, "MMM"), c.toString(t, "yyyy")};
    case TimeUnit::Year:
      return {c.toString(t, "yyyy"), {}};
  }
  return {};
}

// The ticks of one step over the span; false when there would be more than `most`.
bool TicksOf(TimeSpan span, TimeStep step, const QTimeZone& zone, size_t most, std::vector<qint64>* out) {
  out->clear();
  for (Cursor c = Floor(span.first, step, zone);; c = Next(c, step)) {
    const qint64 ms = QDateTime(c.date, QTime(c.minute / 60, c.minute % 60), zone).toMSecsSinceEpoch();
    if (ms > span.last) return true;
    // A clock change can map two civil times to one instant, or skip one: keep times rising.
    if (ms < span.first || (!out->empty() && ms <= out->back())) continue;
    if (out->size() == most) return false;
    out->push_back(ms);
  }
}

}  // namespace

QString ValueAxis::Label(double v) const {
  if (std::abs(v) < step * 1e-6) v = 0;  // no "-0.0"
  return QString::number(v, 'f', decimals);
}

ValueAxis NiceValueAxis(double lo, double hi, int maxTicks) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0, hi = 1;
  if (lo > hi) std::swap(lo, hi);
  maxTicks = std::max(2, maxTicks);
  double pad = (hi - lo) * 0.05;
  if (hi - lo <= 1e-9 * std::max(1.0, std::abs(hi))) pad = std::max(1.0, std::abs(hi) * 0.1);
  double a = lo - pad, b = hi + pad;
  if (lo >= 0 && a < 0) a = 0;  // a count or a share does not go below zero
  ValueAxis axis;
  double raw = (b - a) / (maxTicks - 1);
  for (int tries = 0; tries < 8; ++tries) {
    axis.step = RoundStep(raw, &axis.decimals);
    axis.lo = std::floor(a / axis.step + 1e-9) * axis.step;
    axis.hi = std::ceil(b / axis.step - 1e-9) * axis.step;
    const int n = int(std::lround((axis.hi - axis.lo) / axis.step)) + 1;
    if (n <= maxTicks) {
      axis.ticks.clear();
      for (int i = 0; i < n; ++i) axis.ticks.push_back(axis.lo + i * axis.step);
      return axis;
    }
    raw = axis.step * 1.01;
  }
  return axis;
}

TimeSpan SpanAround(qint64 first, qint64 last) {
  if (first > last) std::swap(first, last);
  if (last - first < kHourMs / 60) return {first - 12 * kHourMs, last + 12 * kHourMs};
  qint64 pad = (last - first) / 20;
  if (last - first + 2 * pad < kHourMs) pad = (kHourMs - (last - first)) / 2 + 1;
  return {first - pad, last + pad};
}

QString ZoneText(TimeSpan span, const QTimeZone& zone) {
  auto text = [](int seconds) {
    const int minutes = std::abs(seconds) / 60;
    if (minutes == 0) return QString("UTC");
    return QString("UTC%1%2:%3")
        .arg(seconds < 0 ? '-' : '+')
        .arg(minutes / 60, 2, 10, QChar('0'))
        .arg(minutes % 60, 2, 10, QChar('0'));
  };
  const QDateTime from = QDateTime::fromMSecsSinceEpoch(span.first, QTimeZone::utc());
  const QDateTime to = QDateTime::fromMSecsSinceEpoch(std::max(span.first, span.last), QTimeZone::utc());
  QStringList offsets{text(zone.offsetFromUtc(from))};
  // Each change of offset within the span (summer time, or the zone's own changes).
  for (const QTimeZone::OffsetData& change : zone.transitions(from, to)) {
    const QString t = text(change.offsetFromUtc);
    if (t != offsets.back()) offsets.push_back(t);
  }
  return offsets.join(" / ");
}

TimeAxis MakeTimeAxis(TimeSpan span, const QTimeZone& zone, double pixels,
                      const std::function<double(const QString&)>& labelWidth, double gap) {
  static const TimeStep kSteps[] = {
      {TimeUnit::Minute, 1}, {TimeUnit::Minute, 2},  {TimeUnit::Minute, 5},  {TimeUnit::Minute, 10},
      {TimeUnit::Minute, 15}, {TimeUnit::Minute, 30}, {TimeUnit::Hour, 1},    {TimeUnit::Hour, 2},
      {TimeUnit::Hour, 3},   {TimeUnit::Hour, 6},    {TimeUnit::Hour, 12},   {TimeUnit::Day, 1},
      {TimeUnit::Day, 2},    {TimeUnit::Week, 1},    {TimeUnit::Week, 2},    {TimeUnit::Month, 1},
      {TimeUnit::Month, 2},  {TimeUnit::Month, 3},   {TimeUnit::Month, 6},   {TimeUnit::Year, 1},
      {TimeUnit::Year, 2},   {TimeUnit::Year, 5},    {TimeUnit::Year, 10},   {TimeUnit::Year, 20},
      {TimeUnit::Year, 50},  {TimeUnit::Year, 100}};
  if (span.last <= span.first) span.last = span.first + 1;
  const double perMs = std::max(1.0, pixels) / double(span.last - span.first);
  TimeAxis axis;
  axis.span = span;
  axis.zone = ZoneText(span, zone);
  std::vector<qint64> times;
  for (const TimeStep& step : kSteps) {
    const size_t most = size_t(std::max(1.0, pixels / (gap + 8))) + 1;  // no label is narrower than 8 px
    if (!TicksOf(span, step, zone, most, &times)) continue;
    // Labels: the tick's own, with the coarser part under the first tick and where it changes;
    // should an own text come twice (08:00 on two days), every tick says its coarser part.
    std::vector<TickText> texts;
    for (const qint64 ms : times) texts.push_back(TextOf(ms, step.unit, zone));
    bool everywhere = false;
    for (size_t i = 0; i < texts.size() && !everywhere; ++i)
      for (size_t j = i + 1; j < texts.size() && !everywhere; ++j) everywhere = texts[i].own == texts[j].own;
    std::vector<TimeTick> ticks;
    std::vector<double> widths;  // of each label's widest line
    for (size_t i = 0; i < times.size(); ++i) {
      QString label = texts[i].own;
      double w = labelWidth(texts[i].own);
      if (!texts[i].context.isEmpty() && (everywhere || i == 0 || texts[i].context != texts[i - 1].context)) {
        label += "\n" + texts[i].context;
        w = std::max(w, labelWidth(texts[i].context));
      }
      ticks.push_back({times[i], label});
      widths.push_back(w);
    }
    // Labels are centred on their ticks: neighbours need half of each and the gap between them.
    bool fits = true;
    for (size_t i = 1; i < times.size() && fits; ++i)
      fits = double(times[i] - times[i - 1]) * perMs >= (widths[i - 1] + widths[i]) / 2 + gap;
    axis.step = step;
    axis.ticks = std::move(ticks);
    if (fits) break;
  }
  return axis;
}

double Mapping::X(qint64 ms) const {
  const double w = double(std::max<qint64>(1, span.last - span.first));
  return plot.left() + double(ms - span.first) / w * plot.width();
}

double Mapping::Y(double value) const {
  const double h = hi > lo ? hi - lo : 1.0;
  return plot.bottom() - (value - lo) / h * plot.height();
}

}  // namespace chart
