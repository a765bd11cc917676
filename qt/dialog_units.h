// Dialog units: a quarter of the font's average character width across, an eighth of its
// height down, so the windows keep the proportions of their templates in any font.
#pragma once
#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QSize>

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font) {
    QFontMetrics m(font);
    const QString sample = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    baseX_ = (m.horizontalAdvance(sample) / 26 + 1) / 2;
    baseY_ = m.height();
    if (baseX_ < 1) baseX_ = 1;
    if (baseY_ < 1) baseY_ = 1;
  }
  int X(int du) const { return (du * baseX_ + 2) / 4; }
  int Y(int du) const { return (du * baseY_ + 4) / 8; }
  QSize Size(int w, int h) const { return QSize(X(w), Y(h)); }
  QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }

 private:
  int baseX_ = 6;
  int baseY_ = 13;
};
