#include "dialog_units.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

QFont DialogFont() {
  QFont font(QStringLiteral("MS Sans Serif"), 8);
  if (QFontInfo(font).family() != font.family()) {
    font.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont)
                       .family());
    font.setStyleHint(QFont::SansSerif);
  }
  return font;
}

namespace {

// a * b / c rounded to the nearest integer, as the dialog manager scales.
int MulDiv(int a, double b, int c) { return static_cast<int>(a * b / c + 0.5); }

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  // The average width is taken over the 52 letters and rounded, the way
  // the original platform measures a dialog font.
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
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

void DialogUnits::WidenToFit(int units, int pixels) {
  if (units > 0 && MulDiv(units, base_x_, 4) < pixels)
    base_x_ = pixels * 4.0 / units;
}
