// One measured value over time, painted with QPainter: a title, the readings as points joined
// by a line (each reading its own point, however close in time), limit lines dashed across the
// whole span, a value axis at round steps on the left, a time axis in local time whose labels
// never repeat underneath, with its zone said under it ("Time (UTC+01:00)"), and a legend at
// the foot that wraps rather than cuts. The arithmetic is
// chart_scale.h's; this only lays it out and draws it.
#pragma once
#include <QColor>
#include <QTimeZone>
#include <QWidget>
#include <vector>

#include "chart_scale.h"

class QPainter;

class TimeChart : public QWidget {
  Q_OBJECT
 public:
  struct Point {
    qint64 ms = 0;     // since 1970, UTC
    double value = 0;  // not finite: no reading here; the line breaks
  };
  struct Limit {
    QString label;
    double value = 0;
    QColor color;
  };
  static inline const QColor kValueColour{32, 120, 200};

  explicit TimeChart(QWidget* parent = nullptr);
  // name: the legend's word for the readings ("read"). Points in any order; drawn by time.
  void setData(const QString& title, const QString& name, std::vector<Point> points, std::vector<Limit> limits);
  // The zone the time axis is labelled in: this computer's local zone unless set.
  void setTimeZone(const QTimeZone& zone);
  // What the axis says of its zone, under its labels.
  QString zoneCaption() const { return "Time (" + timeAxis_.zone + ")"; }

  QString title() const { return title_; }
  const std::vector<Point>& points() const { return points_; }  // by time
  const std::vector<Limit>& limits() const { return limits_; }

  // The layout at the widget's present size, for the tests: the plot, where reading i and
  // limit i are drawn, the axes, and each legend entry's whole box (swatch and text).
  QRectF plotArea() const { return plot_; }
  QPointF pointAt(size_t i) const;  // reading i (by time); NaN coordinates for a value not read
  double limitY(size_t i) const { return map_.Y(limits_[i].value); }
  const chart::TimeAxis& timeAxis() const { return timeAxis_; }
  const chart::ValueAxis& valueAxis() const { return valueAxis_; }
  const std::vector<QRect>& legendItems() const { return legend_; }

  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void changeEvent(QEvent*) override;

 private:
  void Relayout();
  // The legend's entries laid out from the top left of a box `width` wide; its height.
  int LayoutLegend(int width, std::vector<QRect>* items) const;
  std::vector<QString> LegendTexts() const;
  // paintEvent's layers, drawn in this order.
  void DrawTitle(QPainter& p, const QColor& text);
  void DrawAxes(QPainter& p, const QColor& text);  // grid, ticks, labels and the zone
  void DrawReadings(QPainter& p);                  // limits, the line and dots, or "no readings"
  void DrawLegend(QPainter& p, const QColor& text);

  QString title_, name_;
  std::vector<Point> points_;
  std::vector<Limit> limits_;
  QTimeZone zone_ = QTimeZone::systemTimeZone();
  chart::TimeAxis timeAxis_;
  chart::ValueAxis valueAxis_;
  chart::Mapping map_;
  QRectF plot_;
  QRect titleBox_;
  std::vector<QRect> legend_;
};
