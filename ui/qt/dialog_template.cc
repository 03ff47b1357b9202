#include "dialog_template.h"

#include <QAbstractButton>
#include <QLabel>
#include <QStyle>
#include <QVariant>

#include "dialog_items.h"

namespace {

constexpr char kUnitsProperty[] = "templateRect";

// The pixels that the text of `control` needs across, or 0 when it has no
// text to clip.
int TextWidth(const QWidget* control) {
  if (auto* label = qobject_cast<const QLabel*>(control)) {
    return label->pixmap().isNull() ? label->sizeHint().width() : 0;
  }
  if (auto* button = qobject_cast<const QAbstractButton*>(control)) {
    if (button->inherits("QPushButton")) {
      // A push button's own size hint asks for a wide minimum; only its
      // text and margins must fit.
      const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin,
                                                      nullptr, button);
      return button->fontMetrics().horizontalAdvance(button->text()) + margin;
    }
    return button->sizeHint().width();
  }
  return 0;
}

}  // namespace

void Place(QWidget* control, int id, const QRect& units) {
  if (id != 0) SetDialogItemId(control, id);
  control->setProperty(kUnitsProperty, units);
}

DialogUnits LayOutDialog(QWidget* dialog, int width, int height) {
  DialogUnits units(dialog->font());
  const auto controls =
      dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);

  // The template was drawn for a narrower face than most desktops offer; a
  // text that would be clipped widens the units for the whole dialog, so
  // that it keeps its proportions.
  for (const QWidget* control : controls) {
    const QRect rect = control->property(kUnitsProperty).toRect();
    if (rect.isValid()) units.WidenToFit(rect.width(), TextWidth(control));
  }

  for (QWidget* control : controls) {
    const QVariant rect = control->property(kUnitsProperty);
    if (!rect.isValid()) continue;
    const QRect r = rect.toRect();
    auto* label = qobject_cast<QLabel*>(control);
    if (label != nullptr && !label->pixmap().isNull()) {
      control->move(units.Point(r.x(), r.y()));
      control->adjustSize();
    } else {
      control->setGeometry(units.Rect(r.x(), r.y(), r.width(), r.height()));
    }
  }
  dialog->setFixedSize(units.Size(width, height));
  return units;
}
