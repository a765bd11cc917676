// The dossier's chart: its axis arithmetic directly (steps, labels, spans, mapping), and its
// picture through an image rendered offscreen.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QImage>
#include <cmath>
#include <set>

#include "chart_scale.h"
#include "time_chart.h"

using namespace chart;

namespace {

constexpr qint64 kMin = 60 * 1000, kHour = 60 * kMin, kDay = 24 * kHour;
const qint64 k2026 = QDateTime(QDate(2026, 10, 7), QTime(8, 11, 31), QTimeZone::utc()).toMSecsSinceEpoch();

double SevenPerChar(const QString& s) { return 7.0 * s.size(); }

// Every label of the axis over [first, last] is different and no two labels overlap.
void ExpectReadableAxis(TimeSpan span, const QTimeZone& zone, double pixels, const std::string& what) {
  const TimeAxis axis = MakeTimeAxis(span, zone, pixels, SevenPerChar);
  ASSERT_FALSE(axis.ticks.empty()) << what;
  std::set<QString> labels;
  std::vector<double> widths;
  for (const TimeTick& t : axis.ticks) {
    EXPECT_TRUE(labels.insert(t.label).second) << what << ": \"" << t.label.toStdString() << "\" twice";
    EXPECT_GE(t.ms, span.first) << what;
    EXPECT_LE(t.ms, span.last) << what;
    widths.push_back(0);
    for (const QString& line : t.label.split('\n')) widths.back() = std::max(widths.back(), SevenPerChar(line));
  }
  const double perMs = pixels / double(span.last - span.first);
  for (size_t i = 1; i < axis.ticks.size(); ++i)
    EXPECT_GE(double(axis.ticks[i].ms - axis.ticks[i - 1].ms) * perMs, (widths[i - 1] + widths[i]) / 2 + 12) << what;
}

}  // namespace

TEST(ChartScale, TimeLabelsNeverRepeatFromMinutesToYears) {
  const qint64 spans[] = {20 * kMin, kHour,     5 * kHour,  20 * kHour, 30 * kHour,  3 * kDay,  10 * kDay,
                          40 * kDay, 100 * kDay, 400 * kDay, 800 * kDay, 3000 * kDay, 20000 * kDay};
  const QTimeZone zones[] = {QTimeZone::utc(), QTimeZone("Europe/Berlin")};
  // Across a clock change too (the last Sunday of October in Berlin).
  for (const QTimeZone& zone : zones)
    for (const qint64 span : spans)
      for (const double pixels : {120.0, 250.0, 600.0, 1800.0})
        for (const qint64 start : {k2026, k2026 + 18 * kDay})
          ExpectReadableAxis({start, start + span}, zone, pixels,
                             std::to_string(span / kMin) + " min over " + std::to_string(int(pixels)) + " px in " +
                                 zone.id().toStdString());
  // The step follows the span: a few hours in hours, a few weeks in days or weeks, years in
  // months or years; the first tick says the day or year its own label leaves out.
  auto axisOver = [](qint64 span) { return MakeTimeAxis({k2026, k2026 + span}, QTimeZone::utc(), 300, SevenPerChar); };
  EXPECT_EQ(axisOver(6 * kHour).step.unit, TimeUnit::Hour);
  EXPECT_EQ(axisOver(6 * kHour).ticks.front().label.section('\n', 1).toStdString(), "7 Oct 2026");
  EXPECT_TRUE(axisOver(30 * kDay).step.unit == TimeUnit::Day || axisOver(30 * kDay).step.unit == TimeUnit::Week);
  EXPECT_TRUE(axisOver(1500 * kDay).step.unit == TimeUnit::Month || axisOver(1500 * kDay).step.unit == TimeUnit::Year);
}

TEST(ChartScale, TheZoneIsSaidAsAnOffsetAndEachChangeOfItInTurn) {
  const qint64 january = QDateTime(QDate(2026, 1, 10), QTime(9, 0), QTimeZone::utc()).toMSecsSinceEpoch();
  const QTimeZone berlin("Europe/Berlin");
  EXPECT_EQ(ZoneText({january, january + kDay}, QTimeZone::utc()).toStdString(), "UTC");
  EXPECT_EQ(ZoneText({january, january + kDay}, berlin).toStdString(), "UTC+01:00");
  EXPECT_EQ(ZoneText({january, january + kDay}, QTimeZone("America/St_Johns")).toStdString(), "UTC-03:30");
  // Over a year: into summer time and out of it again.
  EXPECT_EQ(ZoneText({january, january + 365 * kDay}, berlin).toStdString(), "UTC+01:00 / UTC+02:00 / UTC+01:00");
  EXPECT_EQ(MakeTimeAxis({k2026, k2026 + 6 * kHour}, berlin, 300, SevenPerChar).zone.toStdString(), "UTC+02:00");
}

TEST(ChartScale, SpansKeepOneDaysVisitsApartAndPadTheEnds) {
  // Three visits of one day, minutes apart: each its own x, none on the frame.
  const qint64 visits[] = {k2026, k2026 + 20 * kMin, k2026 + 6 * kHour};
  const TimeSpan span = SpanAround(visits[0], visits[2]);
  const Mapping map{QRectF(40, 10, 250, 150), span, 0, 1};
  EXPECT_GT(map.X(visits[0]), 40 + 5);
  EXPECT_LT(map.X(visits[2]), 290 - 5);
  EXPECT_GT(map.X(visits[1]) - map.X(visits[0]), 10);
  // One reading (or several at one instant) gets a day around it; short spans at least an hour.
  const TimeSpan one = SpanAround(k2026, k2026);
  EXPECT_EQ(one.last - one.first, kDay);
  EXPECT_DOUBLE_EQ(Mapping({QRectF(0, 0, 100, 100), one, 0, 1}).X(k2026), 50.0);
  const TimeSpan shortSpan = SpanAround(k2026, k2026 + 5 * kMin);
  EXPECT_GE(shortSpan.last - shortSpan.first, kHour);
  EXPECT_LT(shortSpan.first, k2026);
  // Values grow upwards; the span's ends are the plot's.
  const Mapping m{QRectF(10, 20, 100, 50), {1000, 2000}, -1, 1};
  EXPECT_DOUBLE_EQ(m.X(1000), 10);
  EXPECT_DOUBLE_EQ(m.X(2000), 110);
  EXPECT_DOUBLE_EQ(m.Y(-1), 70);
  EXPECT_DOUBLE_EQ(m.Y(1), 20);
}

TEST(ChartScale, ValueAxesHoldTheReadingsAndLimitsAtRoundSteps) {
  struct Case {
    double lo, hi;
    int maxTicks;
  } cases[] = {{21, 200, 6}, {14.62, 14.81, 6}, {14.6, 14.6, 5}, {0, 0, 5}, {-1.3, 2.1, 8}, {1e6, 3e6, 4}, {0.001, 0.002, 6}};
  for (const Case& c : cases) {
    const ValueAxis a = NiceValueAxis(c.lo, c.hi, c.maxTicks);
    const std::string what = std::to_string(c.lo) + ".." + std::to_string(c.hi);
    if (c.lo != 0) {
      EXPECT_LT(a.lo, c.lo) << what;  // room below and above, equal values included
    }
    EXPECT_GT(a.hi, c.hi) << what;
    ASSERT_GE(a.ticks.size(), 2u) << what;
    EXPECT_LE(int(a.ticks.size()), c.maxTicks) << what;
    std::set<QString> labels;
    for (const double t : a.ticks) EXPECT_TRUE(labels.insert(a.Label(t)).second) << what << " " << a.Label(t).toStdString();
    if (c.lo >= 0) {
      EXPECT_GE(a.lo, 0) << what;  // a count does not go below zero
    }
  }
  const ValueAxis volts = NiceValueAxis(14.62, 14.81, 6);
  EXPECT_EQ(volts.Label(volts.ticks[1]).size(), QString("14.65").size());
  // Nothing read, or not a number: an axis all the same, 0 to 1.
  for (const double bad : {qQNaN(), qInf()}) {
    const ValueAxis a = NiceValueAxis(bad, bad, 5);
    EXPECT_EQ(a.lo, 0);
    EXPECT_GE(a.hi, 1);
    EXPECT_LE(a.hi, 2);
  }
}

namespace {

bool Near(QRgb a, const QColor& b, int tolerance = 40) {
  return std::abs(qRed(a) - b.red()) + std::abs(qGreen(a) - b.green()) + std::abs(qBlue(a) - b.blue()) <= tolerance;
}

// Whether any pixel within r of (x, y) has the colour.
bool ColourNear(const QImage& img, QPointF at, const QColor& c, int r = 2) {
  for (int dy = -r; dy <= r; ++dy)
    for (int dx = -r; dx <= r; ++dx) {
      const QPoint p(int(std::lround(at.x())) + dx, int(std::lround(at.y())) + dy);
      if (img.rect().contains(p) && Near(img.pixel(p), c)) return true;
    }
  return false;
}

QImage Render(TimeChart& chart) {
  QImage img(chart.size(), QImage::Format_RGB32);
  img.fill(Qt::magenta);
  chart.render(&img);
  return img;
}

}  // namespace

TEST(TimeChartPicture, DrawsReadingsLimitsAndAWholeLegend) {
  const QColor orange(220, 120, 0), red(160, 0, 0);
  TimeChart chart;
  chart.setData("Battery count", "read",
                {{k2026 + 6 * kHour, 57}, {k2026, 21}, {k2026 + 20 * kMin, 38}},  // one day, out of order
                {{"new battery at 80%", 160, orange}, {"capacity", 200, red}});
  chart.resize(chart.minimumSizeHint());
  const QImage img = Render(chart);
  if (qEnvironmentVariableIsSet("VT_CHART_PNG")) img.save(qEnvironmentVariable("VT_CHART_PNG"));

  // Drawn by time; each reading a dot where the mapping puts it, one day's visits apart.
  ASSERT_EQ(chart.points().size(), 3u);
  EXPECT_EQ(chart.points()[0].value, 21);
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(ColourNear(img, chart.pointAt(i), TimeChart::kValueColour, 1)) << i;
  EXPECT_GT(chart.pointAt(1).x() - chart.pointAt(0).x(), 4);
  EXPECT_LT(chart.pointAt(2).y(), chart.pointAt(0).y());  // higher value, higher up
  // The limits: inside the value axis, dashed lines of their colour at their height.
  for (size_t i = 0; i < 2; ++i) {
    const double y = chart.limitY(i);
    EXPECT_GT(y, chart.plotArea().top());
    EXPECT_LT(y, chart.plotArea().bottom());
    int hits = 0;
    for (int x = int(chart.plotArea().left()) + 2; x < int(chart.plotArea().right()) - 2; ++x)
      hits += Near(img.pixel(x, int(std::floor(y))), i == 0 ? orange : red) ? 1 : 0;
    EXPECT_GT(hits, chart.plotArea().width() / 3) << i;
  }
  // The legend at the smallest size the chart asks for: every entry inside, its text drawn.
  ASSERT_EQ(chart.legendItems().size(), 3u);
  for (const QRect& r : chart.legendItems()) {
    EXPECT_TRUE(chart.rect().contains(r)) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    int ink = 0;
    for (int x = r.right() - 12; x < r.right(); ++x)
      for (int y = r.top(); y <= r.bottom(); ++y) ink += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
    EXPECT_GT(ink, 0) << "the end of a legend text is not drawn";
  }
  for (int x = 0; x < img.width(); ++x) EXPECT_NE(img.pixel(x, img.height() / 2), QColor(Qt::magenta).rgb());
}

TEST(TimeChartPicture, NoReadingsOneReadingAndValuesNotRead) {
  TimeChart chart;
  chart.resize(320, 240);
  chart.setData("Depth offset", "read", {}, {});  // nothing yet: an empty plot, no failure
  EXPECT_FALSE(Render(chart).isNull());
  EXPECT_EQ(chart.legendItems().size(), 1u);

  chart.setData("Battery voltage (V)", "read", {{k2026, 14.6}}, {});
  QImage img = Render(chart);
  const QPointF at = chart.pointAt(0);
  EXPECT_NEAR(at.x(), chart.plotArea().center().x(), 1.0);  // a day around it
  EXPECT_GT(at.y(), chart.plotArea().top());
  EXPECT_LT(at.y(), chart.plotArea().bottom());
  EXPECT_TRUE(ColourNear(img, at, TimeChart::kValueColour, 1));

  // A value not read is no point and breaks the line; the readings around it stay.
  chart.setData("Battery voltage (V)", "read", {{k2026, 14.6}, {k2026 + kDay, qQNaN()}, {k2026 + 2 * kDay, 14.2}}, {});
  img = Render(chart);
  EXPECT_TRUE(std::isnan(chart.pointAt(1).x()));
  EXPECT_TRUE(ColourNear(img, chart.pointAt(2), TimeChart::kValueColour, 1));
  const QPointF mid = (chart.pointAt(0) + chart.pointAt(2)) / 2;
  EXPECT_FALSE(ColourNear(img, mid, TimeChart::kValueColour, 1)) << "a line drawn across a value not read";
  EXPECT_GT(chart.valueAxis().hi, 14.6);
  EXPECT_LT(chart.valueAxis().lo, 14.2);
}

// The chart draws this computer's local time (TZ here), as every other time on screen, and says
// its zone under the axis.
TEST(TimeChartPicture, TheTimeAxisIsInLocalTimeWithItsZone) {
  const QByteArray tz = qgetenv("TZ");
  qputenv("TZ", "Asia/Kolkata");  // UTC+05:30 all year: its whole hours are UTC's half hours
  TimeChart chart;
  chart.setData("Battery count", "read", {{k2026, 21}, {k2026 + 6 * kHour, 57}}, {});
  chart.resize(chart.minimumSizeHint());
  const QImage img = Render(chart);
  if (tz.isNull()) qunsetenv("TZ");
  else qputenv("TZ", tz);
  EXPECT_EQ(chart.zoneCaption().toStdString(), "Time (UTC+05:30)");
  const TimeAxis& axis = chart.timeAxis();
  ASSERT_EQ(axis.step.unit, TimeUnit::Hour);
  for (const TimeTick& t : axis.ticks) {
    EXPECT_EQ(t.ms % kHour, 30 * kMin) << t.label.toStdString();
    // The zone by its offset: Qt for Windows, built without ICU, knows no zone by its name.
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(t.ms, QTimeZone(5 * 3600 + 30 * 60));
    EXPECT_EQ(t.label.section('\n', 0, 0), local.toString("HH:mm"));
  }
  // The caption is drawn: ink at the right under the tick labels.
  const QFontMetrics fm = chart.fontMetrics();
  const int top = int(chart.plotArea().bottom()) + 4 + 2 * fm.height();
  int ink = 0;
  for (int x = chart.width() - 40; x < chart.width() - 6; ++x)
    for (int y = top; y < top + fm.height(); ++y) ink += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
  EXPECT_GT(ink, 0);
}
