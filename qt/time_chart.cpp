#include "time_chart.h"

#include <QDateTime>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 5;
constexpr int kSwatch = 16;      // a legend entry's line sample
constexpr int kLegendGap = 10;   // between legend entries
constexpr int kTickLength = 4;
constexpr int kMinPlotWidth = 150;
constexpr int kMinPlotHeight = 70;
const QColor kGrid(225, 225, 225);
const QColor kFrame(150, 150, 150);

QPen LimitPen(const QColor& c) {
  QPen pen(c, 2);
  pen.setStyle(Qt::DashLine);
  return pen;
}

}  // namespace

TimeChart::TimeChart(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TimeChart::setData(const QString& title, const QString& name, std::vector<Point> points,
                        std::vector<Limit> limits) {
  title_ = title;
  name_ = name;
  points_ = std::move(points);
  std::stable_sort(points_.begin(), points_.end(), [](const Point& a, const Point& b) { return a.ms < b.ms; });
  limits_ = std::move(limits);
  Relayout();
  updateGeometry();
  update();
}

void TimeChart::setTimeZone(const QTimeZone& zone) {
  zone_ = zone;
  Relayout();
  update();
}

QPointF TimeChart::pointAt(size_t i) const {
  const Point& p = points_[i];
  if (!std::isfinite(p.value)) return {qQNaN(), qQNaN()};
  return {map_.X(p.ms), map_.Y(p.value)};
}

std::vector<QString> TimeChart::LegendTexts() const {
  std::vector<QString> texts{name_};
  for (const Limit& l : limits_) texts.push_back(l.label);
  return texts;
}

int TimeChart::LayoutLegend(int width, std::vector<QRect>* items) const {
  const QFontMetrics fm = fontMetrics();
  items->clear();
  int x = 0, y = 0;
  for (const QString& text : LegendTexts()) {
    const int w = kSwatch + 3 + fm.horizontalAdvance(text) + 2;
    if (x > 0 && x + w > width) x = 0, y += fm.height() + 2;
    items->push_back(QRect(x, y, w, fm.height()));
    x += w + kLegendGap;
  }
  return items->empty() ? 0 : y + fm.height();
}

QSize TimeChart::minimumSizeHint() const {
  const QFontMetrics fm = fontMetrics();
  // Wide enough for the widest legend entry and a plot; tall enough for all of it with the
  // legend wrapped at that width.
  int width = kMinPlotWidth + fm.horizontalAdvance("00000.00") + 2 * kMargin;
  for (const QString& text : LegendTexts()) width = std::max(width, kSwatch + 3 + fm.horizontalAdvance(text) + 2 + 2 * kMargin);
  std::vector<QRect> items;
  const int legend = LayoutLegend(width - 2 * kMargin, &items);
  const int height = kMargin + fm.height() + 4 + fm.height() / 2 + kMinPlotHeight + kTickLength + 3 * fm.height() + 4 +
                     legend + kMargin;
  return {width, height};
}

QSize TimeChart::sizeHint() const { return minimumSizeHint().expandedTo(QSize(320, 240)); }

void TimeChart::resizeEvent(QResizeEvent*) { Relayout(); }

void TimeChart::changeEvent(QEvent* e) {
  if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) Relayout();
  QWidget::changeEvent(e);
}

void TimeChart::Relayout() {
  const QFontMetrics fm = fontMetrics();
  const int line = fm.height();
  titleBox_ = QRect(kMargin, kMargin, width() - 2 * kMargin, line);
  const int legendWidth = width() - 2 * kMargin;
  const int legendHeight = LayoutLegend(legendWidth, &legend_);
  const int legendTop = height() - kMargin - legendHeight;
  // Centre the legend's rows as a block.
  int rowRight = 0;
  for (const QRect& r : legend_) rowRight = std::max(rowRight, r.right());
  const int shift = kMargin + std::max(0, (legendWidth - rowRight - 1) / 2);
  for (QRect& r : legend_) r.translate(shift, legendTop);

  // The values: readings and limits, on round steps as many as the plot's height has room for.
  const double top = titleBox_.bottom() + 4 + line / 2.0;
  // Under the plot: two lines of tick labels, then the zone the times are in.
  const double bottom = legendTop - 4 - 3 * line - kTickLength;
  double lo = qInf(), hi = -qInf();
  qint64 first = 0, last = 0;
  bool any = false;
  for (const Point& p : points_) {
    if (!std::isfinite(p.value)) continue;
    lo = std::min(lo, p.value), hi = std::max(hi, p.value);
    if (!any) first = p.ms;
    last = p.ms, any = true;
  }
  for (const Limit& l : limits_) {
    if (std::isfinite(l.value)) lo = std::min(lo, l.value), hi = std::max(hi, l.value);
  }
  if (!any && !points_.empty()) first = points_.front().ms, last = points_.back().ms, any = true;
  if (!any) first = last = QDateTime::currentMSecsSinceEpoch();
  valueAxis_ = chart::NiceValueAxis(lo, hi, std::max(2, int((bottom - top) / (line * 2.2)) + 1));
  int valueWidth = 0;
  for (const double v : valueAxis_.ticks) valueWidth = std::max(valueWidth, fm.horizontalAdvance(valueAxis_.Label(v)));

  plot_ = QRectF(QPointF(kMargin + valueWidth + 6, top), QPointF(width() - kMargin - 8, bottom));
  timeAxis_ = chart::MakeTimeAxis(chart::SpanAround(first, last), zone_, plot_.width(),
                                  [&fm](const QString& s) { return double(fm.horizontalAdvance(s)); });
  map_ = chart::Mapping{plot_, timeAxis_.span, valueAxis_.lo, valueAxis_.hi};
}

void TimeChart::DrawTitle(QPainter& p, const QColor& text) {
  QFont bold = font();
  bold.setBold(true);
  p.setFont(bold);
  p.setPen(text);
  p.drawText(titleBox_, Qt::AlignHCenter | Qt::AlignVCenter,
             QFontMetrics(bold).elidedText(title_, Qt::ElideRight, titleBox_.width()));
  p.setFont(font());
}

void TimeChart::DrawAxes(QPainter& p, const QColor& text) {
  const QFontMetrics fm = fontMetrics();
  // Grid and axes.
  p.setPen(kGrid);
  for (const double v : valueAxis_.ticks) p.drawLine(QPointF(plot_.left(), map_.Y(v)), QPointF(plot_.right(), map_.Y(v)));
  for (const chart::TimeTick& t : timeAxis_.ticks) p.drawLine(QPointF(map_.X(t.ms), plot_.top()), QPointF(map_.X(t.ms), plot_.bottom()));
  p.setPen(kFrame);
  p.drawLine(plot_.bottomLeft(), plot_.bottomRight());
  p.drawLine(plot_.bottomLeft(), plot_.topLeft());
  p.setPen(text);
  for (const double v : valueAxis_.ticks) {
    const QRectF box(0, map_.Y(v) - fm.height() / 2.0, plot_.left() - 6, fm.height());
    p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, valueAxis_.Label(v));
  }
  for (const chart::TimeTick& t : timeAxis_.ticks) {
    const double x = map_.X(t.ms);
    p.setPen(kFrame);
    p.drawLine(QPointF(x, plot_.bottom()), QPointF(x, plot_.bottom() + kTickLength));
    p.setPen(text);
    int w = 0;
    for (const QString& part : t.label.split('\n')) w = std::max(w, fm.horizontalAdvance(part));
    // A label near either end stays inside the widget.
    const double left = std::clamp(x - w / 2.0, 0.0, double(width() - w));
    p.drawText(QRectF(left, plot_.bottom() + kTickLength, w, 2 * fm.height()), Qt::AlignHCenter | Qt::AlignTop, t.label);
  }

  // The zone under the labels, at the right.
  p.drawText(QRectF(kMargin, plot_.bottom() + kTickLength + 2 * fm.height(), width() - 2 * kMargin, fm.height()),
             Qt::AlignRight | Qt::AlignTop, zoneCaption());
}

void TimeChart::DrawReadings(QPainter& p) {
  p.save();
  p.setClipRect(plot_.adjusted(-4, -4, 4, 4));
  for (const Limit& l : limits_) {
    if (!std::isfinite(l.value)) continue;
    p.setPen(LimitPen(l.color));
    p.drawLine(QPointF(plot_.left(), map_.Y(l.value)), QPointF(plot_.right(), map_.Y(l.value)));
  }
  // The readings: a line through each run of values read, a dot at each.
  p.setPen(QPen(kValueColour, 2));
  QPainterPath path;
  bool open = false;
  for (size_t i = 0; i < points_.size(); ++i) {
    const QPointF at = pointAt(i);
    if (std::isnan(at.x())) {
      open = false;
      continue;
    }
    if (open) path.lineTo(at);
    else path.moveTo(at);
    open = true;
  }
  p.drawPath(path);
  p.setBrush(kValueColour);
  p.setPen(Qt::NoPen);
  bool drawn = false;
  for (size_t i = 0; i < points_.size(); ++i) {
    const QPointF at = pointAt(i);
    if (std::isnan(at.x())) continue;
    p.drawEllipse(at, 3.5, 3.5);
    drawn = true;
  }
  p.restore();
  if (!drawn) {
    p.setPen(kFrame);
    p.drawText(plot_, Qt::AlignCenter, "no readings");
  }
}

void TimeChart::DrawLegend(QPainter& p, const QColor& text) {
  // The legend: the readings' line and dot, then each limit's dashed line.
  const std::vector<QString> texts = LegendTexts();
  for (size_t i = 0; i < legend_.size(); ++i) {
    const QRect& r = legend_[i];
    const double y = r.center().y() + 0.5;
    if (i == 0) {
      p.setPen(QPen(kValueColour, 2));
      p.drawLine(QPointF(r.left(), y), QPointF(r.left() + kSwatch, y));
      p.setBrush(kValueColour);
      p.setPen(Qt::NoPen);
      p.drawEllipse(QPointF(r.left() + kSwatch / 2.0, y), 3.5, 3.5);
    } else {
      p.setPen(LimitPen(limits_[i - 1].color));
      p.drawLine(QPointF(r.left(), y), QPointF(r.left() + kSwatch, y));
    }
    p.setPen(text);
    p.drawText(QRect(r.left() + kSwatch + 3, r.top(), r.width() - kSwatch - 3, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
               texts[i]);
  }
}

void TimeChart::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  const QColor text = palette().color(QPalette::WindowText);
  DrawTitle(p, text);
  DrawAxes(p, text);
  p.setRenderHint(QPainter::Antialiasing);
  DrawReadings(p);
  DrawLegend(p, text);
  p.setPen(kFrame);
  p.setBrush(Qt::NoBrush);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}
