#include "dialog_units.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

QFont DialogFont() {
  QFont font(QStringLiteral("MS Sans Serif"), 8);
  if (QFontInfo(font).family() != font.family()) {
    font.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    font.setStyleHint(QFont::SansSerif);
  }
  return font;
}

namespace {

// a * b / c rounded to the nearest integer, as the dialog manager scales.
int MulDiv(int a, int b, int c) { return (a * b + c / 2) / c; }

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  // The average width is taken over the 52 letters and rounded, the way
  // the original platform measures a dialog font.
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(QStringLiteral(
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  base_x_ = (letters / 26 + 1) / 2;
  base_y_ = metrics.height();
}

QPoint DialogUnits::Point(int x, int y) const {
  return QPoint(MulDiv(x, base_x_, 4), MulDiv(y, base_y_, 8));
}

QSize DialogUnits::Size(int width, int height) const {
  return QSize(MulDiv(width, base_x_, 4), MulDiv(height, base_y_, 8));
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  return QRect(Point(x, y), Size(width, height));
}
