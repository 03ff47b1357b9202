// Controls are found by their numeric identifier, as the dialog templates
// number them, rather than kept in member variables.
#ifndef QUENBY_UI_QT_DIALOG_ITEMS_H_
#define QUENBY_UI_QT_DIALOG_ITEMS_H_

#include <QString>
#include <QWidget>

// Gives `control` the identifier `id` within its dialog.
void SetDialogItemId(QWidget* control, int id);

// The control of `dialog` with identifier `id`, or null.
QWidget* DialogItem(const QWidget* dialog, int id);

// The text of an edit box, button or label; empty for anything else.
QString DialogItemText(const QWidget* dialog, int id);
void SetDialogItemText(QWidget* dialog, int id, const QString& text);

#endif  // QUENBY_UI_QT_DIALOG_ITEMS_H_
