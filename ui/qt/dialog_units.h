// Dialog templates give positions in dialog units: a quarter of the dialog
// font's average character width across, an eighth of its height down.
#ifndef QUENBY_UI_QT_DIALOG_UNITS_H_
#define QUENBY_UI_QT_DIALOG_UNITS_H_

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

// 8-point "MS Sans Serif" when the desktop has it, else the desktop's own
// sans-serif face at the same size.
QFont DialogFont();

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  double base_x() const { return base_x_; }
  int base_y() const { return base_y_; }

  // Widens the units so that `pixels` fit into `units` dialog units across.
  void WidenToFit(int units, int pixels);

  QPoint Point(int x, int y) const;
  QSize Size(int width, int height) const;
  QRect Rect(int x, int y, int width, int height) const;

 private:
  double base_x_;  // Average character width, in pixels.
  int base_y_;     // Character height, in pixels.
};

#endif  // QUENBY_UI_QT_DIALOG_UNITS_H_
