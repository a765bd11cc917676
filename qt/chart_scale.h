// The arithmetic of the dossier's charts, apart from their painting: a value axis at round
// steps, a time axis whose step follows the span shown (minutes, hours, days, weeks, months,
// years) and whose labels never repeat, and the mapping of a time and a value to a pixel.
// QtCore only (dates and zones), so it is tested without drawing anything.
#pragma once
#include <QRectF>
#include <QString>
#include <QTimeZone>
#include <QtGlobal>
#include <functional>
#include <vector>

namespace chart {

// A value axis: from lo to hi in steps of step, a label at each tick with the same decimals.
struct ValueAxis {
  double lo = 0, hi = 1, step = 1;
  int decimals = 0;
  std::vector<double> ticks;
  QString Label(double v) const;
};
// The axis for values from lo to hi (the readings and the limits), with at most maxTicks ticks
// (at least 2) at steps of 1, 2, 2.5 or 5 times a power of ten and a little room above and
// below. Equal values get room around them; non-finite bounds give the axis 0 to 1.
ValueAxis NiceValueAxis(double lo, double hi, int maxTicks);

// The span of time a chart shows for readings from first to last (ms since 1970): a twentieth
// more on each side so that no point sits on the frame, at least an hour; a single reading
// gets twelve hours either side.
struct TimeSpan {
  qint64 first = 0, last = 0;
};
TimeSpan SpanAround(qint64 first, qint64 last);

enum class TimeUnit { Minute, Hour, Day, Week, Month, Year };
struct TimeStep {
  TimeUnit unit = TimeUnit::Day;
  int count = 1;
};
// A tick of the time axis: its time and its label. A label has one or two lines: the tick's
// own ("08:00", "7 Dec", "Dec", "2026") and, under the first tick and wherever it changes, the
// coarser part it leaves out (the date under hours, the year under days and months).
struct TimeTick {
  qint64 ms = 0;
  QString label;
};
struct TimeAxis {
  TimeSpan span;
  TimeStep step;
  std::vector<TimeTick> ticks;
  QString zone;  // what the times are in: ZoneText over the span
};
// The zone as the terminal shows it beside a local time: its offset from UTC ("UTC+01:00",
// "UTC-03:30", "UTC" itself), each offset it takes over the span in turn ("UTC+01:00 / UTC+02:00"
// across a change to summer time).
QString ZoneText(TimeSpan span, const QTimeZone& zone);
// The time axis over a span drawn `pixels` wide, with times shown in `zone`: the finest step
// whose labels, each labelWidth(line) wide at most and a gap apart, fit side by side. Ticks sit
// on whole minutes, hours, midnights, Mondays, firsts of the month and New Years in that zone.
TimeAxis MakeTimeAxis(TimeSpan span, const QTimeZone& zone, double pixels,
                      const std::function<double(const QString&)>& labelWidth, double gap = 12);

// Times and values to pixels inside a plot rectangle (values grow upwards).
struct Mapping {
  QRectF plot;
  TimeSpan span;
  double lo = 0, hi = 1;
  double X(qint64 ms) const;
  double Y(double value) const;
};

}  // namespace chart
