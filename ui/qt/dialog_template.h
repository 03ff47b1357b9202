// Dialogs are laid out as templates: every control has a rectangle in
// dialog units, turned into pixels once the dialog's font is known.
#ifndef QUENBY_UI_QT_DIALOG_TEMPLATE_H_
#define QUENBY_UI_QT_DIALOG_TEMPLATE_H_

#include <QRect>
#include <QWidget>

#include "dialog_units.h"

// Gives `control` its identifier (0 for none) and its template rectangle,
// in dialog units from the dialog's top left corner.
void Place(QWidget* control, int id, const QRect& units);

// Sizes `dialog` to `width` x `height` dialog units, fixed, and puts every
// placed control where its template rectangle says. A picture keeps its
// own size. Returns the units used.
DialogUnits LayOutDialog(QWidget* dialog, int width, int height);

#endif  // QUENBY_UI_QT_DIALOG_TEMPLATE_H_
