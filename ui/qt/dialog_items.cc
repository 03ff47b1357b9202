#include "dialog_items.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QVariant>

namespace {

constexpr char kIdProperty[] = "dialogItemId";

}  // namespace

void SetDialogItemId(QWidget* control, int id) {
  control->setProperty(kIdProperty, id);
}

QWidget* DialogItem(const QWidget* dialog, int id) {
  const auto children =
      dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  for (QWidget* child : children) {
    const QVariant value = child->property(kIdProperty);
    if (value.isValid() && value.toInt() == id) return child;
  }
  return nullptr;
}

QString DialogItemText(const QWidget* dialog, int id) {
  QWidget* control = DialogItem(dialog, id);
  if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
  if (auto* button = qobject_cast<QAbstractButton*>(control))
    return button->text();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  return QString();
}

void SetDialogItemText(QWidget* dialog, int id, const QString& text) {
  QWidget* control = DialogItem(dialog, id);
  if (auto* edit = qobject_cast<QLineEdit*>(control))
    edit->setText(text);
  else if (auto* button = qobject_cast<QAbstractButton*>(control))
    button->setText(text);
  else if (auto* label = qobject_cast<QLabel*>(control))
    label->setText(text);
}
